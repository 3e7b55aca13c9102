// window_probe.exe: loads splash.dll from its own folder as a game does and
// calls mainDLLInit; once the splash window has painted, prints
// "window LEFT TOP RIGHT BOTTOM" and holds the game's thread still, so that
// the window stays up, until a file named "go" appears in the current
// folder. Prints "no window" when none opened. For real_window_test.py,
// which takes the screenshot meanwhile.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace {

struct Search {
    DWORD process;
    HWND found;
};

// EnumWindows callback: stops at a visible dialog window of the process.
BOOL CALLBACK MatchSplash(HWND window, LPARAM context)
{
    auto* s = reinterpret_cast<Search*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (process != s->process || !IsWindowVisible(window) || std::string(name) != "#32770")
        return TRUE;
    s->found = window;
    return FALSE;
}

// A visible dialog window of this process, or null.
HWND FindSplash()
{
    Search search{GetCurrentProcessId(), nullptr};
    EnumWindows(MatchSplash, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits for the window, reports it, holds `game` until "go" exists.
void Watch(HANDLE game, const std::atomic<bool>& returned, bool& seen)
{
    while (!returned) {
        HWND window = FindSplash();
        if (window == nullptr) {
            Sleep(5);
            continue;
        }
        Sleep(400);  // the first paint reaches the X server within tens of ms
        SuspendThread(game);
        RECT r{};
        GetWindowRect(window, &r);
        std::printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        std::fflush(stdout);
        seen = true;
        for (int i = 0; i < 6000 && GetFileAttributesA("go") == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(10);
        ResumeThread(game);
        return;
    }
}

}  // namespace

int main()
{
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
    bool seen = false;
    std::thread watcher([&] { Watch(game, returned, seen); });
    startup(nullptr);
    returned = true;
    watcher.join();
    if (!seen)
        std::printf("no window\n");
    CloseHandle(game);
    FreeLibrary(module);
    return 0;
}
