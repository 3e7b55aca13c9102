// DecodeJpeg over hand-built streams, one row per behaviour: the stream, the
// streams decoded before it (the state carries over), and the result, size
// and pixels it must give. Every row is decoded by the reference build and
// by every path, which must agree and keep DecodeJpeg's promises. Then that
// nothing behind the last MCU row is read; last, which paths the processor
// runs, against what the system reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>

#include "tests/support/stream_builder.h"

using namespace testsupport;

namespace {

using testsupport::Outcome;
using Pixels = std::vector<std::uint32_t>;
using Expected = std::function<Pixels(const Outcome&)>;  // the pixels a decode must give
using Coefficients = std::vector<std::pair<int, int>>;  // zig-zag position, value
using Write = std::function<void(BlockCoder&, BitWriter&)>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- streams ------------------------------------------------------------------

Bytes Dqt(const std::vector<QuantDefinition>& tables) { return StreamBuilder().Dqt(tables).bytes(); }
Bytes Dht(const std::vector<HuffmanDefinition>& tables) { return StreamBuilder().Dht(tables).bytes(); }
Bytes Segment(std::uint8_t code, const Bytes& body) { return StreamBuilder().Segment(code, body).bytes(); }

const std::vector<HuffmanDefinition> kFourTables = {TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)};
const Bytes kColourTables = Dqt({FlatQuant(0, 1), FlatQuant(1, 1)}) + Dht(kFourTables);
const std::vector<FrameComponent> kGreyFrame = {{1, 0x11, 0}};
const std::vector<FrameComponent> kColourFrame = {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}};
const std::vector<ScanComponent> kGreyScan = {{1, 0x00}};
const std::vector<ScanComponent> kColourScan = {{1, 0x00}, {2, 0x11}, {3, 0x11}};

// SOI, `tables`, a frame `width` x 8, a scan header and `data`, EOI.
Bytes Stream(const Bytes& tables, const std::vector<FrameComponent>& frame, const std::vector<ScanComponent>& scan,
             const Bytes& data, std::uint16_t width = 8)
{
    return StreamBuilder().Soi().Add(tables).Sof0(width, 8, frame).Sos(scan).Add(data).Eoi().bytes();
}

// Entropy-coded data as `write` puts it, then `tail` 0-bits that no block
// takes, so that the paths that look ahead of the reader find data behind
// every code; padded.
Bytes Data(const Write& write, int tail = 64)
{
    BitWriter bits;
    BlockCoder coder(bits);
    write(coder, bits);
    for (; tail > 0; tail -= 16)
        bits.Put(0, 16);
    return bits.Finish();
}

// Flat grey blocks at these levels.
Bytes GreyData(const std::vector<int>& levels)
{
    FlatBlocks blocks;
    for (int level : levels)
        blocks.Block(0, level);
    return blocks.Finish();
}

// Colour MCUs of flat blocks: the luma levels, then Cb and Cr.
Bytes ColourData(const std::vector<std::vector<int>>& mcus)
{
    FlatBlocks blocks;
    for (const std::vector<int>& mcu : mcus) {
        for (std::size_t b = 0; b < mcu.size(); ++b)
            blocks.Block(b + 2 < mcu.size() ? 0 : int(b + 3 - mcu.size()), mcu[b]);
    }
    return blocks.Finish();
}

// Grey 8 x 8 of one block at 150 whose quantisation table 0 comes, or not,
// from the DQT segments in `headers`: 172 under a quantiser of 2, 150 under
// 1, 128 with no table read.
Bytes QuantProbe(const Bytes& headers)
{
    return Stream(headers + Dht({TestDcTable(0), TestAcTable(0)}), kGreyFrame, kGreyScan, GreyData({150}));
}
const Bytes kQuant2 = Dqt({FlatQuant(0, 2)});

// APP0 with `filler` bytes behind its length word, then DQT.
Bytes App0Then(std::size_t filler)
{
    return StreamBuilder().Marker(0xE0).Word(40).Add(Bytes(filler, 0)).bytes() + kQuant2;
}

