// The decoder's straightforward build (one bit per call, linear Huffman
// search) under a name of its own; this file is compiled with JPEG_REFERENCE.
#include "bench/reference_decoder.h"

#include "jpeg/decode_jpeg.h"

std::int32_t ReferenceDecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize, std::uint32_t** pixelsOut,
                                 std::uint32_t* widthOut, std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut)
{
    return DecodeJpeg(data, dataSize, pixelsOut, widthOut, heightOut, bitsPerPixelOut);
}
