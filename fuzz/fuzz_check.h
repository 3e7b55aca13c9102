// How the fuzz targets check a decode, and how they stop at a broken promise:
// one line on stderr, then abort, which libFuzzer reports as a crash and
// saves the input for.
#pragma once

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "jpeg/jpeg_paths.h"
#include "tests/support/checked_decode.h"

inline void FailIf(const std::string& problem, const char* where)
{
    if (problem.empty())
        return;
    std::fprintf(stderr, "broken promise (%s): %s\n", where, problem.c_str());
    std::abort();
}

// JPEG_PATH=scalar|sse2|avx2 makes the decoder run that path for the whole
// run (unset or empty: the processor's best); a path this processor cannot
// run stops the run. Returns true for JPEG_PATH=every, which the decode
// target takes as every path the processor runs, one after another.
inline bool ForcePathFromEnvironment()
{
    const char* name = std::getenv("JPEG_PATH");
    if (name == nullptr || *name == '\0')
        return false;
    if (std::string(name) == "every")
        return true;
    for (JpegPath path : kJpegPaths) {
        if (std::string(name) == JpegPathName(path)) {
            if (!JpegForcePath(path))
                FailIf(std::string("this processor cannot run the ") + name + " path", "JPEG_PATH");
            return false;
        }
    }
    FailIf(std::string("unknown path '") + name + "'", "JPEG_PATH");
    return false;
}

// One decode may take this much CPU time under the sanitizers and the
// coverage instrumentation. CPU time, not wall-clock time, so that a busy
// machine does not fail the run; the fuzzer's -timeout is the backstop for hangs.
inline constexpr double kDecodeCpuSeconds = 1.0;

// The reference, a second opinion at about the decoder's own cost, is asked
// only about frames up to this size; the decoder is checked at every size.
inline constexpr std::uint64_t kReferencePixelLimit = 1u << 20;

inline double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One DecodeJpeg call of the decoder, checked and timed.
inline testsupport::Outcome DecodeTimed(std::span<const std::uint8_t> stream)
{
    const double start = ThreadCpuSeconds();
    testsupport::Outcome fast = testsupport::DecodeChecked(testsupport::Decoder::kFast, stream, kReferencePixelLimit);
    const double seconds = ThreadCpuSeconds() - start;
    FailIf(fast.problem, JpegPathName(JpegActivePath()));
    if (seconds > kDecodeCpuSeconds)
        FailIf(std::to_string(fast.width) + " x " + std::to_string(fast.height) + " took " +
                   std::to_string(seconds) + " s of CPU time",
               "decoder time");
    return fast;
}

// One DecodeJpeg call of the decoder and, while `withReference`, the same
// call of the reference, held to it. Past the first larger frame the
// reference is out of step, so `withReference` is cleared for the calls that
// follow. Returns the frame's pixel count.
inline std::uint64_t DecodeAndCompare(std::span<const std::uint8_t> stream, bool& withReference)
{
    const testsupport::Outcome fast = DecodeTimed(stream);
    const std::uint64_t pixelCount = std::uint64_t{fast.width} * fast.height;
    if (!withReference)
        return pixelCount;
    if (pixelCount > kReferencePixelLimit) {
        withReference = false;
        return pixelCount;
    }
    const testsupport::Outcome reference = testsupport::DecodeChecked(testsupport::Decoder::kReference, stream);
    FailIf(reference.problem, "reference decoder");
    FailIf(testsupport::CompareOutcomes(fast, reference), "decoder against reference");
    return pixelCount;
}
