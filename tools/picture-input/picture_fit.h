// A loaded picture made ready for the encoder: flattened onto a background
// and scaled down into a box when it does not fit.
#pragma once

#include <cstdint>

#include "picture_load.h"

namespace splash {

// RGB: each pixel's alpha blended over `background` (0xRRGGBB).
Picture Flatten(const Picture& rgba, std::uint32_t background);

// The largest size with `width`:`height`'s aspect ratio (rounded) inside
// boxWidth x boxHeight; the size itself when it fits already.
void FitSize(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight);

// `rgb` scaled to width x height with a Mitchell filter in linear light
// (stb_image_resize's sRGB resampler).
Picture Scale(const Picture& rgb, int width, int height);

}  // namespace splash
