// The bit reader, Huffman decoding, magnitudes and the decoding of one block.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "tests/decoder/jpeg_stream_builder.h"

using namespace jpegtest;

namespace {

using Block = std::array<std::int16_t, 64>;

class Entropy : public ::testing::Test {
protected:
    // TestDcTable and TestAcTable as tables 0, quantisers of 255 as table 0 (so that
    // every position, (7,7) too, has a multiplier well above 0).
    void SetUp() override
    {
        ResetDecoder();
        Decode(StreamBuilder().Soi().Dqt({FlatQuant(0, 255)}).Dht({TestDcTable(0), TestAcTable(0)}).Eoi().bytes());
    }

    // Points the bit reader at `data`, primed as at the start of a scan.
    void Prime(Bytes data)
    {
        data_ = std::move(data);
        Feed(data_);
        JpegLoadByte();
    }

    static std::uint32_t ReadBits(int count)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < count; ++i)
            v = 2 * v + JpegReadBit();
        return v;
    }

    Bytes data_;
};

// Natural index of each zig-zag position, by walking the anti-diagonals:
// odd diagonals run down-left, even ones up-right.
std::array<int, 64> ZigZagToNatural()
{
    std::array<int, 64> natural{};
    int k = 0;
    for (int d = 0; d < 15; ++d)
        for (int i = 0; i <= d; ++i) {
            int row = d % 2 ? i : d - i;
            int column = d - row;
            if (row < 8 && column < 8)
                natural[k++] = 8 * row + column;
        }
    return natural;
}

TEST_F(Entropy, ZigZagTablesWalkTheAntiDiagonals)
{
    std::array<int, 64> natural = ZigZagToNatural();
    for (int k = 0; k < 64; ++k)
        EXPECT_EQ(8 * kZigZagRow[k] + kZigZagColumn[k], natural[k]) << k;
}

TEST_F(Entropy, BitsComeMostSignificantFirstAndTheEighthLoadsTheNextByte)
{
    Prime({0xA5, 0x3C});
    EXPECT_EQ(ReadBits(7), 0b1010010u);
    EXPECT_EQ(jpegState.cursor, 1u);
    EXPECT_EQ(ReadBits(1), 1u);
    EXPECT_EQ(jpegState.cursor, 2u);
    EXPECT_EQ(jpegState.bitMask, 0x80);
    EXPECT_EQ(jpegState.currentByte, 0x3C);
}

TEST_F(Entropy, StuffedZeroAndRestartCodeAreDroppedBehindFF)
{
    Prime({0xFF, 0x00, 0x12, 0xFF, 0xD3, 0x40});
    EXPECT_EQ(ReadBits(24), 0xFF12FFu);
    EXPECT_EQ(ReadBits(8), 0x40u);
    EXPECT_EQ(jpegState.markerSeen, 0);
}

TEST_F(Entropy, EndOfDataGivesZeroBitsWithMarkerSeen)
{
    Prime({0xA5});
    EXPECT_EQ(ReadBits(8), 0xA5u);
    EXPECT_EQ(jpegState.markerSeen, 0);
    EXPECT_EQ(ReadBits(8), 0u);
    EXPECT_EQ(jpegState.markerSeen, 1);
}

TEST_F(Entropy, EoiReadsAsZeroInTheLastBitBeforeIt)
{
    // 0011 is DC symbol 3; the code 0101 (5) or the magnitude bits 0101 (-10)
    // end on the last bit before EOI, which reads as 0.
    Prime({0x35, 0xFF, 0xD9});
    EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[0]), 3);
    EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[0]), 0);
    EXPECT_EQ(jpegState.markerSeen, 1);

    Prime({0x35, 0xFF, 0xD9, 0x12});
    EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[0]), 3);
    EXPECT_EQ(JpegReceiveExtend(4), -11);  // bits 0100
    EXPECT_EQ(jpegState.markerSeen, 1);

    // The next block reads on: the marker's 0xFF, then what follows EOI.
    jpegState.markerSeen = 0;
    EXPECT_EQ(ReadBits(16), 0xFF12u);
}

