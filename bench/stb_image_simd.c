// stb_image with its SSE2 transform and colour paths.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb_image.h>

#include "stb_decoders.h"

unsigned char* StbDecodeSimd(const uint8_t* data, int size, int* width, int* height)
{
    int channels;
    return stbi_load_from_memory(data, size, width, height, &channels, 4);
}

void StbFreeSimd(unsigned char* pixels)
{
    stbi_image_free(pixels);
}
