// Start-up latency under Wine: from the start-up call to the splash being on
// screen, split into the phases the library goes through.
//
//   startup-latency.exe REPETITIONS FOLDER...
//
// Each FOLDER holds a prelude.jpg. For each, prints one line of medians in ms:
//   FOLDER WIDTHxHEIGHT read decode bitmap window sum mainDLLInit scalarCpu
//   sse2Cpu avx2Cpu referenceCpu
// read, decode, bitmap and window repeat the library's own calls one phase at
// a time (file into a block; DecodeJpeg; CreateCompatibleBitmap + SetDIBits;
// the splash dialog until it has drawn the picture); mainDLLInit is the whole
// path through splash.dll, which must sit beside this program. All of these
// are wall-clock times, with the decoder's default path. scalarCpu, sse2Cpu
// and avx2Cpu are the thread's CPU time per DecodeJpeg with each path forced
// ("-" where the processor lacks it), averaged over many decodes: Wine counts
// CPU time in 10 ms steps, and on a shared machine it is the steadier
// figure. referenceCpu is the same for the decoder's reference build.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "jpeg/alloc.h"
#include "jpeg/decode_jpeg.h"
#include "jpeg/jpeg_paths.h"
#include "jpeg/reference_decoder.h"
#include "resources/splash_resource.h"
#include "startup/startup.h"

namespace {

constexpr char kPictureName[] = "prelude.jpg";

// Milliseconds on the performance counter.
double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// ---- Phases, one at a time ------------------------------------------------

// Set once the splash dialog has drawn its picture; the dialog then closes.
double pictureDrawnAt = 0;

// The library's dialog procedure, closing the dialog once the first
// WM_ERASEBKGND, which draws the picture, has been handled.
INT_PTR CALLBACK TimedDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = SplashDialogProc(window, message, wParam, lParam);
    if (message == WM_ERASEBKGND && pictureDrawnAt == 0) {
        pictureDrawnAt = NowMs();
        EndDialog(window, 0);
    }
    return result;
}

struct PhaseTimes {
    double read, decode, bitmap, window;  // ms
    std::uint32_t width, height;          // pixels
};

// One pass through the library's calls for prelude.jpg in the current folder;
// false when a call failed.
bool TimePhases(PhaseTimes* times)
{
    double start = NowMs();
    HANDLE file = CreateFileA(kPictureName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::uint32_t size = GetFileSize(file, nullptr);
    auto* bytes = static_cast<std::uint8_t*>(AllocBlock(size));
    DWORD bytesRead = 0;
    BOOL read = bytes != nullptr && ReadFile(file, bytes, size, &bytesRead, nullptr);
    CloseHandle(file);
    if (!read) {
        FreeBlock(bytes);
        return false;
    }
    double fileRead = NowMs();

    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0, height = 0, bitsPerPixel = 0;
    std::int32_t decoded = DecodeJpeg(bytes, bytesRead, &pixels, &width, &height, &bitsPerPixel);
    FreeBlock(bytes);
    if (!decoded)
        return false;
    double decodeDone = NowMs();

    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, static_cast<int>(width), static_cast<int>(height));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = width * height * 4;
    SetDIBits(screen, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    FreeBlock(pixels);
    if (bitmap == nullptr)
        return false;
    double bitmapDone = NowMs();

    pictureDrawnAt = 0;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(SPLASH_DIALOG), nullptr, TimedDialogProc,
                    reinterpret_cast<LPARAM>(bitmap));
    DeleteObject(bitmap);
    if (pictureDrawnAt == 0)
        return false;

    *times = {fileRead - start, decodeDone - fileRead, bitmapDone - decodeDone, pictureDrawnAt - bitmapDone,
              width, height};
    return true;
}

