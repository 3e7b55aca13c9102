// Hostile streams: every truncation of a picture (random damage: the decode
// fuzzer), frame sizes at and past the pixel limit, Huffman tables no encoder
// writes. Each decode is checked for its promises (result, out-parameters,
// one buffer of width x height pixels, valid pixels) and held to the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "jpeg/decode_jpeg.h"
#include "tests/support/stream_builder.h"
#include "tests/support/test_pictures.h"

namespace testsupport {
namespace {

// 48 x 32 colour in the 16x8 layout: 3 x 4 MCUs with AC detail, a restart
// marker after every MCU row but the last.
Bytes ColourPicture()
{
    FlatBlocks blocks;
    for (int row = 0; row < 4; ++row) {
        if (row > 0)
            blocks.Restart(row - 1);
        for (int col = 0; col < 3; ++col) {
            int luma = 40 + 40 * row + 20 * col;
            blocks.Block(0, luma, {{1, 30}, {5, -12}});
            blocks.Block(0, luma + 10, {{2, -25}, {63, 3}});
            blocks.Block(1, 100 + 10 * col, {{1, 8}});
            blocks.Block(2, 150 - 10 * row);
        }
    }
    return Picture(48, 32, 0x21, blocks.Finish(), 1);
}

// The offset behind the first segment of marker FF `code`.
std::size_t SegmentEnd(const Bytes& stream, std::uint8_t code)
{
    const std::size_t at = FindMarker(stream, code);
    return at + SegmentAt(stream, at).size();
}

TEST(Truncation, EveryPrefixDecodesWithinItsPromises)
{
    const Bytes full = ColourPicture();
    const Outcome whole = DecodeFresh(full);
    ASSERT_EQ(whole.result, 1);
    ASSERT_EQ(whole.width, 48u);
    ASSERT_EQ(whole.height, 32u);

    // Behind the restart marker that follows MCU row r, rows 0..r are complete.
    std::vector<std::size_t> restarts;
    for (std::uint8_t code : {0xD0, 0xD1, 0xD2})
        restarts.push_back(FindMarker(full, code, SegmentEnd(full, 0xDA)));
    const std::size_t frameEnd = SegmentEnd(full, 0xC0);

    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "first " << cut << " bytes");
        const Outcome part = DecodeFresh(Bytes(full.begin(), full.begin() + cut));
        EXPECT_EQ(part.result, cut < 2 ? 0 : 1);
        if (cut >= frameEnd) {
            EXPECT_EQ(part.width, 48u);
            EXPECT_EQ(part.height, 32u);
        }
        std::size_t completeRows = 0;
        for (std::size_t r : restarts)
            completeRows += cut >= r + 2 ? 8 : 0;
        if (cut >= full.size() - 2)
            completeRows = 32;  // only EOI is missing: the end of the data counts as EOI
        if (completeRows > 0) {
            ASSERT_EQ(part.pixels.size(), whole.pixels.size());
            EXPECT_TRUE(std::equal(whole.pixels.begin(), whole.pixels.begin() + 48 * completeRows,
                                   part.pixels.begin()))
                << "the first " << completeRows << " rows differ from the whole picture's";
        }
        if (HasFailure())
            break;
    }
}

// The tallest frame of `width` columns that the pixel limit lets through.
std::uint16_t TallestAllowed(std::uint16_t width)
{
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(kMaxPixelCount / width, 65535));
}

