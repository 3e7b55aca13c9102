// The benchmark's pictures: drawn here, encoded with libjpeg-turbo at quality 85.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Sampling { kGrey, k444, k420 };

struct BenchPicture {
    std::string name;                // "1920x1080_420", "1920x1080_420_rst"
    std::uint32_t width;             // pixels
    std::uint32_t height;
    Sampling sampling;
    bool restartEveryRow;            // a restart marker after every MCU row
    std::vector<std::uint8_t> jpeg;  // the encoded stream
};

// The full set: 640x480, 1920x1080, 3840x2160 in grey, 4:4:4 and 4:2:0, and
// 1920x1080 4:2:0 with restart markers; or only the one named `only`.
std::vector<BenchPicture> MakeBenchPictures(const std::string& only = "");
