// DecodeJpeg run with its promises checked: the result, the out-parameters,
// the one allocation and every pixel. Shared by the hostile-picture tests and
// the fuzz targets; also runs the reference build of the decoder on the same
// stream, so that the fast paths can be held to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

struct Outcome {
    std::int32_t result = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;  // copied out (see DecodeChecked); the block is freed
    std::string problem;                // the first broken promise; empty when none
};

enum class Decoder { kFast, kReference };

// Both decoders back to the state of the process's first call.
void ResetDecoders();

// One DecodeJpeg call of `decoder`, on whatever state the earlier calls left.
// The pixels are checked in place and copied out for frames of up to
// `copyPixelsUpTo` pixels.
Outcome DecodeChecked(Decoder decoder, std::span<const std::uint8_t> stream,
                      std::uint64_t copyPixelsUpTo = ~std::uint64_t{0});

// Empty when the two outcomes are the same picture, else the first difference.
std::string CompareOutcomes(const Outcome& got, const Outcome& expected);

}  // namespace testsupport
