// --make: load, turn upright, flatten, fit the screen, add the margin the
// frame covers, encode with stb_image_write's baseline JPEG writer, write
// beside the output, check, and only then put it in the output's place.
#include "make_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <stb/stb_image_write.h>

#include "file_io.h"
#include "grey_jpeg.h"
#include "make_output.h"
#include "picture_fit.h"
#include "picture_load.h"
#include "report.h"

namespace splash {
namespace {

// stb_image_write's output callback: appends to a byte vector.
void Append(void* context, void* data, int size)
{
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    auto* from = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), from, from + size);
}

// PSNR in dB of the decoder's 0xFFRRGGBB pixels against RGB; infinite when equal.
double Psnr(const std::uint32_t* pixels, const Picture& rgb)
{
    double sum = 0;
    const std::size_t count = std::size_t(rgb.width) * rgb.height;
    for (std::size_t i = 0; i < count; ++i) {
        for (int c = 0; c < 3; ++c) {
            double d = double((pixels[i] >> (16 - 8 * c)) & 0xFF) - rgb.data[3 * i + c];
            sum += d * d;
        }
    }
    return sum == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * 3 * double(count) / sum);
}

// The picture fitted to the screen, with two columns and rows of background
// on the right and bottom: the frame then covers those, and the client area
// shows the whole artwork.
Picture Prepare(const LoadedPicture& loaded, const MakeOptions& o, std::vector<std::string>& lines)
{
    static const char* const kKinds[] = {"", "grey", "grey with alpha", "RGB", "RGB with alpha"};
    lines.push_back("input: " + o.input + ", " + Size(loaded.picture.width, loaded.picture.height) + ", " +
                    kKinds[loaded.fileChannels]);
    if (loaded.orientation >= 2 && loaded.orientation <= 8)
        lines.push_back("orientation: EXIF " + std::to_string(loaded.orientation) + ", turned upright");
    Picture art = Flatten(loaded.picture, o.background);
    char colour[8];
    std::snprintf(colour, sizeof colour, "%06X", o.background & 0xFFFFFFu);
    if (loaded.fileChannels == 2 || loaded.fileChannels == 4)
        lines.push_back(std::string("alpha: flattened onto #") + colour);
    int width = 0, height = 0;
    FitSize(art.width, art.height, o.screen.width, o.screen.height, width, height);
    if (width != art.width || height != art.height) {
        lines.push_back("scaled: " + Size(art.width, art.height) + " to " + Size(width, height) + " to fit the " +
                        Size(o.screen.width, o.screen.height) + " screen");
        art = Scale(art, width, height);
    }
    lines.push_back(std::string("margin: two columns and rows of #") + colour +
                    " on the right and bottom, under the window's frame");
    const std::uint8_t back[3] = {std::uint8_t(o.background >> 16), std::uint8_t(o.background >> 8),
                                  std::uint8_t(o.background)};
    Picture out{width + 2, height + 2, 3, std::vector<std::uint8_t>(std::size_t(width + 2) * (height + 2) * 3)};
    for (std::size_t i = 0; i < out.data.size(); ++i)
        out.data[i] = back[i % 3];
    for (int y = 0; y < height; ++y)
        std::copy_n(&art.data[std::size_t(y) * width * 3], std::size_t(width) * 3,
                    &out.data[std::size_t(y) * out.width * 3]);
    return out;
}

// Baseline, 8-bit tables, standard Huffman codes, no EXIF, no restart
// markers: one component for a grey picture; otherwise stb_image_write's
// 4:2:0 up to quality 90 and 4:4:4 above. An error message, or empty.
std::string Encode(const Picture& picture, int quality, std::vector<std::uint8_t>& jpeg)
{
    if (IsGrey(picture))
        return EncodeGreyJpeg(picture, quality, jpeg);
    if (!stbi_write_jpg_to_func(Append, &jpeg, picture.width, picture.height, 3, picture.data.data(), quality))
        return "the JPEG writer refused a " + Size(picture.width, picture.height) + " picture";
    return {};
}

