// One-component baseline JPEG for grey artwork: stb_image_write writes
// every picture as three components, which for grey pictures only costs
// bytes (a 417-byte grey file came out at 1,635). libjpeg-turbo on Linux,
// the Windows Imaging Component on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture_load.h"

namespace splash {

// True when every pixel of the RGB picture has red = green = blue.
bool IsGrey(const Picture& rgb);

// `rgb`'s red channel as a grey baseline JPEG with standard Huffman tables
// at quality 1..100; an error message, or empty.
std::string EncodeGreyJpeg(const Picture& rgb, int quality, std::vector<std::uint8_t>& jpeg);

}  // namespace splash
