// The scan: MCU layouts, partial MCUs at the edges, pixel packing and
// restart rows.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "tests/decoder/jpeg_stream_builder.h"

using namespace jpegtest;

namespace {

using Block = std::array<std::int16_t, 64>;
using Coefficients = std::vector<std::pair<int, int>>;  // zig-zag position, value

class Scan : public ::testing::Test {
protected:
    void SetUp() override { ResetDecoder(); }
};

std::uint32_t ColourPixel(std::int16_t y, std::int16_t cb, std::int16_t cr)
{
    std::int16_t r, g, b;
    JpegYCbCrToRgb(y, cb, cr, &r, &g, &b);
    return 0xFF000000u + std::uint32_t(r) * 65536 + std::uint32_t(g) * 256 + std::uint32_t(b);
}

TEST_F(Scan, PixelsPackBlueGreenRedAndOpaqueAlpha)
{
    FlatBlocks grey;
    grey.Block(0, 0);
    grey.Block(0, 255);
    Decoded d = Decode(Picture(16, 8, 0, grey.Finish()));
    EXPECT_EQ(d.pixels[0], 0xFF000000u);
    EXPECT_EQ(d.pixels[8], 0xFFFFFFFFu);

    FlatBlocks colour;
    colour.Block(0, 200);
    colour.Block(1, 128);
    colour.Block(2, 255);
    d = Decode(Picture(8, 8, 0x11, colour.Finish()));
    EXPECT_EQ(d.pixels, std::vector<std::uint32_t>(64, 0xFFFF6DC8u));
}

TEST_F(Scan, LayoutsPlaceLumaBlocksAndShareChromaSamples)
{
    struct Layout {
        const char* name;
        std::uint8_t ySampling;  // 0: grey
        int mcuWidth, mcuHeight;
    };
    const Layout layouts[] = {
        {"grey", 0, 8, 8},
        {"colour 8x8", 0x11, 8, 8},
        {"16x8 from H 2, V 1", 0x21, 16, 8},
        {"16x8 from H 1, V 2", 0x12, 16, 8},
        {"16x16", 0x22, 16, 16},
    };
    // Flat luma blocks, one level each; chroma blocks that vary across and
    // down, differently in every MCU, under quantisers of 2 (luma: 1).
    auto level = [](int mcu, int block) { return 20 + (37 * mcu + 53 * block) % 210; };
    auto cbLevel = [](int mcu) { return 120 + 5 * mcu; };
    auto crLevel = [](int mcu) { return 140 - 4 * mcu; };
    auto cb = [](int mcu) { return Coefficients{{1, 30 + 3 * mcu}, {2, -25}}; };
    auto cr = [](int mcu) { return Coefficients{{1, -20}, {2, 35 - 2 * mcu}}; };
    auto samples = [](int flatLevel, const Coefficients& c) {  // zig-zag 1, 2: (0,1), (1,0)
        Block coefficients{}, s{};
        coefficients[0] = static_cast<std::int16_t>(8 * (flatLevel - 128));
        coefficients[1] = static_cast<std::int16_t>(c[0].second);
        coefficients[8] = static_cast<std::int16_t>(c[1].second);
        JpegInverseTransform(coefficients.data(), s.data(), 1);
        return s;
    };

    for (const Layout& layout : layouts) {
        for (auto [width, height] : {std::pair<int, int>{17, 9}, {33, 20}}) {
            SCOPED_TRACE(std::string(layout.name) + " " + std::to_string(width) + "x" + std::to_string(height));
            const int across = (width + layout.mcuWidth - 1) / layout.mcuWidth;
            const int mcus = across * ((height + layout.mcuHeight - 1) / layout.mcuHeight);
            const int lumaBlocks = layout.mcuWidth * layout.mcuHeight / 64;
            FlatBlocks blocks;
            for (int mcu = 0; mcu < mcus; ++mcu) {
                for (int b = 0; b < lumaBlocks; ++b)
                    blocks.Block(0, level(mcu, b));
                if (layout.ySampling != 0) {
                    blocks.Block(1, cbLevel(mcu), cb(mcu));
                    blocks.Block(2, crLevel(mcu), cr(mcu));
                }
            }
            Decoded d = Decode(Picture(width, height, layout.ySampling, blocks.Finish(), -1, 2));
            ASSERT_EQ(d.pixels.size(), std::size_t(width) * height);

            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const int mcu = (y / layout.mcuHeight) * across + x / layout.mcuWidth;
                    const int row = y % layout.mcuHeight, col = x % layout.mcuWidth;
                    const int luma = level(mcu, col / 8 + 2 * (row / 8));
                    std::uint32_t expected = GreyPixel(luma);
                    if (layout.ySampling != 0) {
                        int i = layout.mcuWidth == 8 ? 8 * row + col
                              : layout.mcuHeight == 8 ? 8 * row + col / 2
                              : 8 * (row / 2) + col / 2;
                        expected = ColourPixel(luma, samples(cbLevel(mcu), cb(mcu))[i],
                                               samples(crLevel(mcu), cr(mcu))[i]);
                    }
                    ASSERT_EQ(d.pixels[y * width + x], expected) << "x " << x << ", y " << y;
                }
            }
        }
    }
}

