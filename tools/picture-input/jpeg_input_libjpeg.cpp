// libjpeg-turbo's decompressor with its errors turned into a message: the
// error handler jumps back out of the library, which owns no C++ objects.
#include "jpeg_input.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "libjpeg_error_trap.h"

namespace splash {
namespace {

// A progressive file can hold thousands of tiny scans that each cost a pass
// over the picture; real encoders write about ten.
constexpr int kMaxScans = 100;

// Warnings (damaged data the library works around) are not printed.
void Quiet(j_common_ptr, int) {}

// progress_monitor: stops a file with too many scans.
void LimitScans(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) {
        auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
        std::snprintf(trap->message, sizeof trap->message, "more than %d scans", kMaxScans);
        std::longjmp(trap->back, 1);
    }
}

// Decodes into `rgb` (resized once the size is known); false with the trap's message.
bool Decode(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& rgb, int& width, int& height,
            int& channels, ErrorTrap& trap)
{
    jpeg_decompress_struct info;
    jpeg_progress_mgr progress{};
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = Escape;
    trap.manager.emit_message = Quiet;
    if (setjmp(trap.back) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    progress.progress_monitor = LimitScans;
    info.progress = &progress;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (std::uint64_t{info.image_width} * info.image_height > kMaxInputPixels) {
        std::snprintf(trap.message, sizeof trap.message, "%ux%u is more pixels than splash-check takes",
                      info.image_width, info.image_height);
        jpeg_destroy_decompress(&info);
        return false;
    }
    channels = info.num_components == 1 ? 1 : 3;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    rgb.resize(std::size_t(width) * height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &rgb[std::size_t(info.output_scanline) * width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

std::string ReadJpegPicture(std::span<const std::uint8_t> bytes, Picture& rgba, int& fileChannels)
{
    ErrorTrap trap{};
    std::vector<std::uint8_t> rgb;
    int width = 0, height = 0;
    if (!Decode(bytes, rgb, width, height, fileChannels, trap))
        return std::string("not a JPEG picture libjpeg-turbo reads (") + trap.message + ")";
    rgba = Picture{width, height, 4, std::vector<std::uint8_t>(std::size_t(width) * height * 4)};
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
        for (int c = 0; c < 3; ++c)
            rgba.data[4 * i + c] = rgb[3 * i + c];
        rgba.data[4 * i + 3] = 255;
    }
    return {};
}

}  // namespace splash
