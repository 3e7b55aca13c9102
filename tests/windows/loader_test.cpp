// The loader: JPEG file to screen-compatible bitmap, read back with GetDIBits.
#include "jpeg/load_jpeg_bitmap.h"

#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace splash_test;

namespace {

// A handle value that no call returns, to see that failures reset it.
HBITMAP Stale()
{
    return reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(0xBAD0));
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The bitmap's pixels as top-down 0x00RRGGBB, through GetDIBits.
Picture ReadBitmap(HBITMAP bitmap)
{
    BITMAP size = {};
    GetObjectA(bitmap, sizeof(size), &size);
    Picture picture;
    picture.width = static_cast<std::uint32_t>(size.bmWidth);
    picture.height = static_cast<std::uint32_t>(size.bmHeight);
    picture.pixels.resize(std::size_t{picture.width} * picture.height);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, picture.height, picture.pixels.data(), &info,
                                DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(lines, size.bmHeight);
    for (auto& pixel : picture.pixels)
        pixel &= 0xFFFFFF;
    return picture;
}

}  // namespace

TEST(Loader, RefusesFilesThatGiveNoPicture)
{
    ScratchDirectory folder;
    WriteFile(folder.file("empty.jpg"), "");
    WriteFile(folder.file("text.jpg"), "GIF89a is not a JPEG stream");
    WriteFile(folder.file("almost.jpg"), "\xFF");  // half an SOI marker
    const std::string cases[] = {folder.file("missing.jpg"), folder.file("empty.jpg"),
                                 folder.file("text.jpg"), folder.file("almost.jpg"),
                                 TestPicture("not-jpeg.jpg").string(), folder.path().string()};
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        HBITMAP bitmap = Stale();
        EXPECT_EQ(LoadJpegBitmap(path.c_str(), &bitmap), 0);
        EXPECT_EQ(bitmap, nullptr);
    }
}

TEST(Loader, RefusesAFileHeldOpenWithoutSharing)
{
    const std::string path = TestPicture("pattern.jpg").string();
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    HBITMAP bitmap = Stale();
    EXPECT_EQ(LoadJpegBitmap(path.c_str(), &bitmap), 0);
    EXPECT_EQ(bitmap, nullptr);
    CloseHandle(holder);

    // Released, the same file loads; the loader itself left no handle open.
    ASSERT_EQ(LoadJpegBitmap(path.c_str(), &bitmap), 1);
    ASSERT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
    HANDLE again = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST(Loader, BitmapHoldsTheDecodedPictureTopRowFirst)
{
    const auto path = TestPicture("pattern.jpg");
    HBITMAP bitmap = Stale();
    ASSERT_EQ(LoadJpegBitmap(path.string().c_str(), &bitmap), 1);
    ASSERT_NE(bitmap, nullptr);
    const Picture shown = ReadBitmap(bitmap);
    DeleteObject(bitmap);

    ASSERT_EQ(shown.width, 192u);
    ASSERT_EQ(shown.height, 96u);
    EXPECT_EQ(shown.pixels, DecodeFile(path).pixels);

    // Against the drawing itself: coloured bands on top, grey below.
    for (std::uint32_t x = 8; x < shown.width; x += 16) {
        for (std::uint32_t y : {0u, 24u, 72u, 95u}) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            EXPECT_LE(ColourDistance(shown.at(x, y), PatternColour(x, y)), 24);
        }
    }
}

TEST(Loader, LargePictureKeepsItsSize)
{
    HBITMAP bitmap = Stale();
    ASSERT_EQ(LoadJpegBitmap(TestPicture("large.jpg").string().c_str(), &bitmap), 1);
    ASSERT_NE(bitmap, nullptr);
    BITMAP size = {};
    GetObjectA(bitmap, sizeof(size), &size);
    DeleteObject(bitmap);
    EXPECT_EQ(size.bmWidth, 1280);
    EXPECT_EQ(size.bmHeight, 960);
}
