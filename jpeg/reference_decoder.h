// The decoder's straightforward build (one bit per call, linear Huffman
// search, pixel by pixel), linked beside the fast one under names of its own:
// tests, fuzz targets and benchmarks hold the fast paths to it.
#pragma once

#include <cstdint>

// DecodeJpeg of the reference build, with its own module-level state.
std::int32_t ReferenceDecodeJpeg(const std::uint8_t* data, std::uint32_t dataSize,
                                 std::uint32_t** pixelsOut, std::uint32_t* widthOut,
                                 std::uint32_t* heightOut, std::uint32_t* bitsPerPixelOut);

// Its state back to that of the process's first call.
void ResetReferenceDecoder();
