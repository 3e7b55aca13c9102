// The decoder's reference build: the same sources in a namespace of their own,
// always on the reference path (one bit per call, linear Huffman search, pixel
// by pixel), linked beside the library's build: tests, fuzz targets and
// benchmarks hold the other paths to it.
#pragma once

#include <cstdint>

// DecodeJpeg of the reference build, with its own module-level state.
std::int32_t ReferenceDecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize,
                                 std::uint32_t** pixelsOut, std::uint32_t* widthOut,
                                 std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut);

// Its state back to that of the process's first call.
void ResetReferenceDecoder();