TEST_F(Entropy, EoiReadsAsZeroInTheLastBitOfABlock)
{
    const std::array<int, 64> natural = ZigZagToNatural();
    struct Case {
        const char* name;
        int value;  // of coefficient 63, whose last magnitude bit ends the data
        int read;
    };
    // DC 1 (5 bits), three ZRLs (24), run 14 (8) and 3 magnitude bits: 40 bits.
    for (const Case& c : {Case{"101 reads 100", 5, 4}, Case{"110 stays", 6, 6}, Case{"010 reads 010", -5, -5},
                          Case{"011 reads 010", -4, -5}}) {
        SCOPED_TRACE(c.name);
        BitWriter bits;
        BlockCoder coder(bits);
        coder.Dc(1);
        for (int i = 0; i < 3; ++i)
            coder.AcSymbol(0xF0);
        coder.Ac(14, c.value);
        ASSERT_EQ(bits.BitsInLastByte(), 0);
        Bytes data = bits.Finish();
        data.insert(data.end(), {0xFF, 0xD9});
        Prime(data);

        Block coefficients{}, expected{}, samples{};
        coefficients[0] = 1;
        coefficients[natural[63]] = static_cast<std::int16_t>(c.read);
        JpegInverseTransform(coefficients.data(), expected.data(), 0);
        std::int16_t predictor = 0;
        JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
        EXPECT_EQ(samples, expected);
        EXPECT_EQ(jpegState.markerSeen, 1);
    }
}

TEST_F(Entropy, ReceiveExtendReadsExactlyNBitsAsASignedValue)
{
    struct Case {
        std::uint16_t n;
        std::uint32_t bits;
        std::int16_t value;
    };
    const Case cases[] = {
        {0, 0, 0}, {1, 0b0, -1}, {1, 0b1, 1}, {3, 0b011, -4}, {3, 0b100, 4},
        {11, 0, -2047}, {11, 0x7FF, 2047}, {16, 0x0001, 1}, {16, 0x8000, -32768},
    };
    for (const Case& c : cases) {
        BitWriter bits;
        bits.Put(c.bits, c.n);
        bits.Put(0b0110, 4);
        Prime(bits.Finish());
        EXPECT_EQ(JpegReceiveExtend(c.n), c.value) << c.n << ": " << c.bits;
        EXPECT_EQ(ReadBits(4), 0b0110u) << c.n << ": " << c.bits;
    }
}

TEST_F(Entropy, HuffmanSymbolsOfEveryLengthAndNoMatchAfterSixteenBits)
{
    // Codes 00, 01, 100, 1010, 1011, 1100, 110100 for A0..A6, the code doubling
    // across the empty length 5; 1111... is no code. 0x25: DC, index 1.
    Decode(StreamBuilder().Soi().Dht({{0x25, {0, 2, 1, 3, 0, 1}, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}}}).Eoi().bytes());
    BitWriter bits;
    bits.Put(0b110100, 6);
    bits.Put(0b00, 2);
    bits.Put(0b1100, 4);
    bits.Put(0b100, 3);
    bits.Put(0b01, 2);
    bits.Put(0b1010, 4);
    bits.Put(0b1011, 4);
    bits.Put(0xFFFF, 16);
    bits.Put(0b01, 2);
    Prime(bits.Finish());
    for (std::uint16_t expected : {0xA6, 0xA0, 0xA5, 0xA2, 0xA1, 0xA3, 0xA4, 0xFFFF, 0xA1})
        EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[1]), expected);
    EXPECT_EQ(jpegState.markerSeen, 0);

    ResetDecoder();  // every entry of length 0, code 0: the zero bits match none
    Prime({0x00, 0x00, 0x00});
    EXPECT_EQ(JpegDecodeHuffman(jpegState.acTables[0]), 0xFFFF);
    EXPECT_EQ(jpegState.cursor, 3u);
}

