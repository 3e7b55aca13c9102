// The steps of the scan that have faster forms beside the straightforward
// ones. The MCU loop calls them through the record that JpegPrepareScan
// returns; which record that is, is settled once per process.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

// An MCU's size in pixels and its luma blocks: block b sits at column
// 8 * (b & 1), row 8 * (b >> 1); the chroma blocks Cb and Cr follow them.
struct McuLayout {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t lumaBlocks;  // 1, 2 or 4
    bool colour;
};

// The scan's DC predictors, one per component.
struct JpegPredictors {
    std::int16_t y;
    std::int16_t cb;
    std::int16_t cr;
};

struct JpegKernels {
    // Decodes the MCU's blocks, in order, into luma (Y0..Y3), cb and cr samples.
    void (*decodeMcu)(const McuLayout& layout, std::int16_t* luma, std::int16_t* cb,
                      std::int16_t* cr, JpegPredictors& predictors);
    // Stores the pixels of the MCU at (x, y) that fall inside the frame.
    void (*storeMcu)(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                     const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr);
};

// The kernels for the scan about to start, with what they derive from the
// tables made ready (jpeg_dispatch.cpp; the reference build's own in
// jpeg_kernels_plain.cpp).
const JpegKernels& JpegPrepareScan();

// The straightforward kernels (jpeg_scan.cpp).
void JpegDecodeMcuPlain(const McuLayout& layout, std::int16_t* luma, std::int16_t* cb,
                        std::int16_t* cr, JpegPredictors& predictors);
void JpegStoreMcuPlain(const McuLayout& layout, std::uint32_t x, std::uint32_t y,
                       const std::int16_t* luma, const std::int16_t* cb, const std::int16_t* cr);

JPEG_NAMESPACE_END
