// Preview writers: PNG and BMP through stb_image_write, PPM (P6) as its header
// and the same RGB rows.
#include "preview.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "file_io.h"

namespace splash {
namespace {

// stb_image_write's PNG compressor: zlib at its fastest level. A 1920x1080
// photo's preview (Up filter) took 58 ms and 2.0 MB; stb's own compressor
// with its filter choice, 261 ms and 2.8 MB. Null when out of memory.
unsigned char* ZlibCompress(unsigned char* data, int length, int* outLength, int /*level*/)
{
    uLongf size = compressBound(static_cast<uLong>(length));
    auto* packed = static_cast<unsigned char*>(std::malloc(size));  // stb_image_write frees it
    if (packed == nullptr || compress2(packed, &size, data, static_cast<uLong>(length), Z_BEST_SPEED) != Z_OK) {
        std::free(packed);
        return nullptr;
    }
    *outLength = static_cast<int>(size);
    return packed;
}

}  // namespace
}  // namespace splash

#define STBIW_ZLIB_COMPRESS splash::ZlibCompress
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace splash {

PreviewFormat PreviewFormatFor(const std::string& path)
{
    static const std::pair<const char*, PreviewFormat> kExtensions[] = {
        {"png", PreviewFormat::Png}, {"bmp", PreviewFormat::Bmp}, {"ppm", PreviewFormat::Ppm}};
    std::size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto& [name, format] : kExtensions)
        if (ext == name)
            return format;
    return PreviewFormat::Unknown;
}

std::string WritePreview(const std::string& path, const std::uint32_t* pixels, std::uint32_t width,
                         std::uint32_t height)
{
    if (width == 0 || height == 0)
        return "the picture is " + std::to_string(width) + "x" + std::to_string(height) + ", no preview to write";
    // RGB rows, top first: red from bits 16..23, green 8..15, blue 0..7.
    std::vector<std::uint8_t> rgb(std::size_t{width} * height * 3);
    for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
        rgb[3 * i + 0] = static_cast<std::uint8_t>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
    }
    int w = static_cast<int>(width), h = static_cast<int>(height);
    errno = 0;
    bool ok = false;
    switch (PreviewFormatFor(path)) {
    case PreviewFormat::Png:
        // The Up filter on every row: trying all five per row took 60 ms of
        // a 1920x1080 preview, and Up alone compresses photos as well.
        stbi_write_force_png_filter = 2;
        ok = stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3) != 0;
        break;
    case PreviewFormat::Bmp:
        ok = stbi_write_bmp(path.c_str(), w, h, 3, rgb.data()) != 0;
        break;
    case PreviewFormat::Ppm: {
        const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        rgb.insert(rgb.begin(), header.begin(), header.end());
        return WriteWholeFile(path, rgb);
    }
    case PreviewFormat::Unknown:
        return "the preview name must end in .png, .bmp or .ppm";
    }
    if (!ok)
        return "cannot write " + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
    return {};
}

}  // namespace splash
