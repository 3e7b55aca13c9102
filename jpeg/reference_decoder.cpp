// The reference build's entry points; compiled with JPEG_REFERENCE, so the
// decoder's names below are the reference build's.
#include "jpeg/reference_decoder.h"

#include "jpeg/decode_jpeg.h"
#include "jpeg/jpeg_paths.h"
#include "jpeg/jpeg_state.h"

std::int32_t ReferenceDecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize,
                                 std::uint32_t** pixelsOut, std::uint32_t* widthOut,
                                 std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut)
{
    JpegForcePath(JpegPath::kReference);
    return DecodeJpeg(data, dataSize, pixelsOut, widthOut, heightOut, bitsPerPixelOut);
}

void ResetReferenceDecoder()
{
    jpegState = {};
}
