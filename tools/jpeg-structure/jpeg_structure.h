// The layout of a JPEG file as ITU-T T.81 Annex B defines it: segments walked
// by their length fields, tables, frame, scans, restart markers and APP data.
// Reads any bytes without trusting them; never reads outside the span.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace splash {

// Lists stop growing here; a hostile file cannot make the report unbounded.
inline constexpr std::size_t kMaxListed = 4096;

struct MarkerRecord {
    std::uint32_t offset;     // of the 0xFF that starts the marker
    std::uint8_t code;        // second byte, 0xC0..0xFE
    std::uint32_t length;     // the segment's length field; 0 for standalone markers
    std::uint32_t fillBytes;  // 0xFF bytes in front of the marker
};

enum class FrameKind { Baseline, Extended, Progressive, Lossless };

struct FrameComponent {
    std::uint8_t id;
    std::uint8_t h;              // sampling factors, 1..4 in a valid file
    std::uint8_t v;
    std::uint8_t quantSelector;  // 0..3 in a valid file
};

struct FrameInfo {
    std::uint32_t offset;
    std::uint8_t code;  // SOFn
    FrameKind kind;
    bool arithmetic;
    bool hierarchical;  // differential SOF, or a DHP segment
    std::uint8_t precision;
    std::uint16_t width;
    std::uint16_t height;
    std::vector<FrameComponent> components;
};

struct QuantTableRecord {
    std::uint32_t offset;  // of the precision/index byte
    std::uint8_t index;    // low nibble, 0..15
    std::uint8_t precision;  // 8 or 16 (bits per entry)
};

struct HuffmanTableRecord {
    std::uint32_t offset;   // of the class/index byte
    std::uint8_t tableClass;  // 0 DC, 1 AC
    std::uint8_t index;     // low nibble, 0..15
    std::uint32_t codeCount;
    std::uint8_t counts[16];  // codes of length 1..16
    std::vector<std::uint8_t> symbols;
};

struct ScanComponent {
    std::uint8_t id;
    std::uint8_t dcSelector;
    std::uint8_t acSelector;
};

struct RestartRecord {
    std::uint32_t offset;
    std::uint8_t number;      // 0..7
    std::uint32_t afterMcus;  // MCUs of the scan in front of it; 0 when not counted
};

// Tables in force when a scan starts: offset of the defining record, or -1.
struct TablesInForce {
    std::int64_t quant[4] = {-1, -1, -1, -1};
    std::int64_t dc[4] = {-1, -1, -1, -1};
    std::int64_t ac[4] = {-1, -1, -1, -1};
};

struct ScanInfo {
    std::uint32_t offset;
    std::vector<ScanComponent> components;
    std::uint8_t ss, se, ah, al;
    std::uint16_t restartInterval;  // DRI in force
    TablesInForce tables;
    std::uint32_t dataOffset;       // first byte of entropy-coded data
    std::uint32_t dataLength;       // up to the marker that ends the scan
    std::vector<RestartRecord> restarts;
    std::uint32_t restartCount;     // may exceed restarts.size()
    std::uint32_t paddedRestarts;   // restart markers with 0xFF fill bytes in front
    bool mcusCounted;               // the entropy-coded data was walked
    std::uint32_t mcusExpected;     // from the frame size and sampling
    std::uint32_t mcusDecoded;      // complete MCUs found in the data
    std::uint32_t mcusPerRow;
    bool dataDamaged;               // a code that no table holds, or a run past 63
};

struct AppRecord {
    std::uint32_t offset;
    std::uint8_t number;  // APPn
    std::uint32_t length;
    std::string kind;     // "JFIF", "JFXX", "Exif", "Adobe", "ICC_PROFILE", "XMP", "other"
    std::uint16_t exifOrientation = 0;  // 0 when absent
    bool hasThumbnail = false;          // a JPEG thumbnail (EXIF IFD1 or JFXX)
    std::uint32_t thumbnailOffset = 0;  // file offset
    std::uint32_t thumbnailLength = 0;
    int adobeTransform = -1;            // -1 when not Adobe
};

struct CommentRecord {
    std::uint32_t offset;
    std::string text;  // printable ASCII, others as '?', at most 200 bytes
};

struct JpegStructure {
    std::uint32_t fileSize = 0;
    bool startsWithSoi = false;
    std::vector<MarkerRecord> markers;
    std::uint32_t markerCount = 0;  // may exceed markers.size()
    std::optional<FrameInfo> frame;  // the first frame header
    std::uint32_t frameCount = 0;
    std::vector<QuantTableRecord> quantTables;
    std::vector<HuffmanTableRecord> huffmanTables;
    std::uint16_t restartInterval = 0;  // the first DRI's value
    bool hasRestartInterval = false;
    std::vector<ScanInfo> scans;
    std::uint32_t scanCount = 0;
    std::vector<AppRecord> apps;
    std::vector<CommentRecord> comments;
    bool eoiPresent = false;
    std::uint32_t eoiOffset = 0;
    std::uint32_t bytesAfterEoi = 0;
    std::vector<std::string> problems;  // where the file breaks the layout, or ends early
    bool layoutBroken = false;          // a problem other than missing or cut entropy-coded data
};

// Walks `bytes` from SOI to EOI (or to where the layout breaks).
JpegStructure ReadJpegStructure(std::span<const std::uint8_t> bytes);

// Short names: "SOF0", "DHT", "APP1", "RST3", "COM", "0xF5".
std::string MarkerName(std::uint8_t code);
const char* FrameKindName(FrameKind kind);

}  // namespace splash
