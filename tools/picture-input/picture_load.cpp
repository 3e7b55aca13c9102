// Picture input: JPEG through ReadJpegPicture, every other format through
// stb_image; EXIF orientation from the JPEG structure reader, since neither
// applies it.
#include "picture_load.h"

#include <algorithm>
#include <limits>

#include "jpeg_input.h"
#include "jpeg_structure.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_JPEG  // it reads out of bounds on damaged JPEG files
#define STBI_NO_HDR
#define STBI_NO_PIC
#define STBI_NO_LINEAR
#include <stb/stb_image.h>

namespace splash {
namespace {

// The first EXIF orientation of a JPEG file; 0 when there is none.
int ExifOrientation(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return 0;
    for (const AppRecord& app : ReadJpegStructure(bytes).apps)
        if (app.exifOrientation != 0)
            return app.exifOrientation;
    return 0;
}

// stb_image's reason, printable: for an unknown PNG chunk it quotes the
// chunk's four type bytes, which can be any bytes, line ends included.
std::string FailureReason()
{
    std::string reason = stbi_failure_reason();
    for (char& c : reason)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            c = '?';
    return reason.empty() ? "no reason given" : reason;
}

// True when the width, height or maximum of a binary PNM header is past
// int's range: stb_image reads them into an int unchecked. White space and
// # comments are skipped as stb_image skips them.
bool PnmHeaderOverflows(std::span<const std::uint8_t> bytes)
{
    auto space = [](std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t i = 2;
    for (int number = 0; number < 3; ++number) {
        for (;;) {
            while (i < bytes.size() && space(bytes[i]))
                ++i;
            if (i >= bytes.size() || bytes[i] != '#')
                break;
            while (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\r')
                ++i;
        }
        std::int64_t value = 0;
        for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
            value = value * 10 + (bytes[i] - '0');
            if (value > std::numeric_limits<int>::max())
                return true;
        }
    }
    return false;
}

}  // namespace

std::string LoadPicture(std::span<const std::uint8_t> bytes, LoadedPicture& loaded)
{
    Picture stored;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        std::string error = ReadJpegPicture(bytes, stored, loaded.fileChannels);
        if (!error.empty())
            return error;
    } else {
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            return "not a picture stb_image reads: larger than 2 GiB";
        const int size = static_cast<int>(bytes.size());
        const bool pnm = bytes.size() >= 2 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6');
        if (pnm && PnmHeaderOverflows(bytes))
            return "not a picture splash-check reads (a PNM header number past 2147483647)";
        // stb_image 2.27 reads past its buffer converting 16-bit PNM samples.
        if (pnm && stbi_is_16_bit_from_memory(bytes.data(), size))
            return "not a picture splash-check reads (a PNM file with 16-bit samples: save it with 8)";
        int width = 0, height = 0, channels = 0;
        if (stbi_info_from_memory(bytes.data(), size, &width, &height, &channels) &&
            std::uint64_t(width) * std::uint64_t(height) > kMaxInputPixels)
            return std::to_string(width) + "x" + std::to_string(height) + " is more pixels than splash-check takes";
        stbi_uc* pixels = stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 4);
        if (pixels == nullptr)
            return "not a picture stb_image reads (" + FailureReason() + ")";
        if (width <= 0 || height <= 0) {  // stb_image's PNM reader takes a missing size as 0
            stbi_image_free(pixels);
            return "not a picture stb_image reads (no size)";
        }
        stored = Picture{width, height, 4, std::vector<std::uint8_t>(pixels, pixels + std::size_t(width) * height * 4)};
        stbi_image_free(pixels);
        loaded.fileChannels = channels;
    }
    loaded.orientation = ExifOrientation(bytes);
    loaded.picture = Orient(stored, loaded.orientation);
    return {};
}

// Each output pixel fetched from where the orientation stored it.
Picture Orient(const Picture& stored, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return stored;
    const int w = stored.width, h = stored.height;
    const bool turned = orientation >= 5;  // width and height swap
    Picture out{turned ? h : w, turned ? w : h, stored.channels, {}};
    out.data.resize(stored.data.size());
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;                    // mirrored
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;    // upside down
            case 4: sy = h - 1 - y; break;                    // mirrored upside down
            case 5: sx = y; sy = x; break;                    // transposed
            case 6: sx = y; sy = h - 1 - x; break;            // needs a quarter turn clockwise
            case 7: sx = w - 1 - y; sy = h - 1 - x; break;    // transversed
            case 8: sx = w - 1 - y; sy = x; break;            // needs a quarter turn anticlockwise
            }
            const std::uint8_t* from = &stored.data[(std::size_t(sy) * w + sx) * stored.channels];
            std::copy(from, from + stored.channels, &out.data[(std::size_t(y) * out.width + x) * stored.channels]);
        }
    }
    return out;
}

}  // namespace splash
