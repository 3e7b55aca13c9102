// Entropy decoding through a window of bits ahead of the reader and table
// look-ups: the scalar path's JpegDecodeBlock, a whole MCU at a time. Every
// symbol, value and reader state is the one the bit-by-bit reader gives. The
// window takes 0xFF data bytes as the reader does (0xFF kept, the byte behind
// it dropped) and stops in front of a restart marker, EOI, an 0xFF at the end
// and the end of the data; there, and for tables whose long codes are not
// canonical, the reference functions decode.
#include <bit>
#include <cstring>
#include <utility>

#include "jpeg/jpeg_kernels.h"
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

// Codes up to kLookupBits long are found with one look-up of the bits ahead.
constexpr std::uint32_t kLookupBits = 11;
constexpr std::uint32_t kLookupSize = 1u << kLookupBits;

// What the linear search of JpegDecodeHuffman finds, derived from a table.
struct DerivedTable {
    // For the next kLookupBits bits: (length << 8) | symbol of the shortest
    // code they begin with, the first such entry; 0 when no code of up to
    // kLookupBits bits matches.
    std::uint16_t lookup[kLookupSize];
    // When a code and its magnitude bits fit in those bits: (value << 16) |
    // (step << 8) | (length + size). For AC the step is the run, 64 for EOB
    // and the unused symbols 0x10..0xE0 (the block ends), 15 for ZRL (a zero
    // stored 15 on); for DC it is 0 and the value the difference. Else 0.
    std::int32_t coefficient[kLookupSize];
    // Codes of 12 to 16 bits: those the search can reach at length l are
    // the consecutive codes first[l] + i, symbol values[offset[l] + i], when
    // `canonical`; otherwise the reference search decodes them.
    bool canonical;
    std::uint16_t first[17];
    std::uint16_t count[17];
    std::uint16_t offset[17];
    std::uint8_t values[256];
};

// Derived from the tables at the start of every scan.
DerivedTable dcDerived[2];
DerivedTable acDerived[2];

// Zig-zag position -> natural index.
const auto kNatural = [] {
    struct {
        std::uint8_t index[64];
    } natural{};
    for (std::uint32_t k = 0; k < 64; ++k)
        natural.index[k] = static_cast<std::uint8_t>(8 * kZigZagRow[k] + kZigZagColumn[k]);
    return natural;
}();

