// The header parsers and the marker loop that hands segments to them.
#include "jpeg/jpeg_state.h"
#include "jpeg/jpeg_trace.h"

JPEG_NAMESPACE_BEGIN

namespace {

JpegTrace* jpegTrace = nullptr;  // the record being filled; null for none

// Appends the table whose first byte is at `offset`; kind 0 DC, 1 AC, 2 quantisation.
void JpegTraceTableRead(std::uint32_t offset, std::uint8_t kind, std::uint8_t lowNibble)
{
    JpegTrace& t = *jpegTrace;
    if (t.tableCount < kJpegTraceCapacity)
        t.tables[t.tableCount] = {offset, kind, lowNibble};
    ++t.tableCount;
}

// Appends the marker whose 0xFF is at `offset` when `code` is one (0xC0..0xE0).
void JpegTraceMarkerFound(std::uint32_t offset, std::uint8_t code, JpegMarkerUse use, std::int32_t result)
{
    if (code < 0xC0 || code > 0xE0)
        return;
    JpegTrace& t = *jpegTrace;
    if (t.markerCount < kJpegTraceCapacity)
        t.markers[t.markerCount] = {offset, jpegState.cursor, code, use, static_cast<std::int8_t>(result)};
    ++t.markerCount;
}

// Notes where and how the search ended, and the restart interval it leaves.
void JpegTraceSearchEnd(JpegSearchEnd end, std::uint16_t restartInterval)
{
    JpegTrace& t = *jpegTrace;
    t.end = end;
    t.endOffset = jpegState.cursor;
    t.restartInterval = restartInterval;
}

}  // namespace

void JpegSetTrace(JpegTrace* trace)
{
    jpegTrace = trace;
}

void JpegBeginTrace()
{
    if (jpegTrace == nullptr)
        return;
    jpegTrace->markerCount = 0;
    jpegTrace->tableCount = 0;
    jpegTrace->restartInterval = 0;
    jpegTrace->end = JpegSearchEnd::kEndOfData;
    jpegTrace->endOffset = 0;
}

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
        std::uint32_t offset = s.cursor;
        std::uint8_t classAndIndex = JpegReadByte();
        bool isAc = (classAndIndex & 0x10) != 0;
        if (jpegTrace != nullptr)
            JpegTraceTableRead(offset, isAc ? 1 : 0, classAndIndex & 0x0F);
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
        std::uint32_t offset = s.cursor;
        std::uint8_t precisionAndIndex = JpegReadByte();
        if ((precisionAndIndex >> 4) != 0)
            return 0;
        std::uint8_t index = precisionAndIndex & 0x0F;
        if (jpegTrace != nullptr)
            JpegTraceTableRead(offset, 2, index);
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
    JpegSearchEnd end = JpegSearchEnd::kEndOfData;
    while (!s.dataExhausted) {
        if (JpegReadByte() != 0xFF)
            continue;
        std::uint32_t offset = s.cursor - 1;
        std::uint8_t code = JpegReadByte();
        std::int32_t result = -1;  // -1: no parser ran
        JpegMarkerUse use = JpegMarkerUse::kActedOn;
        switch (code) {
        case 0xC0:
        case 0xC1:
            result = JpegParseFrameHeader();
            break;
        case 0xC4:
            if (s.acTableCount < 2 || s.dcTableCount < 2)
                result = JpegParseHuffmanTables();
            else
                use = JpegMarkerUse::kPassedOver;
            break;
        case 0xD9:
            end = JpegSearchEnd::kEoi;
            break;
        case 0xDA:
            result = JpegParseScanHeader();
            if ((s.dcTableCount == 2 && s.acTableCount == 2 && s.quantTableCount == 2) ||
                s.scanComponentCount == 1) {
                s.markerSeen = 0;
                end = JpegSearchEnd::kScanStart;
            }
            break;
        case 0xDB:
            if (s.quantTableCount < 2)
                result = JpegParseQuantTables();
            else
                use = JpegMarkerUse::kPassedOver;
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
            use = JpegMarkerUse::kNoAction;
            break;  // other codes, and every byte behind them, are searched on
        }
        if (jpegTrace != nullptr)
            JpegTraceMarkerFound(offset, code, use, result);
        if (end != JpegSearchEnd::kEndOfData)
            break;
    }
    if (jpegTrace != nullptr)
        JpegTraceSearchEnd(end, restartInterval);
    return restartInterval;
}

JPEG_NAMESPACE_END
