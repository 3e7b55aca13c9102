// The stream reader, the marker loop, the four header parsers and the state
// that one DecodeJpeg call leaves to the next.
#include <gtest/gtest.h>

#include "tests/decoder/jpeg_stream_builder.h"

using namespace jpegtest;

namespace {

class Headers : public ::testing::Test {
protected:
    void SetUp() override { ResetDecoder(); }
};

TEST_F(Headers, StreamMustBeginWithSoi)
{
    struct Case {
        const char* name;
        Bytes stream;
        std::int32_t result;
    };
    const Case cases[] = {
        {"SOI, EOI", {0xFF, 0xD8, 0xFF, 0xD9}, 1},
        {"SOI alone", {0xFF, 0xD8}, 1},
        {"EOI first", {0xFF, 0xD9}, 0},
        {"empty", {}, 0},
        {"one byte", {0xFF}, 0},
        {"SOI one byte late", {0x00, 0xFF, 0xD8, 0xFF, 0xD9}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDecoder();
        Decoded d = Decode(c.stream);
        EXPECT_EQ(d.result, c.result);
        if (c.result == 0) {
            EXPECT_FALSE(d.pixelsWritten);
            EXPECT_EQ(d.width, 0xDEADu);
            EXPECT_EQ(d.height, 0xDEADu);
            EXPECT_EQ(d.bitsPerPixel, 0xDEADu);
        } else {
            EXPECT_TRUE(d.pixelsWritten);
            EXPECT_EQ(d.width, 0u);
            EXPECT_EQ(d.height, 0u);
            EXPECT_EQ(d.bitsPerPixel, 32u);
        }
    }
}

TEST_F(Headers, ReadsPastTheEndYieldZeroAndMarkTheDataExhausted)
{
    Bytes data = {0x12, 0x34, 0x56};
    Feed(data);
    EXPECT_EQ(JpegReadWord(), 0x1234);
    EXPECT_FALSE(jpegState.dataExhausted);
    EXPECT_EQ(JpegReadWord(), 0x5600);
    EXPECT_TRUE(jpegState.dataExhausted);
    EXPECT_EQ(JpegReadByte(), 0);
    EXPECT_EQ(jpegState.cursor, 3u);
}

TEST_F(Headers, FrameHeaderSetsSizeSamplingAndQuantSelectors)
{
    struct Case {
        const char* name;
        std::uint8_t code, precision;
        std::vector<FrameComponent> components;
        std::uint32_t width, height;
        std::uint16_t product, yQuant, chromaQuant;
    };
    // Earlier values: 5 x 7, product 9, selectors 7.
    const Case cases[] = {
        {"SOF0 4:2:0", 0xC0, 8, {{1, 0x22, 1}, {2, 0x11, 0}, {3, 0x11, 1}}, 40, 24, 4, 1, 1},
        {"SOF1, later chroma wins", 0xC1, 8, {{1, 0x21, 0}, {2, 0x11, 1}, {3, 0x11, 0}}, 40, 24, 2, 0, 0},
        {"H 1, V 2", 0xC0, 8, {{1, 0x12, 0}}, 40, 24, 2, 0, 7},
        {"12-bit SOF1 ignored", 0xC1, 12, {{1, 0x22, 1}}, 5, 7, 9, 7, 7},
        {"SOF2 not read", 0xC2, 8, {{1, 0x22, 1}}, 5, 7, 9, 7, 7},
        {"unknown component stepped over", 0xC0, 8, {{9, 0x11, 0}, {1, 0x31, 1}}, 40, 24, 3, 1, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDecoder();
        jpegState.frameWidth = 5;
        jpegState.frameHeight = 7;
        jpegState.ySamplingProduct = 9;
        jpegState.yQuantSelector = jpegState.chromaQuantSelector = 7;
        Decoded d = Decode(StreamBuilder().Soi().Sof(c.code, 40, 24, c.components, c.precision).Eoi().bytes());
        EXPECT_EQ(d.result, 1);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(jpegState.ySamplingProduct, c.product);
        EXPECT_EQ(jpegState.yQuantSelector, c.yQuant);
        EXPECT_EQ(jpegState.chromaQuantSelector, c.chromaQuant);
    }
}

TEST_F(Headers, OversizedFramesAreRefusedWithNothingWritten)
{
    for (auto [w, h] : {std::pair<int, int>{8192, 4097}, {65535, 65535}}) {
        Decoded d = Decode(StreamBuilder().Soi().Sof0(w, h, {{1, 0x11, 0}}).Eoi().bytes());
        EXPECT_EQ(d.result, 0) << w << "x" << h;
        EXPECT_FALSE(d.pixelsWritten);
        EXPECT_EQ(d.width, 0xDEADu);
    }
}

TEST_F(Headers, MarkerSearchFindsOnlyWhatTheByteLoopReaches)
{
    auto dqt = [] { return StreamBuilder().Dqt({FlatQuant(0, 1)}).bytes(); };
    auto app0With = [&](std::size_t filler) {  // a DQT `filler` + 2 bytes behind FF E0
        return StreamBuilder().Soi().Marker(0xE0).Word(40).Add(Bytes(filler, 0)).Add(dqt()).Eoi().bytes();
    };
    struct Case {
        const char* name;
        Bytes stream;
        std::uint16_t quantTables;
    };
    const Case cases[] = {
        {"plain", StreamBuilder().Soi().Add(dqt()).Eoi().bytes(), 1},
        {"fill byte hides the marker", StreamBuilder().Soi().Add({0xFF}).Add(dqt()).Eoi().bytes(), 0},
        {"two fill bytes do not", StreamBuilder().Soi().Add({0xFF, 0xFF}).Add(dqt()).Eoi().bytes(), 1},
        {"APP0 passes over byte 12", app0With(10), 0},
        {"APP0 passes over byte 13", app0With(11), 0},
        {"APP0 searches from byte 14", app0With(12), 1},
        {"inside APP1", StreamBuilder().Soi().Segment(0xE1, dqt()).Eoi().bytes(), 1},
        {"inside COM", StreamBuilder().Soi().Segment(0xFE, dqt()).Eoi().bytes(), 1},
        {"inside SOF2", StreamBuilder().Soi().Segment(0xC2, dqt()).Eoi().bytes(), 1},
        {"behind EOI", StreamBuilder().Soi().Eoi().Add(dqt()).bytes(), 0},
        {"16-bit table ends its segment",
         StreamBuilder().Soi().Dqt({FlatQuant(0, 1), {0x11, Bytes(128, 1)}, FlatQuant(1, 1)}).Eoi().bytes(), 1},
        {"index above 1 counts", StreamBuilder().Soi().Dqt({FlatQuant(2, 1), FlatQuant(1, 1)}).Eoi().bytes(), 2},
        {"one, then a segment of two", StreamBuilder().Soi().Add(dqt()).Dqt({FlatQuant(0, 1), FlatQuant(1, 1)}).Eoi().bytes(), 3},
        {"third segment passed over", StreamBuilder().Soi().Add(dqt()).Add(dqt()).Add(dqt()).Eoi().bytes(), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDecoder();
        EXPECT_EQ(Decode(c.stream).result, 1);
        EXPECT_EQ(jpegState.quantTableCount, c.quantTables);
    }
}

TEST_F(Headers, QuantTablesArePrescaledTruncatedAndInNaturalOrder)
{
    Bytes zigzag(64, 2);
    zigzag[0] = 16;   // (0,0): 16 * 16384 >> 12 = 64
    zigzag[1] = 1;    // (0,1): 22725 >> 12 = 5 (5.55 truncated)
    zigzag[2] = 200;  // (1,0): 200 * 22725 >> 12 = 1109 (1109.6)
    zigzag[5] = 3;    // (0,2): 3 * 21407 >> 12 = 15 (15.7)
    zigzag[63] = 255; // (7,7): 255 * 1247 >> 12 = 77 (77.6)
    jpegState.quantTables[0].multipliers[0] = 1234;
    // The table of index 2 is dropped with its 64 bytes; table 1 follows it.
    Decode(StreamBuilder().Soi().Dqt({{2, Bytes(64, 50)}, {1, zigzag}}).Eoi().bytes());
    const std::uint16_t* q = jpegState.quantTables[1].multipliers;
    EXPECT_EQ(q[0], 64);
    EXPECT_EQ(q[1], 5);
    EXPECT_EQ(q[8], 1109);
    EXPECT_EQ(q[2], 15);
    EXPECT_EQ(q[63], 77);
    EXPECT_EQ(q[9], 15);  // zig-zag 4 is (1,1): 2 * 31521 >> 12 = 15.4
    EXPECT_EQ(jpegState.quantTables[0].multipliers[0], 1234);
}

TEST_F(Headers, TableOfMoreThan256CodesKeepsTheFirst256AndReadsOn)
{
    HuffmanDefinition big{0x10, {}, {}};
    big.counts[8] = 200;  // length 9
    big.counts[9] = 100;  // length 10
    for (int i = 0; i < 300; ++i)
        big.symbols.push_back(static_cast<std::uint8_t>(i));
    Decode(StreamBuilder().Soi().Dht({big, TestDcTable(0)}).Eoi().bytes());
    const HuffmanEntry& last = jpegState.acTables[0].entries[255];
    EXPECT_EQ(last.value, 255);
    EXPECT_EQ(last.length, 10);
    EXPECT_EQ(last.code, 2 * 200 + 55);
    EXPECT_EQ(jpegState.dcTableCount, 1);  // the table behind it was read
    EXPECT_EQ(jpegState.dcTables[0].entries[11].value, 11);
}

TEST_F(Headers, DhtIsReadUntilTwoTablesOfEachClassAreIn)
{
    HuffmanDefinition late{0x00, {1}, {0x77}};
    Decode(StreamBuilder().Soi().Dht({TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)}).Dht({late}).Eoi().bytes());
    EXPECT_EQ(jpegState.dcTableCount, 2);
    EXPECT_EQ(jpegState.acTableCount, 2);
    EXPECT_EQ(jpegState.dcTables[0].entries[0].length, 4);

    ResetDecoder();
    Decode(StreamBuilder().Soi().Dht({TestDcTable(0), TestDcTable(1), TestAcTable(0)}).Dht({late}).Eoi().bytes());
    EXPECT_EQ(jpegState.dcTableCount, 3);  // one AC table short: still read
    EXPECT_EQ(jpegState.dcTables[0].entries[0].value, 0x77);
    EXPECT_EQ(jpegState.dcTables[0].entries[0].length, 1);
}

TEST_F(Headers, ScanHeaderSetsSelectorsOrStopsAtWhatItCannotTake)
{
    struct Case {
        const char* name;
        Bytes body;  // behind the length word
        std::int32_t result;
        std::uint32_t cursor;  // from the length word
        std::uint16_t count, yDc, yAc, chromaDc, chromaAc;
    };
    // Earlier values: one component, selectors 9.
    const Case cases[] = {
        {"grey", {1, 1, 0x10, 0, 63, 0}, 1, 8, 1, 1, 0, 9, 9},
        {"colour, later chroma wins", {3, 1, 0x01, 2, 0x23, 3, 0x45, 0, 63, 0}, 1, 12, 3, 0, 1, 4, 5},
        {"two components", {2, 1, 0x11, 2, 0x11, 0, 63, 0}, 0, 3, 1, 9, 9, 9, 9},
        {"unknown identifier", {3, 1, 0x11, 7, 0x11, 3, 0x11, 0, 63, 0}, 0, 6, 3, 1, 1, 9, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes segment = StreamBuilder().Word(static_cast<std::uint16_t>(c.body.size() + 2)).Add(c.body).bytes();
        Feed(segment);
        jpegState.scanComponentCount = 1;
        jpegState.yDcSelector = jpegState.yAcSelector = 9;
        jpegState.chromaDcSelector = jpegState.chromaAcSelector = 9;
        EXPECT_EQ(JpegParseScanHeader(), c.result);
        EXPECT_EQ(jpegState.cursor, c.cursor);
        EXPECT_EQ(jpegState.scanComponentCount, c.count);
        EXPECT_EQ(jpegState.yDcSelector, c.yDc);
        EXPECT_EQ(jpegState.yAcSelector, c.yAc);
        EXPECT_EQ(jpegState.chromaDcSelector, c.chromaDc);
        EXPECT_EQ(jpegState.chromaAcSelector, c.chromaAc);
    }
}

// An 8 x 8 colour stream whose single MCU is Y 200, Cb = Cr = 128; the
// tables come from `tables`.
Bytes ColourStreamWith(const StreamBuilder& tables)
{
    FlatBlocks blocks;
    blocks.Block(0, 200);
    blocks.Block(1, 128);
    blocks.Block(2, 128);
    return StreamBuilder().Soi().Add(tables.bytes())
        .Sof0(8, 8, {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}})
        .Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}}).Add(blocks.Finish()).Eoi().bytes();
}

