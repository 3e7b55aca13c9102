// Which form of the decoder's fast paths runs. Chosen once per process from
// what the processor offers; tests, fuzz targets and benchmarks force each.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

enum class JpegPath : std::uint8_t {
    kScalar,  // portable C++
    kSse2,
    kAvx2,
};

inline constexpr JpegPath kAllJpegPaths[] = {JpegPath::kScalar, JpegPath::kSse2, JpegPath::kAvx2};

// "scalar", "sse2", "avx2".
const char* JpegPathName(JpegPath path);

// True when this processor (and its operating system) can run `path`.
bool JpegPathSupported(JpegPath path);

// The path the decoder runs: the best supported one unless forced.
JpegPath JpegActivePath();

// Makes the decoder run `path` from the next scan on; false, and nothing
// changes, when the processor cannot run it.
bool JpegForcePath(JpegPath path);

JPEG_NAMESPACE_END
