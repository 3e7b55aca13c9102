// The fixed-point inverse transform and the colour conversion, checked
// against numbers worked out by hand; the SIMD transforms against the
// straightforward one; the prescale table against its formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "jpeg/jpeg_fast.h"
#include "tests/decoder/jpeg_stream_builder.h"

using namespace jpegtest;

namespace {

using Block = std::array<std::int16_t, 64>;

class Transform : public ::testing::Test {
protected:
    void SetUp() override { jpegState = {}; }

    // Samples of `coefficients` under quantTables[1] = `multipliers`
    // (natural index -> value; every other entry and coefficient 0).
    static Block Samples(std::initializer_list<std::pair<int, int>> coefficients,
                         std::initializer_list<std::pair<int, int>> multipliers)
    {
        Block c{}, samples{};
        for (auto [i, v] : coefficients)
            c[i] = static_cast<std::int16_t>(v);
        for (auto [i, v] : multipliers)
            jpegState.quantTables[1].multipliers[i] = static_cast<std::uint16_t>(v);
        JpegInverseTransform(c.data(), samples.data(), 1);
        return samples;
    }
    static std::array<std::int16_t, 8> Row(const Block& b, int r)
    {
        return {b[8 * r], b[8 * r + 1], b[8 * r + 2], b[8 * r + 3],
                b[8 * r + 4], b[8 * r + 5], b[8 * r + 6], b[8 * r + 7]};
    }
};

// A prescale entry one off changes a multiplier for few quantisers (4520 ->
// 4521 only for 193), which real encoders' tables seldom hold: the table is
// held to its formula here, not left to the conformance pictures.
TEST_F(Transform, PrescaleTableFollowsItsFormula)
{
    auto s = [](int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * std::numbers::pi / 16); };
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(kPrescale[8 * r + c], std::lround(16384 * s(r) * s(c))) << r << "," << c;
}

TEST_F(Transform, DcOnlyBlocksAreFlatAndClamped)
{
    struct Case {
        const char* name;
        int dc, multiplier;
        std::int16_t sample;
    };
    const Case cases[] = {
        {"all zero", 0, 4, 128},
        {"DC 8 under a quantiser of 1", 8, 4, 129},
        {"DC -8 rounds down", -8, 4, 127},
        {"DC -9 rounds down", -9, 4, 126},
        {"clamped to 255", 2000, 4, 255},
        {"clamped to 0", -2000, 4, 0},
        {"product truncated to 16 bits", 2048, 16, 0},  // 32768 reads -32768
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block b = Samples({{0, c.dc}}, {{0, c.multiplier}});
        for (std::int16_t v : b)
            ASSERT_EQ(v, c.sample);
    }
}

TEST_F(Transform, AcTermsRunThroughTheButterflyWithFlooredShifts)
{
    using Row8 = std::array<std::int16_t, 8>;
    // Row pass alone (one non-zero column or row in the workspace). Values
    // large enough that each constant off by one changes a sample.
    // p1 = 4096: f7 4096, z5 7568, f6 3472, f5 5792 - 3472 = 2320, f4 4432 - 7568 + 2320 = -816;
    // o = 4096 3472 2320 816 -816 -2320 -3472 -4096, and -816 >> 5 = -26.
    EXPECT_EQ(Row(Samples({{1, 16}}, {{1, 256}}), 3), (Row8{255, 236, 200, 153, 102, 55, 19, 0}));
    // p3 = 4096: z5 -7568, f6 10704 - 7568 - 4096 = -960, f5 -5792 + 960 = -4832, f4 7568 - 4832 = 2736.
    EXPECT_EQ(Row(Samples({{3, 16}}, {{3, 256}}), 0), (Row8{255, 98, 0, 42, 213, 255, 158, 0}));
    // p1 = -2000: z5 = -946000 >> 8 = -3696 (not -3695), f6 -1696, f5 -2829 + 1696 = -1133,
    // f4 -2165 + 3696 - 1133 = 398; o6 = 1696 >> 5 = 53.
    EXPECT_EQ(Row(Samples({{1, -20}}, {{1, 100}}), 7), (Row8{65, 75, 92, 115, 140, 163, 181, 190}));
    // p2 = -2048, p5 = 1024: the even part's 362 and the odd part's -669 together.
    EXPECT_EQ(Row(Samples({{2, -8}, {5, 4}}, {{2, 256}, {5, 256}}), 5),
              (Row8{96, 45, 165, 239, 144, 143, 158, 32}));

    // Column pass: C[1][0] alone gives the p1 = 4096 outputs down column 0,
    // each spread over its row.
    Block column = Samples({{8, 16}}, {{8, 256}});
    const Row8 down = {255, 236, 200, 153, 102, 55, 19, 0};
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(column[i], down[i / 8]) << i;

    // The workspace keeps 16 bits on the full path too: C[4][0] is non-zero
    // but its product is 0, so every o_r is 32768, stored as -32768.
    for (std::int16_t v : Samples({{0, 2048}, {32, 1}}, {{0, 16}, {32, 0}}))
        ASSERT_EQ(v, 0);
}

