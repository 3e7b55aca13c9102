// Several DecodeJpeg calls in a row, the input cut into streams at its SOI
// markers: frame, tables and selectors carry over from one call to the next.
// Every call is checked and held to the reference build, which carries its
// own state over the same calls.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "jpeg/decode_jpeg.h"

// Each decode is held to its own time limit; past this many pixels in one
// input the remaining streams are left out, so that an input of a few KB
// cannot add up to minutes.
constexpr std::uint64_t kPixelsPerInput = 4 * std::uint64_t{kMaxPixelCount};

namespace {

// The input cut into streams: a new stream begins at every SOI marker but
// one at the very start.
std::vector<std::span<const std::uint8_t>> SplitStreams(std::span<const std::uint8_t> input)
{
    std::vector<std::span<const std::uint8_t>> streams;
    std::size_t start = 0;
    for (std::size_t i = 1; i + 1 < input.size(); ++i) {
        if (input[i] == 0xFF && input[i + 1] == 0xD8 && i > start) {
            streams.push_back(input.subspan(start, i - start));
            start = i;
        }
    }
    streams.push_back(input.subspan(start));
    return streams;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (ForcePathFromEnvironment())
        FailIf("JPEG_PATH=every is for the decode target", "JPEG_PATH");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    testsupport::ResetDecoders();
    bool withReference = true;
    std::uint64_t pixels = 0;
    for (std::span<const std::uint8_t> stream : SplitStreams({data, size})) {
        if (pixels > kPixelsPerInput)
            break;
        pixels += DecodeAndCompare(stream, withReference);
    }
    return 0;
}
