// Any picture splash-check reads (PNG, BMP, TGA, GIF's first frame, PSD, PNM,
// JPEG of every kind), as 8-bit RGBA, turned upright by its EXIF orientation.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace splash {

struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;                 // 3 RGB or 4 RGBA, interleaved
    std::vector<std::uint8_t> data;   // top row first
};

struct LoadedPicture {
    Picture picture;                  // RGBA
    int fileChannels = 0;             // 1..4: grey, grey+alpha, RGB, RGBA
    int orientation = 0;              // EXIF orientation applied; 0 without one
};

// An error message ("not a picture stb_image reads: ..."), or empty.
std::string LoadPicture(std::span<const std::uint8_t> bytes, LoadedPicture& loaded);

// The picture as shown for EXIF orientation 1..8 (others leave it as it is).
Picture Orient(const Picture& stored, int orientation);

}  // namespace splash
