// mainDLLInit: the start-up call that the game makes once.
#include "startup/startup.h"
// The games' declaration: a mismatch with the definition below fails the build.
#include "include/prelude_splash.h"

// cdecl, exported undecorated through splash.def; the host's argument is unused.
extern "C" std::int32_t mainDLLInit(void* /*hostArgument*/)
{
    RecordHostFileName(GetModuleHandleA(nullptr));
    ShowSplashScreen();
    return 1;
}
