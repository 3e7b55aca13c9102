// Sample clamping, YCbCr to RGB and pixel packing, inline: the scan converts
// every pixel.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

// JFIF colour factors in units of 1/32: 1.40625, 0.34375, 0.71875, 1.78125.
inline constexpr std::int16_t kCrToRed = 45;
inline constexpr std::int16_t kCbToGreen = 11;
inline constexpr std::int16_t kCrToGreen = 23;
inline constexpr std::int16_t kCbToBlue = 57;

inline std::int16_t JpegClampSample(std::int32_t v)
{
    return static_cast<std::int16_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// One Y, Cb, Cr triple to red, green and blue, each clamped to 0..255; each
// product is shifted on its own.
inline void JpegYCbCrToRgb(std::int16_t luma, std::int16_t cb, std::int16_t cr,
                           std::int16_t* red, std::int16_t* green, std::int16_t* blue)
{
    std::int32_t u = cb - 128;
    std::int32_t v = cr - 128;
    *red = JpegClampSample(luma + ((kCrToRed * v) >> 5));
    *green = JpegClampSample(luma - ((kCbToGreen * u) >> 5) - ((kCrToGreen * v) >> 5));
    *blue = JpegClampSample(luma + ((kCbToBlue * u) >> 5));
}

// Packed pixels: blue in bits 0..7, green 8..15, red 16..23, 0xFF on top.
inline std::uint32_t JpegPackGrey(std::int16_t sample)
{
    return 0xFF000000u + static_cast<std::uint32_t>(sample) * 0x10101u;
}

inline std::uint32_t JpegPackRgb(std::int16_t red, std::int16_t green, std::int16_t blue)
{
    return 0xFF000000u + static_cast<std::uint32_t>(red) * 65536u +
           static_cast<std::uint32_t>(green) * 256u + static_cast<std::uint32_t>(blue);
}

JPEG_NAMESPACE_END
