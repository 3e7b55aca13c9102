// --make: load, turn upright, flatten, fit, encode with stb_image_write's
// baseline JPEG writer, write, then read the file back and check it.
#include "make_command.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include <stb/stb_image_write.h>

#include "file_io.h"
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

std::string Size(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

int RunMake(const MakeOptions& o, std::ostream& out, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    error = ReadWholeFile(o.input, bytes);
    if (!error.empty())
        return 2;
    LoadedPicture loaded;
    error = LoadPicture(bytes, loaded);
    if (!error.empty()) {
        error = o.input + ": " + error;
        return 2;
    }

    std::vector<std::string> lines;
    static const char* const kKinds[] = {"", "grey", "grey with alpha", "RGB", "RGB with alpha"};
    lines.push_back("input: " + o.input + ", " + Size(loaded.picture.width, loaded.picture.height) + ", " +
                    kKinds[loaded.fileChannels]);
    if (loaded.orientation >= 2 && loaded.orientation <= 8)
        lines.push_back("orientation: EXIF " + std::to_string(loaded.orientation) + ", turned upright");
    Picture picture = Flatten(loaded.picture, o.background);
    if (loaded.fileChannels == 2 || loaded.fileChannels == 4) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "%06X", o.background & 0xFFFFFFu);
        lines.push_back(std::string("alpha: flattened onto #") + colour);
    }
    int width = 0, height = 0;
    FitSize(picture.width, picture.height, o.boxWidth, o.boxHeight, width, height);
    if (width != picture.width || height != picture.height) {
        lines.push_back("scaled: " + Size(picture.width, picture.height) + " to " + Size(width, height) +
                        " to fit " + Size(o.boxWidth, o.boxHeight));
        picture = Scale(picture, width, height);
    }

    // Baseline, 8-bit tables, standard Huffman codes, no EXIF, no restart
    // markers; 4:2:0 up to quality 90, 4:4:4 above.
    std::vector<std::uint8_t> jpeg;
    if (!stbi_write_jpg_to_func(Append, &jpeg, width, height, 3, picture.data.data(), o.quality)) {
        error = "the JPEG writer refused a " + Size(width, height) + " picture";
        return 2;
    }
    error = WriteWholeFile(o.output, jpeg);
    if (!error.empty())
        return 2;

    std::vector<std::uint8_t> written;
    error = ReadWholeFile(o.output, written);
    if (!error.empty())
        return 2;
    DecoderRun run;
    Report report = CheckPicture(written, o.output, run);
    lines.push_back("output: " + o.output + ", " + Size(width, height) + ", " + std::to_string(written.size()) +
                    " bytes, quality " + std::to_string(o.quality));
    if (run.result == 1 && int(run.width) == width && int(run.height) == height) {
        char psnr[64];
        std::snprintf(psnr, sizeof psnr, "PSNR: %.1f dB, the splash's pixels against the prepared picture",
                      Psnr(run.pixels.get(), picture));
        lines.push_back(psnr);
    }
    for (const Warning& w : report.assessment.warnings)
        lines.push_back("warning [" + w.code + "]: " + w.message);
    lines.push_back(VerdictLine(report.assessment, report.view));

    if (o.quiet)
        lines.erase(lines.begin(), lines.end() - 1);
    for (const std::string& line : lines)
        out << line << '\n';
    return report.assessment.verdict == Verdict::Ok ? 0 : 1;
}

}  // namespace splash
