// Hand-built JPEG streams for the decoder's tests: marker segments, an
// entropy-coded bit writer with byte stuffing, and a block coder over two
// fixed Huffman tables whose codes can be read off by eye; and their decode
// by both builds of the decoder and every path.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "jpeg/jpeg_paths.h"
#include "jpeg/jpeg_state.h"
#include "tests/support/checked_decode.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct HuffmanDefinition {
    std::uint8_t classAndIndex;          // 0x00 DC 0, 0x01 DC 1, 0x10 AC 0, 0x11 AC 1
    std::array<std::uint8_t, 16> counts; // codes of length 1..16
    Bytes symbols;
};

struct QuantDefinition {
    std::uint8_t precisionAndIndex;
    Bytes values;  // 64 quantisers in zig-zag order (128 bytes for 16-bit tables)
};

struct FrameComponent {
    std::uint8_t id, sampling, quantSelector;
};

struct ScanComponent {
    std::uint8_t id, tables;  // DC selector << 4 | AC selector
};

inline QuantDefinition FlatQuant(std::uint8_t index, std::uint8_t q)
{
    return {index, Bytes(64, q)};
}

// DC table: the category s (0..11) has the 4-bit code s; 1111 is no code.
inline HuffmanDefinition TestDcTable(std::uint8_t index)
{
    HuffmanDefinition definition{index, {}, {}};
    definition.counts[3] = 12;
    for (std::uint8_t s = 0; s < 12; ++s)
        definition.symbols.push_back(s);
    return definition;
}

// AC table: 8-bit codes, the code of a symbol being its place in the list:
// EOB 0x00, ZRL 0xF0, 0x30 (ends a block like EOB), then every run/size
// symbol with size 1..10. 163 codes, so 1111 1111 is no code.
inline HuffmanDefinition TestAcTable(std::uint8_t index)
{
    HuffmanDefinition definition{static_cast<std::uint8_t>(0x10 | index), {}, {0x00, 0xF0, 0x30}};
    for (int run = 0; run < 16; ++run)
        for (int size = 1; size <= 10; ++size)
            definition.symbols.push_back(static_cast<std::uint8_t>(run << 4 | size));
    definition.counts[7] = static_cast<std::uint8_t>(definition.symbols.size());
    return definition;
}

