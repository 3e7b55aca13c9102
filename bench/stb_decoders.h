// stb_image's JPEG decoder, built twice: with its SSE2 paths and without.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes `size` bytes of JPEG into a new RGBA buffer (free it with the
// matching Free function); null on failure.
unsigned char* StbDecodeScalar(const uint8_t* data, int size, int* width, int* height);
void StbFreeScalar(unsigned char* pixels);
unsigned char* StbDecodeSimd(const uint8_t* data, int size, int* width, int* height);
void StbFreeSimd(unsigned char* pixels);

#ifdef __cplusplus
}
#endif
