// Counting MCUs in entropy-coded data: Huffman symbols and magnitude bits are
// read and discarded; nothing is transformed.
#include "scan_walker.h"

#include <algorithm>

namespace splash {
namespace {

// Canonical decoding tables of T.81 F.2.2.3.
struct Decoder {
    std::int32_t maxCode[17];  // -1 where no code of that length exists
    std::int32_t minCode[17];
    std::int32_t valuePointer[17];
    const std::vector<std::uint8_t>* symbols = nullptr;
};

// Code ranges per length from a table's counts.
Decoder BuildDecoder(const HuffmanTableRecord& table)
{
    Decoder d{};
    d.symbols = &table.symbols;
    std::int32_t code = 0;
    std::int32_t k = 0;
    for (int l = 1; l <= 16; ++l) {
        std::int32_t n = table.counts[l - 1];
        if (n == 0) {
            d.maxCode[l] = -1;
        } else {
            d.valuePointer[l] = k;
            d.minCode[l] = code;
            code += n;
            k += n;
            d.maxCode[l] = code - 1;
        }
        code <<= 1;
    }
    return d;
}

// Bits of one restart interval; stops at any marker.
class BitSource {
public:
    BitSource(std::span<const std::uint8_t> bytes, std::uint32_t begin, std::uint32_t end)
        : bytes_(bytes), pos_(begin), end_(end) {}

    // 0 or 1; -1 when the interval has no more bits.
    int Bit()
    {
        if (left_ == 0 && !Load())
            return -1;
        --left_;
        return (current_ >> left_) & 1;
    }