class StreamBuilder {
public:
    StreamBuilder& Add(const Bytes& more)
    {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    StreamBuilder& Word(std::uint16_t w) { return Add({std::uint8_t(w >> 8), std::uint8_t(w)}); }
    StreamBuilder& Marker(std::uint8_t code) { return Add({0xFF, code}); }
    StreamBuilder& Soi() { return Marker(0xD8); }
    StreamBuilder& Eoi() { return Marker(0xD9); }

    // A segment: marker, length word, body.
    StreamBuilder& Segment(std::uint8_t code, const Bytes& body)
    {
        return Marker(code).Word(static_cast<std::uint16_t>(body.size() + 2)).Add(body);
    }

    StreamBuilder& Dqt(const std::vector<QuantDefinition>& tables)
    {
        Bytes body;
        for (const QuantDefinition& t : tables) {
            body.push_back(t.precisionAndIndex);
            body.insert(body.end(), t.values.begin(), t.values.end());
        }
        return Segment(0xDB, body);
    }

    StreamBuilder& Dht(const std::vector<HuffmanDefinition>& tables)
    {
        Bytes body;
        for (const HuffmanDefinition& t : tables) {
            body.push_back(t.classAndIndex);
            body.insert(body.end(), t.counts.begin(), t.counts.end());
            body.insert(body.end(), t.symbols.begin(), t.symbols.end());
        }
        return Segment(0xC4, body);
    }

    StreamBuilder& Sof(std::uint8_t code, std::uint16_t width, std::uint16_t height,
                       const std::vector<FrameComponent>& components, std::uint8_t precision = 8)
    {
        Bytes body = {precision, std::uint8_t(height >> 8), std::uint8_t(height),
                      std::uint8_t(width >> 8), std::uint8_t(width),
                      static_cast<std::uint8_t>(components.size())};
        for (const FrameComponent& c : components)
            body.insert(body.end(), {c.id, c.sampling, c.quantSelector});
        return Segment(code, body);
    }
    StreamBuilder& Sof0(std::uint16_t width, std::uint16_t height,
                        const std::vector<FrameComponent>& components)
    {
        return Sof(0xC0, width, height, components);
    }

    StreamBuilder& Sos(const std::vector<ScanComponent>& components)
    {
        Bytes body = {static_cast<std::uint8_t>(components.size())};
        for (const ScanComponent& c : components)
            body.insert(body.end(), {c.id, c.tables});
        body.insert(body.end(), {0, 63, 0});
        return Segment(0xDA, body);
    }

    StreamBuilder& Dri(std::uint16_t interval)
    {
        return Segment(0xDD, {std::uint8_t(interval >> 8), std::uint8_t(interval)});
    }

    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// Entropy-coded data: bits most significant first, 0xFF followed by a
// stuffed 0x00, the last byte padded with 1-bits.
class BitWriter {
public:
    void Put(std::uint32_t bits, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = static_cast<std::uint8_t>(byte_ << 1 | ((bits >> i) & 1));
            if (++used_ == 8)
                Flush();
        }
    }

    // Pads to a byte boundary, then writes the marker 0xFF `code`.
    void Marker(std::uint8_t code)
    {
        Pad();
        bytes_.insert(bytes_.end(), {0xFF, code});
    }

    int BitsInLastByte() const { return used_; }

    Bytes Finish()
    {
        Pad();
        return bytes_;
    }

private:
    void Pad()
    {
        while (used_ != 0)
            Put(1, 1);
    }
    void Flush()
    {
        bytes_.push_back(byte_);
        if (byte_ == 0xFF)
            bytes_.push_back(0x00);
        byte_ = 0;
        used_ = 0;
    }

    Bytes bytes_;
    std::uint8_t byte_ = 0;
    int used_ = 0;
};

// Writes blocks with the codes of TestDcTable and TestAcTable.
class BlockCoder {
public:
    explicit BlockCoder(BitWriter& bits) : bits_(bits) {}

    // Category and magnitude bits of a value (ITU-T T.81 F.1.2.1).
    static std::pair<int, std::uint32_t> Magnitude(int v)
    {
        int category = 0;
        while ((std::abs(v) >> category) != 0)
            ++category;
        std::uint32_t raw = v >= 0 ? std::uint32_t(v) : std::uint32_t(v + (1 << category) - 1);
        return {category, raw & ((1u << category) - 1)};
    }

    void Dc(int difference)
    {
        auto [category, raw] = Magnitude(difference);
        bits_.Put(static_cast<std::uint32_t>(category), 4);
        bits_.Put(raw, category);
    }

    void AcSymbol(std::uint8_t symbol)
    {
        const Bytes& symbols = AcTable().symbols;
        for (std::size_t i = 0; i < symbols.size(); ++i)
            if (symbols[i] == symbol)
                bits_.Put(static_cast<std::uint32_t>(i), 8);
    }

    void Ac(int run, int value)
    {
        auto [size, raw] = Magnitude(value);
        AcSymbol(static_cast<std::uint8_t>(run << 4 | size));
        bits_.Put(raw, size);
    }

