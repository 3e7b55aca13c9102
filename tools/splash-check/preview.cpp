// Preview writers: PNG and BMP through stb_image_write, PPM (P6) by hand.
#include "preview.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// The preview file being written; a short write clears `ok`.
struct Output {
    std::FILE* file;
    bool ok;
};

// stb_image_write's output callback: appends to the file.
void Put(void* context, void* data, int size)
{
    auto* out = static_cast<Output*>(context);
    out->ok = std::fwrite(data, 1, std::size_t(size), out->file) == std::size_t(size) && out->ok;
}

}  // namespace
}  // namespace splash

#define STBIW_ZLIB_COMPRESS splash::ZlibCompress
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace splash {

PreviewFormat PreviewFormatFor(const std::string& path)
{
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return PreviewFormat::Unknown;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "png")
        return PreviewFormat::Png;
    if (ext == "bmp")
        return PreviewFormat::Bmp;
    if (ext == "ppm")
        return PreviewFormat::Ppm;
    return PreviewFormat::Unknown;
}

std::string WritePreview(const std::string& path, PreviewFormat format, const std::uint32_t* pixels,
                         std::uint32_t width, std::uint32_t height)
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
    if (format == PreviewFormat::Unknown)
        return "the preview name must end in .png, .bmp or .ppm";
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    errno = 0;
    // Written through one FILE and closed here: stb_image_write's own file
    // output ignores fclose, which is where a full disk shows.
    Output out{std::fopen(path.c_str(), "wb"), true};
    if (out.file != nullptr) {
        if (format == PreviewFormat::Png) {
            // The Up filter on every row: trying all five per row took 60 ms of
            // a 1920x1080 preview, and Up alone compresses photos as well.
            stbi_write_force_png_filter = 2;
            out.ok = stbi_write_png_to_func(Put, &out, w, h, 3, rgb.data(), w * 3) != 0 && out.ok;
        } else if (format == PreviewFormat::Bmp) {
            out.ok = stbi_write_bmp_to_func(Put, &out, w, h, 3, rgb.data()) != 0 && out.ok;
        } else {
            std::fprintf(out.file, "P6\n%u %u\n255\n", width, height);
            Put(&out, rgb.data(), static_cast<int>(rgb.size()));
        }
        out.ok = std::fclose(out.file) == 0 && out.ok;
    }
    if (out.file == nullptr || !out.ok)
        return "cannot write " + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
    return {};
}

}  // namespace splash
