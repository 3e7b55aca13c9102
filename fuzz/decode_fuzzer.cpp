// DecodeJpeg on one stream, from the state of the process's first call, with
// both builds of the decoder: the results, the out-parameters, the one pixel
// buffer and every pixel checked, and the decoder's picture held to the
// reference's. A pixel buffer of more than kPixelBudget pixels is refused, as
// an allocator may refuse it, so that every execution is cheap enough to run
// millions of them; the sequence target decodes frames of every size.
// JPEG_PATH picks the decoder's path (fuzz_check.h); with JPEG_PATH=every one
// execution runs every path the processor runs, each from the first call's
// state, held to one decode of the reference.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "tests/support/counting_alloc.h"

// 256 x 256 pixels: at most a few milliseconds for both decoders together.
constexpr std::uint32_t kPixelBudget = 1u << 16;

static bool everyPath = false;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    everyPath = ForcePathFromEnvironment();
    return 0;
}

static void DecodeEveryPath(std::span<const std::uint8_t> stream)
{
    testsupport::ResetDecoders();
    const testsupport::Outcome reference = testsupport::DecodeChecked(testsupport::Decoder::kReference, stream);
    FailIf(reference.problem, "reference decoder");
    for (JpegPath path : kJpegPaths) {
        if (!JpegForcePath(path))
            continue;
        testsupport::ResetDecoders();
        FailIf(testsupport::CompareOutcomes(DecodeTimed(stream), reference), JpegPathName(path));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    testsupport::allocationLimit = kPixelBudget * 4;
    if (everyPath) {
        DecodeEveryPath({data, size});
        return 0;
    }
    testsupport::ResetDecoders();
    bool withReference = true;
    DecodeAndCompare({data, size}, withReference);
    return 0;
}