    // A whole block: the DC difference, then (zig-zag position, value) pairs
    // in increasing position, with ZRLs for long runs and an EOB unless the
    // last pair sits at position 63.
    void Block(int dcDifference, const std::vector<std::pair<int, int>>& ac = {})
    {
        Dc(dcDifference);
        int k = 1;
        for (auto [position, value] : ac) {
            int run = position - k;
            for (; run > 15; run -= 16)
                AcSymbol(0xF0);
            Ac(run, value);
            k = position + 1;
        }
        if (k < 64)
            AcSymbol(0x00);
    }

private:
    static const HuffmanDefinition& AcTable()
    {
        static const HuffmanDefinition definition = TestAcTable(0);
        return definition;
    }
    BitWriter& bits_;
};

// Flat blocks under quantisers of 1: the DC value 8 * (sample - 128) gives
// 64 samples of `sample`. Keeps the DC predictors of Y, Cb and Cr.
class FlatBlocks {
public:
    void Block(int component, int sample, const std::vector<std::pair<int, int>>& ac = {})
    {
        int dc = 8 * (sample - 128);
        coder_.Block(dc - predictors_[component], ac);
        predictors_[component] = dc;
    }
    void Restart(int n)
    {
        bits_.Marker(static_cast<std::uint8_t>(0xD0 + (n & 7)));
        predictors_ = {};
    }
    BitWriter& bits() { return bits_; }
    Bytes Finish() { return bits_.Finish(); }

private:
    BitWriter bits_;
    BlockCoder coder_{bits_};
    std::array<int, 3> predictors_ = {};
};

// A whole stream with quantisers of 1 and TestDcTable/TestAcTable as tables 0 and 1:
// one grey component (ySampling 0), or Y (sampled ySampling), Cb and Cr.
// restartInterval < 0 writes no DRI segment.
inline Bytes Picture(std::uint16_t width, std::uint16_t height, std::uint8_t ySampling,
                     const Bytes& scan, int restartInterval = -1)
{
    StreamBuilder s;
    s.Soi();
    if (ySampling == 0) {
        s.Dqt({FlatQuant(0, 1)}).Dht({TestDcTable(0), TestAcTable(0)}).Sof0(width, height, {{1, 0x11, 0}});
    } else {
        s.Dqt({FlatQuant(0, 1), FlatQuant(1, 1)})
            .Dht({TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)})
            .Sof0(width, height, {{1, ySampling, 0}, {2, 0x11, 1}, {3, 0x11, 1}});
    }
    if (restartInterval >= 0)
        s.Dri(static_cast<std::uint16_t>(restartInterval));
    if (ySampling == 0)
        s.Sos({{1, 0x00}});
    else
        s.Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}});
    return s.Add(scan).Eoi().bytes();
}

// Calls `run(path)` with each path this processor runs forced in turn, then
// restores the one that was active.
template <typename Run>
void ForEachPath(Run run)
{
    const JpegPath active = JpegActivePath();
    for (JpegPath path : kJpegPaths) {
        if (JpegForcePath(path))
            run(path);
    }
    JpegForcePath(active);
}

// Where the decoder's reader stands.
inline auto ReaderState()
{
    const JpegDecoderState& s = jpegState;
    return std::tuple(s.cursor, int{s.currentByte}, int{s.bitMask}, int{s.markerSeen}, s.dataExhausted);
}

// The decode by the reference build and by every path, each with DecodeJpeg's
// promises checked (checked_decode.h), which must agree, and leave the reader
// where the reference path does. The state that earlier calls left carries
// over; a decode leaves the state that the same stream's next decode starts
// from no different, so every path decodes the stream as the first did.
inline testsupport::Outcome Decode(const Bytes& stream)
{
    const testsupport::Outcome reference = testsupport::DecodeChecked(testsupport::Decoder::kReference, stream);
    EXPECT_EQ(reference.problem, "") << "reference build";
    const JpegPath active = JpegActivePath();
    EXPECT_TRUE(JpegForcePath(JpegPath::kReference)) << "the reference path";
    testsupport::DecodeChecked(testsupport::Decoder::kFast, stream, 0);
    const auto stands = ReaderState();
    JpegForcePath(active);
    ForEachPath([&](JpegPath path) {
        const testsupport::Outcome fast = testsupport::DecodeChecked(testsupport::Decoder::kFast, stream);
        EXPECT_EQ(fast.problem, "") << JpegPathName(path) << " path";
        EXPECT_EQ(testsupport::CompareOutcomes(fast, reference), "") << JpegPathName(path) << " path";
        EXPECT_EQ(ReaderState(), stands) << JpegPathName(path) << " path: the reader's cursor, byte, mask, marker, end";
    });
    return reference;
}

// The same from the state of the process's first call.
inline testsupport::Outcome DecodeFresh(const Bytes& stream)
{
    testsupport::ResetDecoders();
    return Decode(stream);
}

inline std::uint32_t GreyPixel(std::uint32_t sample)
{
    return 0xFF000000u + sample * 0x10101u;
}

}  // namespace testsupport
