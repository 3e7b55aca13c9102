// Walks a sequential Huffman scan symbol by symbol to count its MCUs and to
// find after how many MCUs each restart marker stands.
#pragma once

#include "jpeg_structure.h"

namespace splash {

// Tables that the scan's selectors name, by index 0..3; null where undefined.
struct ScanTables {
    const HuffmanTableRecord* dc[4] = {};
    const HuffmanTableRecord* ac[4] = {};
};

// Fills scan.mcusExpected and scan.mcusPerRow from the frame; when the frame is
// sequential Huffman and every table is there, walks the data and fills
// scan.mcusDecoded, scan.mcusCounted and restarts[].afterMcus.
// Returns a problem description, or an empty string.
std::string WalkScan(std::span<const std::uint8_t> bytes, const FrameInfo& frame,
                     const ScanTables& tables, ScanInfo& scan);

}  // namespace splash