TEST_F(Entropy, EntriesLeftBehindByAShorterDefinitionStillMatch)
{
    // DC table 0 redefined with the single code 00 (symbol 5): entries 1..11
    // keep TestDcTable's 4-bit codes, so 1001 still decodes as 9, while 0010
    // never comes up, 00 being shorter.
    Decode(StreamBuilder().Soi().Dht({{0x00, {0, 1}, {0x05}}}).Eoi().bytes());
    BitWriter bits;
    bits.Put(0b00, 2);
    bits.Put(0b1001, 4);
    bits.Put(0b0010, 4);
    Prime(bits.Finish());
    for (std::uint16_t expected : {5, 9, 5})
        EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[0]), expected);

    // The same through whole blocks: category 9, then category 5 (00 10110).
    BitWriter blocks;
    blocks.Put(0b1001, 4);
    blocks.Put(0b100000000, 9);  // +256
    BlockCoder(blocks).AcSymbol(0x00);
    blocks.Put(0b00, 2);
    blocks.Put(0b10110, 5);  // +22
    BlockCoder(blocks).AcSymbol(0x00);
    Prime(blocks.Finish());
    Block samples{};
    std::int16_t predictor = 0;
    JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
    EXPECT_EQ(predictor, 256);
    JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
    EXPECT_EQ(predictor, 256 + 22);
}

TEST_F(Entropy, OnlyOneBitsBeforeARestartMarkerAreFill)
{
    struct Case {
        const char* name;
        Bytes data;
        std::uint16_t second;  // the symbol after DC symbol 3
        std::uint8_t markerSeen;
    };
    const Case cases[] = {
        {"1111 before RST0: fill", {0x3F, 0xFF, 0xD0, 0x00}, 0, 1},
        {"1111 before RST7: fill", {0x3F, 0xFF, 0xD7, 0x00}, 0, 1},
        {"0111 before RST0: a code", {0x37, 0xFF, 0xD0, 0x00}, 7, 0},
        {"1011 before RST0: a code", {0x3B, 0xFF, 0xD0, 0x00}, 11, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prime(c.data);
        EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[0]), 3);
        EXPECT_EQ(JpegDecodeHuffman(jpegState.dcTables[0]), c.second);
        EXPECT_EQ(jpegState.markerSeen, c.markerSeen);
        // Fill: no bit taken. A code: its last bit loaded the marker, whose
        // second byte is dropped.
        EXPECT_EQ(jpegState.cursor, c.markerSeen ? 1u : 3u);
        EXPECT_EQ(jpegState.bitMask, c.markerSeen ? 0x08 : 0x80);
    }
}

