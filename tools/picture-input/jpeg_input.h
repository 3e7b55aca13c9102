// JPEG artwork read for --make by a decoder hardened against damaged files:
// libjpeg-turbo on Linux, the Windows Imaging Component on Windows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "picture_load.h"

namespace splash {

// Pictures beyond this many pixels are refused before any pixel is decoded.
inline constexpr std::uint64_t kMaxInputPixels = std::uint64_t{1} << 25;  // 8K UHD (7680 x 4320) fits

// RGBA, top row first; `fileChannels` 1 for grey, 3 for colour. An error
// message, or empty.
std::string ReadJpegPicture(std::span<const std::uint8_t> bytes, Picture& rgba, int& fileChannels);

}  // namespace splash
