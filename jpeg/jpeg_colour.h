// Sample clamping and YCbCr to RGB, inline: the scan converts every pixel.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

inline std::int16_t JpegClampSample(std::int32_t v)
{
    return static_cast<std::int16_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// What Cb and Cr add to Y for red, green and blue: JFIF factors in units of
// 1/32 (1.40625, 0.34375, 0.71875, 1.78125), each product shifted on its own.
struct ChromaTerms {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
};

inline ChromaTerms JpegChromaTerms(std::int16_t cb, std::int16_t cr)
{
    std::int32_t u = cb - 128;
    std::int32_t v = cr - 128;
    return {(45 * v) >> 5, -((11 * u) >> 5) - ((23 * v) >> 5), (57 * u) >> 5};
}

// One Y, Cb, Cr triple to red, green and blue, each clamped to 0..255.
inline void JpegYCbCrToRgb(std::int16_t luma, std::int16_t cb, std::int16_t cr,
                           std::int16_t* red, std::int16_t* green, std::int16_t* blue)
{
    ChromaTerms terms = JpegChromaTerms(cb, cr);
    *red = JpegClampSample(luma + terms.red);
    *green = JpegClampSample(luma + terms.green);
    *blue = JpegClampSample(luma + terms.blue);
}

JPEG_NAMESPACE_END
