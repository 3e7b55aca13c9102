// splash-host.exe: a stand-in game that loads the splash library and makes
// the start-up call once, to try a picture without the game.
//
// usage: splash-host.exe [LIBRARY.dll]   (default: splash.dll)
// Put prelude.jpg in the current directory. Exit code 0 when mainDLLInit was
// found and called, 1 when the library or the export is missing.
#include <windows.h>

#include <chrono>
#include <cstdio>

using StartupCall = int (*)(void*);

int main(int argc, char** argv)
{
    const char* libraryPath = argc > 1 ? argv[1] : "splash.dll";
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: splash-host.exe [LIBRARY.dll]\n");
        return 1;
    }

    HMODULE library = LoadLibraryA(libraryPath);
    if (library == nullptr) {
        std::printf("%s: cannot load (error %lu)\n", libraryPath, GetLastError());
        return 1;
    }
    auto startup = reinterpret_cast<StartupCall>(
        reinterpret_cast<void*>(GetProcAddress(library, "mainDLLInit")));
    if (startup == nullptr) {
        std::printf("%s: mainDLLInit not found\n", libraryPath);
        FreeLibrary(library);
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    const int result = startup(nullptr);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("%s: mainDLLInit found, returned %d after %lld ms\n", libraryPath, result,
                static_cast<long long>(elapsed.count()));
    FreeLibrary(library);
    return 0;
}
