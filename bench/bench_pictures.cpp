// Photo-like test pictures: soft light, a few hard-edged shapes, texture at two
// scales and sensor-like grain, so that the entropy-coded data has the density
// of a real photo (about 1 to 3 bits per pixel at quality 85) rather than that
// of a flat synthetic picture.
#include "bench/bench_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

// A 32-bit integer hash, for noise that is the same on every run.
std::uint32_t HashPoint(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// Noise in [-1, 1] at point (x, y), interpolated between lattice points
// `cell` pixels apart.
float ValueNoise(float x, float y, float cell, std::uint32_t seed)
{
    float fx = x / cell, fy = y / cell;
    auto ix = static_cast<std::uint32_t>(fx), iy = static_cast<std::uint32_t>(fy);
    float tx = fx - static_cast<float>(ix), ty = fy - static_cast<float>(iy);
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto corner = [&](std::uint32_t dx, std::uint32_t dy) {
        return static_cast<float>(HashPoint(ix + dx, iy + dy, seed) & 0xFFFF) / 32767.5f - 1;
    };
    float top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * tx;
    float bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

std::uint8_t ClampToByte(float value)
{
    return value <= 0 ? 0 : value >= 255 ? 255 : static_cast<std::uint8_t>(value + 0.5f);
}

// Draws a width x height RGB picture (3 bytes per pixel, top row first).
std::vector<std::uint8_t> DrawPhotoLike(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> rgb(std::size_t{width} * height * 3);
    float scale = static_cast<float>(width) / 640;  // the same scene at every size
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
            float px = static_cast<float>(x), py = static_cast<float>(y);
            // Sky above a horizon at 55 %, ground below, each with its own gradient.
            float r, g, b;
            if (v < 0.55f + 0.05f * std::sin(u * 9)) {
                r = 90 + 110 * v;
                g = 140 + 80 * v;
                b = 230 - 40 * v;
            } else {
                r = 110 - 40 * v + 30 * u;
                g = 120 - 30 * v;
                b = 60 + 20 * u;
            }
            // A sun disc and a dark house-like block: hard edges.
            float dx = u - 0.72f, dy = (v - 0.22f) * height / width;
            if (dx * dx + dy * dy < 0.004f) {
                r = 250; g = 235; b = 190;
            }
            if (u > 0.18f && u < 0.38f && v > 0.42f && v < 0.78f) {
                r = 150 + 30 * (u - 0.18f) * 5; g = 70; b = 50;
                if (static_cast<std::uint32_t>(v * 60) % 4 == 0)
                    r = g = b = 60;
            }
            // Texture at two scales, stronger on the ground, then grain.
            float detail = v < 0.55f ? 6.0f : 22.0f;
            float texture = detail * ValueNoise(px, py, 24 * scale, 1) +
                            detail * 0.6f * ValueNoise(px, py, 3 * scale, 2);
            float grain = static_cast<float>(HashPoint(x, y, 3) % 13) - 6;
            float tint = 8 * ValueNoise(px, py, 64 * scale, 4);
            std::uint8_t* out = &rgb[(std::size_t{y} * width + x) * 3];
            out[0] = ClampToByte(r + texture + grain + tint);
            out[1] = ClampToByte(g + texture + grain);
            out[2] = ClampToByte(b + texture + grain - tint);
        }
    }
    return rgb;
}

// Encodes an RGB picture with libjpeg-turbo at quality 85.
std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& rgb, std::uint32_t width,
                                     std::uint32_t height, Sampling sampling, bool restartEveryRow)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    bool grey = sampling == Sampling::kGrey;
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    if (sampling == Sampling::k444)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    if (restartEveryRow)
        cinfo.restart_in_rows = 1;
    jpeg_start_compress(&cinfo, TRUE);

    std::vector<std::uint8_t> row(std::size_t{width} * 3);
    while (cinfo.next_scanline < height) {
        const std::uint8_t* source = &rgb[std::size_t{cinfo.next_scanline} * width * 3];
        if (grey) {
            // Rec. 601 luma, as a camera's grey mode would give.
            for (std::uint32_t x = 0; x < width; ++x)
                row[x] = static_cast<std::uint8_t>(
                    (299 * source[3 * x] + 587 * source[3 * x + 1] + 114 * source[3 * x + 2] + 500) / 1000);
        } else {
            std::copy(source, source + std::size_t{width} * 3, row.begin());
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return jpeg;
}

}  // namespace

std::vector<BenchPicture> MakeBenchPictures(const std::string& only)
{
    struct Size {
        std::uint32_t width, height;
    };
    const Size sizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};
    const struct {
        Sampling sampling;
        const char* name;
    } samplings[] = {{Sampling::kGrey, "grey"}, {Sampling::k444, "444"}, {Sampling::k420, "420"}};

    std::vector<BenchPicture> pictures;
    for (Size size : sizes) {
        std::vector<std::uint8_t> rgb;
        auto add = [&](const std::string& name, Sampling sampling, bool restart) {
            if (!only.empty() && name != only)
                return;
            if (rgb.empty())
                rgb = DrawPhotoLike(size.width, size.height);
            pictures.push_back({name, size.width, size.height, sampling, restart,
                                EncodeJpeg(rgb, size.width, size.height, sampling, restart)});
        };
        for (const auto& s : samplings) {
            std::string name = std::to_string(size.width) + "x" + std::to_string(size.height) + "_" + s.name;
            add(name, s.sampling, false);
            if (size.width == 1920 && s.sampling == Sampling::k420)
                add(name + "_rst", s.sampling, true);
        }
    }
    return pictures;
}