// Grey 16 x 8, a block at 150 with coefficient 1 of 30 and one at 90, under
// the Huffman tables of `dht`.
Bytes HuffmanProbe(const Bytes& dht)
{
    FlatBlocks blocks;
    blocks.Block(0, 150, {{1, 30}});
    blocks.Block(0, 90);
    return Stream(Dqt({FlatQuant(0, 1)}) + dht, kGreyFrame, kGreyScan, blocks.Finish(), 16);
}

// TestAcTable(0) with run/size 0/5 and 1/5 swapped: HuffmanProbe's
// coefficient 1 lands on 2.
HuffmanDefinition SwappedAcTable()
{
    HuffmanDefinition t = TestAcTable(0);
    auto symbol = [&](std::uint8_t v) { return std::find(t.symbols.begin(), t.symbols.end(), v); };
    std::iter_swap(symbol(0x05), symbol(0x15));
    return t;
}

// DC table 0 of 300 codes: one of 8 bits, 255 of 9 (the last, code
// 1 0000 0000, category 8) and 44 of 10 that are read and dropped, the
// first of them `symbol256`.
HuffmanDefinition TableOf300Codes(std::uint8_t symbol256 = 0)
{
    HuffmanDefinition t{0x00, {}, Bytes(300, 0)};
    t.symbols[256] = symbol256;
    t.counts[7] = 1;
    t.counts[8] = 255;
    t.counts[9] = 44;
    t.symbols[255] = 8;
    return t;
}

// 8 x 8 colour, one MCU of Y 200 and Cb, Cr 128 behind `tables`: grey 200
// when the scan starts, 128 when it does not.
Bytes ColourProbe(const Bytes& tables)
{
    return Stream(tables, kColourFrame, kColourScan, ColourData({{200, 128, 128}}));
}

void ThreeZrl(BlockCoder& b)
{
    for (int i = 0; i < 3; ++i)
        b.AcSymbol(0xF0);
}

// Grey `width` x 8 under quantisers of 255, so that every coefficient, at
// (7,7) too, has a multiplier well above 0.
Bytes Grey255(const Bytes& data, std::uint16_t width)
{
    return Stream(Dqt({FlatQuant(0, 255)}) + Dht({TestDcTable(0), TestAcTable(0)}), kGreyFrame, kGreyScan, data, width);
}

// One such block whose 40 bits end in front of EOI: DC 1, three ZRLs, then
// coefficient 63 of `value` in 3 bits.
Bytes EndingAtEoi(int value)
{
    return Grey255(Data([&](BlockCoder& b, BitWriter& bits) {
        b.Dc(1);
        ThreeZrl(b);
        b.Ac(14, value);
        EXPECT_EQ(bits.BitsInLastByte(), 0);
    }, 0), 8);
}

// Grey255 16 x 8: the first block as `write` puts it, then DC difference 5 and EOB.
Bytes ThenDc5(const Write& write)
{
    return Grey255(Data([&](BlockCoder& b, BitWriter& bits) {
        write(b, bits);
        b.Block(5);
    }), 16);
}

// Grey rows of flat blocks, levels[row][column]; with `interval` > 0 a
// restart marker stands behind every row but the last.
Bytes RestartRows(const std::vector<std::vector<int>>& rows, int interval)
{
    FlatBlocks blocks;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int level : rows[r])
            blocks.Block(0, level);
        if (interval > 0 && r + 1 < rows.size())
            blocks.Restart(static_cast<int>(r));
    }
    return Picture(static_cast<std::uint16_t>(8 * rows[0].size()), static_cast<std::uint16_t>(8 * rows.size()), 0,
                   blocks.Finish(), interval);
}

// --- expected pixels ----------------------------------------------------------

