// JPEG file to screen-compatible bitmap.
#pragma once

#include <windows.h>

#include <cstdint>

// Reads the JPEG file at `path` whole, decodes it and copies the pixels into a
// bitmap compatible with the screen. *bitmapOut is null after every failure.
// Result 1 when the file was decoded (the bitmap may still be null if GDI
// refused it), 0 when opening, reading or decoding failed.
std::int32_t LoadJpegBitmap(const char* path, HBITMAP* bitmapOut);
