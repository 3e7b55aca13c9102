// The structure reader: segments by their length fields, the contents of the
// ones that shape the picture, and the entropy-coded data behind each SOS up
// to the marker that ends it.
#include "jpeg_structure.h"

#include <cstdio>

#include "segment_readers.h"
#include "table_reader.h"

namespace splash {
namespace {

// What earlier segments leave in force for later ones.
struct WalkState {
    TablesInForce tables;
    std::uint16_t restartInterval = 0;
    bool sawDhp = false;
};

// SOF0..SOF15 without DHT, JPG and DAC.
bool IsFrameCode(std::uint8_t code)
{
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// SOFn: kind, precision, size, components; only the first frame is kept.
void ReadFrame(ByteView b, JpegStructure& out, bool sawDhp, std::uint32_t offset, std::uint8_t code,
               std::uint32_t begin, std::uint32_t end)
{
    ++out.frameCount;
    if (out.frame)
        return;
    FrameInfo& f = out.frame.emplace();
    f.offset = offset;
    f.code = code;
    constexpr FrameKind kKinds[4] = {FrameKind::Extended, FrameKind::Extended, FrameKind::Progressive,
                                     FrameKind::Lossless};
    f.kind = code == 0xC0 ? FrameKind::Baseline : kKinds[code & 3];
    f.arithmetic = code >= 0xC8;
    f.hierarchical = (code & 4) != 0 || sawDhp;
    if (end < begin + 6) {
        AddProblem(out, "frame header too short" + AtOffset(offset));
        return;
    }
    f.precision = b.At(begin);
    f.height = b.Word(begin + 1);
    f.width = b.Word(begin + 3);
    std::uint32_t n = b.At(begin + 5);
    if (begin + 6 + 3 * n > end)
        AddProblem(out, "frame header lists more components than it holds" + AtOffset(offset));
    for (std::uint32_t i = 0; i < n && begin + 6 + 3 * i + 3 <= end; ++i) {
        std::uint32_t p = begin + 6 + 3 * i;
        f.components.push_back({b.At(p), static_cast<std::uint8_t>(b.At(p + 1) >> 4),
                                static_cast<std::uint8_t>(b.At(p + 1) & 0x0F), b.At(p + 2)});
    }
}

// DQT: every table of the segment, and which index it now fills.
void ReadQuantTables(ByteView b, JpegStructure& out, WalkState& w, std::uint32_t begin, std::uint32_t end)
{
    for (std::uint32_t p = begin; p < end;) {
        QuantTableRecord t = ReadQuantTable(b.All(), p);
        if (out.quantTables.size() < kMaxListed)
            out.quantTables.push_back(t);
        if (t.index < 4)
            w.tables.quant[t.index] = p;
        if (p + RecordSize(t) > end)
            AddProblem(out, "quantisation table runs past its segment" + AtOffset(p));
        p += RecordSize(t);
    }
}

// DHT: every table of the segment with its counts and symbols.
void ReadHuffmanTables(ByteView b, JpegStructure& out, WalkState& w, std::uint32_t begin, std::uint32_t end)
{
    for (std::uint32_t p = begin; p < end;) {
        HuffmanTableRecord t = ReadHuffmanTable(b.All(), p, end);
        if (p + RecordSize(t) > end)
            AddProblem(out, "Huffman table runs past its segment" + AtOffset(p));
        if (t.codeCount > 256)
            AddProblem(out, "Huffman table with more than 256 codes" + AtOffset(p));
        if (t.tableClass > 1)
            AddProblem(out, "Huffman table of class " + std::to_string(t.tableClass) + AtOffset(p));
        else if (t.index < 4)
            (t.tableClass == 0 ? w.tables.dc : w.tables.ac)[t.index] = p;
        p += RecordSize(t);
        if (out.huffmanTables.size() < kMaxListed)
            out.huffmanTables.push_back(std::move(t));
    }
}

// COM: the text, printable ASCII only.
void ReadComment(ByteView b, JpegStructure& out, std::uint32_t offset, std::uint32_t begin, std::uint32_t end)
{
    CommentRecord c{offset, {}};
    for (std::uint32_t p = begin; p < end && c.text.size() < 200; ++p) {
        char ch = static_cast<char>(b.At(p));
        c.text += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
    }
    if (out.comments.size() < kMaxListed)
        out.comments.push_back(std::move(c));
}

// Hands a segment's data [begin, end) to its reader; returns where the walk goes on.
std::uint32_t ReadSegment(ByteView b, JpegStructure& out, WalkState& w, const MarkerRecord& m, std::uint32_t end,
                          bool truncated)
{
    std::uint32_t begin = m.offset + 4;
    std::uint8_t code = m.code;
    if (IsFrameCode(code)) {
        ReadFrame(b, out, w.sawDhp, m.offset, code, begin, end);
    } else if (code == 0xC4) {
        ReadHuffmanTables(b, out, w, begin, end);
    } else if (code == 0xDB) {
        ReadQuantTables(b, out, w, begin, end);
    } else if (code == 0xDD) {
        w.restartInterval = b.Word(begin);
        if (!out.hasRestartInterval) {
            out.hasRestartInterval = true;
            out.restartInterval = w.restartInterval;
        }
    } else if (code == 0xDE) {
        w.sawDhp = true;
    } else if (code == 0xDC) {
        AddProblem(out, "the height is given by a DNL segment" + AtOffset(m.offset));
    } else if (code >= 0xE0 && code <= 0xEF) {
        if (out.apps.size() < kMaxListed)
            out.apps.push_back(ReadApp(b, m.offset, static_cast<std::uint8_t>(code - 0xE0), begin, end));
    } else if (code == 0xFE) {
        ReadComment(b, out, m.offset, begin, end);
    } else if (code == 0xDA && !truncated) {
        return ReadScan(b, out, w.tables, w.restartInterval, m.offset, begin, end);
    }
    return end;
}

// SOI, EOI, TEM and RSTn, which carry no length; true at EOI, where the walk ends.
bool ReadStandalone(ByteView b, JpegStructure& out, const MarkerRecord& m)
{
    if (out.markers.size() < kMaxListed)
        out.markers.push_back(m);
    if (m.code == 0xD9) {
        out.eoiPresent = true;
        out.eoiOffset = m.offset;
        out.bytesAfterEoi = b.Size() - (m.offset + 2);
        return true;
    }
    if (m.code == 0xD8)
        AddProblem(out, "a second start-of-image marker" + AtOffset(m.offset));
    else if (m.code != 0x01)
        AddProblem(out, "restart marker outside a scan" + AtOffset(m.offset));
    return false;
}

// The segment whose marker is at `m.offset`: its length, then its reader.
// Returns where the walk goes on; 0 when it stops.
std::uint32_t ReadMarker(ByteView b, JpegStructure& out, WalkState& w, MarkerRecord m)
{
    std::uint32_t pos = m.offset, size = b.Size();
    bool standalone = m.code == 0xD8 || m.code == 0xD9 || m.code == 0x01 || (m.code >= 0xD0 && m.code <= 0xD7);
    if (standalone)
        return ReadStandalone(b, out, m) ? 0 : pos + 2;
    if (pos + 4 > size) {
        AddProblem(out, "the data ends inside a segment length" + AtOffset(pos));
        return 0;
    }
    m.length = b.Word(pos + 2);
    if (out.markers.size() < kMaxListed)
        out.markers.push_back(m);
    if (m.length < 2) {
        AddProblem(out, MarkerName(m.code) + " segment with length " + std::to_string(m.length) + AtOffset(pos));
        return 0;
    }
    std::uint32_t end = pos + 2 + m.length;
    bool truncated = end > size;
    if (truncated) {
        AddProblem(out, "the data ends inside the " + MarkerName(m.code) + " segment" + AtOffset(pos));
        end = size;
    }
    std::uint32_t next = ReadSegment(b, out, w, m, end, truncated);
    return truncated ? 0 : next;
}

// From SOI to EOI by segment lengths; resynchronises on stray bytes.
void Walk(ByteView b, JpegStructure& out, WalkState& w)
{
    std::uint32_t size = b.Size();
    std::uint32_t pos = 2;
    while (pos < size) {
        if (b.At(pos) != 0xFF) {
            std::uint32_t from = pos;
            while (pos < size && b.At(pos) != 0xFF)
                ++pos;
            AddProblem(out, std::to_string(pos - from) + " bytes outside any segment" + AtOffset(from));
            continue;
        }
        std::uint32_t fill = 0;
        for (; pos + 1 < size && b.At(pos + 1) == 0xFF; ++pos)
            ++fill;
        if (pos + 1 >= size) {
            AddProblem(out, "the data ends inside a marker" + AtOffset(pos));
            break;
        }
        if (b.At(pos + 1) == 0x00) {
            AddProblem(out, "stray 0xFF 0x00" + AtOffset(pos));
            pos += 2;
            continue;
        }
        ++out.markerCount;
        pos = ReadMarker(b, out, w, {pos, b.At(pos + 1), 0, fill});
        if (pos == 0)
            break;
    }
}

}  // namespace

// " at offset N".
std::string AtOffset(std::uint32_t offset)
{
    return " at offset " + std::to_string(offset);
}

// At most 64 problems are kept.
void AddProblem(JpegStructure& out, std::string text, bool layout)
{
    out.layoutBroken |= layout;
    if (out.problems.size() < 64)
        out.problems.push_back(std::move(text));
}

// The walk from SOI, after the checks on the whole file.
JpegStructure ReadJpegStructure(std::span<const std::uint8_t> bytes)
{
    JpegStructure out;
    if (bytes.size() > 0xFFFFFFF0u) {
        out.problems.push_back("the file is larger than 4 GB");
        return out;
    }
    ByteView b(bytes);
    out.fileSize = b.Size();
    out.startsWithSoi = b.Size() >= 2 && b.At(0) == 0xFF && b.At(1) == 0xD8;
    if (!out.startsWithSoi) {
        AddProblem(out, "the file does not start with the JPEG start-of-image marker (FF D8)");
        return out;
    }
    WalkState w;
    Walk(b, out, w);
    if (!out.eoiPresent)
        AddProblem(out, "no end-of-image marker (FF D9)", false);
    if (out.frame && w.sawDhp)
        out.frame->hierarchical = true;
    return out;
}

std::string MarkerName(std::uint8_t code)
{
    static const char* const kSof[16] = {"SOF0", "SOF1", "SOF2", "SOF3", "DHT", "SOF5", "SOF6", "SOF7",
                                         "JPG", "SOF9", "SOF10", "SOF11", "DAC", "SOF13", "SOF14", "SOF15"};
    static const char* const kD[16] = {"RST0", "RST1", "RST2", "RST3", "RST4", "RST5", "RST6", "RST7",
                                       "SOI", "EOI", "SOS", "DQT", "DNL", "DRI", "DHP", "EXP"};
    if (code >= 0xC0 && code <= 0xCF)
        return kSof[code - 0xC0];
    if (code >= 0xD0 && code <= 0xDF)
        return kD[code - 0xD0];
    if (code >= 0xE0 && code <= 0xEF)
        return "APP" + std::to_string(code - 0xE0);
    if (code == 0xFE)
        return "COM";
    if (code == 0x01)
        return "TEM";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

const char* FrameKindName(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Baseline: return "baseline";
    case FrameKind::Extended: return "extended";
    case FrameKind::Progressive: return "progressive";
    case FrameKind::Lossless: return "lossless";
    }
    return "unknown";
}

}  // namespace splash
