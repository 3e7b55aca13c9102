// Entropy decoding through a window of bits ahead of the reader and table
// look-ups: the fast form of JpegDecodeBlock, whole MCUs at a time. Every
// symbol, value and reader state is the one the bit-by-bit reader gives;
// where the window cannot tell (next to an 0xFF byte, codes longer than the
// look-up), the straightforward functions decode.
#include <bit>

#include "jpeg/jpeg_fast.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {


// Symbols of codes up to kLookupBits long, found with one look-up: entry p is
// (length << 8) | value for the shortest code that p's leading bits match,
// exactly as the linear search finds it, or 0 to fall back to that search.
constexpr std::uint32_t kLookupBits = 11;

struct HuffmanLookup {
    std::uint16_t entries[1 << kLookupBits];
};

// Derived from the tables at the start of every scan.
HuffmanLookup dcLookups[2];
HuffmanLookup acLookups[2];
JpegTransformKernel blockTransform = JpegInverseTransform;

HuffmanLookup& JpegLookupFor(const HuffmanTable& table)
{
    JpegDecoderState& s = jpegState;
    if (&table == &s.dcTables[0]) return dcLookups[0];
    if (&table == &s.dcTables[1]) return dcLookups[1];
    if (&table == &s.acTables[0]) return acLookups[0];
    return acLookups[1];
}

// Fills the look-up of `table`.
void JpegBuildHuffmanLookup(const HuffmanTable& table)
{
    HuffmanLookup& lookup = JpegLookupFor(table);
    for (std::uint16_t& entry : lookup.entries)
        entry = 0;
    for (std::uint32_t l = 1; l <= kLookupBits; ++l) {
        for (const HuffmanEntry& e : table.entries) {
            if (e.length > l)
                break;
            if (e.length != l || e.code >= (1u << l))
                continue;
            std::uint32_t first = static_cast<std::uint32_t>(e.code) << (kLookupBits - l);
            for (std::uint32_t p = first; p < first + (1u << (kLookupBits - l)); ++p) {
                if (lookup.entries[p] == 0)
                    lookup.entries[p] = static_cast<std::uint16_t>((l << 8) | (e.value & 0xFF));
            }
        }
    }
}

// JpegInverseTransform of a block whose AC coefficients are all 0: both
// passes take their shortcuts, so one value fills the block.
void JpegInverseTransformDc(std::int16_t dc, std::int16_t* samples, std::uint16_t quantSelector)
{
    const std::uint16_t* q = jpegState.quantTables[quantSelector != 0].multipliers;
    auto d = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(dc) * q[0]));
    std::int16_t v = JpegClampSample((d >> 5) + 128);
    for (std::uint32_t i = 0; i < 64; ++i)
        samples[i] = v;
}

// Takes `count` bits, leaving the reader where as many JpegReadBit calls
// would. Every byte passed over must be a plain data byte (not 0xFF, inside
// the data). True when the last bit's load step met EOI (that bit reads as 0).
bool JpegSkipBits(std::uint32_t count)
{
    JpegDecoderState& s = jpegState;
    auto untaken = static_cast<std::uint32_t>(std::countr_zero(s.bitMask)) + 1;
    if (count < untaken) {
        s.currentByte = static_cast<std::uint8_t>(s.currentByte << count);
        s.bitMask = static_cast<std::uint8_t>(s.bitMask >> count);
        return false;
    }
    count -= untaken;
    s.cursor += count / 8;
    bool eoi = JpegLoadByte();
    std::uint32_t rest = count % 8;
    s.currentByte = static_cast<std::uint8_t>(s.currentByte << rest);
    s.bitMask = static_cast<std::uint8_t>(s.bitMask >> rest);
    return eoi;
}

// The bits ahead of the reader, left-aligned, from plain bytes only: it ends
// before the next 0xFF byte or at the end of the data, and holds up to 63
// bits, refilled from `next` as they are taken. A block takes its bits from
// here and moves the reader once, instead of one JpegReadBit call per bit.
struct BitWindow {
    std::uint64_t bits;
    std::uint32_t count;    // bits in the window
    std::uint32_t used;     // bits taken from it
    std::uint32_t dropped;  // bits taken and shifted out by refills
    std::uint32_t next;     // the data byte behind the window
    bool refillable;        // more plain bytes may follow
};

// Appends plain bytes from `next` until the window holds more than 48 bits
// (then it is refillable), an 0xFF byte or the end of the data.
void JpegWindowFill(BitWindow& w)
{
    const JpegDecoderState& s = jpegState;
    while (w.count <= 48 && w.next < s.dataSize && s.data[w.next] != 0xFF) {
        w.bits |= static_cast<std::uint64_t>(s.data[w.next]) << (56 - w.count);
        w.count += 8;
        ++w.next;
    }
    w.refillable = w.count > 48;
}

