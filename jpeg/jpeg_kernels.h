// The steps of the scan that each path of the decoder does its own way: MCU
// decoding, the inverse transform the MCU decoder hands blocks to, and the
// pixel store. The MCU loop calls them through the one record that
// JpegPrepareScan returns for the active path (jpeg_paths.cpp).
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"
#include "jpeg/jpeg_state.h"

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

// JpegInverseTransform's contract: coefficients and quantisation selector in, samples out.
using JpegTransformKernel = void (*)(const std::int16_t* coefficients, std::int16_t* samples,
                                     std::uint16_t quantSelector);

// Decodes the MCU's blocks, in order, into luma (Y0..Y3), cb and cr samples,
// each block's coefficients through `transform`.
using JpegMcuDecoder = void (*)(const McuLayout& layout, JpegTransformKernel transform, std::int16_t* luma,
                                std::int16_t* cb, std::int16_t* cr, JpegPredictors& predictors);

// Leaves the bit reader where the MCUs decoded so far took it to: before a
// restart and at the end of the scan.
using JpegMcuFinish = void (*)();

// Stores the pixels of the MCU at (x, y) that fall inside the frame.
using JpegMcuStore = void (*)(const McuLayout& layout, std::uint32_t x, std::uint32_t y, const std::int16_t* luma,
                              const std::int16_t* cb, const std::int16_t* cr);

struct JpegKernels {
    JpegMcuDecoder decodeMcu;
    JpegTransformKernel transform;
    JpegMcuStore storeMcu;
    JpegMcuFinish finishMcus;
};

// The record of the active path, with what its MCU decoder derives from the
// tables made ready for the scan about to start.
const JpegKernels& JpegPrepareScan();

// The reference kernels: a bit per call, a linear Huffman search, pixel by
// pixel (jpeg_scan.cpp). Blocks go through JpegDecodeBlock, which transforms
// with JpegInverseTransform whatever `transform` says.
void JpegDecodeMcuReference(const McuLayout& layout, JpegTransformKernel transform, std::int16_t* luma,
                            std::int16_t* cb, std::int16_t* cr, JpegPredictors& predictors);
void JpegFinishMcusReference();
void JpegStoreMcuReference(const McuLayout& layout, std::uint32_t x, std::uint32_t y, const std::int16_t* luma,
                           const std::int16_t* cb, const std::int16_t* cr);

// The scalar kernels: a window of bits and table look-ups
// (jpeg_entropy_scalar.cpp), a row of an MCU at a time (jpeg_scan_scalar.cpp).
// JpegPrepareScalarEntropy derives the look-ups from the tables. The window
// of bits stays open from one MCU to the next until JpegFinishMcusScalar.
void JpegPrepareScalarEntropy();
void JpegDecodeMcuScalar(const McuLayout& layout, JpegTransformKernel transform, std::int16_t* luma,
                         std::int16_t* cb, std::int16_t* cr, JpegPredictors& predictors);
void JpegFinishMcusScalar();
void JpegStoreMcuScalar(const McuLayout& layout, std::uint32_t x, std::uint32_t y, const std::int16_t* luma,
                        const std::int16_t* cb, const std::int16_t* cr);

// SIMD transforms and stores (x86/).
void JpegInverseTransformSse2(const std::int16_t* coefficients, std::int16_t* samples, std::uint16_t quantSelector);
void JpegInverseTransformAvx2(const std::int16_t* coefficients, std::int16_t* samples, std::uint16_t quantSelector);
void JpegStoreMcuSse2(const McuLayout& layout, std::uint32_t x, std::uint32_t y, const std::int16_t* luma,
                      const std::int16_t* cb, const std::int16_t* cr);
void JpegStoreMcuAvx2(const McuLayout& layout, std::uint32_t x, std::uint32_t y, const std::int16_t* luma,
                      const std::int16_t* cb, const std::int16_t* cr);

// The part of the MCU at (x, y) that lies inside the frame, and where its
// first pixel goes in jpegState.pixels: what the row-wise stores work on.
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

JPEG_NAMESPACE_END
