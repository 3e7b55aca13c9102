// The report for people: what the decoder returned, what the file holds,
// the warnings with their fixes, and the verdict as the last line.
#include "report.h"

namespace splash {
namespace {

// Markers, frame, tables, scans with their restarts, APP segments, comments, EOI.
void PrintStructure(std::ostream& out, const JpegStructure& s)
{
    out << "structure:\n";
    out << "  markers:";
    for (std::size_t i = 0; i < s.markers.size() && i < 40; ++i)
        out << ' ' << MarkerName(s.markers[i].code) << '@' << s.markers[i].offset;
    if (s.markerCount > 40)
        out << " ... (" << s.markerCount << " in all)";
    out << '\n';
    if (s.frame) {
        const FrameInfo& f = *s.frame;
        out << "  frame: " << MarkerName(f.code) << ' ' << FrameKindName(f.kind)
            << (f.arithmetic ? " arithmetic" : " huffman") << (f.hierarchical ? " hierarchical" : "") << ", "
            << int(f.precision) << "-bit, " << f.width << 'x' << f.height << ", components";
        for (const FrameComponent& c : f.components)
            out << " [id " << int(c.id) << ' ' << Size(c.h, c.v) << " q" << int(c.quantSelector) << ']';
        out << '\n';
    } else {
        out << "  frame: none\n";
    }
    out << "  tables:";
    for (const QuantTableRecord& q : s.quantTables)
        out << " DQT" << int(q.index) << '/' << int(q.precision) << "-bit";
    for (const HuffmanTableRecord& h : s.huffmanTables)
        out << (h.tableClass == 0 ? " DC" : " AC") << int(h.index) << '(' << h.codeCount << " codes)";
    out << '\n';
    out << "  restart interval: " << s.restartInterval << '\n';
    out << "  scans: " << s.scanCount << '\n';
    for (std::size_t i = 0; i < s.scans.size() && i < 8; ++i) {
        const ScanInfo& sc = s.scans[i];
        out << "    scan @" << sc.offset << ": components";
        for (const ScanComponent& c : sc.components)
            out << " [id " << int(c.id) << " dc" << int(c.dcSelector) << " ac" << int(c.acSelector) << ']';
        out << ", " << sc.dataLength << " bytes";
        if (sc.mcusCounted)
            out << ", " << sc.mcusDecoded << " of " << sc.mcusExpected << " MCUs";
        if (sc.restartCount > 0) {
            out << ", " << sc.restartCount << " restarts after MCUs";
            for (std::size_t k = 0; k < sc.restarts.size() && k < 8; ++k)
                out << ' ' << sc.restarts[k].afterMcus;
            if (sc.restartCount > 8)
                out << " ...";
        }
        out << '\n';
    }
    for (const AppRecord& a : s.apps) {
        out << "  APP" << int(a.number) << " @" << a.offset << ": " << a.kind;
        if (a.exifOrientation != 0)
            out << ", orientation " << a.exifOrientation;
        if (a.adobeTransform >= 0)
            out << ", colour transform " << a.adobeTransform;
        if (a.hasThumbnail)
            out << ", JPEG thumbnail @" << a.thumbnailOffset;
        out << '\n';
    }
    for (const CommentRecord& c : s.comments)
        out << "  comment @" << c.offset << ": " << c.text << '\n';
    if (s.eoiPresent)
        out << "  end of image @" << s.eoiOffset << ", " << s.bytesAfterEoi << " bytes after it\n";
    else
        out << "  no end of image\n";
}

}  // namespace

void PrintText(std::ostream& out, const Report& r)
{
    out << "file: " << r.path << " (" << r.structure.fileSize << " bytes)\n";
    out << "decode: result " << r.run.result << ", " << r.run.width << " x " << r.run.height << '\n';
    out << DescribeWindow(r.window, r.run.width, r.run.height, r.screen) << '\n';
    PrintStructure(out, r.structure);
    for (const std::string& note : r.assessment.notes)
        out << "note: " << note << '\n';
    for (const Warning& w : r.assessment.warnings)
        out << "warning [" << w.code << "]: " << w.message << ".\n  fix: " << w.fix << ".\n";
    out << VerdictLine(r.assessment, r.run.view) << '\n';
}

}  // namespace splash
