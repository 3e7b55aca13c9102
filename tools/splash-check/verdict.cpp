// The verdict: every check over the facts, in a fixed order; the worst
// severity among the warnings decides.
#include "verdict.h"

#include <algorithm>

#include "checks.h"

namespace splash {
namespace {

using Check = void (*)(const Facts&, Findings&);

// The order of the warnings in the report.
constexpr Check kChecks[] = {
    CheckFrameType,   CheckSize,          CheckComponents,   CheckSampling,     CheckTableCounts,
    CheckPassedOver,  CheckTablesPresent, CheckScanStart,    CheckScanChoice,   CheckTablesUsed,
    CheckRestarts,    CheckThumbnails,    CheckHiddenMarkers, CheckHiddenByFill, CheckOrientation,
    CheckScanData,    CheckNotes,         CheckLayout,       CheckDecodeResult,
};

}  // namespace

// The first warning of each code is kept; every one counts for the verdict.
void Findings::Add(Warn id, std::string message)
{
    const WarningKind& kind = KindOf(id);
    assessment_.verdict = std::max(assessment_.verdict, kind.severity);
    for (const Warning& w : assessment_.warnings)
        if (w.code == kind.code)
            return;
    assessment_.warnings.push_back({kind.code, std::move(message), kind.fix});
}

// not-jpeg alone, or every check in order.
Assessment Assess(std::span<const std::uint8_t> bytes, const JpegStructure& s, const DecoderView& view,
                  std::int32_t decodeResult, ScreenSize screen)
{
    Findings out;
    if (!view.startsWithSoi) {
        out.Add(Warn::NotJpeg, "the file does not start with the JPEG marker FF D8, so the decoder refuses it");
        return out.Take();
    }
    const ScanInfo* firstScan = s.scans.empty() ? nullptr : &s.scans.front();
    const Facts facts{bytes, s, view, decodeResult, firstScan, firstScan != nullptr ? firstScan->offset : s.fileSize,
                      screen};
    for (Check check : kChecks)
        check(facts, out);
    return out.Take();
}

// The JSON name of a verdict.
const char* VerdictName(Verdict verdict)
{
    static const char* const kNames[] = {"ok", "wrong", "blank", "none"};  // in the order of Verdict
    return kNames[static_cast<int>(verdict)];
}

// The last line of the report.
std::string VerdictLine(const Assessment& a, const DecoderView& view)
{
    std::string count = std::to_string(a.warnings.size()) + (a.warnings.size() == 1 ? " problem" : " problems");
    switch (a.verdict) {
    case Verdict::Ok: {
        std::string kind = view.state.scanComponentCount == 1 ? "grey"
                           : view.state.ySamplingProduct == 4 ? "colour 4:2:0"
                           : view.state.ySamplingProduct == 2 ? "colour 4:2:2"
                                                        : "colour 4:4:4";
        return "OK: shows as encoded (" + Size(view.state.frameWidth, view.state.frameHeight) + ", " + kind + ")";
    }
    case Verdict::Wrong: return "WRONG: the splash will not look like the picture (" + count + ")";
    case Verdict::Blank:
        if (view.state.frameWidth == 0 || view.state.frameHeight == 0)
            return "BLANK: the splash will be a one-pixel window for 3 s, with no picture (" + count + ")";
        return "BLANK: the splash will show a flat, empty picture (" + count + ")";
    case Verdict::None: return "NO SPLASH: the picture will not show at all (" + count + ")";
    }
    return {};
}

}  // namespace splash
