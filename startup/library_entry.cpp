// The library's entry point, called by the Windows loader.
#include "startup/startup.h"

HINSTANCE LibraryInstance = nullptr;

// Records the module handle on attach; nothing to do for any other reason.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
        LibraryInstance = module;
    }
    return TRUE;
}
