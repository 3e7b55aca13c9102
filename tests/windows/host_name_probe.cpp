// Prints RecordHostFileName's result and HostFileName for this program, so that
// the start-up tests can run it under another name and from another folder.
#include "startup/startup.h"

#include <cstdio>

int main()
{
    const std::int32_t found = RecordHostFileName(GetModuleHandleA(nullptr));
    std::printf("%d %s\n", found, HostFileName);
    return 0;
}
