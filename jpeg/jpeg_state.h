// The decoder's module-level state, its table types and its internal verbs.
// Shared by the phases of the decoder and by its tests; not for the library's users.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_colour.h"
#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

struct HuffmanEntry {
    std::uint16_t code;    // the code's bits, right-aligned
    std::uint16_t value;   // the symbol, 0..255
    std::uint16_t length;  // 1..16; 0 in an entry no definition has reached
};

struct HuffmanTable {
    HuffmanEntry entries[256];  // canonical order: by length, then by code
};

struct QuantTable {
    std::uint16_t multipliers[64];  // natural order, prescaled, >> 12
};

// What JpegDecodeHuffman returns when no code of up to 16 bits matches.
inline constexpr std::uint16_t kNoSymbol = 0xFFFF;

struct JpegDecoderState {
    std::uint16_t frameHeight;
    std::uint16_t frameWidth;
    std::uint16_t ySamplingProduct;     // H x V of component 1
    std::uint16_t yQuantSelector;       // the frame header's whole selector byte
    std::uint16_t chromaQuantSelector;  // components 2 and 3; the later one wins
    std::uint16_t yDcSelector;
    std::uint16_t chromaDcSelector;
    std::uint16_t yAcSelector;
    std::uint16_t chromaAcSelector;
    std::uint16_t scanComponentCount;   // 1 or 3; 0 until a scan header is taken
    QuantTable quantTables[2];
    HuffmanTable acTables[2];
    HuffmanTable dcTables[2];
    std::uint8_t markerSeen;            // 0 or 1: the data ran into a marker
    std::uint8_t bitMask;               // 0x80 after a load, halved per bit taken
    std::uint8_t currentByte;           // next bit in bit 7
    std::uint16_t quantTableCount;      // tables read during this call
    std::uint16_t acTableCount;
    std::uint16_t dcTableCount;
    std::uint32_t cursor;               // offset of the next byte to read
    const std::uint8_t* data;           // borrowed from the caller
    std::uint32_t dataSize;
    bool dataExhausted;                 // a read at or past dataSize happened
    std::uint32_t* pixels;              // this call's pixel buffer
};

extern JpegDecoderState jpegState;

// Zig-zag position k -> row and column (ITU-T T.81 Figure A.6).
extern const std::uint8_t kZigZagRow[64];
extern const std::uint8_t kZigZagColumn[64];
// AAN prescale factors at 14 fractional bits, row-major.
extern const std::uint16_t kPrescale[64];

// Stream reader.
std::uint8_t JpegReadByte();
std::uint16_t JpegReadWord();

// Headers.
std::int32_t JpegParseFrameHeader();
std::int32_t JpegParseHuffmanTables();
std::int32_t JpegParseQuantTables();
std::int32_t JpegParseScanHeader();
// The marker loop, DecodeJpeg's header phase: the DRI interval, 0 without one.
std::uint16_t JpegRunMarkerLoop();
// Clears the trace record, when one is set (jpeg_trace.h), for a new call.
void JpegBeginTrace();

// Entropy decoding.
bool JpegLoadByte();
std::uint8_t JpegReadBit();
std::uint16_t JpegDecodeHuffman(const HuffmanTable& table);
std::int16_t JpegReceiveExtend(std::uint16_t n);
// The value that the n bits v stand for (EXTEND of ITU-T T.81 F.2.2.1).
inline std::int16_t JpegExtend(std::uint32_t v, std::uint32_t n)
{
    std::int32_t p = n < 16 ? (1 << n) : 0;         // 2^n held in 16 bits
    auto twiceV = static_cast<std::int32_t>(2 * v);  // signed 32-bit, wrapped
    std::uint32_t result = twiceV >= p ? v : v - static_cast<std::uint32_t>(p) + 1;
    return static_cast<std::int16_t>(result & 0xFFFF);
}

void JpegDecodeBlock(std::int16_t* samples, std::uint16_t dcSelector,
                     std::uint16_t acSelector, std::uint16_t quantSelector,
                     std::int16_t* predictor);

// Transform; the colour conversion is inline in jpeg_colour.h.
void JpegInverseTransform(const std::int16_t* coefficients, std::int16_t* samples,
                          std::uint16_t quantSelector);

// Scan.
void JpegPutPixel(std::uint16_t x, std::uint16_t y, std::uint32_t pixel,
                  std::uint32_t* pixelBuffer);
void JpegDecodeScan(std::uint16_t restartInterval);

JPEG_NAMESPACE_END
