// Headers at and past their limits: frame sizes, overfull Huffman tables,
// quantisation selectors with no table behind them, scans of unsupported
// component counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "tests/hostile/hostile_support.h"

namespace hostile {
namespace {

using jpegtest::TestAcTable;
using jpegtest::TestDcTable;
using jpegtest::FlatBlocks;
using jpegtest::FlatQuant;
using jpegtest::GreyPixel;
using jpegtest::StreamBuilder;

// A grey stream of `width` x `height` whose scan codes one flat block of
// `sample`: once the data is used up every later block keeps that DC value.
Bytes GreyFrame(std::uint16_t width, std::uint16_t height, int sample = 200)
{
    FlatBlocks blocks;
    blocks.Block(0, sample);
    return jpegtest::Picture(width, height, 0, blocks.Finish());
}

// The tallest frame of `width` columns that the pixel limit lets through.
std::uint16_t TallestAllowed(std::uint16_t width)
{
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(kMaxPixelCount / width, 65535));
}

TEST(FrameSize, FramesOverThePixelLimitAreRefusedWithNothingAllocated)
{
    const std::pair<std::uint16_t, std::uint16_t> sizes[] = {
        {65535, 65535},
        {65535, static_cast<std::uint16_t>(TallestAllowed(65535) + 1)},
        {static_cast<std::uint16_t>(TallestAllowed(65535) + 1), 65535},
        {8192, static_cast<std::uint16_t>(TallestAllowed(8192) + 1)}};
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        EXPECT_EQ(DecodeFresh(GreyFrame(width, height)).result, 0);
    }
}

TEST(FrameSize, FramesAtThePixelLimitAndOnePixelWideOrHighAreDecodedWhole)
{
    const std::pair<std::uint16_t, std::uint16_t> sizes[] = {
        {65535, TallestAllowed(65535)}, {1, 65535}, {65535, 1}, {1, 1}};
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        const Outcome out = DecodeFresh(GreyFrame(width, height));
        ASSERT_EQ(out.result, 1);
        EXPECT_EQ(out.width, width);
        EXPECT_EQ(out.height, height);
        EXPECT_TRUE(AllPixelsAre(out, GreyPixel(200)));
    }
}

TEST(FrameSize, ZeroWidthOrHeightGivesAnEmptyPicture)
{
    // The buffer has no room for a single pixel: the sanitizers see any store.
    const std::pair<std::uint16_t, std::uint16_t> sizes[] = {{0, 16}, {16, 0}, {0, 0}, {0, 65535}, {65535, 0}};
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        for (std::uint8_t sampling : {0x00, 0x22}) {
            const Outcome out = DecodeFresh(jpegtest::Picture(width, height, sampling, Bytes(64, 0x5A)));
            EXPECT_EQ(out.result, 1);
            EXPECT_EQ(out.width, width);
            EXPECT_EQ(out.height, height);
            EXPECT_TRUE(out.pixels.empty());
        }
    }
}

// A DHT table of `codes` codes (at most 16 x 255), 255 per length from length
// 16 down, all symbol 0x00.
jpegtest::HuffmanDefinition OverfullTable(std::uint8_t classAndIndex, std::uint32_t codes)
{
    jpegtest::HuffmanDefinition table{classAndIndex, {}, Bytes(codes, 0x00)};
    for (std::uint32_t l = 15; codes > 0; --l) {
        std::uint32_t n = codes < 255 ? codes : 255;
        table.counts[l] = static_cast<std::uint8_t>(n);
        codes -= n;
    }
    return table;
}

TEST(HuffmanTables, TablesOfMoreThan256CodesAreReadWholeAndKeepTheStreamInStep)
{
    // The overfull table is the unused DC table 1; every value byte is read,
    // so the segments behind it are found as before.
    FlatBlocks blocks;
    blocks.Block(0, 60);
    blocks.Block(0, 190, {{3, 20}});
    const Bytes scan = blocks.Finish();
    auto stream = [&](std::uint32_t codes) {
        StreamBuilder s;
        s.Soi();
        if (codes != 0)
            s.Dht({OverfullTable(0x01, codes)});
        return s.Dqt({FlatQuant(0, 1)})
            .Dht({TestDcTable(0), TestAcTable(0)})
            .Sof0(16, 8, {{1, 0x11, 0}})
            .Sos({{1, 0x00}})
            .Add(scan)
            .Eoi()
            .bytes();
    };
    const Outcome plain = DecodeFresh(stream(0));
    ASSERT_EQ(plain.result, 1);
    for (std::uint32_t codes : {257u, 300u, 16u * 255}) {
        SCOPED_TRACE(testing::Message() << codes << " codes");
        EXPECT_EQ(CompareOutcomes(DecodeFresh(stream(codes)), plain), "");
    }
}

TEST(HuffmanTables, OverfullTablesInUseDecodeWithinBounds)
{
    for (std::uint32_t codes : {257u, 1000u, 16u * 255}) {
        SCOPED_TRACE(testing::Message() << codes << " codes");
        Bytes scan;
        for (std::uint32_t i = 0; i < 600; ++i)
            scan.push_back(static_cast<std::uint8_t>(i * 37 + 11) == 0xFF ? 0x00 : static_cast<std::uint8_t>(i * 37 + 11));
        const Bytes stream = StreamBuilder()
                                 .Soi()
                                 .Dqt({FlatQuant(0, 3)})
                                 .Dht({OverfullTable(0x00, codes), OverfullTable(0x10, codes)})
                                 .Sof0(40, 24, {{1, 0x11, 0}})
                                 .Sos({{1, 0x00}})
                                 .Add(scan)
                                 .Eoi()
                                 .bytes();
        EXPECT_EQ(DecodeFresh(stream).result, 1);
    }
}

