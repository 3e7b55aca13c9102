// The header parsers and the marker loop that hands segments to them.
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

// SOF0 / SOF1: size, component 1's sampling product and the quantisation
// selectors. 0 when the sample precision is not 8.
std::int32_t JpegParseFrameHeader()
{
    JpegDecoderState& s = jpegState;
    JpegReadWord();  // length, not used
    if (JpegReadByte() != 8)
        return 0;
    s.frameHeight = JpegReadWord();
    s.frameWidth = JpegReadWord();
    std::uint8_t count = JpegReadByte();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t id = JpegReadByte();
        std::uint8_t sampling = JpegReadByte();
        std::uint8_t selector = JpegReadByte();
        // Any other identifier is stepped over as its three bytes.
        if (id == 1) {
            s.ySamplingProduct = static_cast<std::uint16_t>((sampling & 0x0F) * (sampling >> 4));
            s.yQuantSelector = selector;
        } else if (id == 2 || id == 3) {
            s.chromaQuantSelector = selector;
        }
    }
    return 1;
}

// DHT: one or more tables, canonical codes built in place.
std::int32_t JpegParseHuffmanTables()
{
    JpegDecoderState& s = jpegState;
    std::uint16_t length = JpegReadWord();
    std::uint16_t position = 2;  // bytes of the segment taken so far
    bool exhaustedBefore;
    do {
        exhaustedBefore = s.dataExhausted;
        std::uint8_t classAndIndex = JpegReadByte();
        bool isAc = (classAndIndex & 0x10) != 0;
        HuffmanTable& table = isAc ? s.acTables[(classAndIndex & 0x0F) != 0]
                                   : s.dcTables[(classAndIndex & 0x0F) != 0];
        std::uint8_t counts[17] = {};
        std::uint32_t total = 0;
        for (std::uint32_t l = 1; l <= 16; ++l) {
            counts[l] = JpegReadByte();
            total += counts[l];
        }
        // Up to 16 x 255 values are read; only the first 256 are kept.
        for (std::uint32_t e = 0; e < total; ++e) {
            std::uint8_t value = JpegReadByte();
            if (e < 256)
                table.entries[e].value = value;
        }
        std::uint16_t code = 0;
        std::uint32_t e = 0;
        for (std::uint16_t l = 1; l <= 16; ++l) {
            for (std::uint32_t i = 0; i < counts[l]; ++i, ++e, ++code) {
                if (e < 256) {
                    table.entries[e].code = code;
                    table.entries[e].length = l;
                }
            }
            code = static_cast<std::uint16_t>(code << 1);
        }
        if (isAc)
            ++s.acTableCount;
        else
            ++s.dcTableCount;
        position = static_cast<std::uint16_t>(position + 17 + total);
        // Past the end every table reads as zeros and repeats the last one.
    } while (position < length && !exhaustedBefore);
    return 1;
}

// DQT: one or more 8-bit tables, prescaled for the fast inverse transform.
// 0 at a table of 16-bit entries.
std::int32_t JpegParseQuantTables()
{
    JpegDecoderState& s = jpegState;
    std::uint16_t length = JpegReadWord();
    std::uint16_t position = 2;
    bool exhaustedBefore;
    do {
        exhaustedBefore = s.dataExhausted;
        std::uint8_t precisionAndIndex = JpegReadByte();
        if ((precisionAndIndex >> 4) != 0)
            return 0;
        std::uint8_t index = precisionAndIndex & 0x0F;
        position = static_cast<std::uint16_t>(position + 65);
        // Only tables 0 and 1 exist: another index reads its 64 bytes and drops them.
        QuantTable* table = index <= 1 ? &s.quantTables[index] : nullptr;
        for (std::uint32_t k = 0; k < 64; ++k) {
            std::uint32_t q = JpegReadByte();
            std::uint32_t natural = 8u * kZigZagRow[k] + kZigZagColumn[k];
            if (table != nullptr)
                table->multipliers[natural] = static_cast<std::uint16_t>((q * kPrescale[natural]) >> 12);
        }
        ++s.quantTableCount;
        // Past the end every table reads as zeros and repeats the last one.
    } while (position < length && !exhaustedBefore);
    return 1;
}

// SOS: component count and Huffman selectors. 0 when the count is not 1 or
// 3, or at a component identifier other than 1, 2, 3.
std::int32_t JpegParseScanHeader()
{
    JpegDecoderState& s = jpegState;
    JpegReadWord();  // length, not used
    std::uint8_t count = JpegReadByte();
    if (count != 1 && count != 3)
        return 0;
    s.scanComponentCount = count;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t id = JpegReadByte();
        if (id == 1) {
            std::uint8_t b = JpegReadByte();
            s.yDcSelector = b >> 4;
            s.yAcSelector = b & 0x0F;
        } else if (id == 2 || id == 3) {
            std::uint8_t b = JpegReadByte();
            s.chromaDcSelector = b >> 4;
            s.chromaAcSelector = b & 0x0F;
        } else {
            return 0;
        }
    }
    // Spectral selection and successive approximation: not looked at.
    s.cursor += 3;
    return 1;
}

// Searches for markers until the scan starts, EOI, or the end of the data.
// Returns the restart interval of the DRI segment, 0 without one.
std::uint16_t JpegRunMarkerLoop()
{
    JpegDecoderState& s = jpegState;
    std::uint16_t restartInterval = 0;
    while (!s.dataExhausted) {
        if (JpegReadByte() != 0xFF)
            continue;
        std::uint8_t code = JpegReadByte();
        switch (code) {
        case 0xC0:
        case 0xC1:
            JpegParseFrameHeader();
            break;
        case 0xC4:
            if (s.acTableCount < 2 || s.dcTableCount < 2)
                JpegParseHuffmanTables();
            break;
        case 0xD9:
            return restartInterval;
        case 0xDA:
            JpegParseScanHeader();
            if ((s.dcTableCount == 2 && s.acTableCount == 2 && s.quantTableCount == 2) ||
                s.scanComponentCount == 1) {
                s.markerSeen = 0;
                return restartInterval;
            }
            break;
        case 0xDB:
            if (s.quantTableCount < 2)
                JpegParseQuantTables();
            break;
        case 0xDD:
            JpegReadWord();  // length, not used
            restartInterval = JpegReadWord();
            break;
        case 0xE0:
            JpegReadWord();  // length, not used
            for (std::uint32_t i = 0; i < 12; ++i)
                JpegReadByte();
            break;
        default:
            break;  // other codes, and every byte behind them, are searched on
        }
    }
    return restartInterval;
}

JPEG_NAMESPACE_END