std::uint32_t ColourPixel(std::int16_t y, std::int16_t cb, std::int16_t cr)
{
    std::int16_t r, g, b;
    JpegYCbCrToRgb(y, cb, cr, &r, &g, &b);
    return 0xFF000000u + std::uint32_t(r) * 65536 + std::uint32_t(g) * 256 + std::uint32_t(b);
}

Expected Flat(std::uint32_t pixel)
{
    return [=](const Outcome& d) { return Pixels(d.pixels.size(), pixel); };
}

// Flat grey 8 x 8 blocks, levels[row][column].
Expected Levels(const std::vector<std::vector<int>>& levels)
{
    return [=](const Outcome& d) {
        Pixels expected;
        for (std::uint32_t y = 0; y < d.height; ++y)
            for (std::uint32_t x = 0; x < d.width; ++x)
                expected.push_back(GreyPixel(levels[y / 8][x / 8]));
        return expected;
    };
}

// A row of grey blocks from their coefficients (the frame's width cuts the
// last), through the zig-zag order, the reference transform and quantisation
// table 0 as the decode left them (the conformance tests hold those to
// libjpeg-turbo's coefficients).
Expected Blocks(const std::vector<Coefficients>& blocks)
{
    return [=](const Outcome& d) {
        Pixels expected(d.pixels.size());
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            std::int16_t c[64] = {}, s[64];
            for (auto [k, v] : blocks[b])
                c[8 * kZigZagRow[k] + kZigZagColumn[k]] = static_cast<std::int16_t>(v);
            JpegInverseTransform(c, s, 0);
            for (int i = 0; i < 64; ++i)
                if (8 * b + i % 8 < d.width)
                    expected[(i / 8) * d.width + 8 * b + i % 8] = GreyPixel(static_cast<std::uint32_t>(s[i]));
        }
        return expected;
    };
}

// The first block's coefficients, then a flat block of its DC + 5 (ThenDc5).
Expected WithDc5(const Coefficients& first)
{
    int dc = 0;
    for (auto [k, v] : first)
        dc = k == 0 ? v : dc;
    return Blocks({first, {{0, dc + 5}}});
}

// The pixels of `other` decoded from the state of the process's first call.
Expected SameAs(const Bytes& other)
{
    return [=](const Outcome&) { return DecodeFresh(other).pixels; };
}

// --- the table ------------------------------------------------------------------

struct Row {
    const char* name;
    Bytes stream;
    std::int32_t result;
    std::uint32_t width = 0, height = 0;
    Expected pixels = nullptr;
    std::vector<Bytes> before = {};  // decoded first, from a fresh decoder
};

