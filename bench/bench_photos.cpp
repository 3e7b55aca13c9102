// Photographs from files for jpeg-bench.
#include "bench/bench_photos.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Width and height from the first frame header; false when there is none.
bool ReadSize(const std::vector<std::uint8_t>& jpeg, std::uint32_t* width, std::uint32_t* height)
{
    std::size_t at = 2;  // after SOI
    while (at + 9 <= jpeg.size() && jpeg[at] == 0xFF) {
        std::uint8_t marker = jpeg[at + 1];
        std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            *height = std::uint32_t{jpeg[at + 5]} << 8 | jpeg[at + 6];
            *width = std::uint32_t{jpeg[at + 7]} << 8 | jpeg[at + 8];
            return *width > 0 && *height > 0;
        }
        at += 2 + length;
    }
    return false;
}

}  // namespace

bool LoadPhoto(const std::string& path, const std::string& name, BenchPicture* photo)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    bool read = file.is_open() && !file.bad();
    photo->name = name;
    photo->sampling = Sampling::k420;  // unused for files: the stream says
    photo->restartEveryRow = false;
    photo->jpeg = std::move(bytes);
    if (!read || !ReadSize(photo->jpeg, &photo->width, &photo->height)) {
        std::fprintf(stderr, "jpeg-bench: cannot read a JPEG picture from %s\n", path.c_str());
        return false;
    }
    return true;
}

bool LoadPhotos(const std::string& folder, std::vector<BenchPicture>* photos)
{
    std::error_code error;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".jpg")
            paths.push_back(entry.path());
    if (error || paths.empty()) {
        std::fprintf(stderr, "jpeg-bench: no .jpg pictures in %s\n", folder.c_str());
        return false;
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        BenchPicture photo;
        if (!LoadPhoto(path.string(), "photo-" + path.stem().string(), &photo))
            return false;
        photos->push_back(std::move(photo));
    }
    return true;
}
