/* A game that loads splash.dll at run time and goes on without it when it is
 * missing. Builds as C or C++ with -Wall -Wextra -Werror. */
#include <windows.h>

#include "prelude_splash.h"

int main(void)
{
    HMODULE splash = LoadLibraryA(PRELUDE_SPLASH_DLL);
    if (splash != NULL) {
        PreludeSplashInit init =
            PRELUDE_SPLASH_INIT_FROM_PROC(GetProcAddress(splash, PRELUDE_SPLASH_INIT_NAME));
        if (init != NULL)
            init(NULL);
        FreeLibrary(splash);
    }
    /* ... the game starts here ... */
    return 0;
}