TEST(HuffmanTables, MagnitudeCategoriesUpTo255StayWithinBounds)
{
    // DC categories past 11 ask for up to 255 magnitude bits; AC sizes up to
    // 15 with runs up to 15. Sums wrap at 16 bits and the sanitizers watch.
    const jpegtest::HuffmanDefinition dc{0x00, {0, 4}, {16, 17, 255, 15}};
    const jpegtest::HuffmanDefinition ac{0x10, {0, 4}, {0x0F, 0x1F, 0xFF, 0x00}};
    Bytes scan;
    for (std::uint32_t i = 0; i < 400; ++i)
        scan.push_back(static_cast<std::uint8_t>((i * 89 + 7) % 255));
    for (std::uint8_t sampling : {0x00, 0x11, 0x22}) {
        SCOPED_TRACE(testing::Message() << "sampling 0x" << std::hex << int{sampling});
        StreamBuilder s;
        s.Soi().Dqt({FlatQuant(0, 255), FlatQuant(1, 255)}).Dht({dc, ac, {0x01, dc.counts, dc.symbols},
                                                                   {0x11, ac.counts, ac.symbols}});
        if (sampling == 0)
            s.Sof0(40, 24, {{1, 0x11, 0}}).Sos({{1, 0x00}});
        else
            s.Sof0(40, 24, {{1, sampling, 0}, {2, 0x11, 1}, {3, 0x11, 1}}).Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}});
        EXPECT_EQ(DecodeFresh(s.Add(scan).Eoi().bytes()).result, 1);
    }
}

// Grey 16 x 8, two flat blocks of 200 under the quantisers of 1 of table 1;
// table 0 has quantisers of 2.
Bytes GreyWithQuantSelector(std::uint8_t selector)
{
    FlatBlocks blocks;
    blocks.Block(0, 200);
    blocks.Block(0, 200);
    return StreamBuilder()
        .Soi()
        .Dqt({FlatQuant(0, 2), FlatQuant(1, 1)})
        .Dht({TestDcTable(0), TestAcTable(0)})
        .Sof0(16, 8, {{1, 0x11, selector}})
        .Sos({{1, 0x00}})
        .Add(blocks.Finish())
        .Eoi()
        .bytes();
}

TEST(Selectors, QuantSelectorsAboveOneUseTableOne)
{
    // Only two tables exist; a selector that names a third stays with table 1.
    EXPECT_TRUE(AllPixelsAre(DecodeFresh(GreyWithQuantSelector(0)), GreyPixel(255)));  // quantiser 2 doubles the DC
    for (std::uint8_t selector : {1, 2, 3, 255}) {
        SCOPED_TRACE(testing::Message() << "selector " << int{selector});
        EXPECT_TRUE(AllPixelsAre(DecodeFresh(GreyWithQuantSelector(selector)), GreyPixel(200)));
    }
}

// A 16 x 16 colour frame whose scan header lists `count` components.
Bytes ScanOfComponents(std::uint8_t count)
{
    std::vector<jpegtest::ScanComponent> components;
    for (int i = 0; i < count; ++i)
        components.push_back({static_cast<std::uint8_t>(1 + i % 3), 0x00});
    FlatBlocks blocks;
    for (int i = 0; i < 6; ++i)
        blocks.Block(0, 200);
    return StreamBuilder()
        .Soi()
        .Dqt({FlatQuant(0, 1), FlatQuant(1, 1)})
        .Dht({TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)})
        .Sof0(16, 16, {{1, 0x22, 0}, {2, 0x11, 1}, {3, 0x11, 1}})
        .Sos(components)
        .Add(blocks.Finish())
        .Eoi()
        .bytes();
}

TEST(ScanHeader, ScansOfTwoOrFourComponentsDecodeNothingOnAFreshDecoder)
{
    for (std::uint8_t count : {0, 2, 4, 255}) {
        SCOPED_TRACE(testing::Message() << count << " components");
        const Outcome out = DecodeFresh(ScanOfComponents(count));
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.width, 16u);
        EXPECT_TRUE(AllPixelsAre(out, 0u));
    }
}

TEST(ScanHeader, ScansOfTwoOrFourComponentsStartWithTheEarlierComponentCount)
{
    // After a grey picture the count stays 1, so the start test passes and the
    // bytes behind the count are decoded as a grey scan.
    for (std::uint8_t count : {2, 4}) {
        SCOPED_TRACE(testing::Message() << count << " components");
        ResetDecoders();
        ASSERT_EQ(DecodeBoth(GreyPicture()).result, 1);
        const Outcome out = DecodeBoth(ScanOfComponents(count));
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.pixels.size(), 256u);
        EXPECT_EQ(std::count(out.pixels.begin(), out.pixels.end(), 0u), 0);
    }
}

}  // namespace
}  // namespace hostile