TEST_F(Scan, OnlyPixelsInsideTheFrameAreStored)
{
    FlatBlocks blocks;
    for (int i = 0; i < 2; ++i) {
        for (int b = 0; b < 4; ++b)
            blocks.Block(0, 100 + 10 * b);
        blocks.Block(1, 128);
        blocks.Block(2, 128);
    }
    Bytes scan = blocks.Finish();
    Bytes stream = Picture(17, 9, 0x22, scan);
    const std::uint32_t scanStart = static_cast<std::uint32_t>(stream.size() - scan.size() - 2);
    Decode(stream);  // leaves frame, tables and selectors in the state

    struct Case {
        std::uint16_t width, height;
        std::size_t stored;
    };
    for (const Case& c : {Case{17, 9, 153}, Case{0, 9, 0}, Case{17, 0, 0}}) {
        const std::uint32_t untouched = 0x12345678;
        std::vector<std::uint32_t> buffer(17 * 9 + 512, untouched);
        Feed(stream);
        jpegState.cursor = scanStart;
        jpegState.frameWidth = c.width;
        jpegState.frameHeight = c.height;
        jpegState.pixels = buffer.data();
        JpegDecodeScan(0);
        std::size_t stored = 0;
        for (std::size_t i = 0; i < buffer.size(); ++i)
            stored += buffer[i] != untouched;
        EXPECT_EQ(stored, c.stored) << c.width << "x" << c.height;
        for (std::size_t i = c.stored; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], untouched) << i;
    }
}

