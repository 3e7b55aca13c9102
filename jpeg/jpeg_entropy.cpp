// Entropy decoding: bit reader, Huffman symbols, magnitudes, one block.
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

// The load step: the next byte into currentByte; behind an 0xFF the next
// byte is dropped. True, with markerSeen set, when that byte is EOI.
bool JpegLoadByte()
{
    JpegDecoderState& s = jpegState;
    s.bitMask = 0x80;
    s.currentByte = JpegReadByte();
    if (s.currentByte != 0xFF || JpegReadByte() != 0xD9)
        return false;
    s.markerSeen = 1;
    return true;
}

// The next bit, most significant first; 0 with markerSeen set once the data
// is used up or at EOI.
std::uint8_t JpegReadBit()
{
    JpegDecoderState& s = jpegState;
    if (s.dataExhausted) {
        s.markerSeen = 1;
        return 0;
    }
    std::uint8_t bit = s.currentByte >> 7;
    s.currentByte = static_cast<std::uint8_t>(s.currentByte << 1);
    s.bitMask = static_cast<std::uint8_t>(s.bitMask >> 1);
    if (s.bitMask != 0)
        return bit;
    return JpegLoadByte() ? 0 : bit;
}

// True when the data stands at a restart marker and the bits of currentByte
// not yet taken are all 1: the padding that closes the interval.
static bool JpegAtRestartPadding()
{
    const JpegDecoderState& s = jpegState;
    if (s.cursor >= s.dataSize || s.dataSize - s.cursor < 2)
        return false;
    if (s.data[s.cursor] != 0xFF || (s.data[s.cursor + 1] & 0xF8) != 0xD0)
        return false;
    // With t bits taken (bitMask 0x80 >> t) the rest are the top 8 - t bits.
    std::uint8_t untaken = 0xFF;
    for (std::uint32_t m = 0x80; m > s.bitMask; m >>= 1)
        untaken = static_cast<std::uint8_t>(untaken << 1);
    return (s.currentByte & untaken) == untaken;
}

// One symbol of `table`: 0 at a marker, kNoSymbol when no code of up to 16 bits matches.
std::uint16_t JpegDecodeHuffman(const HuffmanTable& table)
{
    JpegDecoderState& s = jpegState;
    if (JpegAtRestartPadding()) {
        s.markerSeen = 1;
        return 0;
    }
    std::uint32_t a = 0;  // the code so far, up to 16 bits
    for (std::uint16_t l = 1; l <= 16; ++l) {
        a = 2 * a + JpegReadBit();
        if (s.markerSeen)
            return 0;
        for (const HuffmanEntry& entry : table.entries) {
            if (entry.length > l)
                break;
            if (entry.length == l && entry.code == a)
                return entry.value;
        }
    }
    return kNoSymbol;
}

// n magnitude bits as a signed value.
std::int16_t JpegReceiveExtend(std::uint16_t n)
{
    std::uint32_t v = 0;  // 32-bit, wrapping: a DC symbol may ask for up to 255 bits
    for (std::uint32_t i = 0; i < n; ++i)
        v = 2 * v + JpegReadBit();
    return JpegExtend(v, n);
}

// One 8x8 block of one component: coefficients, then samples via the transform.
void JpegDecodeBlock(std::int16_t* samples, std::uint16_t dcSelector,
                     std::uint16_t acSelector, std::uint16_t quantSelector,
                     std::int16_t* predictor)
{
    JpegDecoderState& s = jpegState;
    std::int16_t coefficients[64] = {};
    s.markerSeen = 0;

    std::uint16_t t = JpegDecodeHuffman(s.dcTables[dcSelector != 0]);
    if (t != kNoSymbol) {
        std::int16_t difference = JpegReceiveExtend(t);
        *predictor = static_cast<std::int16_t>(static_cast<std::uint16_t>(*predictor) +
                                               static_cast<std::uint16_t>(difference));
        coefficients[0] = *predictor;
    }

    const HuffmanTable& acTable = s.acTables[acSelector != 0];
    std::uint32_t k = 1;  // zig-zag position of the next coefficient
    while (k < 64) {
        std::uint16_t rs = JpegDecodeHuffman(acTable);
        if (rs == kNoSymbol)
            continue;
        std::uint32_t run = rs >> 4;
        std::uint16_t size = rs & 0x0F;
        std::int16_t value = JpegReceiveExtend(size);
        if (size != 0) {
            k += run;
            if (k >= 64)
                break;
            coefficients[8 * kZigZagRow[k] + kZigZagColumn[k]] = value;
            ++k;
        } else if (run == 15) {
            k += 16;  // ZRL
        } else {
            break;  // EOB, and the unused symbols 0x10..0xE0
        }
    }
    JpegInverseTransform(coefficients, samples, quantSelector);
}

JPEG_NAMESPACE_END