// Writes `bytes` beside the output, checks what was written and moves it
// into place when it shows as encoded. The exit status, as RunMake's.
int WriteChecked(const MakeOptions& o, std::span<const std::uint8_t> bytes, const Picture* prepared,
                 std::vector<std::string>& lines, std::string& error)
{
    const std::string fresh = NewFileBeside(o.output);
    std::vector<std::uint8_t> written;
    error = WriteWholeFile(fresh, bytes);
    if (error.empty())
        error = ReadWholeFile(fresh, written);
    if (!error.empty())
        return 2;
    const Report report = CheckPicture(written, o.output, o.screen);
    const DecoderRun& run = report.run;
    if (prepared != nullptr && run.result == 1 && int(run.width) == prepared->width &&
        int(run.height) == prepared->height) {
        const double db = Psnr(run.pixels.get(), *prepared);
        char psnr[96];
        std::snprintf(psnr, sizeof psnr, std::isinf(db) ? "PSNR: infinite, the splash's pixels equal the prepared picture"
                                                        : "PSNR: %.1f dB, the splash's pixels against the prepared picture",
                      db);
        lines.push_back(psnr);
    }
    for (const Warning& w : report.assessment.warnings)
        lines.push_back("warning [" + w.code + "]: " + w.message);
    const bool ok = report.assessment.verdict == Verdict::Ok;
    if (ok) {
        error = MoveOver(fresh, o.output);
        if (!error.empty())
            return 2;
    } else {
        lines.push_back("not written: " + o.output + " is left as it was; the new picture is " + fresh);
    }
    lines.push_back(VerdictLine(report.assessment, report.run.view));
    return ok ? 0 : 1;
}

// An input that shows as encoded and whose window stays on the screen
// needs no new encoding, which would only lose quality.
bool ShowsAsIs(std::span<const std::uint8_t> bytes, const MakeOptions& o)
{
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    const Report report = CheckPicture(bytes, o.input, o.screen);
    return report.assessment.verdict == Verdict::Ok && report.window.shown &&
           VisiblePixels(report.window) == std::int64_t{report.window.clientWidth} * report.window.clientHeight;
}

}  // namespace

int RunMake(const MakeOptions& o, std::ostream& out, std::string& error)
{
    error = RefuseOutput(o.output, o.input);
    std::vector<std::uint8_t> bytes;
    if (error.empty())
        error = ReadWholeFile(o.input, bytes);
    if (!error.empty())
        return 2;
    std::vector<std::string> lines;
    int status = 0;
    if (!o.reencode && ShowsAsIs(bytes, o)) {
        lines.push_back("input: " + o.input + " shows as encoded on the " + Size(o.screen.width, o.screen.height) +
                        " screen: copied unchanged (--reencode encodes it anew)");
        status = WriteChecked(o, bytes, nullptr, lines, error);
    } else {
        LoadedPicture loaded;
        error = LoadPicture(bytes, loaded);
        if (!error.empty()) {
            error = o.input + ": " + error;
            return 2;
        }
        const Picture picture = Prepare(loaded, o, lines);
        std::vector<std::uint8_t> jpeg;
        error = Encode(picture, o.quality, jpeg);
        if (!error.empty())
            return 2;
        if (IsGrey(picture))
            lines.push_back("grey: written as one component");
        lines.push_back("output: " + o.output + ", " + Size(picture.width, picture.height) + ", " +
                        std::to_string(jpeg.size()) + " bytes, quality " + std::to_string(o.quality));
        status = WriteChecked(o, jpeg, &picture, lines, error);
    }
    if (status == 2)
        return 2;
    if (o.quiet)
        lines.erase(lines.begin(), lines.end() - 1);
    for (const std::string& line : lines)
        out << line << '\n';
    return status;
}

}  // namespace splash