std::vector<Row> Rows()
{
    const Bytes quant1 = Dqt({FlatQuant(0, 1)});
    const Bytes quant11 = Dqt({FlatQuant(0, 1), FlatQuant(1, 1)});
    const Bytes quant12 = Dqt({FlatQuant(0, 1), FlatQuant(1, 2)});
    const Bytes huffman0 = Dht({TestDcTable(0), TestAcTable(0)});
    const Bytes huffman1 = Dht({TestDcTable(1), TestAcTable(1)});
    const Bytes grey16 = Picture(16, 8, 0, GreyData({150, 90}));
    const Bytes tableless =
        StreamBuilder().Soi().Sof0(16, 8, kGreyFrame).Sos(kGreyScan).Add(GreyData({150, 90})).Eoi().bytes();
    const Bytes picture16 = Picture(16, 8, 0, GreyData({220, 220}));
    const Bytes thumbnailFirst = StreamBuilder().Soi().Segment(0xE1, Picture(8, 8, 0, GreyData({40}))).bytes() +
                                 Bytes(picture16.begin() + 2, picture16.end());
    const Bytes separateScans = StreamBuilder().Soi().Add(kColourTables).Sof0(8, 8, kColourFrame)
        .Sos({{1, 0x00}}).Add(GreyData({60})).Sos({{2, 0x11}}).Add(GreyData({250})).Eoi().bytes();
    const Bytes plainHuffman = HuffmanProbe(huffman0);
    const std::uint32_t g128 = GreyPixel(128), g150 = GreyPixel(150), g172 = GreyPixel(172);
    const std::vector<std::vector<int>> threeRows = {{140}, {150}, {160}};
    Bytes zeroAt10(64, 255);  // quantisers, zig-zag position 10 being (4,0)
    zeroAt10[10] = 0;
    Bytes cutShort = Dht({TestDcTable(0), TestAcTable(0)});  // its length word ends one byte into the AC table
    cutShort[2] = 0;
    cutShort[3] = 2 + 17 + 12 + 1;
    HuffmanDefinition longCodes{0x00, {}, Bytes(256, 0)};  // 0000 0000 0000, then 255 of 16 bits
    longCodes.counts[11] = 1;
    longCodes.counts[15] = 255;
    longCodes.symbols[255] = 3;
    HuffmanDefinition dcTo32 = TestDcTable(0);  // categories 0..11, then 16 and 32
    dcTo32.counts[3] = 14;
    dcTo32.symbols.insert(dcTo32.symbols.end(), {16, 32});

    return {
        // The start of the stream (shorter prefixes: the truncation test).
        {"SOI and EOI: a picture of no pixels", {0xFF, 0xD8, 0xFF, 0xD9}, 1},
        {"EOI first: refused", {0xFF, 0xD9}, 0},
        {"SOI one byte late: refused", {0x00, 0xFF, 0xD8, 0xFF, 0xD9}, 0},

        // The frame header.
        {"SOF1 is read; without a scan header the buffer stays zero",
         StreamBuilder().Soi().Sof(0xC1, 40, 24, kGreyFrame).Eoi().bytes(), 1, 40, 24, Flat(0)},
        {"a 12-bit SOF1 leaves the earlier frame",
         StreamBuilder().Soi().Sof(0xC1, 40, 24, kGreyFrame, 12).Eoi().bytes(), 1, 16, 8, Flat(g128), {grey16}},
        {"SOF2 is not read",
         StreamBuilder().Soi().Sof(0xC2, 40, 24, kGreyFrame).Eoi().bytes(), 1, 16, 8, Flat(g128), {grey16}},
        {"an unknown frame component is stepped over",
         Stream(quant12 + huffman0, {{9, 0x11, 0}, {1, 0x11, 1}}, kGreyScan, GreyData({150})), 1, 8, 8, Flat(g172)},
        {"quantisation selectors above 1 name table 1",
         Stream(quant12 + huffman0, {{1, 0x11, 255}}, kGreyScan, GreyData({150})), 1, 8, 8, Flat(g172)},
        {"the later of components 2 and 3 gives the chroma quantisers",
         Stream(quant12 + Dht(kFourTables), {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 0}}, kColourScan,
                ColourData({{128, 150, 100}})),
         1, 8, 8, Flat(ColourPixel(128, 150, 100))},

        // Markers are searched byte by byte; APP0 alone is passed over, for 14 bytes.
        {"DQT sets table 0", QuantProbe(kQuant2), 1, 8, 8, Flat(g172)},
        {"a fill byte in front of a marker hides it", QuantProbe(Bytes{0xFF} + kQuant2), 1, 8, 8, Flat(g128)},
        {"two fill bytes do not", QuantProbe(Bytes{0xFF, 0xFF} + kQuant2), 1, 8, 8, Flat(g172)},
        {"APP0 passes over a marker at its bytes 12 and 13", QuantProbe(App0Then(10)), 1, 8, 8, Flat(g128)},
        {"APP0 passes over the 0xFF of a marker at its byte 13", QuantProbe(App0Then(11)), 1, 8, 8, Flat(g128)},
        {"APP0 is searched on from its byte 14", QuantProbe(App0Then(12)), 1, 8, 8, Flat(g172)},
        {"a marker inside APP1 is found", QuantProbe(Segment(0xE1, kQuant2)), 1, 8, 8, Flat(g172)},
        {"a marker inside SOF2 is found", QuantProbe(Segment(0xC2, kQuant2)), 1, 8, 8, Flat(g172)},

        // Quantisation and Huffman tables.
        {"a 16-bit table ends its DQT segment",
         QuantProbe(Dqt({FlatQuant(0, 1), {0x10, Bytes(128, 1)}, FlatQuant(0, 2)})), 1, 8, 8, Flat(g150)},
        {"tables past index 1 are read over and counted",
         QuantProbe(Dqt({{2, Bytes(64, 50)}, FlatQuant(0, 2), {2, Bytes(64, 60)}}) + quant1), 1, 8, 8, Flat(g172)},
        {"a third DQT segment is passed over", QuantProbe(quant1 + quant1 + kQuant2), 1, 8, 8, Flat(g150)},
        {"a DHT after two tables of each class is passed over",
         HuffmanProbe(Dht(kFourTables) + Dht({SwappedAcTable()})), 1, 16, 8, SameAs(plainHuffman)},
        {"DHT segments are read until then",
         HuffmanProbe(Dht({TestDcTable(0), TestDcTable(1), SwappedAcTable()}) + Dht({TestAcTable(0)})), 1, 16, 8,
         SameAs(plainHuffman)},
        {"a DHT is read table by table while its length word says more follows", HuffmanProbe(cutShort), 1,
         16, 8, SameAs(plainHuffman)},
        {"of more than 256 codes the first 256 are kept, the rest read past",
         Stream(quant1 + Dht({TableOf300Codes(), TestAcTable(0)}), kGreyFrame, kGreyScan,
                Data([](auto& b, auto& bits) { bits.Put(256, 9); bits.Put(176, 8); b.AcSymbol(0x00); })),
         1, 8, 8, Flat(g150)},
        {"a table of more than 256 codes leaves the table behind it alone",  // DC 1's code 0000: category 0
         Stream(quant1 + Dht({TestDcTable(1)}) + Dht({TableOf300Codes(8), TestAcTable(0)}), kGreyFrame, {{1, 0x10}},
                Data([](auto& b, auto&) { b.Block(0); b.Block(176); }), 16),
         1, 16, 8, Levels({{128, 150}})},
        {"entries that a shorter definition left behind still match",  // 1001: 9 as before; 00: 5
         Stream(quant1 + huffman0 + Dht({{0x00, {0, 1}, {5}}}), kGreyFrame, kGreyScan,
                Data([](auto& b, auto& bits) {
                    bits.Put(0b1001, 4); bits.Put(256, 9); b.AcSymbol(0x00);
                    bits.Put(0b00, 2); bits.Put(22, 5); b.AcSymbol(0x00);
                }), 16),
         1, 16, 8, Levels({{160, 162}})},
        {"of 256 codes of 12 bits and more the last one matches",  // 0000 0001 0000 1110: category 3
         Stream(Dqt({FlatQuant(0, 8)}) + Dht({longCodes, TestAcTable(0)}), kGreyFrame, kGreyScan,
                Data([](auto& b, auto& bits) { bits.Put(0x010E, 16); bits.Put(0b101, 3); b.AcSymbol(0x00); })),
         1, 8, 8, Flat(GreyPixel(133))},
        {"long codes that a shorter definition left behind still match",  // 0100 0000 0000: category 4, as before
         Stream(Dqt({FlatQuant(0, 8)}) + Dht({{0x00, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0, 4}}}) +
                    Dht({{0x00, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0}}, TestAcTable(0)}),
                kGreyFrame, kGreyScan,
                Data([](auto& b, auto& bits) {
                    for (int d : {12, 0, -9, 0}) {
                        bits.Put(d != 0 ? 0x400 : 0, 12); bits.Put(BlockCoder::Magnitude(d).second, d != 0 ? 4 : 0);
                        b.AcSymbol(0x00);
                    }
                }), 32),
         1, 32, 8, Levels({{140, 140, 131, 131}})},

        // A colour scan starts only with two tables of each kind from this call.
        {"a colour scan starts with two tables of each kind", ColourProbe(kColourTables), 1, 8, 8,
         Flat(GreyPixel(200))},
        {"not with one quantisation table", ColourProbe(quant1 + Dht(kFourTables)), 1, 8, 8, Flat(g128)},
        {"not with three", ColourProbe(quant1 + quant12 + Dht(kFourTables)), 1, 8, 8, Flat(g128)},
        {"not with one AC table", ColourProbe(quant11 + Dht({TestDcTable(0), TestDcTable(1), TestAcTable(0)})), 1, 8,
         8, Flat(g128)},
        {"not with the tables of an earlier call", ColourProbe({}), 1, 8, 8, Flat(g128), {ColourProbe(kColourTables)}},

        // The scan header.
        {"selectors 2 and 3 name Huffman tables 1",
         Stream(quant1 + huffman1, kGreyFrame, {{1, 0x23}}, GreyData({150, 90}), 16), 1, 16, 8, Levels({{150, 90}})},
        {"selector 0 names tables 0", Stream(quant1 + huffman1, kGreyFrame, kGreyScan, GreyData({150, 90}), 16), 1, 16,
         8, Flat(g128)},
        {"the later of components 2 and 3 gives the chroma Huffman tables",  // tables 0 have no codes
         Stream(quant11 + Dht({{0x00, {}, {}}, {0x10, {}, {}}}) + huffman1, kColourFrame,
                {{1, 0x11}, {2, 0x00}, {3, 0x11}}, ColourData({{128, 150, 100}})),
         1, 8, 8, Flat(ColourPixel(128, 150, 100))},
        {"a scan of two components starts nothing on a fresh decoder",
         Stream(kColourTables, kColourFrame, {{1, 0x00}, {2, 0x11}}, ColourData({{200, 128, 128}})), 1, 8, 8, Flat(0)},
        {"of separate component scans the first decodes, as grey", separateScans, 1, 8, 8, Flat(GreyPixel(60))},
        {"a thumbnail inside APP1 is the picture decoded", thumbnailFirst, 1, 8, 8, Flat(GreyPixel(40))},

        // What the next call keeps: frame, scan header and tables, not the table counts.
        {"the next call keeps the frame; its scan starts behind EOI", {0xFF, 0xD8, 0xFF, 0xD9}, 1, 16, 8,
         Flat(g128), {grey16}},
        {"the next call keeps the tables", tableless, 1, 16, 8, Levels({{150, 90}}), {grey16}},
        {"a fresh decoder has no tables", tableless, 1, 16, 8, Flat(g128)},

        // Entropy-coded data. Under a quantiser of 8 a flat block's sample is its DC + 128.
        {"DC differences are magnitude bits read as signed values, summed",  // 1100, 1101: 16 and 32 bits
         Stream(Dqt({FlatQuant(0, 8)}) + Dht({dcTo32, TestAcTable(0)}), kGreyFrame, kGreyScan,
                Data([](auto& b, auto& bits) {
                    for (int d : {1, -1, -4, 4, 100, -27, -1023, 1023})
                        b.Block(d);
                    bits.Put(0b1100, 4); bits.Put(1, 16); b.AcSymbol(0x00);
                    bits.Put(0b1101, 4); bits.Put(1u << 30, 32); b.AcSymbol(0x00);  // 2^30 - 2^32 + 1 in 16 bits: 1
                }), 80),
         1, 80, 8, Levels({{129, 128, 124, 128, 228, 201, 0, 201, 202, 203}})},
        {"an unknown DC code keeps the predictor and gives the block DC 0",
         Picture(24, 8, 0, Data([](auto& b, auto& bits) {
             b.Block(176); bits.Put(0xFFFF, 16); b.AcSymbol(0x00); b.Block(-480); })),
         1, 24, 8, Levels({{150, 128, 90}})},
        {"a DC product past 16 bits wraps",  // 33 x 1020 = 33660 reads -31876
         Grey255(Data([](auto& b, auto&) { b.Block(33); }), 8), 1, 8, 8, Flat(GreyPixel(0))},
        {"so does a column's sum when its AC terms are not all 0",  // (4,0) has a multiplier of 0
         Stream(Dqt({{0, zeroAt10}}) + huffman0, kGreyFrame, kGreyScan,
                Data([](auto& b, auto&) { b.Dc(33); b.Ac(9, 1); b.AcSymbol(0x00); })),
         1, 8, 8, Flat(GreyPixel(0))},
        {"the last bit in front of EOI reads as 0: 101 as 100", EndingAtEoi(5), 1, 8, 8, SameAs(EndingAtEoi(4))},
        {"runs on both sides of a ZRL",
         ThenDc5([](auto& b, auto&) { b.Dc(-3); b.Ac(2, 5); b.AcSymbol(0xF0); b.Ac(1, -7); b.AcSymbol(0x00); }), 1,
         16, 8, WithDc5({{0, -3}, {3, 5}, {21, -7}})},
        {"a coefficient at 63 ends the block without EOB",
         ThenDc5([](auto& b, auto&) { b.Dc(0); ThreeZrl(b); b.Ac(14, -20); }), 1, 16, 8, WithDc5({{63, -20}})},
        {"a run to position 64 ends the block, its coefficient unstored",
         ThenDc5([](auto& b, auto&) { b.Dc(0); b.Ac(0, 3); ThreeZrl(b); b.Ac(14, 4); }), 1, 16, 8,
         WithDc5({{1, 3}})},
        {"run/size 3/0 ends the block like EOB",
         ThenDc5([](auto& b, auto&) { b.Dc(0); b.Ac(0, 3); b.AcSymbol(0x30); }), 1, 16, 8, WithDc5({{1, 3}})},
        {"an unknown AC code is passed over",
         ThenDc5([](auto& b, auto& bits) { b.Dc(0); bits.Put(0xFFFF, 16); b.Ac(0, 6); b.AcSymbol(0x00); }), 1, 16,
         8, WithDc5({{1, 6}})},

        // Layouts no encoder writes (the usual ones and frame edges: the conformance tests).
        {"luma sampled 1 x 2 decodes in the 16 x 8 layout", Picture(16, 8, 0x12, ColourData({{60, 200, 128, 128}})),
         1, 16, 8, Levels({{60, 200}})},
        {"a partial MCU shows its own first columns, row by row",  // coefficient 1: samples differ along a row
         Picture(12, 8, 0, Data([](auto& b, auto&) { b.Block(0, {{1, 40}}); b.Block(0, {{1, -40}}); })), 1, 12, 8,
         Blocks({{{1, 40}}, {{1, -40}}})},
        {"a colour scan with luma sampled 3 x 1 decodes in the grey layout", Picture(16, 8, 0x31, GreyData({70, 180})),
         1, 16, 8, Levels({{70, 180}})},

        // Restart intervals: a marker behind each MCU row resets the predictors;
        // rows end padded, in a stuffed 0xFF and exactly at a byte's end.
        {"interval 65535 counts as 1", RestartRows(threeRows, 65535), 1, 8, 24, Levels(threeRows)},
        {"a stuffed 0xFF between a row's last block and its marker is passed over with the marker",
         Picture(16, 16, 0, [] {
             FlatBlocks b;  // levels 128 +- 1: two blocks fill 32 bits
             b.Block(0, 129); b.Block(0, 130); b.bits().Put(0xFF, 8); b.Restart(0); b.Block(0, 127); b.Block(0, 126);
             return b.Finish();
         }(), 1),
         1, 16, 16, Levels({{129, 130}, {127, 126}})},
        {"a row whose data fills its last byte: the reader has taken its marker already",
         RestartRows({{129, 130}, {127, 126}}, 1), 1, 16, 16, Levels({{129, 130}, {127, 126}})},
        {"DRI 0: the predictors run on", RestartRows({{129, 130}, {127, 126}}, 0), 1, 16, 16,
         Levels({{129, 130}, {127, 126}})},
        {"bits in front of a marker that are not all 1 are a code's",  // 1110 FF 0000: no DC code; then EOB
         Picture(16, 8, 0, Data([](auto& b, auto& bits) {
             b.Block(176); bits.Put(0b1110, 4); bits.Marker(0xD0); bits.Put(0x0F, 16); })),
         1, 16, 8, Levels({{150, 128}})},
        {"codes running across stuffed 0xFF bytes pass over each stuffed 0x00",  // 111: DC 0, EOB
         Stream(quant1 + Dht({{0x00, {2}, {8, 0}}, {0x10, {1, 2}, {0x01, 0x02, 0x00}}}), kGreyFrame, kGreyScan,
                Data([](auto&, auto& bits) { for (int i = 0; i < 15; ++i) bits.Put(0b111, 3); }), 120),
         1, 120, 8, Flat(g128)},
        {"scan data of nothing but 0xFF bytes sets no coefficient",  // each pair is one 0xFF data byte
         Picture(16, 8, 0, Bytes(4096, 0xFF)), 1, 16, 8, Flat(g128)},
        {"a restart marker inside a row leaves the blocks behind it at their predictor",  // met behind the fill bits
         Picture(16, 8, 0, Data([](auto& b, auto& bits) { b.Block(8 * 12); bits.Marker(0xD0); b.Block(8 * -38); }), 1),
         1, 16, 8, Flat(GreyPixel(140))},
        {"without an interval a marker stops the data", Picture(8, 24, 0, Data([](auto& b, auto& bits) {
             b.Block(8 * -68); bits.Marker(0xD0); b.Block(8 * -8); bits.Marker(0xD1); b.Block(8 * 52); }), 0),
         1, 8, 24, Flat(GreyPixel(60))},
    };
}

