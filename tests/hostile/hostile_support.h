// Helpers of the hostile-picture tests: the hand-built pictures that they
// damage, and what they look for in them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/stream_builder.h"
#include "tests/support/checked_decode.h"

namespace testsupport {

using testsupport::Bytes;

using testsupport::Decode;
using testsupport::DecodeFresh;

// True when every pixel is `pixel` (and there is at least one).
inline bool AllPixelsAre(const Outcome& out, std::uint32_t pixel)
{
    if (out.pixels.empty())
        return false;
    for (std::uint32_t p : out.pixels)
        if (p != pixel)
            return false;
    return true;
}

// Offsets of the 0xFF of every `code` marker (FF code) from `from` on.
inline std::vector<std::size_t> MarkerOffsets(const Bytes& stream, std::uint8_t low, std::uint8_t high,
                                              std::size_t from = 0)
{
    std::vector<std::size_t> offsets;
    for (std::size_t i = from; i + 1 < stream.size(); ++i)
        if (stream[i] == 0xFF && stream[i + 1] >= low && stream[i + 1] <= high)
            offsets.push_back(i);
    return offsets;
}

// 48 x 32 colour in the 16x8 layout: 3 x 4 MCUs with AC detail, a restart
// marker after every MCU row but the last.
inline Bytes ColourPicture()
{
    testsupport::FlatBlocks blocks;
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
    return testsupport::Picture(48, 32, 0x21, blocks.Finish(), 1);
}

}  // namespace testsupport
