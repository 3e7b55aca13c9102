// Each path's transform against the reference one, and the prescale
// table against its formula. The arithmetic itself is held to an exact model
// in the conformance tests and to worked-out pixels in decode_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "jpeg/jpeg_kernels.h"
#include "tests/support/stream_builder.h"

using namespace testsupport;

namespace {

using Block = std::array<std::int16_t, 64>;

// A prescale entry one off changes a multiplier for few quantisers (4520 ->
// 4521 only for 193), which real encoders' tables seldom hold: the table is
// held to its formula here, not left to the conformance pictures.
TEST(Transform, PrescaleTableFollowsItsFormula)
{
    auto s = [](int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * std::numbers::pi / 16); };
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(kPrescale[8 * r + c], std::lround(16384 * s(r) * s(c))) << r << "," << c;
}

// The transform of each path's kernel record against the reference one, block for block:
// sparse and dense blocks of every magnitude, under tables that DQT gives and
// under any 16-bit multipliers, and columns whose odd terms lie around the
// SSE2 range guard's bound (8191), where its 16-bit sums would overflow next.
TEST(Transform, EachPathsTransformGivesTheReferenceSamples)
{
    std::mt19937 random(7);
    auto below = [&](std::uint32_t n) { return static_cast<int>(random() % n); };
    std::vector<std::pair<JpegPath, JpegTransformKernel>> kernels;
    ForEachPath([&](JpegPath path) { kernels.emplace_back(path, JpegPrepareScan().transform); });
    EXPECT_GE(kernels.size(), 2u) << "no SIMD path on this processor";
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
        for (auto [path, transform] : kernels) {
            transform(c.data(), actual.data(), 1);
            ASSERT_EQ(actual, expected) << JpegPathName(path) << ", block " << n;
        }
    }
}

}  // namespace