TEST(DecodeJpeg, GivesEachHandBuiltStreamItsResultSizeAndPixels)
{
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        testsupport::ResetDecoders();
        for (const Bytes& stream : row.before)
            Decode(stream);
        const Outcome d = Decode(row.stream);
        const Pixels pixels = row.pixels ? row.pixels(d) : Pixels();  // none: refused, or no pixels
        EXPECT_EQ(CompareOutcomes(d, {row.result, row.width, row.height, pixels, ""}), "");
    }
}

// Behind its last MCU row the scan reads nothing: with restart markers between
// the rows and without, the bytes behind EOI stay unread on every path.
TEST(DecodeJpeg, ReadsNothingBehindTheLastMcuRow)
{
    for (int interval : {0, 1}) {
        Bytes stream = RestartRows({{129, 130}, {127, 126}}, interval);
        const auto end = static_cast<std::uint32_t>(stream.size());
        stream.resize(end + 8, 0x00);
        DecodeFresh(stream);
        EXPECT_LE(std::get<0>(ReaderState()), end) << "restart interval " << interval;
    }
}

#ifdef __linux__
// The paths this processor runs against the features that the system reports
// for it: /proc/cpuinfo's flags, which leave avx2 out when the system does not
// save the YMM registers.
TEST(JpegPaths, SupportedPathsAreThoseTheSystemReports)
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    ASSERT_EQ(line.rfind("flags", 0), 0u) << "no flags line in /proc/cpuinfo";
    std::istringstream words(line);
    const std::set<std::string> flags{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    EXPECT_TRUE(JpegPathSupported(JpegPath::kScalar));
    EXPECT_EQ(JpegPathSupported(JpegPath::kSse2), flags.contains("sse2"));
    EXPECT_EQ(JpegPathSupported(JpegPath::kAvx2), flags.contains("avx2"));
}
#endif

}  // namespace