TEST_F(Headers, ColourScanStartsOnlyWithTwoTablesOfEachKindFromThisCall)
{
    const std::vector<HuffmanDefinition> huffman = {TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)};
    const std::vector<QuantDefinition> quant = {FlatQuant(0, 1), FlatQuant(1, 1)};
    struct Case {
        const char* name;
        StreamBuilder tables;
        std::uint32_t pixel;  // the scan decoded: grey 200; not started: 128
    };
    const Case cases[] = {
        {"two of each", StreamBuilder().Dqt(quant).Dht(huffman), GreyPixel(200)},
        {"one quant table", StreamBuilder().Dqt({quant[0]}).Dht(huffman), GreyPixel(128)},
        {"three quant tables", StreamBuilder().Dqt({quant[0]}).Dqt(quant).Dht(huffman), GreyPixel(128)},
        {"one AC table", StreamBuilder().Dqt(quant).Dht({TestDcTable(0), TestDcTable(1), TestAcTable(0)}), GreyPixel(128)},
        {"tables of the last call only", StreamBuilder(), GreyPixel(128)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = Decode(ColourStreamWith(c.tables));  // tables of the earlier case stay
        ASSERT_EQ(d.pixels.size(), 64u);
        EXPECT_EQ(d.pixels[0], c.pixel);
        EXPECT_EQ(d.pixels[63], c.pixel);
    }
}

