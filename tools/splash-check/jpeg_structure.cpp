// The structure reader: segments by their length fields (T.81 Annex B), the
// contents of the ones that shape the picture, and the entropy-coded data
// behind each SOS up to the marker that ends it.
#include "jpeg_structure.h"

#include <algorithm>
#include <cstdio>

#include "scan_walker.h"

namespace splash {
namespace {

// Bounds-checked reads over the whole file.
class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint32_t Size() const { return static_cast<std::uint32_t>(data_.size()); }
    std::uint8_t At(std::uint64_t i) const { return i < data_.size() ? data_[i] : 0; }
    std::uint16_t Word(std::uint64_t i) const
    {
        return static_cast<std::uint16_t>((At(i) << 8) | At(i + 1));
    }
    std::span<const std::uint8_t> All() const { return data_; }

private:
    std::span<const std::uint8_t> data_;
};

// SOF0..SOF15 without DHT, JPG and DAC.
bool IsFrameCode(std::uint8_t code)
{
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

struct Walker {
    Bytes b;
    JpegStructure& out;
    TablesInForce current;
    std::uint16_t restartInterval = 0;
    bool sawDhp = false;

    // `layout`: the segments themselves are broken, not just the data cut short.
    void Problem(std::string text, bool layout = true)
    {
        out.layoutBroken |= layout;
        if (out.problems.size() < 64)
            out.problems.push_back(std::move(text));
    }

    std::string At(std::uint32_t offset)
    {
        char text[32];
        std::snprintf(text, sizeof text, " at offset %u", offset);
        return text;
    }

    // SOFn: kind, precision, size, components; only the first frame is kept.
    void ReadFrame(std::uint32_t offset, std::uint8_t code, std::uint32_t begin, std::uint32_t end)
    {
        ++out.frameCount;
        if (out.frame)
            return;
        FrameInfo f{};
        f.offset = offset;
        f.code = code;
        switch (code & 3) {
        case 0: f.kind = code == 0xC0 ? FrameKind::Baseline : FrameKind::Extended; break;
        case 1: f.kind = FrameKind::Extended; break;
        case 2: f.kind = FrameKind::Progressive; break;
        default: f.kind = FrameKind::Lossless; break;
        }
        f.arithmetic = code >= 0xC8;
        f.hierarchical = (code & 4) != 0 || sawDhp;
        if (end < begin + 6) {
            Problem("frame header too short" + At(offset));
            out.frame = f;
            return;
        }
        f.precision = b.At(begin);
        f.height = b.Word(begin + 1);
        f.width = b.Word(begin + 3);
        std::uint32_t n = b.At(begin + 5);
        if (begin + 6 + 3 * n > end)
            Problem("frame header lists more components than it holds" + At(offset));
        for (std::uint32_t i = 0; i < n && begin + 6 + 3 * i + 3 <= end; ++i) {
            std::uint32_t p = begin + 6 + 3 * i;
            f.components.push_back({b.At(p), static_cast<std::uint8_t>(b.At(p + 1) >> 4),
                                    static_cast<std::uint8_t>(b.At(p + 1) & 0x0F), b.At(p + 2)});
        }
        out.frame = f;
    }

    // DQT: every table of the segment, and which index it now fills.
    void ReadQuantTables(std::uint32_t begin, std::uint32_t end)
    {
        std::uint32_t p = begin;
        while (p < end) {
            std::uint8_t pq = b.At(p);
            std::uint8_t precision = (pq >> 4) == 0 ? 8 : 16;
            if (out.quantTables.size() < kMaxListed)
                out.quantTables.push_back({p, static_cast<std::uint8_t>(pq & 0x0F), precision});
            if ((pq & 0x0F) < 4)
                current.quant[pq & 0x0F] = p;
            std::uint32_t size = 1 + 64 * (precision / 8);
            if (p + size > end)
                Problem("quantisation table runs past its segment" + At(p));
            p += size;
        }
    }

    // DHT: every table of the segment with its counts and symbols.
    void ReadHuffmanTables(std::uint32_t begin, std::uint32_t end)
    {
        std::uint32_t p = begin;
        while (p < end) {
            HuffmanTableRecord t{};
            t.offset = p;
            t.tableClass = b.At(p) >> 4;
            t.index = b.At(p) & 0x0F;
            for (int l = 0; l < 16; ++l) {
                t.counts[l] = b.At(p + 1 + l);
                t.codeCount += t.counts[l];
            }
            if (p + 17 + t.codeCount > end)
                Problem("Huffman table runs past its segment" + At(p));
            if (t.codeCount > 256)
                Problem("Huffman table with more than 256 codes" + At(p));
            for (std::uint32_t i = 0; i < t.codeCount && p + 17 + i < end; ++i)
                t.symbols.push_back(b.At(p + 17 + i));
            if (t.tableClass > 1)
                Problem("Huffman table of class " + std::to_string(t.tableClass) + At(p));
            else if (t.index < 4)
                (t.tableClass == 0 ? current.dc : current.ac)[t.index] = p;
            p += 17 + t.codeCount;
            if (out.huffmanTables.size() < kMaxListed)
                out.huffmanTables.push_back(std::move(t));
        }
    }

    // The listed table whose record starts at `offset`.
    const HuffmanTableRecord* TableAt(std::int64_t offset)
    {
        if (offset < 0)
            return nullptr;
        for (const HuffmanTableRecord& t : out.huffmanTables)
            if (t.offset == offset)
                return &t;
        return nullptr;
    }

    // Reads the scan header, then the entropy-coded data up to the next
    // marker other than RSTn. Returns the offset of that marker.
    std::uint32_t ReadScan(std::uint32_t offset, std::uint32_t begin, std::uint32_t end)
    {
        ++out.scanCount;
        ScanInfo s{};
        s.offset = offset;
        s.restartInterval = restartInterval;
        s.tables = current;
        std::uint32_t n = b.At(begin);
        for (std::uint32_t i = 0; i < n && begin + 1 + 2 * i + 2 <= end; ++i) {
            std::uint32_t p = begin + 1 + 2 * i;
            s.components.push_back({b.At(p), static_cast<std::uint8_t>(b.At(p + 1) >> 4),
                                    static_cast<std::uint8_t>(b.At(p + 1) & 0x0F)});
        }
        if (begin + 1 + 2 * n + 3 > end)
            Problem("scan header too short" + At(offset));
        std::uint32_t q = begin + 1 + 2 * n;
        s.ss = b.At(q);
        s.se = b.At(q + 1);
        s.ah = b.At(q + 2) >> 4;
        s.al = b.At(q + 2) & 0x0F;

        // Entropy-coded data: 0xFF 0x00 is a data byte, RSTn stays inside.
        s.dataOffset = end;
        std::uint32_t p = end;
        std::uint32_t size = b.Size();
        for (;;) {
            while (p < size && b.At(p) != 0xFF)
                ++p;
            if (p >= size)
                break;
            std::uint32_t j = p + 1;
            while (j < size && b.At(j) == 0xFF)
                ++j;
            if (j >= size) {
                p = size;
                break;
            }
            std::uint8_t code = b.At(j);
            if (code == 0x00) {
                p = j + 1;
            } else if (code >= 0xD0 && code <= 0xD7) {
                if (s.restarts.size() < kMaxListed)
                    s.restarts.push_back({j - 1, static_cast<std::uint8_t>(code - 0xD0), 0});
                ++s.restartCount;
                s.paddedRestarts += j - 1 > p;
                p = j + 1;
            } else {
                break;
            }
        }
        s.dataLength = p - s.dataOffset;
        if (p >= size)
            Problem("the data ends inside the scan" + At(offset), false);

        if (out.frame && out.scanCount <= 16) {  // only the first scans matter
            ScanTables tables;
            for (int i = 0; i < 4; ++i) {
                tables.dc[i] = TableAt(s.tables.dc[i]);
                tables.ac[i] = TableAt(s.tables.ac[i]);
            }
            std::string problem = WalkScan(b.All(), *out.frame, tables, s);
            if (!problem.empty()) {
                s.dataDamaged = true;
                Problem(problem + " of the scan" + At(offset), false);
            }
        }
        if (out.scans.size() < kMaxListed)
            out.scans.push_back(std::move(s));
        return p;
    }

    // APPn: what kind of data it carries, and any JPEG thumbnail inside.
    void ReadApp(std::uint32_t offset, std::uint8_t number, std::uint32_t begin, std::uint32_t end)
    {
        AppRecord a{};
        a.offset = offset;
        a.number = number;
        a.length = end - begin + 2;
        auto startsWith = [&](const char* id, std::uint32_t n) {
            if (begin + n > end)
                return false;
            for (std::uint32_t i = 0; i < n; ++i)
                if (b.At(begin + i) != static_cast<std::uint8_t>(id[i]))
                    return false;
            return true;
        };
        if (number == 0 && startsWith("JFIF\0", 5)) {
            a.kind = "JFIF";
        } else if (number == 0 && startsWith("JFXX\0", 5)) {
            a.kind = "JFXX";
            if (begin + 6 <= end && b.At(begin + 5) == 0x10) {
                a.hasThumbnail = true;
                a.thumbnailOffset = begin + 6;
                a.thumbnailLength = end - (begin + 6);
            }
        } else if (number == 1 && startsWith("Exif\0", 5)) {
            a.kind = "Exif";
            ReadExif(a, begin + 6, end);
        } else if (number == 1 && startsWith("http://ns.adobe.com/xap", 23)) {
            a.kind = "XMP";
        } else if (number == 2 && startsWith("ICC_PROFILE\0", 12)) {
            a.kind = "ICC_PROFILE";
        } else if (number == 14 && startsWith("Adobe", 5)) {
            a.kind = "Adobe";
            if (begin + 12 <= end)
                a.adobeTransform = b.At(begin + 11);
        } else {
            a.kind = "other";
        }
        // Any embedded JPEG stream counts as a thumbnail.
        if (!a.hasThumbnail) {
            for (std::uint32_t p = begin; p + 3 <= end; ++p) {
                if (b.At(p) == 0xFF && b.At(p + 1) == 0xD8 && b.At(p + 2) == 0xFF) {
                    a.hasThumbnail = true;
                    a.thumbnailOffset = p;
                    a.thumbnailLength = end - p;
                    break;
                }
            }
        }
        if (out.apps.size() < kMaxListed)
            out.apps.push_back(a);
    }

    // TIFF header, IFD0 (orientation) and IFD1 (JPEG thumbnail).
    void ReadExif(AppRecord& a, std::uint32_t tiff, std::uint32_t end)
    {
        if (tiff + 8 > end)
            return;
        bool little = b.At(tiff) == 'I' && b.At(tiff + 1) == 'I';
        if (!little && !(b.At(tiff) == 'M' && b.At(tiff + 1) == 'M'))
            return;
        auto u16 = [&](std::uint64_t p) -> std::uint32_t {
            return little ? b.At(p) | (b.At(p + 1) << 8) : (b.At(p) << 8) | b.At(p + 1);
        };
        auto u32 = [&](std::uint64_t p) -> std::uint32_t {
            return little ? u16(p) | (u16(p + 2) << 16) : (u16(p) << 16) | u16(p + 2);
        };
        std::uint64_t ifd = u32(tiff + 4);
        std::uint32_t thumbOffset = 0, thumbLength = 0;
        for (int which = 0; which < 2 && ifd != 0; ++which) {
            std::uint64_t p = tiff + ifd;
            if (p + 2 > end)
                return;
            std::uint32_t count = u16(p);
            for (std::uint32_t i = 0; i < count && p + 2 + 12 * i + 12 <= end; ++i) {
                std::uint64_t e = p + 2 + 12 * i;
                std::uint32_t tag = u16(e);
                std::uint32_t type = u16(e + 2);
                std::uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
                if (which == 0 && tag == 0x0112)
                    a.exifOrientation = static_cast<std::uint16_t>(value);
                if (which == 1 && tag == 0x0201)
                    thumbOffset = value;
                if (which == 1 && tag == 0x0202)
                    thumbLength = value;
            }
            std::uint64_t next = p + 2 + 12 * std::uint64_t{count};
            ifd = next + 4 <= end ? u32(next) : 0;
        }
        if (thumbOffset != 0 && tiff + std::uint64_t{thumbOffset} + 2 <= end &&
            b.At(tiff + thumbOffset) == 0xFF && b.At(tiff + thumbOffset + 1) == 0xD8) {
            a.hasThumbnail = true;
            a.thumbnailOffset = tiff + thumbOffset;
            // The IFD's length is not trusted past the segment's end.
            a.thumbnailLength = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(thumbLength, end - (tiff + std::uint64_t{thumbOffset})));
        }
    }

    // COM: the text, printable ASCII only.
    void ReadComment(std::uint32_t offset, std::uint32_t begin, std::uint32_t end)
    {
        CommentRecord c{offset, {}};
        for (std::uint32_t p = begin; p < end && c.text.size() < 200; ++p) {
            char ch = static_cast<char>(b.At(p));
            c.text += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
        }
        if (out.comments.size() < kMaxListed)
            out.comments.push_back(std::move(c));
    }

    // From SOI to EOI by segment lengths; resynchronises on stray bytes.
    void Run()
    {
        std::uint32_t size = b.Size();
        out.fileSize = size;
        out.startsWithSoi = size >= 2 && b.At(0) == 0xFF && b.At(1) == 0xD8;
        if (!out.startsWithSoi) {
            Problem("the file does not start with the JPEG start-of-image marker (FF D8)");
            return;
        }
        std::uint32_t pos = 2;
        while (pos < size) {
            if (b.At(pos) != 0xFF) {
                std::uint32_t from = pos;
                while (pos < size && b.At(pos) != 0xFF)
                    ++pos;
                Problem(std::to_string(pos - from) + " bytes outside any segment" + At(from));
                continue;
            }
            std::uint32_t fill = 0;
            while (pos + 1 < size && b.At(pos + 1) == 0xFF) {
                ++pos;
                ++fill;
            }
            if (pos + 1 >= size) {
                Problem("the data ends inside a marker" + At(pos));
                break;
            }
            std::uint8_t code = b.At(pos + 1);
            if (code == 0x00) {
                Problem("stray 0xFF 0x00" + At(pos));
                pos += 2;
                continue;
            }
            ++out.markerCount;
            MarkerRecord m{pos, code, 0, fill};
            bool standalone = code == 0xD8 || code == 0xD9 || code == 0x01 || (code >= 0xD0 && code <= 0xD7);
            if (standalone) {
                if (out.markers.size() < kMaxListed)
                    out.markers.push_back(m);
                if (code == 0xD9) {
                    out.eoiPresent = true;
                    out.eoiOffset = pos;
                    out.bytesAfterEoi = size - (pos + 2);
                    return;
                }
                if (code == 0xD8)
                    Problem("a second start-of-image marker" + At(pos));
                else if (code != 0x01)
                    Problem("restart marker outside a scan" + At(pos));
                pos += 2;
                continue;
            }
            if (pos + 4 > size) {
                Problem("the data ends inside a segment length" + At(pos));
                break;
            }
            m.length = b.Word(pos + 2);
            if (out.markers.size() < kMaxListed)
                out.markers.push_back(m);
            if (m.length < 2) {
                Problem(MarkerName(code) + " segment with length " + std::to_string(m.length) + At(pos));
                break;
            }
            std::uint32_t begin = pos + 4;
            std::uint32_t end = pos + 2 + m.length;
            bool truncated = end > size;
            if (truncated) {
                Problem("the data ends inside the " + MarkerName(code) + " segment" + At(pos));
                end = size;
            }
            std::uint32_t next = end;
            if (IsFrameCode(code))
                ReadFrame(pos, code, begin, end);
            else if (code == 0xC4)
                ReadHuffmanTables(begin, end);
            else if (code == 0xDB)
                ReadQuantTables(begin, end);
            else if (code == 0xDD) {
                restartInterval = b.Word(begin);
                if (!out.hasRestartInterval) {
                    out.hasRestartInterval = true;
                    out.restartInterval = restartInterval;
                }
            } else if (code == 0xDE)
                sawDhp = true;
            else if (code == 0xDC)
                Problem("the height is given by a DNL segment" + At(pos));
            else if (code >= 0xE0 && code <= 0xEF)
                ReadApp(pos, static_cast<std::uint8_t>(code - 0xE0), begin, end);
            else if (code == 0xFE)
                ReadComment(pos, begin, end);
            else if (code == 0xDA && !truncated)
                next = ReadScan(pos, begin, end);
            if (truncated)
                break;
            pos = next;
        }
        if (!out.eoiPresent)
            Problem("no end-of-image marker (FF D9)", false);
    }
};

}  // namespace

JpegStructure ReadJpegStructure(std::span<const std::uint8_t> bytes)
{
    JpegStructure out;
    if (bytes.size() > 0xFFFFFFF0u) {
        out.problems.push_back("the file is larger than 4 GB");
        return out;
    }
    Walker walker{Bytes(bytes), out, {}};
    walker.Run();
    if (out.frame && walker.sawDhp)
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
