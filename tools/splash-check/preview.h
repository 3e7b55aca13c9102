// Writes the decoder's pixel buffer to an image file, byte for byte.
#pragma once

#include <cstdint>
#include <string>

namespace splash {

enum class PreviewFormat { Png, Bmp, Ppm, Unknown };

// By the extension, letter case ignored: .png, .bmp, .ppm.
PreviewFormat PreviewFormatFor(const std::string& path);

// pixels: width x height 0xFFRRGGBB values, top row first, written in the
// format of the path's extension. Returns an empty string on success, else
// a one-line reason.
std::string WritePreview(const std::string& path, const std::uint32_t* pixels, std::uint32_t width,
                         std::uint32_t height);

}  // namespace splash
