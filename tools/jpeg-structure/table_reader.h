// The tool's one reader of DHT and DQT table records, for the structure
// walk and for comparing the tables the decoder uses with the ones a scan names.
#pragma once

#include <cstdint>
#include <span>

#include "jpeg_structure.h"

namespace splash {

// The Huffman table whose class-and-index byte is at `offset`; its symbols
// stop at `end`.
HuffmanTableRecord ReadHuffmanTable(std::span<const std::uint8_t> bytes, std::uint32_t offset, std::uint32_t end);

// The quantisation table whose precision-and-index byte is at `offset`.
QuantTableRecord ReadQuantTable(std::span<const std::uint8_t> bytes, std::uint32_t offset);

// Bytes of a record: class-and-index, 16 counts and the symbols; precision-and-index and 64 entries.
inline std::uint32_t RecordSize(const HuffmanTableRecord& t) { return 17 + t.codeCount; }
inline std::uint32_t RecordSize(const QuantTableRecord& t) { return 1 + 64 * (t.precision / 8); }

// Same contents (the index aside) in the records at two offsets; -1 is no table.
bool SameHuffmanTable(std::span<const std::uint8_t> bytes, std::int64_t a, std::int64_t b);
bool SameQuantTable(std::span<const std::uint8_t> bytes, std::int64_t a, std::int64_t b);

}  // namespace splash
