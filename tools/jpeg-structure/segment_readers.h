// The readers the segment walk hands each segment's bytes [begin, end) to.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jpeg_structure.h"

namespace splash {

// Bounds-checked reads over the whole file: 0 past the end.
class ByteView {
public:
    explicit ByteView(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint32_t Size() const { return static_cast<std::uint32_t>(data_.size()); }
    std::uint8_t At(std::uint64_t i) const { return i < data_.size() ? data_[i] : 0; }
    std::uint16_t Word(std::uint64_t i) const { return static_cast<std::uint16_t>((At(i) << 8) | At(i + 1)); }
    std::span<const std::uint8_t> All() const { return data_; }

private:
    std::span<const std::uint8_t> data_;
};

// " at offset N", the tail of every problem.
std::string AtOffset(std::uint32_t offset);

// Notes a problem; `layout`: the segments themselves are broken, not just the data cut short.
void AddProblem(JpegStructure& out, std::string text, bool layout = true);

// APPn: what kind of data it carries, its EXIF orientation, any JPEG thumbnail inside.
AppRecord ReadApp(ByteView b, std::uint32_t offset, std::uint8_t number, std::uint32_t begin, std::uint32_t end);

// SOS at `offset`: the header, then the entropy-coded data from `end` up to
// the next marker other than RSTn, whose offset it returns.
std::uint32_t ReadScan(ByteView b, JpegStructure& out, const TablesInForce& tables, std::uint16_t restartInterval,
                       std::uint32_t offset, std::uint32_t begin, std::uint32_t end);

}  // namespace splash
