// One file checked: the real decode, the structure, the replay for what the
// decoder does not keep, and the verdict.
#include "report.h"

namespace splash {

Report CheckPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecoderRun& run,
                    ScreenSize screen)
{
    Report report;
    report.path = path;
    report.screen = screen;
    run = RunDecoder(bytes);
    report.decode = {run.result, run.width, run.height};
    report.window = ModelSplashWindow(run.result, run.width, run.height, screen);
    report.structure = ReadJpegStructure(bytes);
    report.view = ModelDecoder(bytes);
    TakeDecoderRecord(report.view);
    report.assessment = Assess(bytes, report.structure, report.view, screen);
    if (report.decode.result == 0 && report.assessment.verdict != Verdict::None) {
        report.assessment.verdict = Verdict::None;
        report.assessment.warnings.push_back(
            {"decode-failed", "the decoder refused the file (no memory for the picture)", "make the picture smaller"});
    }
    return report;
}

}  // namespace splash
