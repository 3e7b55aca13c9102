// stb_image without SIMD: the scalar comparison for this decoder.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_SIMD
#include <stb_image.h>

#include "stb_decoders.h"

unsigned char* StbDecodeScalar(const uint8_t* data, int size, int* width, int* height)
{
    int channels;
    return stbi_load_from_memory(data, size, width, height, &channels, 4);
}

void StbFreeScalar(unsigned char* pixels)
{
    stbi_image_free(pixels);
}
