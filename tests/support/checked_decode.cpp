// DecodeJpeg with its result, out-parameters, allocation and pixels checked.
#include "tests/support/checked_decode.h"

#include <cinttypes>
#include <cstdio>

#include "jpeg/alloc.h"
#include "jpeg/decode_jpeg.h"
#include "jpeg/jpeg_state.h"
#include "jpeg/reference_decoder.h"
#include "tests/support/counting_alloc.h"

namespace testsupport {

namespace {

constexpr std::uint32_t kUntouched = 0xDEADBEEF;

template <typename... Args>
std::string Format(const char* format, Args... args)
{
    char line[200];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

// The first pixel that is neither still zero nor 0xFF in its top byte.
std::string CheckPixels(std::span<const std::uint32_t> pixels)
{
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] != 0 && (pixels[i] >> 24) != 0xFF)
            return Format("pixel %zu is 0x%08" PRIX32 ": neither zero nor 0xFF on top", i, pixels[i]);
    }
    return {};
}

}  // namespace

void ResetDecoders()
{
    jpegState = {};
    ResetReferenceDecoder();
}

Outcome DecodeChecked(Decoder decoder, std::span<const std::uint8_t> stream, std::uint64_t copyPixelsUpTo)
{
    static std::uint32_t sentinel;
    std::uint32_t* pixels = &sentinel;
    std::uint32_t width = kUntouched, height = kUntouched, bitsPerPixel = kUntouched;
    const AllocationLog before = allocationLog;
    auto decode = decoder == Decoder::kFast ? &DecodeJpeg : &ReferenceDecodeJpeg;
    Outcome out;
    out.result = decode(stream.data(), static_cast<std::uint32_t>(stream.size()), &pixels, &width,
                        &height, &bitsPerPixel);
    const std::uint32_t blocks = allocationLog.blocks - before.blocks;

    if (out.result == 0) {
        if (pixels != &sentinel || width != kUntouched || height != kUntouched || bitsPerPixel != kUntouched)
            out.problem = "result 0 but an out-parameter was written";
        else if (blocks != 0 || allocationLog.live != before.live)
            out.problem = Format("result 0 but %" PRIu32 " blocks were allocated", blocks);
        return out;
    }
    if (out.result != 1)
        return {out.result, 0, 0, {}, Format("result %" PRId32 ", neither 0 nor 1", out.result)};
    if (blocks != 1 || pixels != allocationLog.lastBlock) {
        if (pixels != &sentinel)
            FreeBlock(pixels);
        return {1, 0, 0, {}, Format("result 1 with %" PRIu32 " blocks allocated, not one pixel buffer", blocks)};
    }

    out.width = width;
    out.height = height;
    const std::uint64_t pixelCount = std::uint64_t{width} * height;
    if (bitsPerPixel != 32)
        out.problem = Format("%" PRIu32 " bits per pixel", bitsPerPixel);
    else if (width > 0xFFFF || height > 0xFFFF || pixelCount > kMaxPixelCount)
        out.problem = Format("a %" PRIu32 " x %" PRIu32 " frame was accepted", width, height);
    else if (allocationLog.lastSize != pixelCount * 4)
        out.problem = Format("%" PRIu32 " x %" PRIu32 " pixels in a buffer of %" PRIu32 " bytes", width,
                             height, allocationLog.lastSize);
    else {
        out.problem = CheckPixels({pixels, static_cast<std::size_t>(pixelCount)});
        if (pixelCount <= copyPixelsUpTo)
            out.pixels.assign(pixels, pixels + pixelCount);
    }
    FreeBlock(pixels);
    return out;
}

std::string CompareOutcomes(const Outcome& got, const Outcome& expected)
{
    if (got.result != expected.result || got.width != expected.width || got.height != expected.height)
        return Format("result %" PRId32 ", %" PRIu32 " x %" PRIu32 "; expected result %" PRId32 ", %" PRIu32
                      " x %" PRIu32,
                      got.result, got.width, got.height, expected.result, expected.width, expected.height);
    for (std::size_t i = 0; i < got.pixels.size() && i < expected.pixels.size(); ++i) {
        if (got.pixels[i] != expected.pixels[i])
            return Format("pixel %zu (x %zu, y %zu): 0x%08" PRIX32 ", expected 0x%08" PRIX32, i,
                          got.width ? i % got.width : 0, got.width ? i / got.width : 0, got.pixels[i],
                          expected.pixels[i]);
    }
    if (got.pixels.size() != expected.pixels.size())
        return "pixel counts differ";
    return {};
}

}  // namespace testsupport
