// Several DecodeJpeg calls in a row, the input cut into streams at its SOI
// markers: frame, tables and selectors carry over from one call to the next.
// Every call is checked and held to the reference build, which carries its
// own state over the same calls.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "jpeg/decode_jpeg.h"

// Each decode is held to its own time limit; past this many pixels in one
// input the remaining streams are left out, so that an input of a few KB
// cannot add up to minutes.
constexpr std::uint64_t kPixelsPerInput = 4 * std::uint64_t{kMaxPixelCount};

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ForcePathFromEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    testsupport::ResetDecoders();
    bool withReference = true;
    std::uint64_t pixels = 0;
    for (std::span<const std::uint8_t> stream : testsupport::SplitStreams({data, size})) {
        if (pixels > kPixelsPerInput)
            break;
        pixels += DecodeAndCompare(stream, withReference);
    }
    return 0;
}
