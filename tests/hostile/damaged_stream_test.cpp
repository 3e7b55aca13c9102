// Damaged streams: every truncation (random damage: the decode fuzzer). Each
// decode is checked for its promises (result, out-parameters, one buffer of
// width x height pixels, valid pixels) and held to the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "tests/hostile/hostile_support.h"

namespace testsupport {
namespace {

// The scan's entropy-coded data starts behind the SOS segment.
std::size_t ScanDataOffset(const Bytes& stream)
{
    std::size_t sos = MarkerOffsets(stream, 0xDA, 0xDA).front();
    return sos + 2 + (stream[sos + 2] << 8 | stream[sos + 3]);
}

std::size_t FrameHeaderEnd(const Bytes& stream)
{
    std::size_t sof = MarkerOffsets(stream, 0xC0, 0xC0).front();
    return sof + 2 + (stream[sof + 2] << 8 | stream[sof + 3]);
}

TEST(Truncation, EveryPrefixDecodesWithinItsPromises)
{
    const Bytes full = ColourPicture();
    const Outcome whole = DecodeFresh(full);
    ASSERT_EQ(whole.result, 1);
    ASSERT_EQ(whole.width, 48u);
    ASSERT_EQ(whole.height, 32u);

    // Behind the restart marker that follows MCU row r, rows 0..r are complete.
    const std::vector<std::size_t> restarts = MarkerOffsets(full, 0xD0, 0xD7, ScanDataOffset(full));
    ASSERT_EQ(restarts.size(), 3u);
    const std::size_t frameEnd = FrameHeaderEnd(full);

    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "first " << cut << " bytes");
        const Outcome part = DecodeFresh(Bytes(full.begin(), full.begin() + cut));
        if (cut < 2) {
            EXPECT_EQ(part.result, 0);
        } else {
            EXPECT_EQ(part.result, 1);
        }
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
