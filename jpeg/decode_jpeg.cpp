// DecodeJpeg: the header phase, the pixel buffer, then the scan.
#include "jpeg/decode_jpeg.h"

#include "jpeg/alloc.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

std::int32_t DecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize,
                        std::uint32_t** pixelsOut, std::uint32_t* widthOut,
                        std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut)
{
    JpegDecoderState& s = jpegState;
    s.data = data;
    s.dataSize = dataSize;
    s.cursor = 0;
    s.dataExhausted = false;
    s.quantTableCount = 0;
    s.acTableCount = 0;
    s.dcTableCount = 0;
    JpegBeginTrace();

    if (JpegReadByte() != 0xFF || JpegReadByte() != 0xD8)
        return 0;

    std::uint16_t restartInterval = JpegRunMarkerLoop();

    // The size check comes before any out-parameter is written.
    std::uint32_t pixelCount = static_cast<std::uint32_t>(s.frameWidth) * s.frameHeight;
    if (pixelCount > kMaxPixelCount)
        return 0;
    auto* pixels = static_cast<std::uint32_t*>(AllocBlock(pixelCount * 4));
    if (pixels == nullptr)
        return 0;

    *widthOut = s.frameWidth;
    *heightOut = s.frameHeight;
    *bitsPerPixelOut = 32;
    *pixelsOut = pixels;
    s.pixels = pixels;

    JpegDecodeScan(restartInterval);
    return 1;
}

JPEG_NAMESPACE_END
