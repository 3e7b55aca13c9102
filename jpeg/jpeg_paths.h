// Which path of the decoder runs: the reference kernels, or the scalar, SSE2
// or AVX2 ones. The library's build takes the best one the processor offers,
// once per process; tests, fuzz targets and benchmarks force each. The
// reference build runs the reference kernels only.
#pragma once

#include <cstdint>

#include "jpeg/jpeg_namespace.h"

JPEG_NAMESPACE_BEGIN

enum class JpegPath : std::uint8_t {
    kReference,  // a bit per call, linear Huffman search, pixel by pixel
    kScalar,     // portable C++: a bit window, table look-ups, a row at a time
    kSse2,       // the scalar MCU decoder; SSE2 transform and store
    kAvx2,       // the scalar MCU decoder; AVX2 transform and store
};

// The paths that the library's build chooses among.
inline constexpr JpegPath kJpegPaths[] = {JpegPath::kScalar, JpegPath::kSse2, JpegPath::kAvx2};

// "reference", "scalar", "sse2", "avx2".
const char* JpegPathName(JpegPath path);

// True when this processor (and its operating system) can run `path`.
bool JpegPathSupported(JpegPath path);

// The path the decoder runs: the best supported one unless forced.
JpegPath JpegActivePath();

// Makes the decoder run `path` from the next scan on; false, and nothing
// changes, when the processor cannot run it.
bool JpegForcePath(JpegPath path);

JPEG_NAMESPACE_END
