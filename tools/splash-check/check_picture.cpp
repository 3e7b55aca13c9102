// One file checked: the real decode with its header phase traced, the
// structure, and the verdict.
#include "report.h"

namespace splash {

// The decode first: the trace it fills is the decoder's side of the verdict.
Report CheckPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecoderRun& run)
{
    Report report;
    report.path = path;
    run = RunDecoder(bytes);
    report.decode = {run.result, run.width, run.height};
    report.structure = ReadJpegStructure(bytes);
    report.view = run.view;
    report.assessment = Assess(bytes, report.structure, report.view, run.result);
    return report;
}

}  // namespace splash
