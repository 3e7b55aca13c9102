// How the fuzz targets check a decode, and how they stop at a broken promise:
// one line on stderr, then abort, which libFuzzer reports as a crash and
// saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "tests/hostile/checked_decode.h"

inline void FailIf(const std::string& problem, const char* where)
{
    if (problem.empty())
        return;
    std::fprintf(stderr, "broken promise (%s): %s\n", where, problem.c_str());
    std::abort();
}

// The reference, a second opinion at about the decoder's own cost, is asked
// only about frames up to this size: the per-input time limit is there to
// measure the decoder, which is checked for its promises at every size.
inline constexpr std::uint64_t kReferencePixelLimit = 1u << 20;

// One DecodeJpeg call of the decoder, checked; while `withReference`, the same
// call of the reference, held to it. Past the first larger frame the reference
// is left out of step, so `withReference` is cleared for the calls that follow.
inline void DecodeAndCompare(std::span<const std::uint8_t> stream, bool& withReference)
{
    const hostile::Outcome fast = hostile::DecodeChecked(hostile::Decoder::kFast, stream);
    FailIf(fast.problem, "decoder");
    if (!withReference)
        return;
    if (std::uint64_t{fast.width} * fast.height > kReferencePixelLimit) {
        withReference = false;
        return;
    }
    const hostile::Outcome reference = hostile::DecodeChecked(hostile::Decoder::kReference, stream);
    FailIf(reference.problem, "reference decoder");
    FailIf(hostile::CompareOutcomes(fast, reference), "decoder against reference");
}