TEST(FrameSize, FramesOverThePixelLimitAreRefusedAndOthersDecodedWhole)
{
    struct Case {
        std::uint16_t width, height;
        std::uint8_t sampling;  // 0: grey
        std::int32_t result;
    };
    const std::uint16_t tallest = TallestAllowed(65535);
    const Case cases[] = {
        {65535, 65535, 0, 0},
        {65535, static_cast<std::uint16_t>(tallest + 1), 0, 0},
        {static_cast<std::uint16_t>(tallest + 1), 65535, 0, 0},
        {8192, static_cast<std::uint16_t>(TallestAllowed(8192) + 1), 0, 0},
        {65535, tallest, 0, 1},
        {1, 65535, 0, 1},
        {65535, 1, 0, 1},
        {65535, 2, 0x22, 1},
        {65535, tallest, 0x11, 1},
        {2896, 2896, 0x11, 1},
        {2, 65535, 0x22, 1},
        // No room for a single pixel: the allocator's guard or the sanitizers see any store.
        {0, 16, 0, 1},
        {16, 0, 0x22, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", sampling " << int{c.sampling});
        // One flat luma block of 200; behind it the data is used up and every
        // block keeps its predictor: luma 200, chroma 128.
        FlatBlocks blocks;
        blocks.Block(0, 200);
        const Outcome out = DecodeFresh(Picture(c.width, c.height, c.sampling, blocks.Finish()));
        ASSERT_EQ(out.result, c.result);
        if (c.result == 1) {
            EXPECT_EQ(out.width, c.width);
            EXPECT_EQ(out.height, c.height);
            EXPECT_EQ(out.pixels.size(), std::size_t{c.width} * c.height);
            EXPECT_TRUE(std::all_of(out.pixels.begin(), out.pixels.end(), [](std::uint32_t p) { return p == GreyPixel(200); }));
        }
    }
}

// A DHT table of `codes` codes (at most 16 x 255), 255 per length from length
// 16 down, all symbol 0x00.
HuffmanDefinition OverfullTable(std::uint8_t classAndIndex, std::uint32_t codes)
{
    HuffmanDefinition table{classAndIndex, {}, Bytes(codes, 0x00)};
    for (std::uint32_t l = 15; codes > 0; --l) {
        std::uint32_t n = codes < 255 ? codes : 255;
        table.counts[l] = static_cast<std::uint8_t>(n);
        codes -= n;
    }
    return table;
}

// Tables no encoder writes, in use: more than 256 codes, and magnitude
// categories past 11 (DC, up to 255 bits) and 10 (AC, with runs up to 15).
// Sums wrap at 16 bits; every index stays in bounds (the allocator's guard
// and the sanitizers watch) and the paths agree with the reference.
TEST(HuffmanTables, TablesNoEncoderWritesDecodeWithinBounds)
{
    const HuffmanDefinition dc{0x00, {0, 4}, {16, 17, 255, 15}};
    const HuffmanDefinition ac{0x10, {0, 4}, {0x0F, 0x1F, 0xFF, 0x00}};
    struct Case {
        const char* name;
        HuffmanDefinition dc, ac;
        std::uint8_t sampling;  // 0: grey
    };
    const Case cases[] = {
        {"257 codes", OverfullTable(0x00, 257), OverfullTable(0x10, 257), 0},
        {"16 x 255 codes", OverfullTable(0x00, 16 * 255), OverfullTable(0x10, 16 * 255), 0},
        {"large categories, grey", dc, ac, 0},
        {"large categories, 4:4:4", dc, ac, 0x11},
        {"large categories, 4:2:0", dc, ac, 0x22},
    };
    Bytes scan;
    for (std::uint32_t i = 0; i < 600; ++i)
        scan.push_back(static_cast<std::uint8_t>((i * 89 + 7) % 255));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HuffmanDefinition dc1 = c.dc, ac1 = c.ac;
        dc1.classAndIndex = 0x01;
        ac1.classAndIndex = 0x11;
        StreamBuilder s;
        s.Soi().Dqt({FlatQuant(0, 255), FlatQuant(1, 255)}).Dht({c.dc, c.ac, dc1, ac1});
        if (c.sampling == 0)
            s.Sof0(40, 24, {{1, 0x11, 0}}).Sos({{1, 0x00}});
        else
            s.Sof0(40, 24, {{1, c.sampling, 0}, {2, 0x11, 1}, {3, 0x11, 1}}).Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}});
        EXPECT_EQ(DecodeFresh(s.Add(scan).Eoi().bytes()).result, 1);
    }
}

}  // namespace
}  // namespace testsupport
