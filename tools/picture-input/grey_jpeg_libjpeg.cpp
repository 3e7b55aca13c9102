// libjpeg-turbo's compressor; its only errors are out of memory, which jump
// back here.
#include "grey_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "libjpeg_error_trap.h"

namespace splash {
namespace {

// Compresses `grey` (one byte a pixel) into `*memory`; false with the trap's message.
bool Compress(const std::vector<std::uint8_t>& grey, int width, int height, int quality, unsigned char** memory,
              unsigned long* size, ErrorTrap& trap)
{
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = Escape;
    if (setjmp(trap.back) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, memory, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);  // 8-bit tables: baseline
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPLE*>(&grey[std::size_t(info.next_scanline) * width]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::string EncodeGreyJpeg(const Picture& rgb, int quality, std::vector<std::uint8_t>& jpeg)
{
    std::vector<std::uint8_t> grey(std::size_t(rgb.width) * rgb.height);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = rgb.data[3 * i];
    ErrorTrap trap{};
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    const bool ok = Compress(grey, rgb.width, rgb.height, quality, &memory, &size, trap);
    if (ok)
        jpeg.assign(memory, memory + size);
    std::free(memory);  // jpeg_mem_dest's buffer
    return ok ? std::string() : std::string("libjpeg-turbo cannot write the grey picture (") + trap.message + ")";
}

}  // namespace splash
