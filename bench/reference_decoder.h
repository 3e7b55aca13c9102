// The decoder's straightforward build, beside the fast one: the speed it started from.
#pragma once

#include <cstdint>

// DecodeJpeg of the reference build (jpeg_reference).
std::int32_t ReferenceDecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize, std::uint32_t** pixelsOut,
                                 std::uint32_t* widthOut, std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut);
