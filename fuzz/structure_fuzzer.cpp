// splash-check's structure reader on any bytes: it must stay inside the input,
// keep its lists bounded and report only offsets that lie in the file. Every
// marker the decoder's traced search acts on must be one the walk lists or lie
// in bytes the walk stepped over, and the verdict must be OK exactly when it
// has no warning.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

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

// The first marker the decoder acted on that the walk neither lists nor stepped
// over (a segment's length and data, a scan's data); checked where the walk
// kept its whole layout.
std::string CheckDecoderMarkers(const splash::JpegStructure& s, const splash::DecoderView& v)
{
    if (s.layoutBroken || s.markerCount > s.markers.size() || s.scanCount > s.scans.size())
        return {};
    std::uint64_t walked = 2;  // SOI
    for (const splash::MarkerRecord& m : s.markers)
        walked = std::max<std::uint64_t>(walked, std::uint64_t{m.offset} + 2 + m.length);
    for (const splash::ScanInfo& scan : s.scans)
        walked = std::max<std::uint64_t>(walked, std::uint64_t{scan.dataOffset} + scan.dataLength);
    for (const JpegTraceMarker& act : v.actions) {
        bool covered = act.offset >= walked;
        for (const splash::MarkerRecord& m : s.markers)
            covered |= act.offset == m.offset || (act.offset >= m.offset + 2 && act.offset < m.offset + 2 + m.length);
        for (const splash::ScanInfo& scan : s.scans)
            covered |= act.offset >= scan.dataOffset && act.offset < std::uint64_t{scan.dataOffset} + scan.dataLength;
        if (!covered)
            return "the decoder acted on " + splash::MarkerName(act.code) + " at offset " +
                   std::to_string(act.offset) + ", which the walk neither lists nor steps over";
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const splash::JpegStructure structure = splash::ReadJpegStructure({data, size});
    FailIf(CheckStructure(structure, size), "structure reader");

    // No pixel buffer: the decoder stops after its header phase, which is all
    // the trace covers.
    testsupport::allocationLimit = 0;
    const splash::DecoderView view = splash::RunDecoder({data, size}).view;
    FailIf(CheckDecoderMarkers(structure, view), "decoder trace against the walk");

    // The verdict is OK exactly when there is nothing to warn of.
    const splash::Assessment assessment = splash::Assess({data, size}, structure, view);
    if ((assessment.verdict == splash::Verdict::Ok) != assessment.warnings.empty())
        FailIf(std::string("verdict ") + splash::VerdictName(assessment.verdict) + " with " +
                   std::to_string(assessment.warnings.size()) + " warnings",
               "verdict");
    splash::VerdictLine(assessment, view);
    return 0;
}
