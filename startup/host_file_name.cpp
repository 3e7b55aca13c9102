// HostFileName: the host executable's name as the file system stores it.
#include "startup/startup.h"

#include <cstring>

char HostFileName[kPathCapacity] = {};

// Full path first; then the directory entry's own spelling, without folders.
std::int32_t RecordHostFileName(HMODULE module)
{
    GetModuleFileNameA(module, HostFileName, kPathCapacity);
    HostFileName[kPathCapacity - 1] = '\0';  // XP-era truncation leaves no zero

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(HostFileName, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;  // keeps the full path

    // cFileName has MAX_PATH characters, the same as HostFileName.
    std::memcpy(HostFileName, found.cFileName, kPathCapacity);
    HostFileName[kPathCapacity - 1] = '\0';
    FindClose(search);
    return 1;
}
