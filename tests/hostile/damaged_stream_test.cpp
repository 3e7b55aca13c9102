// Damaged streams: every truncation (random damage: the decode fuzzer). Each
// decode is checked for its promises (result, out-parameters, one buffer of
// width x height pixels, valid pixels) and held to the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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

}  // namespace
}  // namespace testsupport