// The thread's CPU time in ms.
double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) {  // 100 ns units
        return static_cast<double>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

using DecodeFunction = std::int32_t (*)(const std::uint8_t*, std::uint32_t, std::uint32_t**, std::uint32_t*,
                                         std::uint32_t*, std::uint32_t*);

// Mean CPU ms of one `decode` of prelude.jpg, over at least 1 s of CPU time
// (100 steps of Wine's clock) or 1000 decodes; 0 when it cannot decode.
double DecodeCpuMs(DecodeFunction decode)
{
    HANDLE file = CreateFileA(kPictureName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<std::uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD bytesRead = 0;
    BOOL read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &bytesRead, nullptr);
    CloseHandle(file);
    if (!read)
        return 0;
    double start = ThreadCpuMs(), used = 0;
    int decodes = 0;
    while (used < 1000 && decodes < 1000) {
        std::uint32_t* pixels = nullptr;
        std::uint32_t width = 0, height = 0, bitsPerPixel = 0;
        if (!decode(bytes.data(), bytesRead, &pixels, &width, &height, &bitsPerPixel))
            return 0;
        FreeBlock(pixels);
        ++decodes;
        used = ThreadCpuMs() - start;
    }
    return used / decodes;
}

// ---- The whole path through splash.dll -------------------------------------

double splashDrawnAt = 0;
HHOOK returnHook = nullptr;

// Sees every window procedure return on this thread: the first WM_ERASEBKGND
// of a dialog is the splash drawing its picture; a click then closes it.
LRESULT CALLBACK OnWindowProcReturn(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_ERASEBKGND && splashDrawnAt == 0) {
        char className[16] = {};
        GetClassNameA(call->hwnd, className, sizeof(className));
        if (lstrcmpA(className, "#32770") == 0) {
            splashDrawnAt = NowMs();
            PostMessageA(call->hwnd, WM_LBUTTONDOWN, 0, 0);
        }
    }
    return CallNextHookEx(returnHook, code, wParam, lParam);
}

// ms from the mainDLLInit call to the splash's picture drawn; 0 when no
// splash appeared.
double TimeMainDllInit(std::int32_t (*mainDllInit)(void*))
{
    splashDrawnAt = 0;
    returnHook = SetWindowsHookExA(WH_CALLWNDPROCRET, OnWindowProcReturn, nullptr, GetCurrentThreadId());
    double start = NowMs();
    mainDllInit(nullptr);
    UnhookWindowsHookEx(returnHook);
    return splashDrawnAt == 0 ? 0 : splashDrawnAt - start;
}

}  // namespace

int main(int argc, char** argv)
{
    int repetitions = argc >= 3 ? std::atoi(argv[1]) : 0;
    if (repetitions < 1) {
        std::fprintf(stderr, "usage: startup-latency.exe REPETITIONS FOLDER...\n");
        return 2;
    }
    HMODULE library = LoadLibraryA("splash.dll");
    auto mainDllInit = library ? reinterpret_cast<std::int32_t (*)(void*)>(
                                     reinterpret_cast<void*>(GetProcAddress(library, "mainDLLInit")))
                               : nullptr;
    if (mainDllInit == nullptr) {
        std::fprintf(stderr, "startup-latency: cannot load mainDLLInit from splash.dll\n");
        return 1;
    }

    char home[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, home);
    for (int folder = 2; folder < argc; ++folder) {
        if (!SetCurrentDirectoryA(home) || !SetCurrentDirectoryA(argv[folder])) {
            std::fprintf(stderr, "startup-latency: no folder %s\n", argv[folder]);
            return 1;
        }
        std::vector<double> read, decode, bitmap, window, sum, whole;
        PhaseTimes times = {};
        // A first, untimed pass: Wine spends up to 4 s (measured) setting up
        // a process's first window, a cost of Wine rather than of the library.
        TimeMainDllInit(mainDllInit);
        TimePhases(&times);
        // Phases and whole path alternate, so that both see the same machine.
        for (int i = 0; i < repetitions; ++i) {
            double total = TimeMainDllInit(mainDllInit);
            if (!TimePhases(&times) || total == 0) {
                std::fprintf(stderr, "startup-latency: no splash for %s\\%s\n", argv[folder], kPictureName);
                return 1;
            }
            read.push_back(times.read);
            decode.push_back(times.decode);
            bitmap.push_back(times.bitmap);
            window.push_back(times.window);
            sum.push_back(times.read + times.decode + times.bitmap + times.window);
            whole.push_back(total);
        }
        std::printf("%s %ux%u %.2f %.2f %.2f %.2f %.2f %.2f", argv[folder], times.width, times.height,
                    Median(read), Median(decode), Median(bitmap), Median(window), Median(sum), Median(whole));
        // CPU time per decode with each path forced, then the reference build's.
        auto printCpu = [&](auto decode) {
            double cpu = DecodeCpuMs(decode);
            if (cpu != 0)
                std::printf(" %.2f", cpu);
            else
                std::fprintf(stderr, "startup-latency: cannot decode %s\\%s\n", argv[folder], kPictureName);
            return cpu != 0;
        };
        const JpegPath active = JpegActivePath();
        for (JpegPath path : kJpegPaths) {
            if (!JpegForcePath(path))
                std::printf(" -");
            else if (!printCpu(DecodeJpeg))
                return 1;
        }
        JpegForcePath(active);
        if (!printCpu(ReferenceDecodeJpeg))
            return 1;
        std::printf("\n");
    }
    FreeLibrary(library);
    return 0;
}
