// Flattening and down-scaling; the filter is stb_image_resize's.
#include "picture_fit.h"

#include <cmath>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>

namespace splash {

Picture Flatten(const Picture& rgba, std::uint32_t background)
{
    const std::uint32_t back[3] = {(background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF};
    Picture rgb{rgba.width, rgba.height, 3, std::vector<std::uint8_t>(std::size_t(rgba.width) * rgba.height * 3)};
    for (std::size_t i = 0; i < std::size_t(rgba.width) * rgba.height; ++i) {
        const std::uint8_t* p = &rgba.data[4 * i];
        std::uint32_t alpha = p[3];
        for (int c = 0; c < 3; ++c)  // rounded: (a * fg + (255 - a) * bg) / 255
            rgb.data[3 * i + c] = static_cast<std::uint8_t>((alpha * p[c] + (255 - alpha) * back[c] + 127) / 255);
    }
    return rgb;
}

void FitSize(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight)
{
    fitWidth = width;
    fitHeight = height;
    if (width <= boxWidth && height <= boxHeight)
        return;
    // The tighter side fills the box exactly; the other rounds to at most the box.
    if (std::int64_t{width} * boxHeight >= std::int64_t{height} * boxWidth) {
        fitWidth = boxWidth;
        fitHeight = static_cast<int>(std::lround(double(height) * boxWidth / width));
    } else {
        fitHeight = boxHeight;
        fitWidth = static_cast<int>(std::lround(double(width) * boxHeight / height));
    }
    fitWidth = fitWidth < 1 ? 1 : fitWidth;
    fitHeight = fitHeight < 1 ? 1 : fitHeight;
}

Picture Scale(const Picture& rgb, int width, int height)
{
    Picture out{width, height, 3, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    stbir_resize_uint8_srgb(rgb.data.data(), rgb.width, rgb.height, 0, out.data.data(), width, height, 0, 3,
                            STBIR_ALPHA_CHANNEL_NONE, 0);
    return out;
}

}  // namespace splash
