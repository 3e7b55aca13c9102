// Prints the module path Windows reports for this program, then
// RecordHostFileName's result and HostFileName, so that the start-up tests can
// run it under another name and from another folder.
#include "startup/startup.h"

#include <cstdio>

int main()
{
    char reported[kPathCapacity] = {};
    GetModuleFileNameA(nullptr, reported, kPathCapacity);
    const std::int32_t found = RecordHostFileName(GetModuleHandleA(nullptr));
    std::printf("%s\n%d %s\n", reported, found, HostFileName);
    return 0;
}
