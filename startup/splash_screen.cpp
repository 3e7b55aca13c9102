// ShowSplashScreen and SplashDialogProc: prelude.jpg in a modal popup.
#include "startup/startup.h"

#include "jpeg/load_jpeg_bitmap.h"
#include "resources/splash_resource.h"

#include <cstring>

namespace {

constexpr char kPictureName[] = "prelude.jpg";  // 12 characters with the zero
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kSplashMilliseconds = 3000;

// Centres the window on the screen at the bitmap's size and starts the timer.
INT_PTR OnInitDialog(HWND window, HBITMAP bitmap)
{
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(bitmap));

    BITMAP size = {};
    GetObjectA(bitmap, sizeof(size), &size);

    HDC screen = GetDC(nullptr);
    const std::int32_t screenWidth = GetDeviceCaps(screen, HORZRES);
    const std::int32_t screenHeight = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);

    // Signed halves truncate toward zero: a picture larger than the screen
    // gets a negative origin.
    const std::int32_t left = (screenWidth - size.bmWidth) / 2;
    const std::int32_t top = (screenHeight - size.bmHeight) / 2;
    SetWindowPos(window, nullptr, left, top, size.bmWidth, size.bmHeight, SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
    SetTimer(window, kCloseTimer, kSplashMilliseconds, nullptr);
    return 0;  // no focus to set
}

// Copies the picture onto the client area through the window's own DC.
INT_PTR OnEraseBackground(HWND window)
{
    auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrA(window, DWLP_USER));
    RECT client = {};
    GetClientRect(window, &client);

    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(windowDc, 0, 0, client.right, client.bottom, memoryDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previous);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return 1;
}

}  // namespace

std::int32_t ComposePicturePath(char* path)
{
    std::memcpy(path, HostFileName, kPathCapacity);
    path[kPathCapacity - 1] = '\0';

    // Only a backslash separates folders here.
    const char* lastBackslash = std::strrchr(path, '\\');
    const std::uint32_t nameStart =
        lastBackslash != nullptr ? static_cast<std::uint32_t>(lastBackslash - path) + 1 : 0;
    if (nameStart + sizeof(kPictureName) > kPathCapacity) {
        path[0] = '\0';
        return 0;
    }
    std::memcpy(path + nameStart, kPictureName, sizeof(kPictureName));
    return 1;
}

void ShowSplashScreen()
{
    char path[kPathCapacity];
    if (ComposePicturePath(path) == 0)
        return;  // a folder this deep cannot hold the picture

    HBITMAP bitmap = nullptr;
    LoadJpegBitmap(path, &bitmap);
    if (bitmap == nullptr)
        return;

    DialogBoxParamA(LibraryInstance, MAKEINTRESOURCEA(SPLASH_DIALOG), nullptr, SplashDialogProc,
                    reinterpret_cast<LPARAM>(bitmap));
    DeleteObject(bitmap);
}

INT_PTR CALLBACK SplashDialogProc(HWND window, UINT message, WPARAM /*wParam*/, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window, reinterpret_cast<HBITMAP>(lParam));
    case WM_ERASEBKGND:
        return OnEraseBackground(window);
    case WM_TIMER:
        EndDialog(window, 1);
        return 1;
    case WM_LBUTTONDOWN:
        EndDialog(window, 2);
        return 0;
    default:
        return 0;
    }
}