TEST_F(Entropy, BlockPlacesCoefficientsByZigZagRunsAndEnds)
{
    const std::array<int, 64> natural = ZigZagToNatural();
    struct Case {
        const char* name;
        std::function<void(BlockCoder&, BitWriter&)> write;
        std::vector<std::pair<int, int>> coefficients;  // zig-zag position, value
    };
    const Case cases[] = {
        {"ZRL, then run 0 lands 16 on", [](BlockCoder& b, BitWriter&) {
             b.Dc(0); b.AcSymbol(0xF0); b.Ac(0, 9); b.AcSymbol(0x00); },
         {{17, 9}}},
        {"runs around a ZRL", [](BlockCoder& b, BitWriter&) {
             b.Dc(-3); b.Ac(2, 5); b.AcSymbol(0xF0); b.Ac(1, -7); b.AcSymbol(0x00); },
         {{0, -3}, {3, 5}, {21, -7}}},
        {"63 coefficients, no EOB", [](BlockCoder& b, BitWriter&) {
             b.Dc(1);
             for (int k = 1; k < 64; ++k) b.Ac(0, k % 3 - 1 == 0 ? 2 : k % 3 - 1); },
         [] { std::vector<std::pair<int, int>> all = {{0, 1}};
              for (int k = 1; k < 64; ++k) all.push_back({k, k % 3 - 1 == 0 ? 2 : k % 3 - 1});
              return all; }()},
        {"run past 63 ends the block unstored", [](BlockCoder& b, BitWriter&) {
             b.Dc(0); b.Ac(0, 3);
             for (int i = 0; i < 3; ++i) b.AcSymbol(0xF0);
             b.Ac(15, 4); },
         {{1, 3}}},
        {"run/size 3/0 ends the block like EOB", [](BlockCoder& b, BitWriter&) {
             b.Dc(0); b.Ac(0, 3); b.AcSymbol(0x30); },
         {{1, 3}}},
        {"unknown AC code is passed over", [](BlockCoder& b, BitWriter& bits) {
             b.Dc(0); bits.Put(0xFFFF, 16); b.Ac(0, 6); b.AcSymbol(0x00); },
         {{1, 6}}},
        {"coefficient at 63 then EOB-free end", [](BlockCoder& b, BitWriter&) {
             b.Dc(0); for (int i = 0; i < 3; ++i) b.AcSymbol(0xF0); b.Ac(14, -20); },
         {{63, -20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter bits;
        BlockCoder coder(bits);
        c.write(coder, bits);
        coder.Block(5);  // the next block: DC difference 5, EOB
        Prime(bits.Finish());

        Block coefficients{}, expected{}, samples{};
        for (auto [k, v] : c.coefficients)
            coefficients[natural[k]] = static_cast<std::int16_t>(v);
        JpegInverseTransform(coefficients.data(), expected.data(), 0);
        std::int16_t predictor = 0;
        JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
        EXPECT_EQ(samples, expected);
        EXPECT_EQ(predictor, coefficients[0]);
        JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
        EXPECT_EQ(predictor, coefficients[0] + 5);  // block 2 starts where block 1 ended
    }
}

TEST_F(Entropy, DcPredictorWrapsAndSurvivesAnUnknownCode)
{
    BitWriter bits;
    BlockCoder coder(bits);
    coder.Block(1);
    bits.Put(0xFFFF, 16);  // no DC code
    coder.AcSymbol(0x00);
    Prime(bits.Finish());

    Block samples{}, flatZero{};
    std::int16_t predictor = 32767;
    JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
    EXPECT_EQ(predictor, -32768);
    predictor = 40;
    JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
    EXPECT_EQ(predictor, 40);
    JpegInverseTransform(flatZero.data(), flatZero.data(), 0);
    EXPECT_EQ(samples, flatZero);  // DC coefficient 0, not 40
}

TEST_F(Entropy, NonZeroSelectorsNameTablesOfIndexOne)
{
    // Index 1 holds the tables; index 0 matches no code.
    ResetDecoder();
    Decode(StreamBuilder().Soi().Dqt({FlatQuant(0, 255)}).Dht({TestDcTable(1), TestAcTable(1)}).Eoi().bytes());
    BitWriter bits;
    BlockCoder(bits).Block(12, {{1, 7}, {20, -3}});
    Bytes data = bits.Finish();

    Prime(data);
    Block reference{};
    std::int16_t predictor = 0;
    JpegDecodeBlock(reference.data(), 1, 1, 0, &predictor);
    ASSERT_EQ(predictor, 12);
    for (auto [dcSelector, acSelector] : {std::pair<std::uint16_t, std::uint16_t>{2, 3}, {3, 2}, {15, 15}}) {
        Prime(data);
        Block samples{};
        predictor = 0;
        JpegDecodeBlock(samples.data(), dcSelector, acSelector, 0, &predictor);
        EXPECT_EQ(samples, reference) << dcSelector << "/" << acSelector;
    }
    Prime(data);
    Block samples{};
    predictor = 0;
    JpegDecodeBlock(samples.data(), 0, 0, 0, &predictor);
    EXPECT_NE(samples, reference);
}

}  // namespace
