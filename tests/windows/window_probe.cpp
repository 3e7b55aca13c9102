// window_probe.exe [hold | watch | click MS]: loads splash.dll from its own
// folder as a game does and calls mainDLLInit on ./prelude.jpg, watching for
// the splash window from a second thread. When the window shows it prints
// "window LEFT TOP RIGHT BOTTOM CLIENT_WIDTH CLIENT_HEIGHT STYLE EXSTYLE OWNED";
//   hold:     first waits 400 ms for its paint and holds the game's thread
//             still, so that the window stays up for a screenshot, until a
//             file named "go" appears in the current folder;
//   watch:    leaves it alone;
//   click MS: left-clicks its centre MS ms after it showed.
// Last "returned RESULT RETURNED SHOWN CLICKED GONE": ms after the call, -1
// for what did not happen (GONE is -1 with hold, whose pause stops the
// window's clock). For real_window_test.py.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The splash: the top dialog window, when it is this process's and visible.
HWND FindSplash()
{
    HWND window = FindWindowA("#32770", nullptr);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(window) ? window : nullptr;
}

// Milliseconds since `start`.
long Since(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Prints the window's rectangle, client size, styles and whether it has an owner.
void Report(HWND window)
{
    RECT r{}, client{};
    GetWindowRect(window, &r);
    GetClientRect(window, &client);
    std::printf("window %ld %ld %ld %ld %ld %ld %lu %lu %d\n", r.left, r.top, r.right, r.bottom, client.right,
                client.bottom, static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)), GetWindow(window, GW_OWNER) != nullptr);
    std::fflush(stdout);
}

// A left click, pressed and released, at the centre of `window`.
void LeftClickCentre(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, press, sizeof(INPUT));
}

struct Times {
    long shown = -1, clicked = -1, gone = -1;  // ms after the call
};

// Waits for the window, reports it and holds, watches or clicks it (`clickAfter` >= 0).
void Watch(HANDLE game, bool hold, long clickAfter, const std::atomic<bool>& returned, Clock::time_point start,
           Times& t)
{
    HWND window = nullptr;
    while (window == nullptr && !returned) {
        window = FindSplash();
        Sleep(2);
    }
    if (window == nullptr)
        return;
    t.shown = Since(start);
    if (hold) {
        Sleep(400);  // the first paint reaches the X server within tens of ms
        SuspendThread(game);
        Report(window);
        for (int i = 0; i < 6000 && GetFileAttributesA("go") == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(10);
        ResumeThread(game);
        return;
    }
    Report(window);
    while (!returned && IsWindow(window) && IsWindowVisible(window)) {
        if (clickAfter >= 0 && t.clicked < 0 && Since(start) - t.shown >= clickAfter) {
            LeftClickCentre(window);
            t.clicked = Since(start);
        }
        Sleep(2);
    }
    t.gone = Since(start);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "hold";
    const long clickAfter = mode == "click" && argc > 2 ? std::atol(argv[2]) : -1;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string library = self;
    library = library.substr(0, library.rfind('\\') + 1) + "splash.dll";
    HMODULE module = LoadLibraryA(library.c_str());
    auto startup = module == nullptr ? nullptr
                                     : reinterpret_cast<int (*)(void*)>(
                                           reinterpret_cast<void*>(GetProcAddress(module, "mainDLLInit")));
    if (startup == nullptr) {
        std::printf("cannot load %s or find mainDLLInit\n", library.c_str());
        return 1;
    }
    HANDLE game = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &game, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    std::atomic<bool> returned = false;
    Times t;
    const Clock::time_point start = Clock::now();
    std::thread watcher([&] { Watch(game, mode == "hold", clickAfter, returned, start, t); });
    const int result = startup(nullptr);
    const long returnedAt = Since(start);
    returned = true;
    watcher.join();
    std::printf("returned %d %ld %ld %ld %ld\n", result, returnedAt, t.shown, t.clicked, t.gone);
    CloseHandle(game);
    FreeLibrary(module);
    return 0;
}