TEST_F(Scan, RestartRowsResetPredictorsWhetherPaddedOrOnAByteBoundary)
{
    using Rows = std::vector<std::vector<int>>;  // block levels, row by row
    struct Case {
        const char* name;
        Rows rows;
        int interval;            // -1: no DRI segment
        std::vector<bool> exact; // per row but the last: data ends on a byte boundary
        bool colour = false;     // 8x8 colour MCUs: Y the level, Cb and Cr made from it
    };
    auto cbFor = [](int level) { return 100 + level / 4; };
    auto crFor = [](int level) { return 190 - level / 4; };
    // A flat block is a 4-bit DC code, its magnitude bits and an 8-bit EOB;
    // levels 128 +- 1 cost 4 magnitude bits, so two such blocks fill 32 bits.
    const Case cases[] = {
        {"padded rows", {{140}, {150}, {160}}, 1, {false, false}},
        {"interval 65535 as 1", {{140}, {150}, {160}}, 65535, {false, false}},
        {"rows on byte boundaries", {{129, 130}, {127, 126}, {129, 128}}, 1, {true, true}},
        {"boundary, padded, boundary", {{129, 130}, {131, 140}, {127, 128}, {90, 60}}, 1, {true, false, true}},
        {"no DRI: predictors run on", {{140}, {150}, {160}}, -1, {}},
        {"DRI 0: predictors run on", {{129, 130}, {127, 126}}, 0, {}},
        {"colour: Cb and Cr reset too", {{140, 60}, {150, 90}, {160, 30}}, 1, {false, false}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int across = static_cast<int>(c.rows[0].size());
        FlatBlocks blocks;
        for (std::size_t r = 0; r < c.rows.size(); ++r) {
            for (int level : c.rows[r]) {
                blocks.Block(0, level);
                if (c.colour) {
                    blocks.Block(1, cbFor(level));
                    blocks.Block(2, crFor(level));
                }
            }
            if (c.interval > 0 && r + 1 < c.rows.size()) {
                ASSERT_EQ(blocks.bits().BitsInLastByte() == 0, c.exact[r]) << "row " << r;
                blocks.Restart(static_cast<int>(r));
            }
        }
        Decoded d = Decode(Picture(8 * across, 8 * c.rows.size(), c.colour ? 0x11 : 0, blocks.Finish(), c.interval));
        ASSERT_EQ(d.pixels.size(), 64 * across * c.rows.size());
        for (std::size_t i = 0; i < d.pixels.size(); ++i) {
            const std::size_t y = i / (8 * across), x = i % (8 * across);
            const int level = c.rows[y / 8][x / 8];
            ASSERT_EQ(d.pixels[i], c.colour ? ColourPixel(level, cbFor(level), crFor(level)) : GreyPixel(level))
                << "x " << x << ", y " << y;
        }
    }
}

TEST_F(Scan, FramesNear65535PixelsEndTheirRowsAndColumns)
{
    // No entropy-coded data: every block holds its predictor, 0, so every
    // pixel is grey 128 (colour: Y = Cb = Cr = 128).
    for (auto [width, height, ySampling] : {std::tuple<int, int, std::uint8_t>{65535, 1, 0},
                                           {1, 65535, 0}, {65535, 2, 0x22}, {2, 65535, 0x22}}) {
        Decoded d = Decode(Picture(width, height, ySampling, {}));
        ASSERT_EQ(d.pixels.size(), std::size_t(width) * height);
        EXPECT_EQ(d.pixels.front(), GreyPixel(128)) << width << "x" << height;
        EXPECT_EQ(d.pixels.back(), GreyPixel(128)) << width << "x" << height;
    }
}

TEST_F(Scan, RestartMarkerInsideARowLeavesTheBlocksBehindItAtTheirPredictor)
{
    // Interval 1 with two MCUs a row: the marker after MCU 1 is met by the
    // Huffman decoder behind MCU 1's fill bits, so MCU 2 decodes no difference.
    FlatBlocks blocks;
    blocks.Block(0, 140);
    ASSERT_NE(blocks.bits().BitsInLastByte(), 0);
    blocks.Restart(0);
    blocks.Block(0, 90);
    Decoded d = Decode(Picture(16, 8, 0, blocks.Finish(), 1));
    EXPECT_EQ(d.pixels, std::vector<std::uint32_t>(128, GreyPixel(140)));

    // Without a restart interval a marker behind the first row stops the data
    // the same way: the rows below keep the first row's level.
    FlatBlocks rows;
    rows.Block(0, 60);
    rows.Restart(0);
    rows.Block(0, 120);
    rows.Restart(1);
    rows.Block(0, 180);
    d = Decode(Picture(8, 24, 0, rows.Finish(), 0));
    EXPECT_EQ(d.pixels, std::vector<std::uint32_t>(192, GreyPixel(60)));
}

TEST_F(Scan, UnsupportedLumaSamplingDecodesColourScanInTheGreyLayout)
{
    FlatBlocks blocks;
    blocks.Block(0, 70);
    blocks.Block(0, 180);
    Decoded d = Decode(Picture(16, 8, 0x31, blocks.Finish()));
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(d.pixels[i], GreyPixel(i % 16 < 8 ? 70 : 180)) << i;
}

TEST_F(Scan, NoScanHeaderLeavesTheBufferZero)
{
    Decoded d = Decode(StreamBuilder().Soi().Sof0(8, 8, {{1, 0x11, 0}}).Eoi().bytes());
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.pixels, std::vector<std::uint32_t>(64, 0));
}

TEST_F(Scan, BlocksAfterTheDataEndsRepeatTheirPredictor)
{
    FlatBlocks blocks;
    blocks.Block(0, 150);
    Bytes stream = Picture(24, 8, 0, blocks.Finish());
    stream.resize(stream.size() - 2);  // no EOI
    EXPECT_EQ(Decode(stream).pixels, std::vector<std::uint32_t>(192, GreyPixel(150)));
}

}  // namespace
