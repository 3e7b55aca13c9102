// SOS segments: the scan header, and the entropy-coded data behind it up to
// the marker that ends it, with the restart markers inside.
#include "scan_walker.h"
#include "segment_readers.h"

namespace splash {
namespace {

// Components, spectral selection and approximation.
void ReadScanHeader(ByteView b, JpegStructure& out, ScanInfo& s, std::uint32_t begin, std::uint32_t end)
{
    std::uint32_t n = b.At(begin);
    for (std::uint32_t i = 0; i < n && begin + 1 + 2 * i + 2 <= end; ++i) {
        std::uint32_t p = begin + 1 + 2 * i;
        s.components.push_back({b.At(p), static_cast<std::uint8_t>(b.At(p + 1) >> 4),
                                static_cast<std::uint8_t>(b.At(p + 1) & 0x0F)});
    }
    if (begin + 1 + 2 * n + 3 > end)
        AddProblem(out, "scan header too short" + AtOffset(s.offset));
    std::uint32_t q = begin + 1 + 2 * n;
    s.ss = b.At(q);
    s.se = b.At(q + 1);
    s.ah = b.At(q + 2) >> 4;
    s.al = b.At(q + 2) & 0x0F;
}

// Entropy-coded data from s.dataOffset: 0xFF 0x00 is a data byte, RSTn stays
// inside. Returns the offset of the marker that ends it, or the file size.
std::uint32_t ReadScanData(ByteView b, ScanInfo& s)
{
    std::uint32_t p = s.dataOffset;
    std::uint32_t size = b.Size();
    for (;;) {
        while (p < size && b.At(p) != 0xFF)
            ++p;
        if (p >= size)
            return size;
        std::uint32_t j = p + 1;  // past any 0xFF fill bytes
        while (j < size && b.At(j) == 0xFF)
            ++j;
        if (j >= size)
            return size;
        std::uint8_t code = b.At(j);
        if (code != 0x00 && (code < 0xD0 || code > 0xD7))
            return p;
        if (code != 0x00) {
            if (s.restarts.size() < kMaxListed)
                s.restarts.push_back({j - 1, static_cast<std::uint8_t>(code - 0xD0), 0});
            ++s.restartCount;
            s.paddedRestarts += j - 1 > p;
        }
        p = j + 1;
    }
}

// The listed table whose record starts at `offset`.
const HuffmanTableRecord* TableAt(const JpegStructure& out, std::int64_t offset)
{
    if (offset < 0)
        return nullptr;
    for (const HuffmanTableRecord& t : out.huffmanTables)
        if (t.offset == offset)
            return &t;
    return nullptr;
}

}  // namespace

// The scan's record, its data walked for MCUs where the frame allows.
std::uint32_t ReadScan(ByteView b, JpegStructure& out, const TablesInForce& tables, std::uint16_t restartInterval,
                       std::uint32_t offset, std::uint32_t begin, std::uint32_t end)
{
    ++out.scanCount;
    ScanInfo s{};
    s.offset = offset;
    s.restartInterval = restartInterval;
    s.tables = tables;
    ReadScanHeader(b, out, s, begin, end);
    s.dataOffset = end;
    std::uint32_t p = ReadScanData(b, s);
    s.dataLength = p - s.dataOffset;
    if (p >= b.Size())
        AddProblem(out, "the data ends inside the scan" + AtOffset(offset), false);
    if (out.frame && out.scanCount <= 16) {  // only the first scans matter
        ScanTables named;
        for (int i = 0; i < 4; ++i) {
            named.dc[i] = TableAt(out, s.tables.dc[i]);
            named.ac[i] = TableAt(out, s.tables.ac[i]);
        }
        std::string problem = WalkScan(b.All(), *out.frame, named, s);
        if (!problem.empty()) {
            s.dataDamaged = s.mcusCounted;  // not when the walk could not lay out the MCU
            AddProblem(out, problem + " of the scan" + AtOffset(offset), false);
        }
    }
    if (out.scans.size() < kMaxListed)
        out.scans.push_back(std::move(s));
    return p;
}

}  // namespace splash
