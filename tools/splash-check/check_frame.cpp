// Checks of the frame: its type, the size the decoder takes, the components
// and their sampling.
#include <algorithm>

#include "checks.h"
#include "jpeg/decode_jpeg.h"

namespace splash {

// Frame types and sample precisions the decoder does not read.
void CheckFrameType(const Facts& f, Findings& out)
{
    if (!f.structure.frame) {
        if (!f.decoder.frameRead)
            out.Add(Warn::NoFrame, "the file has no frame header, so the picture is 0x0 and the splash a one-pixel window");
        return;
    }
    const FrameInfo& frame = *f.structure.frame;
    if (frame.kind == FrameKind::Progressive)
        out.Add(Warn::Progressive,
                "progressive JPEG (" + MarkerName(frame.code) + "): the decoder reads only baseline frames");
    if (frame.arithmetic)
        out.Add(Warn::Arithmetic,
                "arithmetic-coded JPEG (" + MarkerName(frame.code) + "): the decoder reads only Huffman coding");
    if (frame.kind == FrameKind::Lossless)
        out.Add(Warn::Lossless,
                "lossless JPEG (" + MarkerName(frame.code) + "): the decoder reads only DCT baseline frames");
    if (frame.hierarchical)
        out.Add(Warn::Hierarchical, "hierarchical JPEG: the decoder reads only single-frame baseline files");
    if (frame.precision != 8)
        out.Add(Warn::Precision,
                std::to_string(frame.precision) + "-bit samples: the decoder reads only 8-bit samples");
}

namespace {

// The window is centred and unscaled: the screen cuts what lies outside it.
void CheckScreen(const Facts& f, Findings& out)
{
    const SplashWindow w = ModelSplashWindow(1, f.decoder.state.frameWidth, f.decoder.state.frameHeight, f.screen);
    if (VisiblePixels(w) == std::int64_t{w.clientWidth} * w.clientHeight)
        return;
    out.Add(Warn::ScreenSize, "the " + Size(w.width, w.height) + " window stands at (" + std::to_string(w.left) +
                                  "," + std::to_string(w.top) + ") on a " + Size(f.screen.width, f.screen.height) +
                                  " screen, which shows only " +
                                  Size(w.visibleRight - w.visibleLeft, w.visibleBottom - w.visibleTop) + " of its " +
                                  Size(w.clientWidth, w.clientHeight) + " client area");
}

}  // namespace

// The size the decoder takes: from which frame header, zero, too large, larger than a screen.
void CheckSize(const Facts& f, Findings& out)
{
    const DecoderView& v = f.decoder;
    const std::uint16_t width = v.state.frameWidth, height = v.state.frameHeight;
    // A 0x0 picture still gets a bitmap (1x1), so its window opens.
    const std::string onePixel = ", so the splash is a one-pixel window with no picture in it, and the game waits 3 s";
    if (!v.frameRead) {
        if (f.structure.frame)
            out.Add(Warn::ZeroSizeNoFrame, "the decoder reads no frame header it can use: the picture is 0x0" + onePixel);
        return;
    }
    if (f.structure.frame && v.frameOffset != f.structure.frame->offset)
        out.Add(Warn::OtherFrame, "the decoder takes its size from the frame header at offset " + Num(v.frameOffset) +
                                      " (" + Size(width, height) + "), not from the picture's at offset " +
                                      Num(f.structure.frame->offset));
    if (width == 0 || height == 0) {
        out.Add(Warn::ZeroSize, "the frame is " + Size(width, height) + onePixel);
        return;
    }
    if (std::uint64_t{width} * height > kMaxPixelCount)
        out.Add(Warn::TooLarge, Size(width, height) + " is more than the decoder's limit of " +
                                    std::to_string(kMaxPixelCount) + " pixels, so nothing shows");
    else
        CheckScreen(f, out);
}


// Component count, identifiers and the Adobe colour transform.
void CheckComponents(const Facts& f, Findings& out)
{
    if (!f.structure.frame)
        return;
    const FrameInfo& frame = *f.structure.frame;
    std::size_t n = frame.components.size();
    if (n != 1 && n != 3)
        out.Add(Warn::ComponentCount, std::to_string(n) + " colour components" +
                                          (n == 4 ? std::string(" (CMYK or YCCK)") : std::string()) +
                                          ": the decoder shows only grey (1) or YCbCr colour (3)");
    bool badIds = false;
    std::string ids;
    for (const FrameComponent& c : frame.components) {
        badIds |= c.id < 1 || c.id > 3;
        ids += (ids.empty() ? "" : ", ") + std::to_string(c.id);
    }
    if (f.firstScan != nullptr) {
        ids += " (scan:";
        for (std::size_t i = 0; i < f.firstScan->components.size(); ++i) {
            const std::uint8_t id = f.firstScan->components[i].id;
            badIds |= id < 1 || id > 3;
            ids += i < 4 ? " " + std::to_string(id) : "";
        }
        ids += ")";
    }
    if (badIds)
        out.Add(Warn::ComponentIds, "component identifiers " + ids + ": the decoder knows only 1, 2 and 3");
    // A JFIF header declares YCbCr whatever an Adobe segment says.
    auto adobeRgb = [](const AppRecord& a) { return a.kind == "Adobe" && a.adobeTransform == 0; };
    auto jfif = [](const AppRecord& a) { return a.kind == "JFIF"; };
    if (n == 3 && std::ranges::any_of(f.structure.apps, adobeRgb) && std::ranges::none_of(f.structure.apps, jfif))
        out.Add(Warn::RgbColour, "the Adobe segment says the components are RGB, not YCbCr: colours come out wrong");
}

// Colour sampling the decoder lays out: luma 1x1, 2x1 or 2x2, chroma 1x1.
void CheckSampling(const Facts& f, Findings& out)
{
    if (!f.structure.frame || f.structure.frame->components.size() != 3)
        return;
    for (const FrameComponent& c : f.structure.frame->components) {
        std::string sampling = Size(c.h, c.v);
        if (c.id != 1) {
            if (c.h != 1 || c.v != 1)
                out.Add(Warn::ChromaSampling, "chroma component " + std::to_string(c.id) + " sampled " + sampling +
                                                  ": the decoder reads one chroma block per MCU");
        } else if (c.h == 1 && c.v == 2) {
            out.Add(Warn::Luma1x2, "luma sampled 1x2 (4:4:0): the decoder lays the two luma blocks side by side, "
                                   "so the picture comes out scrambled");
        } else if (!((c.h == 1 && c.v == 1) || (c.h == 2 && c.v == 1) || (c.h == 2 && c.v == 2))) {
            out.Add(Warn::LumaSampling, "luma sampled " + sampling + ": the decoder lays out only 1x1, 2x1 and 2x2");
        }
    }
}

}  // namespace splash