TEST_F(Headers, FirstOfSeparateComponentScansDecodesAsGrey)
{
    FlatBlocks y, cb;
    y.Block(0, 60);
    cb.Block(0, 250);
    Bytes stream = StreamBuilder().Soi().Dqt({FlatQuant(0, 1), FlatQuant(1, 1)})
        .Dht({TestDcTable(0), TestAcTable(0), TestDcTable(1), TestAcTable(1)})
        .Sof0(8, 8, {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}})
        .Sos({{1, 0x00}}).Add(y.Finish()).Sos({{2, 0x11}}).Add(cb.Finish()).Eoi().bytes();
    Decoded d = Decode(stream);
    EXPECT_EQ(jpegState.scanComponentCount, 1);
    EXPECT_EQ(d.pixels, std::vector<std::uint32_t>(64, GreyPixel(60)));
}

TEST_F(Headers, ThumbnailInsideApp1IsTheScanDecoded)
{
    FlatBlocks thumbnail, picture;
    thumbnail.Block(0, 40);
    picture.Block(0, 220);
    picture.Block(0, 220);
    Bytes pictureStream = Picture(16, 8, 0, picture.Finish());
    Bytes stream = StreamBuilder().Soi().Segment(0xE1, Picture(8, 8, 0, thumbnail.Finish()))
        .Add(Bytes(pictureStream.begin() + 2, pictureStream.end())).bytes();
    Decoded d = Decode(stream);
    EXPECT_EQ(d.width, 8u);
    EXPECT_EQ(d.height, 8u);
    EXPECT_EQ(d.pixels, std::vector<std::uint32_t>(64, GreyPixel(40)));
}

TEST_F(Headers, NextCallKeepsFrameScanAndTablesButNotTheCounts)
{
    FlatBlocks blocks;
    blocks.Block(0, 150);
    blocks.Block(0, 90);
    Bytes scan = blocks.Finish();
    Decoded first = Decode(Picture(16, 8, 0, scan));

    // No frame header: the last call's size; the scan starts behind EOI.
    Decoded bare = Decode({0xFF, 0xD8, 0xFF, 0xD9});
    EXPECT_EQ(bare.width, 16u);
    EXPECT_EQ(bare.height, 8u);
    EXPECT_EQ(bare.pixels, std::vector<std::uint32_t>(128, GreyPixel(128)));
    EXPECT_EQ(jpegState.quantTableCount + jpegState.dcTableCount + jpegState.acTableCount, 0);

    // A grey scan without tables decodes with the last call's tables.
    Bytes tableless = StreamBuilder().Soi().Sof0(16, 8, {{1, 0x11, 0}}).Sos({{1, 0x00}}).Add(scan).Eoi().bytes();
    EXPECT_EQ(Decode(tableless).pixels, first.pixels);
    ResetDecoder();
    EXPECT_NE(Decode(tableless).pixels, first.pixels);
}

}  // namespace
