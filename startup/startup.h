// The library's start-up path: entry point, mainDLLInit, host name, splash.
#pragma once

#include <windows.h>

#include <cstdint>

// Characters in a path buffer, terminating zero included (MAX_PATH).
inline constexpr std::uint32_t kPathCapacity = 260;

// The library's own module handle, set at process attach.
extern HINSTANCE LibraryInstance;

// The host executable's recorded name: bare as stored on disk, or the full
// path when the directory search failed. Zero at load.
extern char HostFileName[kPathCapacity];

// Loader entry: records LibraryInstance on attach; always TRUE.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

// The exported start-up call: records the host's name and shows the splash.
// The argument is not read; the result is always 1.
extern "C" std::int32_t mainDLLInit(void* hostArgument);

// Fills HostFileName for `module`; 1 when the directory search found the file.
std::int32_t RecordHostFileName(HMODULE module);

// Composes the picture's path from HostFileName into `path` (kPathCapacity
// characters): "prelude.jpg" replaces everything after the last backslash.
// 0 when the folder part leaves no room for the name; `path` is then empty.
std::int32_t ComposePicturePath(char* path);

// Shows prelude.jpg for 3000 ms or until a click; returns at once without one.
void ShowSplashScreen();

// The splash dialog's procedure; the bitmap arrives as the creation parameter.
INT_PTR CALLBACK SplashDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
