// What the SIMD kernels share: the attributes that let a function use SSE2 or
// AVX2 whatever the build's baseline.
#pragma once

#include "jpeg/jpeg_kernels.h"

// Marks a function compiled for AVX2 or SSE2 whatever the build's baseline,
// so that no other code of the build uses those instructions.
#define JPEG_AVX2 __attribute__((target("avx2")))
#define JPEG_SSE2 __attribute__((target("sse2")))
// A helper of such a function, inlined into it whatever the compiler's estimate.
#define JPEG_INLINE __attribute__((always_inline)) inline