void JpegWindowOpen(BitWindow& w)
{
    const JpegDecoderState& s = jpegState;
    w = {0, 0, 0, 0, s.cursor, false};
    // Empty while the reader is not primed, the data is used up, or a marker was met.
    if (s.bitMask == 0 || s.dataExhausted || s.markerSeen)
        return;
    w.bits = static_cast<std::uint64_t>(s.currentByte) << 56;
    w.count = static_cast<std::uint32_t>(std::countr_zero(s.bitMask)) + 1;
    if (s.cursor <= s.dataSize && s.dataSize - s.cursor >= 6) {
        // Six bytes at once when none of them is 0xFF, the common case.
        const std::uint8_t* at = s.data + s.cursor;
        std::uint64_t six = 0;
        for (std::uint32_t i = 0; i < 6; ++i)
            six = (six << 8) | at[i];
        std::uint64_t inverted = ~six & 0xFFFFFFFFFFFFull;  // a zero byte here is an 0xFF there
        if (((inverted - 0x010101010101ull) & ~inverted & 0x808080808080ull) == 0) {
            w.bits |= six << (16 - w.count);
            w.count += 48;
            w.next += 6;
            w.refillable = true;
            return;
        }
    }
    JpegWindowFill(w);
}

// Passes the bits taken on to the reader; the window is then empty.
void JpegWindowClose(BitWindow& w)
{
    if (w.dropped + w.used != 0)
        JpegSkipBits(w.dropped + w.used);  // inside the window: meets no marker
    w = {0, 0, 0, 0, 0, false};
}

// Moves the bits not yet taken to the top and appends plain bytes behind
// them. The reader stays where it is until the window closes.
void JpegWindowRefill(BitWindow& w)
{
    const JpegDecoderState& s = jpegState;
    w.bits <<= w.used;
    w.count -= w.used;
    w.dropped += w.used;
    w.used = 0;
    if (w.next <= s.dataSize && s.dataSize - w.next >= 4 && w.count <= 32) {
        // Four bytes at once when none of them is 0xFF, the common case.
        const std::uint8_t* at = s.data + w.next;
        std::uint32_t four = (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) |
                             (std::uint32_t{at[2]} << 8) | at[3];
        std::uint32_t inverted = ~four;  // a zero byte here is an 0xFF there
        if (((inverted - 0x01010101u) & ~inverted & 0x80808080u) == 0) {
            w.bits |= static_cast<std::uint64_t>(four) << (32 - w.count);
            w.count += 32;
            w.next += 4;
        }
    }
    JpegWindowFill(w);
}

// Bits left, after a refill when few are left and more may follow.
inline std::uint32_t JpegWindowAvailable(BitWindow& w)
{
    if (w.count - w.used < 32 && w.refillable)
        JpegWindowRefill(w);
    return w.count - w.used;
}

// Takes bits from the window. When they are its last, the reader's load step
// runs on the byte behind it: true when that is EOI.
bool JpegWindowTake(BitWindow& w, std::uint32_t count)
{
    w.used += count;
    if (w.used < w.count)
        return false;
    bool eoi = JpegSkipBits(w.dropped + w.used);
    JpegWindowOpen(w);
    return eoi;
}

// JpegDecodeHuffman from the window. With 9 bits or more ahead the reader is
// not at a restart marker (the byte behind the current one is a window
// byte); codes longer than the look-up, and the last bits before an 0xFF
// byte, go the long way.
std::uint16_t JpegWindowHuffman(BitWindow& w, const HuffmanTable& table)
{
    std::uint32_t available = JpegWindowAvailable(w);
    if (available >= kLookupBits) {
        std::uint16_t hit = JpegLookupFor(table).entries[(w.bits << w.used) >> (64 - kLookupBits)];
        std::uint32_t length = hit >> 8;
        if (length != 0)
            return JpegWindowTake(w, length) ? 0 : (hit & 0xFF);
    }
    JpegWindowClose(w);
    std::uint16_t symbol = JpegDecodeHuffman(table);
    JpegWindowOpen(w);
    return symbol;
}

// JpegReceiveExtend from the window.
std::int16_t JpegWindowExtend(BitWindow& w, std::uint16_t n)
{
    if (n == 0)
        return 0;
    if (n <= 16 && n <= JpegWindowAvailable(w)) {
        auto v = static_cast<std::uint32_t>((w.bits << w.used) >> (64 - n));
        if (JpegWindowTake(w, n))
            v &= ~1u;
        return JpegExtend(v, n);
    }
    JpegWindowClose(w);
    std::int16_t value = JpegReceiveExtend(n);
    JpegWindowOpen(w);
    return value;
}

