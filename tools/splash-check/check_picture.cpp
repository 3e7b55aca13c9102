// One file checked: the real decode with its header phase traced, the
// structure, and the verdict.
#include "report.h"

namespace splash {

// The decode first: the trace it fills is the decoder's side of the verdict.
Report CheckPicture(std::span<const std::uint8_t> bytes, const std::string& path, ScreenSize screen)
{
    Report report;
    report.path = path;
    report.screen = screen;
    report.run = RunDecoder(bytes);
    const DecoderRun& run = report.run;
    report.window = ModelSplashWindow(run.result, run.width, run.height, screen);
    report.structure = ReadJpegStructure(bytes);
    report.assessment = Assess(bytes, report.structure, run.view, run.result, screen);
    return report;
}

}  // namespace splash
