// The scan: MCU loops, pixel assembly and restart handling.
#include "jpeg/jpeg_kernels.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

constexpr McuLayout kGrey = {8, 8, 1, false};
constexpr McuLayout kColour8x8 = {8, 8, 1, true};
constexpr McuLayout kColour16x8 = {16, 8, 2, true};
constexpr McuLayout kColour16x16 = {16, 16, 4, true};

// Grey for one component; colour by component 1's sampling product. A
// colour scan with another product is decoded in the grey layout.
const McuLayout* JpegChooseLayout()
{
    const JpegDecoderState& s = jpegState;
    if (s.scanComponentCount == 1)
        return &kGrey;
    if (s.scanComponentCount != 3)
        return nullptr;
    switch (s.ySamplingProduct) {
    case 1: return &kColour8x8;
    case 2: return &kColour16x8;
    case 4: return &kColour16x16;
    default: return &kGrey;
    }
}

std::uint32_t JpegPackColour(std::int16_t luma, std::int16_t cb, std::int16_t cr)
{
    std::int16_t red, green, blue;
    JpegYCbCrToRgb(luma, cb, cr, &red, &green, &blue);
    return JpegPackRgb(red, green, blue);
}

// Skips the RSTn marker at the end of an MCU row and reloads the bit reader.
// When the row's data ended on a byte boundary the last load has already
// taken the marker (0xFF into currentByte, its code dropped): then nothing
// more is skipped.
void JpegRestart()
{
    JpegDecoderState& s = jpegState;
    bool markerTaken = s.bitMask == 0x80 && s.cursor >= 2 && s.cursor <= s.dataSize &&
                       s.data[s.cursor - 2] == 0xFF && (s.data[s.cursor - 1] & 0xF8) == 0xD0;
    if (!markerTaken) {
        JpegReadByte();
        JpegReadByte();
    }
    JpegLoadByte();
}

}  // namespace

// Stores one packed pixel; the caller keeps x and y inside the frame.
void JpegPutPixel(std::uint16_t x, std::uint16_t y, std::uint32_t pixel,
                  std::uint32_t* pixelBuffer)
{
    pixelBuffer[static_cast<std::uint32_t>(y) * jpegState.frameWidth + x] = pixel;
}

// The layout's blocks in order: luma with component 1's selectors, then Cb and Cr.
void JpegDecodeMcuReference(const McuLayout& layout, JpegTransformKernel /*JpegInverseTransform*/,
                            std::int16_t* luma, std::int16_t* cb, std::int16_t* cr, JpegPredictors& predictors)
{
    const JpegDecoderState& s = jpegState;
    for (std::uint32_t b = 0; b < layout.lumaBlocks; ++b)
        JpegDecodeBlock(luma + 64 * b, s.yDcSelector, s.yAcSelector, s.yQuantSelector, &predictors.y);
    if (layout.colour) {
        JpegDecodeBlock(cb, s.chromaDcSelector, s.chromaAcSelector, s.chromaQuantSelector, &predictors.cb);
        JpegDecodeBlock(cr, s.chromaDcSelector, s.chromaAcSelector, s.chromaQuantSelector, &predictors.cr);
    }
}

// The reference MCU decoder works on the bit reader itself: nothing to finish.
void JpegFinishMcusReference() {}

// Forms and stores, pixel by pixel, those of the MCU at (x, y) inside the frame.
void JpegStoreMcuReference(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                           const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr)
{
    const JpegDecoderState& s = jpegState;
    for (std::uint32_t b = 0; b < layout.lumaBlocks; ++b) {
        std::uint32_t rowOffset = 8 * (b >> 1);
        std::uint32_t columnOffset = 8 * (b & 1);
        for (std::uint32_t r = 0; r < 8; ++r) {
            std::uint32_t row = r + rowOffset;
            if (y + row >= s.frameHeight)
                break;
            for (std::uint32_t c = 0; c < 8; ++c) {
                std::uint32_t col = c + columnOffset;
                if (x + col >= s.frameWidth)
                    break;
                std::int16_t sample = luma[64 * b + 8 * r + c];
                std::uint32_t pixel;
                if (!layout.colour) {
                    pixel = JpegPackGrey(sample);
                } else {
                    // Chroma index: 8x8 one per pixel, 16x8 one per pair, 16x16 one per 2x2.
                    std::uint32_t i = layout.height == 16 ? 8 * (row >> 1) + (col >> 1)
                                    : layout.width == 16  ? 8 * row + (col >> 1)
                                                          : 8 * row + col;
                    pixel = JpegPackColour(sample, cb[i], cr[i]);
                }
                JpegPutPixel(static_cast<std::uint16_t>(x + col), static_cast<std::uint16_t>(y + row),
                             pixel, s.pixels);
            }
        }
    }
}

// Decodes the scan MCU by MCU into jpegState.pixels.
void JpegDecodeScan(std::uint16_t restartInterval)
{
    JpegDecoderState& s = jpegState;
    JpegLoadByte();  // prime the bit reader

    const McuLayout* layout = JpegChooseLayout();
    if (layout == nullptr)
        return;
    const JpegKernels& kernels = JpegPrepareScan();

    std::int16_t luma[4 * 64];  // Y0..Y3
    std::int16_t cb[64];
    std::int16_t cr[64];
    JpegPredictors predictors = {0, 0, 0};
    std::uint32_t x = 0;  // MCU origin; 32-bit so rows end near 65535 too
    std::uint32_t y = 0;

    while (y < s.frameHeight) {
        kernels.decodeMcu(*layout, kernels.transform, luma, cb, cr, predictors);
        kernels.storeMcu(*layout, x, y, luma, cb, cr);

        x += layout->width;
        if (x >= s.frameWidth) {
            x = 0;
            y += layout->height;
            if (y < s.frameHeight && restartInterval != 0) {
                kernels.finishMcus();
                JpegRestart();
                predictors = {0, 0, 0};
            }
        }
    }
    kernels.finishMcus();
}

JPEG_NAMESPACE_END