// Fills `derived` from `table`: codes reached at length l are the entries with
// that length in front of the first longer one, the first of equal codes winning.
void JpegBuildDerivedTable(const HuffmanTable& table, bool ac, DerivedTable& derived)
{
    std::memset(derived.lookup, 0, sizeof derived.lookup);
    for (std::uint32_t l = 1; l <= kLookupBits; ++l) {
        for (const HuffmanEntry& e : table.entries) {
            if (e.length > l)
                break;
            if (e.length != l || e.code >= (1u << l))
                continue;
            std::uint32_t first = static_cast<std::uint32_t>(e.code) << (kLookupBits - l);
            for (std::uint32_t p = first; p < first + (1u << (kLookupBits - l)); ++p) {
                if (derived.lookup[p] == 0)
                    derived.lookup[p] = static_cast<std::uint16_t>((l << 8) | (e.value & 0xFF));
            }
        }
    }

    std::memset(derived.coefficient, 0, sizeof derived.coefficient);
    for (std::uint32_t p = 0; p < kLookupSize; ++p) {
        std::uint32_t length = derived.lookup[p] >> 8;
        std::uint32_t symbol = derived.lookup[p] & 0xFF;
        std::uint32_t run = ac ? symbol >> 4 : 0;
        std::uint32_t size = ac ? symbol & 0x0F : symbol;
        if (length == 0 || size > 16 || length + size > kLookupBits)
            continue;
        if (ac && size == 0)
            run = run == 15 ? 15 : 64;
        std::uint32_t bits = (p >> (kLookupBits - length - size)) & ((1u << size) - 1);
        auto value = static_cast<std::uint16_t>(JpegExtend(bits, size));
        derived.coefficient[p] = static_cast<std::int32_t>((std::uint32_t{value} << 16) | (run << 8) | (length + size));
    }

    derived.canonical = true;
    std::uint32_t n = 0;
    for (std::uint32_t l = kLookupBits + 1; l <= 16; ++l) {
        derived.first[l] = 0;
        derived.count[l] = 0;
        derived.offset[l] = static_cast<std::uint16_t>(n);
        for (const HuffmanEntry& e : table.entries) {
            if (e.length > l)
                break;
            if (e.length != l || e.code >= (1u << l))
                continue;
            if (derived.count[l] == 0)
                derived.first[l] = e.code;
            else if (e.code != derived.first[l] + derived.count[l])
                derived.canonical = false;
            derived.values[n++ & 0xFF] = static_cast<std::uint8_t>(e.value);
            ++derived.count[l];
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

// The bits ahead of the reader: the untaken bits of its current byte, then
// the data bytes behind it.
struct BitWindow {
    // Bits not yet taken, left-aligned; behind them zeros or the data bits
    // that follow (a top-up puts in a whole 8-byte word), which a fill
    // ORs in again unchanged.
    std::uint64_t bits;
    std::uint32_t count;   // how many
    std::uint32_t first;   // bits of the reader's current byte it opened with, 0..8
    std::uint32_t start;   // offset of the first byte it appended
    std::uint32_t next;    // offset of the next byte to append
    std::uint32_t pairs;   // 0xFF data bytes appended (each with a dropped byte behind it)
    bool growing;          // no marker, 0xFF at the end or end of the data met yet
    // The path's transform, for the MCU's blocks: here rather than a seventh
    // argument of JpegDecodeBlockScalar, which would go on the stack (measured
    // 0.24 % more instructions for a 1920x1080 4:2:0 picture).
    JpegTransformKernel transform;
};

// The scan's window, open from its first MCU to JpegFinishMcusScalar: closed
// and opened around every MCU, it cost 2.3 % of a 4:4:4 q95 decode's instructions.
BitWindow scanWindow;
bool scanWindowOpen = false;

// True when the byte at `at` ends the window: a marker the reader acts on
// (RSTn, EOI), an 0xFF with nothing behind it, or the end of the data.
bool JpegWindowStop(std::uint32_t at)
{
    const JpegDecoderState& s = jpegState;
    if (at >= s.dataSize)
        return true;
    if (s.data[at] != 0xFF)
        return false;
    if (s.dataSize - at < 2)
        return true;
    std::uint8_t code = s.data[at + 1];
    return code == 0xD9 || (code & 0xF8) == 0xD0;
}

// Tops the window up to 56 bits or more from the next eight data bytes when
// none of the whole bytes that fit is 0xFF, the common case, whatever it
// holds: no test of its count to mispredict, and the bytes taken do not wait
// on the bytes read. False, with nothing done, otherwise.
inline bool JpegWindowTopUp(std::uint64_t& bits, std::uint32_t& count, std::uint32_t& next)
{
    const JpegDecoderState& s = jpegState;
    if (next > s.dataSize || s.dataSize - next < 8)
        return false;
    std::uint64_t word = 0;
    std::memcpy(&word, s.data + next, 8);
    if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
    std::uint64_t inverted = ~word;  // a zero byte here is an 0xFF there
    // Bit 7 of every 0xFF byte and maybe of bytes in front of one: enough to
    // fail safely. Only the bytes that fit count: an 0xFF behind them failed
    // every top-up from eight bytes ahead on, 96 k simulated mispredictions
    // in a 2560x1600 q95 decode.
    std::uint64_t marks = (inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull;
    std::uint32_t room = (63 - count) & ~7u;  // bits of the whole bytes that fit
    if ((marks & ~(~0ull >> room)) != 0)
        return false;
    // The whole word goes in behind the bits held: its bits beyond the
    // whole bytes counted, fewer than eight, are those of the next byte, which
    // the next top-up or fill puts in again. Without a mask the top-up adds
    // two operations to the look-ups' chain, not six.
    bits |= word >> count;
    next += room >> 3;
    count |= 56;  // count + room, the whole bytes that fit
    return true;
}

// Appends data bytes until 56 bits or more are held, never 64 (the top-up
// shifts by the count), or the window stops.
void JpegWindowFill(BitWindow& w)
{
    const JpegDecoderState& s = jpegState;
    if (JpegWindowTopUp(w.bits, w.count, w.next))
        return;
    while (w.count < 56) {
        if (JpegWindowStop(w.next)) {
            w.growing = false;
            return;
        }
        std::uint8_t byte = s.data[w.next];
        w.bits |= static_cast<std::uint64_t>(byte) << (56 - w.count);
        w.count += 8;
        w.next += byte == 0xFF ? 2 : 1;
        w.pairs += byte == 0xFF;
    }
}

// Opens the window at the reader; empty while the reader is not primed, the
// data is used up or a marker was met.
void JpegWindowOpen(BitWindow& w)
{
    const JpegDecoderState& s = jpegState;
    w = {0, 0, 0, s.cursor, s.cursor, 0, false, w.transform};
    if (s.bitMask == 0 || s.dataExhausted || s.markerSeen)
        return;
    w.first = static_cast<std::uint32_t>(std::countr_zero(s.bitMask)) + 1;
    w.bits = static_cast<std::uint64_t>(s.currentByte) << 56;
    w.count = w.first;
    w.growing = true;
    JpegWindowFill(w);
}

// The offset `appended` data bytes past `start`, an 0xFF with the byte
// behind it counted as one. The window stays open for the whole scan, so a
// byte at a time walked all of it: 5 % of a 2560x1600 q95 decode's instructions.
std::uint32_t JpegAppendedByteOffset(std::uint32_t start, std::uint32_t appended)
{
    const JpegDecoderState& s = jpegState;
    std::uint32_t at = start;
    while (appended != 0) {
        const void* found = std::memchr(s.data + at, 0xFF, appended);
        if (found == nullptr)
            return at + appended;
        auto before = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(found) - (s.data + at));
        at += before + 2;
        appended -= before + 1;
    }
    return at;
}

// Leaves the reader where the bits taken would have left it; the window is
// then empty. It never takes its last bit, so the byte that holds the next
// bit is always one of the window's.
void JpegWindowClose(BitWindow& w)
{
    JpegDecoderState& s = jpegState;
    if (w.first == 0)
        return;  // opened empty: the reader is where it was
    // Every byte appended put in 8 bits, an 0xFF with the byte behind it too.
    std::uint32_t filled = w.first + 8 * (w.next - w.start - w.pairs);
    std::uint32_t taken = filled - w.count;
    std::uint32_t takenOfByte;  // bits taken from the reader's new current byte
    if (taken < w.first) {
        takenOfByte = 8 - w.first + taken;
    } else {
        std::uint32_t beyond = taken - w.first;
        std::uint32_t loaded = beyond / 8 + 1;  // appended bytes the load step has taken
        takenOfByte = beyond % 8;
        s.cursor = w.pairs == 0 ? w.start + loaded : JpegAppendedByteOffset(w.start, loaded);
    }
    s.currentByte = static_cast<std::uint8_t>((w.bits >> 56) & (0xFFu << takenOfByte));
    s.bitMask = static_cast<std::uint8_t>(0x80u >> takenOfByte);
    w = {0, 0, 0, s.cursor, s.cursor, 0, false, w.transform};
}

// Takes `count` bits.
inline void JpegWindowTake(BitWindow& w, std::uint32_t count)
{
    w.bits <<= count;
    w.count -= count;
}

// The symbol of the code ahead and its length, or false to leave it to the
// reference search. Needs more than 16 bits in the window.
inline bool JpegWindowCode(const BitWindow& w, const DerivedTable& derived, std::uint16_t* symbol,
                           std::uint32_t* length)
{
    std::uint16_t hit = derived.lookup[w.bits >> (64 - kLookupBits)];
    if (hit != 0) {
        *symbol = hit & 0xFF;
        *length = hit >> 8;
        return true;
    }
    if (!derived.canonical)
        return false;
    for (std::uint32_t l = kLookupBits + 1; l <= 16; ++l) {
        auto i = static_cast<std::uint32_t>(w.bits >> (64 - l)) - derived.first[l];
        if (i < derived.count[l]) {
            *symbol = derived.values[derived.offset[l] + i];
            *length = l;
            return true;
        }
    }
    *symbol = kNoSymbol;  // 16 bits taken, as the search takes them
    *length = 16;
    return true;
}

// A symbol and the value of the magnitude bits behind it, as
// JpegDecodeHuffman and JpegReceiveExtend give them: as many bits as the
// symbol for DC (sizeMask 0xFF), its low nibble for AC (0x0F); none behind
// kNoSymbol.
inline std::uint16_t JpegWindowSymbol(BitWindow& w, const HuffmanTable& table, const DerivedTable& derived,
                                      std::uint16_t sizeMask, std::int16_t* value)
{
    if (w.count <= 32 && w.growing)
        JpegWindowFill(w);
    std::uint16_t symbol;
    std::uint32_t length;
    // With more than 32 bits ahead, any code and up to 16 magnitude bits lie
    // short of the window's last bit, whose load step might meet a marker,
    // and the byte behind the current one is a window byte, so the reader
    // does not stand at a restart marker.
    if (w.count > 32 && JpegWindowCode(w, derived, &symbol, &length)) {
        std::uint32_t size = symbol == kNoSymbol ? 0 : symbol & sizeMask;
        if (size <= 16) {
            std::uint64_t ahead = w.bits << length;
            auto bits = static_cast<std::uint32_t>(size == 0 ? 0 : ahead >> (64 - size));
            JpegWindowTake(w, length + size);
            *value = JpegExtend(bits, size);
            return symbol;
        }
    }
    // Near a marker or the end of the data the look-up still serves codes
    // that end short of the window's last bit, when 9 bits or more are ahead.
    if (w.count >= 9) {
        std::uint16_t hit = derived.lookup[w.bits >> (64 - kLookupBits)];
        length = hit >> 8;
        symbol = hit & 0xFF;
        std::uint32_t size = symbol & sizeMask;
        if (length != 0 && size <= 16 && length + size < w.count) {
            std::uint64_t ahead = w.bits << length;
            auto bits = static_cast<std::uint32_t>(size == 0 ? 0 : ahead >> (64 - size));
            JpegWindowTake(w, length + size);
            *value = JpegExtend(bits, size);
            return symbol;
        }
    }
    JpegWindowClose(w);
    symbol = JpegDecodeHuffman(table);
    *value = symbol == kNoSymbol ? 0 : JpegReceiveExtend(symbol & sizeMask);
    JpegWindowOpen(w);
    return symbol;
}

// At an empty window the reader may have met a marker or the end of the data:
// from its state. False at the end of the data, with the block made: every
// symbol reads as 0 and sets markerSeen, so the predictor's value alone.
bool JpegWindowReopen(BitWindow& w, std::int16_t* samples, std::uint16_t quantSelector, std::int16_t predictor)
{
    JpegDecoderState& s = jpegState;
    JpegWindowClose(w);
    s.markerSeen = 0;
    if (s.dataExhausted) {
        s.markerSeen = 1;
        JpegInverseTransformDc(predictor, samples, quantSelector);
        return false;
    }
    JpegWindowOpen(w);
    return true;
}

// The DC difference: added to the predictor, which becomes coefficient 0.
inline void JpegDecodeDcScalar(BitWindow& w, std::uint16_t dcSelector, std::int16_t* predictor,
                               std::int16_t* coefficients)
{
    std::uint32_t dc = dcSelector != 0;
    if (w.count <= 32 && w.growing)
        JpegWindowFill(w);
    // A code and magnitude that fit the look-up, as for AC coefficients.
    std::int32_t entry = dcDerived[dc].coefficient[w.bits >> (64 - kLookupBits)];
    std::int16_t difference;
    std::uint16_t t = 0;
    if (entry != 0 && w.count > 32) {
        JpegWindowTake(w, entry & 0xFF);
        difference = static_cast<std::int16_t>(entry >> 16);
    } else {
        t = JpegWindowSymbol(w, jpegState.dcTables[dc], dcDerived[dc], 0xFF, &difference);
    }
    if (t != kNoSymbol) {
        *predictor = static_cast<std::int16_t>(static_cast<std::uint16_t>(*predictor) +
                                               static_cast<std::uint16_t>(difference));
        coefficients[0] = *predictor;
    }
}

// The window's state into the locals a block decodes with.
inline void JpegWindowLoad(const BitWindow& w, std::uint64_t& bits, std::uint32_t& count, std::uint32_t& next,
                           bool& growing)
{
    bits = w.bits;
    count = w.count;
    next = w.next;
    growing = w.growing;
}

// The locals back into the window, for a call that works on it.
inline void JpegWindowStore(BitWindow& w, std::uint64_t bits, std::uint32_t count, std::uint32_t next)
{
    w.bits = bits;
    w.count = count;
    w.next = next;
}

// Zeroes a block of coefficients with sixteen 8-byte stores, which the
// compiler pairs into vector stores; `= {}` became rep stos, one simulated
// misprediction and a slow start per block.
template <std::size_t... kWord>
inline void JpegZeroBlock(std::int16_t* coefficients, std::index_sequence<kWord...>)
{
    const std::uint64_t zero = 0;
    (std::memcpy(coefficients + 4 * kWord, &zero, sizeof zero), ...);
}

// Takes the coefficient of a look-up entry (not 0): its bits, its run and its
// value, stored at the position the run reaches. False when the block ends.
__attribute__((always_inline)) inline bool JpegTakeCoefficient(std::int32_t entry, std::uint64_t& bits,
                                                                std::uint32_t& count, std::uint32_t& k,
                                                                std::int16_t* coefficients)
{
    bits <<= entry & 0xFF;
    count -= entry & 0xFF;
    k += (entry >> 8) & 0x7F;
    if (k >= 64)
        return false;
    coefficients[kNatural.index[k]] = static_cast<std::int16_t>(entry >> 16);
    ++k;
    return true;
}

// One block, as JpegDecodeBlock decodes it but through the window's
// transform, with the window open before and after.
void JpegDecodeBlockScalar(BitWindow& w, std::int16_t* samples, std::uint16_t dcSelector,
                           std::uint16_t acSelector, std::uint16_t quantSelector, std::int16_t* predictor)
{
    const JpegDecoderState& s = jpegState;
    if (w.count == 0 && !JpegWindowReopen(w, samples, quantSelector, *predictor))
        return;
    std::int16_t coefficients[64];
    JpegZeroBlock(coefficients, std::make_index_sequence<16>());
    bool anyAc = false;
    JpegDecodeDcScalar(w, dcSelector, predictor, coefficients);

    std::uint32_t ac = acSelector != 0;
    const HuffmanTable& acTable = s.acTables[ac];
    const DerivedTable& derived = acDerived[ac];
    // A pointer of its own: indexed off the tables' base, each look-up has an
    // address computation more on the chain from one coefficient to the next.
    const std::int32_t* lookup = derived.coefficient;
    std::uint32_t k = 1;  // zig-zag position of the next coefficient
    // The window's bits in locals while coefficients come from the look-up,
    // so that they stay in registers (written back only around calls).
    std::uint64_t bits;
    std::uint32_t count, next;
    bool growing;
    JpegWindowLoad(w, bits, count, next, growing);
    while (k < 64) {
        if (growing && !JpegWindowTopUp(bits, count, next)) {
            // An 0xFF, a marker or the end of the data ahead: byte by byte,
            // up to and past the 0xFF, so that the next top-up succeeds.
            JpegWindowStore(w, bits, count, next);
            JpegWindowFill(w);
            JpegWindowLoad(w, bits, count, next, growing);
        }
        // A coefficient whose code and magnitude fit the look-up, the common
        // case; with more than 32 bits ahead they end well short of the window's end.
        std::int32_t entry = lookup[bits >> (64 - kLookupBits)];
        if (entry != 0 && count > 32) {
            if (!JpegTakeCoefficient(entry, bits, count, k, coefficients))
                break;
            anyAc = true;
            // A second one on the same top-up: the first took at most kLookupBits.
            entry = lookup[bits >> (64 - kLookupBits)];
            if (k < 64 && entry != 0 && count > 32 && !JpegTakeCoefficient(entry, bits, count, k, coefficients))
                break;
            continue;
        }
        JpegWindowStore(w, bits, count, next);
        std::int16_t value;
        std::uint16_t rs = JpegWindowSymbol(w, acTable, derived, 0x0F, &value);
        JpegWindowLoad(w, bits, count, next, growing);
        if (rs == kNoSymbol)
            continue;
        std::uint32_t run = rs >> 4;
        std::uint16_t size = rs & 0x0F;
        if (size != 0) {
            k += run;
            if (k >= 64)
                break;
            coefficients[kNatural.index[k]] = value;
            anyAc = true;
            ++k;
        } else if (run == 15) {
            k += 16;  // ZRL
        } else {
            break;  // EOB, and the unused symbols 0x10..0xE0
        }
    }
    JpegWindowStore(w, bits, count, next);

    if (!anyAc) {
        JpegInverseTransformDc(coefficients[0], samples, quantSelector);
        return;
    }
    w.transform(coefficients, samples, quantSelector);
}

}  // namespace

void JpegPrepareScalarEntropy()
{
    scanWindowOpen = false;
    const JpegDecoderState& s = jpegState;
    for (std::uint32_t i = 0; i < 2; ++i) {
        JpegBuildDerivedTable(s.dcTables[i], false, dcDerived[i]);
        JpegBuildDerivedTable(s.acTables[i], true, acDerived[i]);
    }
}

void JpegDecodeMcuScalar(const McuLayout& layout, JpegTransformKernel transform, std::int16_t* luma,
                         std::int16_t* cb, std::int16_t* cr, JpegPredictors& predictors)
{
    JpegDecoderState& s = jpegState;
    BitWindow& w = scanWindow;
    w.transform = transform;
    if (!scanWindowOpen) {
        JpegWindowOpen(w);
        scanWindowOpen = true;
    }
    // One to four luma blocks without a loop, whose exit the predictor
    // simulated by callgrind missed once per MCU.
    JpegDecodeBlockScalar(w, luma, s.yDcSelector, s.yAcSelector, s.yQuantSelector, &predictors.y);
    if (layout.lumaBlocks > 1)
        JpegDecodeBlockScalar(w, luma + 64, s.yDcSelector, s.yAcSelector, s.yQuantSelector, &predictors.y);
    if (layout.lumaBlocks > 2) {
        JpegDecodeBlockScalar(w, luma + 128, s.yDcSelector, s.yAcSelector, s.yQuantSelector, &predictors.y);
        JpegDecodeBlockScalar(w, luma + 192, s.yDcSelector, s.yAcSelector, s.yQuantSelector, &predictors.y);
    }
    if (layout.colour) {
        JpegDecodeBlockScalar(w, cb, s.chromaDcSelector, s.chromaAcSelector, s.chromaQuantSelector, &predictors.cb);
        JpegDecodeBlockScalar(w, cr, s.chromaDcSelector, s.chromaAcSelector, s.chromaQuantSelector, &predictors.cr);
    }
}

void JpegFinishMcusScalar()
{
    if (scanWindowOpen)
        JpegWindowClose(scanWindow);
    scanWindowOpen = false;
}

JPEG_NAMESPACE_END
