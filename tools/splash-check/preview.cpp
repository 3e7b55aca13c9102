// Preview writers: PNG and BMP through stb_image_write, PPM (P6) as its header
// and the same RGB rows.
#include "preview.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
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
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    // Encoded in memory and written by WriteWholeFile, which checks the
    // close: stb_image_write's own file output ignores fclose, where a full
    // disk shows.
    std::vector<std::uint8_t> file;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    switch (PreviewFormatFor(path)) {
    case PreviewFormat::Png:
        // The Up filter on every row: trying all five per row took 60 ms of
        // a 1920x1080 preview, and Up alone compresses photos as well.
        stbi_write_force_png_filter = 2;
        if (stbi_write_png_to_func(append, &file, w, h, 3, rgb.data(), w * 3) == 0)
            return "cannot write " + path + ": out of memory";
        break;
    case PreviewFormat::Bmp:
        if (stbi_write_bmp_to_func(append, &file, w, h, 3, rgb.data()) == 0)
            return "cannot write " + path + ": out of memory";
        break;
    case PreviewFormat::Ppm: {
        const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        file.assign(header.begin(), header.end());
        file.insert(file.end(), rgb.begin(), rgb.end());
        break;
    }
    case PreviewFormat::Unknown:
        return "the preview name must end in .png, .bmp or .ppm";
    }
    return WriteWholeFile(path, file);
}

}  // namespace splash
