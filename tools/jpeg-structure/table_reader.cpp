// DHT and DQT table records.
#include "table_reader.h"

#include <algorithm>
#include <cstring>

namespace splash {
namespace {

// The byte at `i`; 0 past the end.
std::uint8_t ByteAt(std::span<const std::uint8_t> bytes, std::uint64_t i)
{
    return i < bytes.size() ? bytes[i] : 0;
}

}  // namespace

// Class, index, the 16 counts and the symbols up to `end`.
HuffmanTableRecord ReadHuffmanTable(std::span<const std::uint8_t> bytes, std::uint32_t offset, std::uint32_t end)
{
    HuffmanTableRecord t{};
    t.offset = offset;
    t.tableClass = ByteAt(bytes, offset) >> 4;
    t.index = ByteAt(bytes, offset) & 0x0F;
    for (int l = 0; l < 16; ++l) {
        t.counts[l] = ByteAt(bytes, std::uint64_t{offset} + 1 + l);
        t.codeCount += t.counts[l];
    }
    for (std::uint64_t p = std::uint64_t{offset} + 17; p < std::uint64_t{offset} + 17 + t.codeCount && p < end; ++p)
        t.symbols.push_back(ByteAt(bytes, p));
    return t;
}

// Index and precision from the first byte.
QuantTableRecord ReadQuantTable(std::span<const std::uint8_t> bytes, std::uint32_t offset)
{
    std::uint8_t pq = ByteAt(bytes, offset);
    return {offset, static_cast<std::uint8_t>(pq & 0x0F), static_cast<std::uint8_t>((pq >> 4) == 0 ? 8 : 16)};
}

// Both records whole, with the same counts and symbols.
bool SameHuffmanTable(std::span<const std::uint8_t> bytes, std::int64_t a, std::int64_t b)
{
    if (a < 0 || b < 0 || a == b)
        return a == b;
    auto size = static_cast<std::uint32_t>(bytes.size());
    HuffmanTableRecord ta = ReadHuffmanTable(bytes, static_cast<std::uint32_t>(a), size);
    HuffmanTableRecord tb = ReadHuffmanTable(bytes, static_cast<std::uint32_t>(b), size);
    bool whole = a + RecordSize(ta) <= size && b + RecordSize(tb) <= size;
    return whole && std::equal(std::begin(ta.counts), std::end(ta.counts), std::begin(tb.counts)) &&
           ta.symbols == tb.symbols;
}

// Both records whole, with the same precision and entries.
bool SameQuantTable(std::span<const std::uint8_t> bytes, std::int64_t a, std::int64_t b)
{
    if (a < 0 || b < 0 || a == b)
        return a == b;
    // Entries of a's precision; b's precision byte must match.
    std::uint32_t n = RecordSize(ReadQuantTable(bytes, static_cast<std::uint32_t>(a))) - 1;
    if (std::size_t(a) + 1 + n > bytes.size() || std::size_t(b) + 1 + n > bytes.size())
        return false;
    return (bytes[a] >> 4) == (bytes[b] >> 4) && std::memcmp(&bytes[a + 1], &bytes[b + 1], n) == 0;
}

}  // namespace splash
