/* A game that links splash.dll through its import library: the splash shows
 * before the game's own start-up, and the game's exit status is the call's
 * result (1). It uses no C runtime function, so it also links with
 * "lld-link /entry:main /nodefaultlib linked_game.obj splash.lib". */
#include "prelude_splash.h"

int main(void)
{
    int result = mainDLLInit(0);
    /* ... the game starts here ... */
    return result;
}
