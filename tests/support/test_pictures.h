// Pictures for the splash-check tests: encoded at test time with libjpeg-turbo,
// decoded by it as the reference, and edited segment by segment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct EncodeOptions {
    int width = 64;
    int height = 48;
    int components = 3;                  // 1 grey, 3 YCbCr, 4 CMYK
    int h[4] = {2, 1, 1, 1};             // sampling factors per component
    int v[4] = {2, 1, 1, 1};
    int ids[4] = {1, 2, 3, 4};
    int quantTable[4] = {0, 1, 1, 1};    // table 2 gets a flat table of 10s
    int huffTable[4] = {0, 1, 1, 1};     // needs optimize when 2 is used
    int quality = 85;
    bool forceBaseline = true;
    int restartInRows = 0;
    int restartInterval = 0;             // in MCUs
    bool progressive = false;
    bool arithmetic = false;
    bool optimize = false;
    bool rgbColourSpace = false;         // store RGB (Adobe transform 0)
    bool separateScans = false;          // one sequential scan per component
    bool omitTables = false;             // abbreviated: no DQT, no DHT
    bool jfif = true;
    std::vector<std::pair<int, Bytes>> markers;  // (marker code, payload) after the JFIF header
    // Samples in the input colour space, interleaved, in place of the test picture.
    const std::vector<std::uint8_t>* samples = nullptr;
};

Bytes Encode(const EncodeOptions& options);

// Default options at another size.
EncodeOptions Sized(int width, int height, int components = 3);

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> data;  // 3 bytes per pixel, top row first
};

// libjpeg-turbo with the fast integer transform and no fancy upsampling.
Rgb ReferenceDecode(const Bytes& jpeg);

double Psnr(const Rgb& a, const Rgb& b);  // 99 for identical pictures
bool IsUniform(const Rgb& picture);

// Segment editing by marker position (the first match from `from`).
std::size_t FindMarker(const Bytes& jpeg, std::uint8_t code, std::size_t from = 2);
Bytes Segment(std::uint8_t code, const Bytes& payload);
Bytes SegmentAt(const Bytes& jpeg, std::size_t offset);  // whole segment with its marker
Bytes Insert(Bytes jpeg, std::size_t offset, const Bytes& bytes);
Bytes Erase(Bytes jpeg, std::size_t offset, std::size_t count);

// An APP1 Exif payload: IFD0 with the orientation tag; IFD1 pointing at the
// thumbnail when one is given. Intel byte order, or Motorola.
Bytes ExifPayload(int orientation, const Bytes& thumbnail = {}, bool motorola = false);

}  // namespace testsupport
