// The fast forms of the scan's steps, each phase in files of its own;
// jpeg_dispatch.cpp picks among them.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_kernels.h"
#include "jpeg/jpeg_namespace.h"

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

// Pixel assembly a row of an MCU at a time (jpeg_scan_fast.cpp).
void JpegStoreMcuFast(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                      const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr);

JPEG_NAMESPACE_END
