// Sample clamping and YCbCr to RGB, inline: the scan converts every pixel.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

inline std::int16_t JpegClampSample(std::int32_t v)
{
    return static_cast<std::int16_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// JFIF YCbCr to RGB with factors in units of 1/32 (1.40625, 0.34375, 0.71875,
// 1.78125); each product shifted on its own, each result clamped to 0..255.
inline void JpegYCbCrToRgb(std::int16_t luma, std::int16_t cb, std::int16_t cr,
                           std::int16_t* red, std::int16_t* green, std::int16_t* blue)
{
    std::int32_t y = luma;
    std::int32_t u = cb - 128;
    std::int32_t v = cr - 128;
    *red = JpegClampSample(y + ((45 * v) >> 5));
    *green = JpegClampSample(y - ((11 * u) >> 5) - ((23 * v) >> 5));
    *blue = JpegClampSample(y + ((57 * u) >> 5));
}

JPEG_NAMESPACE_END