    std::uint32_t Position() const { return pos_; }
    int BitsLeft() const { return left_; }

private:
    bool Load()
    {
        if (pos_ >= end_)
            return false;
        std::uint8_t b = bytes_[pos_];
        if (b == 0xFF) {
            if (pos_ + 1 >= end_ || bytes_[pos_ + 1] != 0x00)
                return false;  // a marker ends the interval
            pos_ += 2;
        } else {
            ++pos_;
        }
        current_ = b;
        left_ = 8;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    std::uint32_t pos_;
    std::uint32_t end_;
    std::uint8_t current_ = 0;
    int left_ = 0;
};

// A symbol, -1 at the end of the bits, -2 when no code matches.
int DecodeSymbol(BitSource& bits, const Decoder& d)
{
    std::int32_t code = 0;
    for (int l = 1; l <= 16; ++l) {
        int bit = bits.Bit();
        if (bit < 0)
            return -1;
        code = (code << 1) | bit;
        if (d.maxCode[l] >= 0 && code <= d.maxCode[l] && code >= d.minCode[l]) {
            std::size_t i = static_cast<std::size_t>(d.valuePointer[l] + code - d.minCode[l]);
            return i < d.symbols->size() ? (*d.symbols)[i] : -2;
        }
    }
    return -2;
}

// Magnitude bits, read and dropped; false at the end of the bits.
bool SkipBits(BitSource& bits, int n)
{
    for (int i = 0; i < n; ++i)
        if (bits.Bit() < 0)
            return false;
    return true;
}

// 1 for a whole block, -1 at the end of the bits, -2 at bad data.
int SkipBlock(BitSource& bits, const Decoder& dc, const Decoder& ac)
{
    int t = DecodeSymbol(bits, dc);
    if (t < 0)
        return t;
    if (t > 16)
        return -2;
    if (!SkipBits(bits, t))
        return -1;
    for (int k = 1; k < 64;) {
        int rs = DecodeSymbol(bits, ac);
        if (rs < 0)
            return rs;
        int r = rs >> 4;
        int s = rs & 0x0F;
        if (s == 0) {
            if (r != 15)
                break;
            k += 16;
            continue;
        }
        k += r;
        if (k > 63)
            return -2;
        if (!SkipBits(bits, s))
            return -1;
        ++k;
    }
    return 1;
}

// a / b rounded up.
std::uint32_t CeilDiv(std::uint32_t a, std::uint32_t b) { return (a + b - 1) / b; }

// The blocks one scan component contributes to each MCU, and its tables.
struct Unit {
    int dc, ac;
    std::uint32_t blocks;
};

// The MCU (one block for a single-component scan, else H x V blocks of each
// component) and scan.mcusPerRow and scan.mcusExpected; a problem, or empty.
std::string LayOutMcu(const FrameInfo& frame, ScanInfo& scan, std::vector<Unit>& units)
{
    std::uint32_t hMax = 1, vMax = 1;
    for (const FrameComponent& c : frame.components) {
        hMax = std::max<std::uint32_t>(hMax, c.h);
        vMax = std::max<std::uint32_t>(vMax, c.v);
    }
    bool single = scan.components.size() == 1;
    for (const ScanComponent& sc : scan.components) {
        auto it = std::find_if(frame.components.begin(), frame.components.end(),
                               [&](const FrameComponent& c) { return c.id == sc.id; });
        if (it == frame.components.end() || it->h == 0 || it->v == 0)
            return "scan names a component the frame does not have";
        units.push_back({sc.dcSelector, sc.acSelector, single ? 1u : std::uint32_t{it->h} * it->v});
        if (single) {
            std::uint32_t cw = CeilDiv(std::uint32_t{frame.width} * it->h, hMax);
            std::uint32_t ch = CeilDiv(std::uint32_t{frame.height} * it->v, vMax);
            scan.mcusPerRow = CeilDiv(cw, 8);
            scan.mcusExpected = scan.mcusPerRow * CeilDiv(ch, 8);
        }
    }
    if (!single) {
        scan.mcusPerRow = CeilDiv(frame.width, 8 * hMax);
        scan.mcusExpected = scan.mcusPerRow * CeilDiv(frame.height, 8 * vMax);
    }
    return {};
}

// Whole MCUs from `begin` up to the marker that ends the interval; notes the first bad code in `problem`.
std::uint32_t CountInterval(BitSource& bits, const std::vector<Unit>& units, const Decoder (&dc)[4],
                            const Decoder (&ac)[4], std::uint32_t mcus, std::uint32_t expected, std::string& problem)
{
    bool intervalEnded = false;
    while (!intervalEnded && mcus < expected) {
        for (const Unit& u : units) {
            for (std::uint32_t b = 0; b < u.blocks && !intervalEnded; ++b) {
                int r = SkipBlock(bits, dc[u.dc], ac[u.ac]);
                if (r == -2 && problem.empty())
                    problem = "entropy-coded data does not decode after MCU " + std::to_string(mcus);
                intervalEnded = r != 1;
            }
        }
        if (!intervalEnded)
            ++mcus;
    }
    return mcus;
}

}  // namespace

std::string WalkScan(std::span<const std::uint8_t> bytes, const FrameInfo& frame,
                     const ScanTables& tables, ScanInfo& scan)
{
    scan.mcusCounted = false;
    scan.mcusDecoded = 0;
    std::vector<Unit> units;
    if (std::string problem = LayOutMcu(frame, scan, units); !problem.empty())
        return problem;
    std::uint32_t blocksPerMcu = 0;
    for (const Unit& u : units)
        blocksPerMcu += u.blocks;
    if (frame.arithmetic || frame.kind == FrameKind::Progressive || frame.kind == FrameKind::Lossless)
        return {};
    if (scan.components.empty() || blocksPerMcu > 64)
        return {};
    Decoder dc[4], ac[4];
    for (const Unit& u : units) {
        if (u.dc > 3 || u.ac > 3 || tables.dc[u.dc] == nullptr || tables.ac[u.ac] == nullptr)
            return {};  // missing tables are reported from the table list
        dc[u.dc] = BuildDecoder(*tables.dc[u.dc]);
        ac[u.ac] = BuildDecoder(*tables.ac[u.ac]);
    }
    std::string problem;
    std::uint32_t begin = scan.dataOffset, end = scan.dataOffset + scan.dataLength;
    std::uint32_t mcus = 0;
    for (std::size_t restart = 0;; ++restart) {
        BitSource bits(bytes, begin, end);
        mcus = CountInterval(bits, units, dc, ac, mcus, scan.mcusExpected, problem);
        // Next interval: behind the restart marker that ended this one.
        std::uint32_t p = bits.Position();
        while (p < end && !(bytes[p] == 0xFF && p + 1 < end && (bytes[p + 1] & 0xF8) == 0xD0))
            ++p;
        if (p >= end)
            break;
        if (restart < scan.restarts.size())
            scan.restarts[restart].afterMcus = mcus;
        begin = p + 2;
    }
    scan.mcusDecoded = mcus;
    scan.mcusCounted = true;
    return problem;
}

}  // namespace splash
