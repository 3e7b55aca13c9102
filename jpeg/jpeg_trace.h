// An optional record of what the decoder's marker loop found and did: the
// markers, the tables read, the restart interval and where the search ended.
// Only observes: a decode with a record set reads and gives what one without does.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

inline constexpr std::uint32_t kJpegTraceCapacity = 4096;

enum class JpegMarkerUse : std::uint8_t {
    kActedOn,     // a parser ran (SOF0/1, DHT, DQT, SOS), DRI or APP0 read, EOI ended the loop
    kPassedOver,  // a DHT or DQT met when its tables were already full: searched as plain bytes
    kNoAction,    // any other code 0xC0..0xE0 the loop finds and does nothing with
};

struct JpegTraceMarker {
    std::uint32_t offset;  // of the marker's 0xFF
    std::uint32_t end;     // cursor when the loop resumed its search (or ended) after this marker
    std::uint8_t code;     // 0xC0..0xE0
    JpegMarkerUse use;
    std::int8_t result;    // the parser's result, 1 or 0; -1 when no parser ran
};

// One table the header parsers read into the state (DHT and DQT, every table of a segment).
struct JpegTraceTable {
    std::uint32_t offset;  // of its class-and-index (DHT) or precision-and-index (DQT) byte
    std::uint8_t kind;     // 0 DC, 1 AC, 2 quantisation
    std::uint8_t index;    // the low nibble as read (0..15); the slot used is 0 for 0, else 1 (DQT: 0, 1, or none above 1)
};

enum class JpegSearchEnd : std::uint8_t { kScanStart, kEoi, kEndOfData };

struct JpegTrace {
    JpegTraceMarker markers[kJpegTraceCapacity];
    std::uint32_t markerCount;   // every marker found; the first kJpegTraceCapacity are stored
    JpegTraceTable tables[kJpegTraceCapacity];
    std::uint32_t tableCount;    // every table read; the first kJpegTraceCapacity are stored
    std::uint16_t restartInterval;
    JpegSearchEnd end;
    std::uint32_t endOffset;     // cursor when the search ended: the first data byte at kScanStart
};

// The record that the next DecodeJpeg calls' marker loop fills (cleared at the start of each call);
// nullptr, the default in the library and the DLL, for none. A call whose stream does not begin
// with SOI leaves it cleared: no markers, no tables, kEndOfData at offset 0.
void JpegSetTrace(JpegTrace* trace);

JPEG_NAMESPACE_END
