// Checks of what lies outside the frame and scan: thumbnails and markers the
// decoder finds inside segment data, fill bytes, orientation, the layout, and
// the notes.
#include <algorithm>
#include <iterator>

#include "checks.h"

namespace splash {
namespace {

// "0A": a byte as two hex digits.
std::string Hex2(std::uint8_t code)
{
    return {"0123456789ABCDEF"[code >> 4], "0123456789ABCDEF"[code & 0xF]};
}

// Markers the decoder acted on in [begin, end).
int ActedWithin(const DecoderView& v, std::uint32_t begin, std::uint32_t end)
{
    auto within = [&](const JpegTraceMarker& m) { return m.offset >= begin && m.offset < end; };
    return int(std::ranges::count_if(v.actions, within));
}

}  // namespace

// A JPEG thumbnail in an APP segment, whose markers the decoder may take for the picture's.
void CheckThumbnails(const Facts& f, Findings& out)
{
    for (const AppRecord& app : f.structure.apps) {
        if (!app.hasThumbnail)
            continue;
        int acted = ActedWithin(f.decoder, app.offset + 4, app.offset + 2 + app.length);
        out.Add(Warn::Thumbnail,
                "APP" + std::to_string(app.number) + " (" + app.kind + ") holds a JPEG thumbnail at offset " +
                    Num(app.thumbnailOffset) +
                    (acted > 0 ? "; the decoder reads " + std::to_string(acted) + " of its markers as the picture's own"
                               : "; the decoder may read its markers as the picture's own"));
    }
}

// Markers the decoder acts on inside the data of an APPn, COM or reserved segment.
void CheckHiddenMarkers(const Facts& f, Findings& out)
{
    for (const MarkerRecord& m : f.structure.markers) {
        bool payload = (m.code >= 0xE0 && m.code <= 0xEF) || m.code == 0xFE || m.code == 0xC8 ||
                       (m.code >= 0xF0 && m.code <= 0xFD);
        auto holdsThumbnail = [&](const AppRecord& app) { return app.offset == m.offset && app.hasThumbnail; };
        if (!payload || m.length < 2 || std::ranges::any_of(f.structure.apps, holdsThumbnail))
            continue;
        std::uint32_t begin = m.offset + 4, end = m.offset + 2 + m.length;
        for (const JpegTraceMarker& act : f.decoder.actions)
            if (act.offset >= begin && act.offset < end)
                out.Add(Warn::HiddenMarker, "the bytes FF " + Hex2(act.code) + " inside the " + MarkerName(m.code) +
                                                " segment at offset " + Num(m.offset) +
                                                " are taken by the decoder for the marker " + MarkerName(act.code));
    }
}

// A marker the decoder acts on, hidden from it by a 0xFF fill byte in front.
void CheckHiddenByFill(const Facts& f, Findings& out)
{
    static const std::uint8_t kActed[] = {0xC0, 0xC1, 0xC4, 0xD9, 0xDA, 0xDB, 0xDD, 0xE0};
    const DecoderView& v = f.decoder;
    for (const MarkerRecord& m : f.structure.markers) {
        if (m.fillBytes == 0 || std::ranges::find(kActed, m.code) == std::end(kActed))
            continue;
        bool seen = std::ranges::find(v.actions, m.offset, &JpegTraceMarker::offset) != v.actions.end();
        bool reached = !v.scanStarted || m.offset < v.scanOffset;
        if (!seen && reached)
            out.Add(Warn::FillByte, "a 0xFF fill byte stands before the " + MarkerName(m.code) +
                                        " marker at offset " + Num(m.offset) + " and hides it from the decoder");
    }
}

// An EXIF orientation that viewers apply and the splash does not.
void CheckOrientation(const Facts& f, Findings& out)
{
    for (const AppRecord& app : f.structure.apps)
        if (app.exifOrientation > 1 && app.exifOrientation <= 8)
            out.Add(Warn::Orientation, "EXIF orientation " + std::to_string(app.exifOrientation) +
                                           ": viewers turn the picture, the splash shows it as stored");
}

// Harmless facts: a colour profile, comments, bytes after EOI, structure problems.
void CheckNotes(const Facts& f, Findings& out)
{
    const JpegStructure& s = f.structure;
    for (const AppRecord& app : s.apps)
        if (app.kind == "ICC_PROFILE")
            out.Note("an ICC colour profile is present; the splash ignores it (sRGB pictures look the same)");
    if (!s.comments.empty())
        out.Note(std::to_string(s.comments.size()) + " comment segment(s); harmless");
    if (s.eoiPresent && s.bytesAfterEoi > 0)
        out.Note(std::to_string(s.bytesAfterEoi) + " bytes follow the end-of-image marker; the decoder never reads them");
    for (const std::string& p : s.problems)
        out.Note("structure: " + p);
}

// Segments that break the layout.
void CheckLayout(const Facts& f, Findings& out)
{
    if (f.structure.layoutBroken && !f.structure.problems.empty())
        out.Add(Warn::Malformed, "the file breaks the JPEG layout (" + f.structure.problems.front() +
                                     "); the splash decoder searches past such damage, so what it shows cannot be "
                                     "trusted");
}

// The decoder refused a file that the checks expected to show.
void CheckDecodeResult(const Facts& f, Findings& out)
{
    if (f.decodeResult == 0 && out.Worst() != Verdict::None)
        out.Add(Warn::DecodeFailed, "the decoder refused the file (no memory for the picture)");
}

}  // namespace splash
