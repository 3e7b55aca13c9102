// LoadJpegBitmap: file -> DecodeJpeg -> device-compatible bitmap.
#include "jpeg/load_jpeg_bitmap.h"

#include "jpeg/alloc.h"
#include "jpeg/decode_jpeg.h"

// Reads the whole file into a new block; null when it cannot be opened or read.
static std::uint8_t* ReadWholeFile(const char* path, std::uint32_t* sizeOut)
{
    // Share mode 0: a file that someone else holds open is refused.
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;

    const std::uint32_t size = GetFileSize(file, nullptr);  // low 32 bits only
    auto* bytes = static_cast<std::uint8_t*>(AllocBlock(size));
    DWORD bytesRead = 0;
    if (bytes == nullptr || ReadFile(file, bytes, size, &bytesRead, nullptr) == 0) {
        FreeBlock(bytes);
        CloseHandle(file);
        return nullptr;
    }
    CloseHandle(file);
    *sizeOut = bytesRead;  // never more than the block holds
    return bytes;
}

// Copies top-down 32-bit pixels into a new bitmap in the screen's format.
static HBITMAP CreateScreenBitmap(const std::uint32_t* pixels, std::uint32_t width,
                                  std::uint32_t height)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, static_cast<int>(width),
                                            static_cast<int>(height));

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);  // 40
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // rows run top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = width * height * 4;  // < 2^27: DecodeJpeg caps the count
    SetDIBits(screen, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS);

    ReleaseDC(nullptr, screen);
    return bitmap;
}

std::int32_t LoadJpegBitmap(const char* path, HBITMAP* bitmapOut)
{
    *bitmapOut = nullptr;

    std::uint32_t size = 0;
    std::uint8_t* bytes = ReadWholeFile(path, &size);
    if (bytes == nullptr)
        return 0;

    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;  // always 32; not consulted
    const std::int32_t decoded = DecodeJpeg(bytes, size, &pixels, &width, &height, &bitsPerPixel);
    FreeBlock(bytes);
    if (decoded == 0)
        return 0;

    *bitmapOut = CreateScreenBitmap(pixels, width, height);
    FreeBlock(pixels);
    return 1;
}
