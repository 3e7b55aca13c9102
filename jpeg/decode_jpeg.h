// The baseline JPEG decoder's one entry.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

// Frames with more pixels than this are refused (result 0): 4K UHD
// (3840 x 2160) fits, and a decode of any input stays well under a second.
inline constexpr std::uint32_t kMaxPixelCount = 1u << 23;

// Decodes the in-memory stream `data` of `dataSize` bytes.
// Result 0 when the stream does not begin with SOI, or when the pixel buffer
// cannot be had (more than kMaxPixelCount pixels, or the heap refuses); the
// out-parameters are then untouched and nothing is allocated.
// Result 1 otherwise: *pixelsOut is a new buffer of width x height pixels
// (0xFFRRGGBB, top row first) that the caller releases with FreeBlock.
std::int32_t DecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize,
                        std::uint32_t** pixelsOut, std::uint32_t* widthOut,
                        std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut);

JPEG_NAMESPACE_END
