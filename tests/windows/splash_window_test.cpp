// The real splash: splash.dll loaded as a game loads it, its window watched
// from a second thread of the same process while mainDLLInit runs.
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

namespace {

// What the watcher saw of the splash window.
struct Observation {
    bool seen = false;
    RECT window = {};
    RECT client = {};
    LONG style = 0;
    LONG extendedStyle = 0;
    HWND owner = nullptr;
    double shownAt = 0;  // ms after mainDLLInit was called
    double goneAt = 0;   // ms after mainDLLInit was called
    double clickedAt = 0;
    Picture content;     // client area, read through the window's DC
};

struct SplashRun {
    std::int32_t result = 0;
    double returnedAt = 0;  // ms after mainDLLInit was called
    Observation splash;
};

struct WindowSearch {
    DWORD process;
    HWND found;
};

// EnumWindows callback: stops at a visible dialog window of the process.
BOOL CALLBACK MatchSplashWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (process == search->process && IsWindowVisible(window) && std::string(className) == "#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level dialog window of this process, if there is one.
HWND FindSplashWindow()
{
    WindowSearch search = {GetCurrentProcessId(), nullptr};
    EnumWindows(MatchSplashWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The client area's pixels as 0x00RRGGBB.
Picture CaptureClientArea(HWND window, const RECT& client)
{
    Picture picture;
    picture.width = static_cast<std::uint32_t>(client.right);
    picture.height = static_cast<std::uint32_t>(client.bottom);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memoryDc, section);
    BitBlt(memoryDc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(pixels, pixels + std::size_t{picture.width} * picture.height);
    SelectObject(memoryDc, previous);
    DeleteObject(section);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    for (auto& pixel : picture.pixels)
        pixel &= 0xFFFFFF;
    return picture;
}

void LeftClickAt(int x, int y)
{
    SetCursorPos(x, y);
    INPUT press[2] = {};
    press[0].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].type = INPUT_MOUSE;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, press, sizeof(INPUT));
}

// Calls mainDLLInit of splash.dll with `folder` as the current directory,
// watching for its window; clicks it `clickAfter` ms after it appeared.
SplashRun RunSplash(const std::filesystem::path& folder, std::optional<int> clickAfter = {})
{
    SplashRun run;
    HMODULE library = LoadLibraryA((ProgramDirectory() / "splash.dll").string().c_str());
    EXPECT_NE(library, nullptr);
    if (library == nullptr)
        return run;
    auto startup = reinterpret_cast<std::int32_t (*)(void*)>(
        reinterpret_cast<void*>(GetProcAddress(library, "mainDLLInit")));
    EXPECT_NE(startup, nullptr);
    if (startup == nullptr) {
        FreeLibrary(library);
        return run;
    }

    CurrentDirectoryGuard inside(folder);
    std::atomic<bool> returned = false;
    const Clock::time_point start = Clock::now();
    auto since = [&] { return Milliseconds(Clock::now() - start).count(); };

    std::thread watcher([&] {
        Observation& seen = run.splash;
        HWND window = nullptr;
        bool captured = false;
        while (!returned) {
            if (window == nullptr) {
                window = FindSplashWindow();
                if (window != nullptr) {
                    seen.seen = true;
                    seen.shownAt = since();
                    GetWindowRect(window, &seen.window);
                    GetClientRect(window, &seen.client);
                    seen.style = GetWindowLongA(window, GWL_STYLE);
                    seen.extendedStyle = GetWindowLongA(window, GWL_EXSTYLE);
                    seen.owner = GetWindow(window, GW_OWNER);
                }
            } else if (!IsWindow(window) || !IsWindowVisible(window)) {
                seen.goneAt = since();
                break;
            } else {
                const double shownFor = since() - seen.shownAt;
                if (!captured && shownFor >= 300) {
                    seen.content = CaptureClientArea(window, seen.client);
                    captured = true;
                }
                if (clickAfter && seen.clickedAt == 0 && shownFor >= *clickAfter) {
                    seen.clickedAt = since();
                    LeftClickAt((seen.window.left + seen.window.right) / 2,
                                (seen.window.top + seen.window.bottom) / 2);
                }
            }
            Sleep(2);
        }
    });

    run.result = startup(nullptr);
    run.returnedAt = since();
    returned = true;
    watcher.join();
    if (run.splash.seen && run.splash.goneAt == 0)
        run.splash.goneAt = run.returnedAt;  // closed between two looks
    FreeLibrary(library);
    return run;
}

// Pixels of the client area `shown` that differ from the picture's own.
int DifferingPixels(const Picture& shown, const Picture& picture)
{
    int differing = 0;
    for (std::uint32_t y = 0; y < shown.height; ++y)
        for (std::uint32_t x = 0; x < shown.width; ++x)
            differing += shown.at(x, y) != picture.at(x, y);
    return differing;
}

// A scratch folder holding `picture` as prelude.jpg.
void PutPrelude(const ScratchDirectory& folder, const char* picture)
{
    std::filesystem::copy_file(TestPicture(picture), folder.path() / "prelude.jpg");
}

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

}  // namespace

TEST(SplashWindow, ShowsEachPictureCentredAtItsSizeAsDecodedUntilItsTimeOrAClick)
{
    ASSERT_LT(ScreenWidth(), 1280) << "the test needs a screen smaller than large.jpg";
    ASSERT_LT(ScreenHeight(), 960);
    const struct {
        const char* picture;
        std::optional<int> clickAfter;  // ms after the window appeared; none: it closes by itself
        int width, height;
        bool onScreen;  // the whole window: its pixels can be read back
    } cases[] = {
        {"pattern.jpg", {}, 192, 96, true},
        {"pattern.jpg", 500, 192, 96, true},
        {"bundled-prelude.jpg", 400, 480, 270, true},
        {"large.jpg", 300, 1280, 960, false},  // a negative origin
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture << (c.clickAfter ? ", clicked" : ""));
        ScratchDirectory folder;
        PutPrelude(folder, c.picture);
        const SplashRun run = RunSplash(folder.path(), c.clickAfter);

        EXPECT_EQ(run.result, 1);
        ASSERT_TRUE(run.splash.seen) << "no splash window appeared";
        const RECT& window = run.splash.window;
        EXPECT_EQ(window.right - window.left, c.width);
        EXPECT_EQ(window.bottom - window.top, c.height);
        EXPECT_EQ(window.left, (ScreenWidth() - c.width) / 2);
        EXPECT_EQ(window.top, (ScreenHeight() - c.height) / 2);
        // A captionless popup without owner whose thin border takes one pixel on each side.
        EXPECT_EQ(run.splash.client.right, c.width - 2);
        EXPECT_EQ(run.splash.client.bottom, c.height - 2);
        const LONG style = run.splash.style;
        EXPECT_EQ(style & WS_POPUP, WS_POPUP);
        EXPECT_EQ(style & WS_CAPTION, WS_BORDER) << std::hex << style;
        EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_CHILD), 0) << std::hex << style;
        EXPECT_EQ(run.splash.extendedStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), 0);
        EXPECT_EQ(run.splash.owner, nullptr);
        if (c.onScreen) {
            ASSERT_EQ(run.splash.content.width, static_cast<std::uint32_t>(c.width - 2));
            EXPECT_EQ(DifferingPixels(run.splash.content, DecodeFile(TestPicture(c.picture))), 0);
        }

        if (c.clickAfter) {
            ASSERT_GT(run.splash.clickedAt, 0);
            EXPECT_LE(run.splash.goneAt - run.splash.clickedAt, 700) << "the click did not close it";
        } else {
            EXPECT_GE(run.splash.goneAt - run.splash.shownAt, 2700) << "closed early";
            EXPECT_LE(run.splash.goneAt - run.splash.shownAt, 4500) << "closed late";
        }
        EXPECT_LE(run.returnedAt - run.splash.goneAt, 500) << "mainDLLInit lingered after the splash";
    }
}
