/* prelude_splash.h: the one call of splash.dll, for C and C++ on any
 * compiler for Windows. It includes no other header.
 *
 * Linking through the import library (lib/splash.lib or lib/libsplash.dll.a):
 *     #define PRELUDE_SPLASH_DLLIMPORT   (optional: a direct import, no thunk)
 *     #include "prelude_splash.h"
 *     mainDLLInit(0);
 *
 * Loading at run time, without a cast that -Wcast-function-type warns about:
 *     HMODULE dll = LoadLibraryA(PRELUDE_SPLASH_DLL);
 *     PreludeSplashInit init = dll ? PRELUDE_SPLASH_INIT_FROM_PROC(
 *         GetProcAddress(dll, PRELUDE_SPLASH_INIT_NAME)) : 0;
 *     if (init)
 *         init(0);
 */
#ifndef PRELUDE_SPLASH_H
#define PRELUDE_SPLASH_H

/* The file and the export, for LoadLibraryA and GetProcAddress. */
#define PRELUDE_SPLASH_DLL "splash.dll"
#define PRELUDE_SPLASH_INIT_NAME "mainDLLInit"

/* cdecl on 32-bit x86; x86-64 and ARM64 have one convention. */
#if defined(_M_IX86) || defined(__i386__)
#define PRELUDE_SPLASH_CALL __cdecl
#else
#define PRELUDE_SPLASH_CALL
#endif

#if defined(PRELUDE_SPLASH_DLLIMPORT)
#define PRELUDE_SPLASH_API __declspec(dllimport)
#else
#define PRELUDE_SPLASH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Shows prelude.jpg from the current directory, centred, for 3000 ms or until
 * a left click, and returns when it closes (at once when there is no
 * picture). Call it once at start-up on the main thread. The argument is not
 * read; the result is always 1. */
PRELUDE_SPLASH_API int PRELUDE_SPLASH_CALL mainDLLInit(void* unused);

/* mainDLLInit's type, for a pointer from GetProcAddress. */
typedef int(PRELUDE_SPLASH_CALL* PreludeSplashInit)(void* unused);

#ifdef __cplusplus
}
#endif

/* GetProcAddress's FARPROC as a PreludeSplashInit. The step through
 * void (*)(void), the generic function pointer type, keeps GCC's and Clang's
 * -Wcast-function-type quiet. */
#ifdef __cplusplus
#define PRELUDE_SPLASH_INIT_FROM_PROC(proc) \
    reinterpret_cast<PreludeSplashInit>(reinterpret_cast<void (*)(void)>(proc))
#else
#define PRELUDE_SPLASH_INIT_FROM_PROC(proc) ((PreludeSplashInit)(void (*)(void))(proc))
#endif

#endif /* PRELUDE_SPLASH_H */
