// DecodeJpeg on one stream, from the state of the process's first call, with
// both builds of the decoder: the results, the out-parameters, the one pixel
// buffer and every pixel checked, and the decoder's picture held to the
// reference's. A pixel buffer of more than kPixelBudget pixels is refused, as
// an allocator may refuse it, so that every execution is cheap enough to run
// millions of them; the sequence target decodes frames of every size.
// JPEG_PATH picks the decoder's path (fuzz_check.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "tests/support/counting_alloc.h"

// 256 x 256 pixels: at most a few milliseconds for both decoders together.
constexpr std::uint32_t kPixelBudget = 1u << 16;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ForcePathFromEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    testsupport::allocationLimit = kPixelBudget * 4;
    testsupport::ResetDecoders();
    bool withReference = true;
    DecodeAndCompare({data, size}, withReference);
    return 0;
}
