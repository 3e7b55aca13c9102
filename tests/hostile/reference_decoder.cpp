// The reference build's DecodeJpeg and state, under names of their own; this
// file is compiled with JPEG_REFERENCE.
#include "jpeg/decode_jpeg.h"
#include "jpeg/jpeg_state.h"

namespace hostile {

std::int32_t ReferenceDecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize,
                                 std::uint32_t** pixelsOut, std::uint32_t* widthOut,
                                 std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut)
{
    return DecodeJpeg(data, dataSize, pixelsOut, widthOut, heightOut, bitsPerPixelOut);
}

void ResetReferenceDecoder()
{
    jpegState = {};
}

}  // namespace hostile
