// The fast forms of the scan's steps, each phase in files of its own;
// jpeg_dispatch.cpp picks among them.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_kernels.h"
#include "jpeg/jpeg_namespace.h"
#include "jpeg/jpeg_state.h"

// Marks a function compiled for AVX2 or SSE2 whatever the build's baseline,
// so that no other code of the build uses those instructions.
#define JPEG_AVX2 __attribute__((target("avx2")))
#define JPEG_SSE2 __attribute__((target("sse2")))
// A helper of such a function, inlined into it whatever the compiler's estimate.
#define JPEG_INLINE __attribute__((always_inline)) inline

JPEG_NAMESPACE_BEGIN

// JpegInverseTransform's contract: coefficients and quantisation selector in, samples out.
using JpegTransformKernel = void (*)(const std::int16_t* coefficients, std::int16_t* samples,
                                     std::uint16_t quantSelector);

// Entropy decoding through a bit window and table look-ups (jpeg_entropy_fast.cpp).
// JpegPrepareFastEntropy derives the look-ups from the tables and takes the
// transform that JpegDecodeMcuFast hands each block with AC terms to.
void JpegPrepareFastEntropy(JpegTransformKernel transform);
void JpegDecodeMcuFast(const McuLayout& layout, std::int16_t* luma, std::int16_t* cb,
                       std::int16_t* cr, JpegPredictors& predictors);

// JpegInverseTransform in SIMD lanes (jpeg_transform_sse2.cpp, jpeg_transform_avx2.cpp).
void JpegInverseTransformSse2(const std::int16_t* coefficients, std::int16_t* samples,
                              std::uint16_t quantSelector);
void JpegInverseTransformAvx2(const std::int16_t* coefficients, std::int16_t* samples,
                              std::uint16_t quantSelector);

// The part of the MCU at (x, y) that lies inside the frame, and where its
// first pixel goes in jpegState.pixels.
struct McuInFrame {
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t* out;
};

inline McuInFrame JpegMcuInFrame(const McuLayout& layout, std::uint32_t x, std::uint32_t y)
{
    const JpegDecoderState& s = jpegState;
    return {s.frameHeight - y < layout.height ? s.frameHeight - y : layout.height,
            s.frameWidth - x < layout.width ? s.frameWidth - x : layout.width, s.pixels + y * s.frameWidth + x};
}

// Pixel assembly a row of an MCU at a time (jpeg_scan_fast.cpp, jpeg_scan_sse2.cpp,
// jpeg_scan_avx2.cpp).
void JpegStoreMcuFast(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                      const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr);
void JpegStoreMcuSse2(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                      const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr);
void JpegStoreMcuAvx2(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                      const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr);

JPEG_NAMESPACE_END
