// mainDLLInit: the start-up call that the game makes once.
#include "startup/startup.h"

// cdecl, exported undecorated through splash.def; the host's argument is unused.
extern "C" std::int32_t mainDLLInit(void* /*hostArgument*/)
{
    RecordHostFileName(GetModuleHandleA(nullptr));
    ShowSplashScreen();
    return 1;
}
