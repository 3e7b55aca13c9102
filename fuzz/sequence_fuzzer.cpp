// Several DecodeJpeg calls in a row, the input cut into streams at its SOI
// markers: frame, tables and selectors carry over from one call to the next.
// Every call is checked and held to the reference build, which carries its
// own state over the same calls.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hostile::ResetDecoders();
    bool withReference = true;
    for (std::span<const std::uint8_t> stream : hostile::SplitStreams({data, size}))
        DecodeAndCompare(stream, withReference);
    return 0;
}
