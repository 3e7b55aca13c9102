// splash-check's structure reader on any bytes: it must stay inside the input,
// keep its lists bounded and report only offsets that lie in the file. Its
// replay of the decoder's header phase must agree with what the decoder
// itself records over the same bytes, and the verdict must be OK exactly
// when it has no warning.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decoder_model.h"
#include "decoder_record.h"
#include "fuzz/fuzz_check.h"
#include "jpeg_structure.h"
#include "tests/support/counting_alloc.h"
#include "verdict.h"

namespace {

// The first record that points outside the file or a list past its bound.
std::string CheckStructure(const splash::JpegStructure& s, std::size_t size)
{
    if (s.fileSize != size)
        return "file size " + std::to_string(s.fileSize) + " for " + std::to_string(size) + " bytes";
    if (s.markers.size() > splash::kMaxListed || s.scans.size() > splash::kMaxListed ||
        s.apps.size() > splash::kMaxListed || s.comments.size() > splash::kMaxListed ||
        s.quantTables.size() > splash::kMaxListed || s.huffmanTables.size() > splash::kMaxListed)
        return "a list grew past kMaxListed";
    for (const splash::MarkerRecord& m : s.markers) {
        if (m.offset + 1 >= size)
            return "marker at offset " + std::to_string(m.offset) + " past the end";
        splash::MarkerName(m.code);
    }
    for (const splash::ScanInfo& scan : s.scans) {
        if (std::uint64_t{scan.dataOffset} + scan.dataLength > size)
            return "scan data at " + std::to_string(scan.dataOffset) + " runs past the end";
        if (scan.restarts.size() > splash::kMaxListed)
            return "restart list grew past kMaxListed";
        for (const splash::RestartRecord& r : scan.restarts)
            if (r.offset + 1 >= size)
                return "restart marker at " + std::to_string(r.offset) + " past the end";
    }
    for (const splash::AppRecord& app : s.apps)
        if (app.hasThumbnail && std::uint64_t{app.thumbnailOffset} + app.thumbnailLength > size)
            return "thumbnail runs past the end";
    for (const splash::CommentRecord& c : s.comments)
        if (c.text.size() > 200)
            return "comment text of " + std::to_string(c.text.size()) + " bytes";
    if (s.eoiPresent && s.eoiOffset + 1 >= size)
        return "EOI past the end";
    if (s.frame)
        splash::FrameKindName(s.frame->kind);
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const splash::JpegStructure structure = splash::ReadJpegStructure({data, size});
    FailIf(CheckStructure(structure, size), "structure reader");

    // No pixel buffer: the decoder stops after its header phase, which is all
    // the replay covers.
    hostile::allocationLimit = 0;
    splash::RunDecoder({data, size});
    splash::DecoderView view = splash::ModelDecoder({data, size});
    FailIf(splash::DifferenceFromDecoderRecord(view), "decoder replay");

    // The verdict is OK exactly when there is nothing to warn of.
    splash::TakeDecoderRecord(view);
    const splash::Assessment assessment = splash::Assess({data, size}, structure, view);
    if ((assessment.verdict == splash::Verdict::Ok) != assessment.warnings.empty())
        FailIf(std::string("verdict ") + splash::VerdictName(assessment.verdict) + " with " +
                   std::to_string(assessment.warnings.size()) + " warnings",
               "verdict");
    splash::VerdictLine(assessment, view);
    return 0;
}
