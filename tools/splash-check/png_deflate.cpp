// Deflate with dynamic Huffman codes (RFC 1950, 1951), built for speed over
// size: the only matches are runs of the previous byte, which the PNG rows of
// flat and smooth areas are full of.
#include "png_deflate.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <vector>

namespace splash {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 17;  // input bytes per block
constexpr int kLiteralCodes = 286;                          // literals, end of block, lengths
constexpr int kEndOfBlock = 256;
constexpr int kMaxRun = 258;

// Length 3..258 -> symbol 257..285 and its extra bits (RFC 1951, 3.2.5).
struct LengthCode {
    std::uint16_t symbol;
    std::uint8_t extraBits;
    std::uint8_t extra;
};

const std::vector<LengthCode>& LengthCodes()
{
    static const std::vector<LengthCode> table = [] {
        static const std::uint16_t kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        std::vector<LengthCode> codes(kMaxRun + 1);
        for (int s = 0; s < 29; ++s) {
            int bits = s < 8 || s == 28 ? 0 : (s - 4) / 4;
            for (int length = kBase[s]; length < kBase[s] + (1 << bits) && length <= kMaxRun; ++length)
                codes[length] = {static_cast<std::uint16_t>(257 + s), static_cast<std::uint8_t>(bits),
                                 static_cast<std::uint8_t>(length - kBase[s])};
        }
        return codes;
    }();
    return table;
}

// Bits into bytes, least significant first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // `count` bits of `bits`, least significant first; count <= 32.
    void Put(std::uint32_t bits, int count)
    {
        buffer_ |= std::uint64_t{bits} << filled_;
        filled_ += count;
        while (filled_ >= 8) {
            out_.push_back(static_cast<std::uint8_t>(buffer_));
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }

    void Flush()
    {
        if (filled_ > 0)
            Put(0, 8 - filled_);
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t buffer_ = 0;
    int filled_ = 0;
};

// Huffman code lengths for `freq`, none above `limit`: frequencies are
// halved until the tree is shallow enough. At least two symbols get a code.
std::vector<std::uint8_t> CodeLengths(std::vector<std::uint32_t> freq, int limit)
{
    int used = static_cast<int>(std::count_if(freq.begin(), freq.end(), [](std::uint32_t f) { return f != 0; }));
    for (std::size_t s = 0; used < 2 && s < freq.size(); ++s)
        if (freq[s] == 0) {
            freq[s] = 1;
            ++used;
        }
    std::vector<std::uint8_t> lengths(freq.size());
    for (;;) {
        // Nodes 0..n-1 are the symbols, the rest the joins; parent[] links up.
        using Node = std::pair<std::uint64_t, int>;  // weight, index
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
        std::vector<int> parent(2 * freq.size(), -1);
        for (std::size_t s = 0; s < freq.size(); ++s)
            if (freq[s] != 0)
                queue.push({freq[s], static_cast<int>(s)});
        int next = static_cast<int>(freq.size());
        while (queue.size() > 1) {
            Node a = queue.top();
            queue.pop();
            Node b = queue.top();
            queue.pop();
            parent[a.second] = parent[b.second] = next;
            queue.push({a.first + b.first, next++});
        }
        int deepest = 0;
        for (std::size_t s = 0; s < freq.size(); ++s) {
            int depth = 0;
            for (int n = static_cast<int>(s); freq[s] != 0 && parent[n] >= 0; n = parent[n])
                ++depth;
            lengths[s] = static_cast<std::uint8_t>(depth);
            deepest = std::max(deepest, depth);
        }
        if (deepest <= limit)
            return lengths;
        for (std::uint32_t& f : freq)
            f = f == 0 ? 0 : (f + 1) / 2;
    }
}

// Canonical codes for `lengths` (RFC 1951, 3.2.2), bit-reversed for Put.
std::vector<std::uint16_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths)
{
    int count[16] = {};
    for (std::uint8_t l : lengths)
        ++count[l];
    count[0] = 0;
    int next[16] = {};
    for (int l = 1, code = 0; l < 16; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    std::vector<std::uint16_t> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        int l = lengths[s];
        if (l == 0)
            continue;
        int code = next[l]++, reversed = 0;
        for (int i = 0; i < l; ++i)
            reversed |= ((code >> i) & 1) << (l - 1 - i);
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
    return codes;
}

// One token: a literal byte (0..255) or a run (0x100 + length).
std::size_t Tokenise(const std::uint8_t* data, std::size_t begin, std::size_t end, std::vector<std::uint16_t>& tokens)
{
    tokens.clear();
    for (std::size_t i = begin; i < end;) {
        if (i > 0) {
            std::uint8_t previous = data[i - 1];
            std::size_t j = i;
            std::size_t stop = std::min(end, i + kMaxRun);
            while (j < stop && data[j] == previous)
                ++j;
            if (j - i >= 3) {
                tokens.push_back(static_cast<std::uint16_t>(0x100 + (j - i)));
                i = j;
                continue;
            }
        }
        tokens.push_back(data[i++]);
    }
    return tokens.size();
}

// The code lengths of both trees, run-length coded with symbols 16, 17, 18.
struct LengthSymbol {
    std::uint8_t symbol;
    std::uint8_t extra;
};

std::vector<LengthSymbol> RunLengthCode(const std::vector<std::uint8_t>& lengths)
{
    std::vector<LengthSymbol> out;
    for (std::size_t i = 0; i < lengths.size();) {
        std::uint8_t value = lengths[i];
        std::size_t run = 1;
        while (i + run < lengths.size() && lengths[i + run] == value)
            ++run;
        i += run;
        if (value == 0) {
            for (; run >= 11; run -= std::min<std::size_t>(run, 138))
                out.push_back({18, static_cast<std::uint8_t>(std::min<std::size_t>(run, 138) - 11)});
            if (run >= 3) {
                out.push_back({17, static_cast<std::uint8_t>(run - 3)});
                run = 0;
            }
        } else {
            out.push_back({value, 0});
            --run;
            for (; run >= 3; run -= std::min<std::size_t>(run, 6))
                out.push_back({16, static_cast<std::uint8_t>(std::min<std::size_t>(run, 6) - 3)});
        }
        for (; run > 0; --run)
            out.push_back({value, 0});
    }
    return out;
}

// One dynamic block of `tokens`.
void WriteBlock(BitWriter& bits, const std::vector<std::uint16_t>& tokens, bool last)
{
    const std::vector<LengthCode>& lengthCodes = LengthCodes();
    std::vector<std::uint32_t> freq(kLiteralCodes);
    for (std::uint16_t t : tokens)
        ++freq[t < 0x100 ? t : lengthCodes[t - 0x100].symbol];
    freq[kEndOfBlock] = 1;
    std::vector<std::uint8_t> literalLengths = CodeLengths(freq, 15);
    std::vector<std::uint16_t> literalCodes = CanonicalCodes(literalLengths);
    int literalCount = kLiteralCodes;
    while (literalLengths[literalCount - 1] == 0)
        --literalCount;
    literalLengths.resize(literalCount);

    // Two distance codes of one bit: code 0 (distance 1) is the one used.
    std::vector<std::uint8_t> all = literalLengths;
    all.push_back(1);
    all.push_back(1);
    std::vector<LengthSymbol> coded = RunLengthCode(all);
    std::vector<std::uint32_t> lengthFreq(19);
    for (const LengthSymbol& s : coded)
        ++lengthFreq[s.symbol];
    std::vector<std::uint8_t> lengthLengths = CodeLengths(lengthFreq, 7);
    std::vector<std::uint16_t> lengthCodesOfLengths = CanonicalCodes(lengthLengths);
    static const std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int orderCount = 19;
    while (orderCount > 4 && lengthLengths[kOrder[orderCount - 1]] == 0)
        --orderCount;

    bits.Put(last ? 1 : 0, 1);
    bits.Put(2, 2);  // dynamic Huffman codes
    bits.Put(static_cast<std::uint32_t>(literalCount - 257), 5);
    bits.Put(1, 5);  // two distance codes
    bits.Put(static_cast<std::uint32_t>(orderCount - 4), 4);
    for (int i = 0; i < orderCount; ++i)
        bits.Put(lengthLengths[kOrder[i]], 3);
    static const std::uint8_t kExtraBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
    for (const LengthSymbol& s : coded) {
        bits.Put(lengthCodesOfLengths[s.symbol], lengthLengths[s.symbol]);
        bits.Put(s.extra, kExtraBits[s.symbol]);
    }

    for (std::uint16_t t : tokens) {
        if (t < 0x100) {
            bits.Put(literalCodes[t], literalLengths[t]);
        } else {
            const LengthCode& c = lengthCodes[t - 0x100];
            bits.Put(literalCodes[c.symbol], literalLengths[c.symbol]);
            bits.Put(c.extra, c.extraBits);
            bits.Put(0, 1);  // distance code 0
        }
    }
    bits.Put(literalCodes[kEndOfBlock], literalLengths[kEndOfBlock]);
}

// zlib's checksum of the uncompressed data.
std::uint32_t Adler32(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t a = 1, b = 0;
    while (length > 0) {
        // 5552 bytes keep b below 2^32 before the reduction (zlib's NMAX).
        std::size_t n = std::min<std::size_t>(length, 5552);
        for (std::size_t i = 0; i < n; ++i) {
            a += data[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
        data += n;
        length -= n;
    }
    return (b << 16) | a;
}

}  // namespace

unsigned char* PngDeflate(unsigned char* data, int length, int* outLength, int /*level*/)
{
    const std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;
    std::vector<std::uint8_t> out;
    out.reserve(size / 2 + 64);
    out.push_back(0x78);  // deflate, 32 KiB window
    out.push_back(0x01);  // (0x7801 % 31 == 0)
    BitWriter bits(out);
    std::vector<std::uint16_t> tokens;
    std::size_t begin = 0;
    do {
        std::size_t end = std::min(size, begin + kBlockBytes);
        Tokenise(data, begin, end, tokens);
        WriteBlock(bits, tokens, end == size);
        begin = end;
    } while (begin < size);
    bits.Flush();
    std::uint32_t adler = Adler32(data, size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(adler >> shift));

    auto* result = static_cast<unsigned char*>(std::malloc(out.size()));
    if (result == nullptr)
        return nullptr;
    std::memcpy(result, out.data(), out.size());
    *outLength = static_cast<int>(out.size());
    return result;
}

}  // namespace splash