// A symbol and the value of the magnitude bits behind it: as many as the
// symbol for DC (sizeMask 0xFF), its low nibble for AC (0x0F); none behind
// kNoSymbol. Both from one look at the window when they lie inside it.
inline std::uint16_t JpegWindowSymbol(BitWindow& w, const HuffmanTable& table, std::uint16_t sizeMask,
                               std::int16_t* value)
{
    std::uint32_t available = JpegWindowAvailable(w);
    if (available >= kLookupBits) {
        std::uint64_t ahead = w.bits << w.used;
        std::uint16_t hit = JpegLookupFor(table).entries[ahead >> (64 - kLookupBits)];
        std::uint32_t length = hit >> 8;
        std::uint16_t symbol = hit & 0xFF;
        std::uint32_t size = symbol & sizeMask;
        // Short of the window's end, where the load step might meet EOI.
        if (length != 0 && size <= 16 && length + size < available) {
            std::uint32_t bits = size == 0 ? 0 : static_cast<std::uint32_t>((ahead << length) >> (64 - size));
            w.used += length + size;
            *value = JpegExtend(bits, size);
            return symbol;
        }
    }
    std::uint16_t symbol = JpegWindowHuffman(w, table);
    *value = symbol == kNoSymbol ? 0 : JpegWindowExtend(w, symbol & sizeMask);
    return symbol;
}

// One block, as JpegDecodeBlock decodes it.
void JpegDecodeBlockFast(std::int16_t* samples, std::uint16_t dcSelector, std::uint16_t acSelector,
                         std::uint16_t quantSelector, std::int16_t* predictor)
{
    JpegDecoderState& s = jpegState;
    s.markerSeen = 0;
    // Behind the end of the data every symbol reads as 0 and sets markerSeen:
    // the block is its predictor's value alone.
    if (s.dataExhausted) {
        s.markerSeen = 1;
        JpegInverseTransformDc(*predictor, samples, quantSelector);
        return;
    }
    std::int16_t coefficients[64] = {};
    bool anyAc = false;
    BitWindow window;
    JpegWindowOpen(window);

    std::int16_t difference;
    std::uint16_t t = JpegWindowSymbol(window, s.dcTables[dcSelector != 0], 0xFF, &difference);
    if (t != kNoSymbol) {
        *predictor = static_cast<std::int16_t>(static_cast<std::uint16_t>(*predictor) +
                                               static_cast<std::uint16_t>(difference));
        coefficients[0] = *predictor;
    }

    const HuffmanTable& acTable = s.acTables[acSelector != 0];
    std::uint32_t k = 1;  // zig-zag position of the next coefficient
    while (k < 64) {
        std::int16_t value;
        std::uint16_t rs = JpegWindowSymbol(window, acTable, 0x0F, &value);
        if (rs == kNoSymbol)
            continue;
        std::uint32_t run = rs >> 4;
        std::uint16_t size = rs & 0x0F;
        if (size != 0) {
            k += run;
            if (k >= 64)
                break;
            coefficients[8 * kZigZagRow[k] + kZigZagColumn[k]] = value;
            anyAc = true;
            ++k;
        } else if (run == 15) {
            k += 16;  // ZRL
        } else {
            break;  // EOB, and the unused symbols 0x10..0xE0
        }
    }
    JpegWindowClose(window);

    if (!anyAc) {
        JpegInverseTransformDc(coefficients[0], samples, quantSelector);
        return;
    }
    blockTransform(coefficients, samples, quantSelector);
}

}  // namespace

void JpegPrepareFastEntropy(JpegTransformKernel transform)
{
    const JpegDecoderState& s = jpegState;
    for (const HuffmanTable& table : s.dcTables)
        JpegBuildHuffmanLookup(table);
    for (const HuffmanTable& table : s.acTables)
        JpegBuildHuffmanLookup(table);
    blockTransform = transform;
}

void JpegDecodeMcuFast(const McuLayout& layout, std::int16_t* luma, std::int16_t* cb,
                       std::int16_t* cr, JpegPredictors& predictors)
{
    const JpegDecoderState& s = jpegState;
    for (std::uint32_t b = 0; b < layout.lumaBlocks; ++b)
        JpegDecodeBlockFast(luma + 64 * b, s.yDcSelector, s.yAcSelector, s.yQuantSelector, &predictors.y);
    if (layout.colour) {
        JpegDecodeBlockFast(cb, s.chromaDcSelector, s.chromaAcSelector, s.chromaQuantSelector, &predictors.cb);
        JpegDecodeBlockFast(cr, s.chromaDcSelector, s.chromaAcSelector, s.chromaQuantSelector, &predictors.cr);
    }
}

JPEG_NAMESPACE_END