// The SIMD transforms against the straightforward one, block for block:
// sparse and dense blocks of every magnitude, under tables that DQT gives and
// under any 16-bit multipliers, and columns whose odd terms lie around the
// SSE2 range guard's bound (8191), where its 16-bit sums would overflow next.
TEST_F(Transform, SimdTransformsGiveTheStraightforwardSamples)
{
    std::mt19937 random(7);
    auto below = [&](std::uint32_t n) { return static_cast<int>(random() % n); };
    const struct {
        const char* name;
        JpegPath path;
        JpegTransformKernel transform;
    } kernels[] = {{"sse2", JpegPath::kSse2, JpegInverseTransformSse2},
                   {"avx2", JpegPath::kAvx2, JpegInverseTransformAvx2}};
    std::uint16_t* q = jpegState.quantTables[1].multipliers;
    for (int n = 0; n < 20000; ++n) {
        for (int i = 0; i < 64; ++i)
            q[i] = static_cast<std::uint16_t>(n % 4 == 0 ? below(65536) : (below(255) + 1) * kPrescale[i] >> 12);
        Block c{};
        if (n % 4 == 1) {
            int column = below(8);
            for (int row = 1; row < 8; row += 2) {
                int product = (below(2) ? 1 : -1) * (4000 + below(6000) * (1 + n % 3));
                c[8 * row + column] = static_cast<std::int16_t>(product / std::max<int>(q[8 * row + column], 1));
            }
        } else {
            for (int k = n % 4 == 2 ? 64 : below(10); k > 0; --k) {
                const int magnitudes[] = {20, 1024, 8192, 65536};
                int m = magnitudes[below(4)];
                c[below(64)] = static_cast<std::int16_t>(below(2 * m) - m);
            }
        }
        Block expected, actual;
        JpegInverseTransform(c.data(), expected.data(), 1);
        for (const auto& kernel : kernels) {
            if (!JpegPathSupported(kernel.path))
                continue;
            kernel.transform(c.data(), actual.data(), 1);
            ASSERT_EQ(actual, expected) << kernel.name << ", block " << n;
        }
    }
}

TEST_F(Transform, ColourConversionUsesFlooredFiveBitFactorsAndClamps)
{
    struct Case {
        std::int16_t y, cb, cr, r, g, b;
    };
    const Case cases[] = {
        {128, 128, 128, 128, 128, 128},
        {200, 128, 255, 255, 109, 200},  // R 200 + 178 clamped, G 200 - 0 - 91
        {100, 128, 127, 98, 101, 100},   // 45 * -1 >> 5 = -2, 23 * -1 >> 5 = -1
        {0, 255, 128, 0, 0, 226},        // G 0 - 43 clamped
        {100, 0, 128, 100, 144, 0},      // B 100 - 228 clamped, G 100 + 44
        {30, 200, 60, 0, 55, 158},       // R 30 - 96; G 30 - 24 + 49
        {100, 129, 129, 101, 100, 101},  // G: 11 >> 5 and 23 >> 5 each 0, though 34 >> 5 is 1
    };
    for (const Case& c : cases) {
        std::int16_t r = -1, g = -1, b = -1;
        JpegYCbCrToRgb(c.y, c.cb, c.cr, &r, &g, &b);
        EXPECT_EQ(r, c.r) << c.y << " " << c.cb << " " << c.cr;
        EXPECT_EQ(g, c.g) << c.y << " " << c.cb << " " << c.cr;
        EXPECT_EQ(b, c.b) << c.y << " " << c.cb << " " << c.cr;
    }
}

}  // namespace
