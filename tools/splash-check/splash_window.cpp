// The dialog's arithmetic: sized to the bitmap, centred with halves that
// truncate toward zero, painted from the bitmap's (0, 0) into the client area;
// and the screen drawn from it.
#include "splash_window.h"

#include <algorithm>

namespace splash {
namespace {

constexpr int kFrame = 1;         // WS_BORDER: one pixel on each side
constexpr int kTimerMs = 3000;

}  // namespace

SplashWindow ModelSplashWindow(std::int32_t result, std::uint32_t width, std::uint32_t height, ScreenSize screen)
{
    SplashWindow w;
    if (result != 1)
        return w;
    w.shown = true;
    // A compatible bitmap with a zero side is the platform's 1x1 one.
    const bool empty = width == 0 || height == 0;
    w.width = empty ? 1 : static_cast<int>(width);
    w.height = empty ? 1 : static_cast<int>(height);
    w.left = (screen.width - w.width) / 2;  // C++ division truncates toward zero, as the dialog's does
    w.top = (screen.height - w.height) / 2;
    w.clientWidth = std::max(0, w.width - 2 * kFrame);
    w.clientHeight = std::max(0, w.height - 2 * kFrame);
    const int clientX = w.left + kFrame, clientY = w.top + kFrame;
    w.visibleLeft = std::clamp(-clientX, 0, w.clientWidth);
    w.visibleTop = std::clamp(-clientY, 0, w.clientHeight);
    w.visibleRight = std::clamp(screen.width - clientX, w.visibleLeft, w.clientWidth);
    w.visibleBottom = std::clamp(screen.height - clientY, w.visibleTop, w.clientHeight);
    w.waitMs = kTimerMs;
    return w;
}

std::string DescribeWindow(const SplashWindow& w, std::uint32_t pictureWidth, std::uint32_t pictureHeight,
                           ScreenSize screen)
{
    const std::string on = " on a " + Size(screen.width, screen.height) + " screen";
    if (!w.shown)
        return "window: none" + on + "; the game goes on at once";
    std::string line = "window: " + Size(w.width, w.height) + " at (" + std::to_string(w.left) + "," +
                       std::to_string(w.top) + ")" + on + ", client area " + Size(w.clientWidth, w.clientHeight);
    const std::int64_t picture = std::int64_t{pictureWidth} * pictureHeight;
    const std::int64_t client = std::int64_t{w.clientWidth} * w.clientHeight;
    if (client == 0)
        line += " (only the frame shows)";
    else
        line += " shows picture pixels (0,0) to (" + std::to_string(w.clientWidth - 1) + "," +
                std::to_string(w.clientHeight - 1) + ") of " + Size(pictureWidth, pictureHeight);
    if (client != 0 && VisiblePixels(w) != client)
        line += "; the screen cuts it to " + Size(w.visibleRight - w.visibleLeft, w.visibleBottom - w.visibleTop) +
                " from (" + std::to_string(w.visibleLeft) + "," + std::to_string(w.visibleTop) + ")";
    line += ", " + std::to_string(VisiblePixels(w)) + " of " + std::to_string(picture) + " picture pixels on screen";
    return line + "; the game waits 3 s or until a click";
}

// Drawn as the window system composes it: desktop, frame, client area.
std::vector<std::uint32_t> RenderScreen(const SplashWindow& w, const std::uint32_t* pixels,
                                        std::uint32_t pictureWidth, ScreenSize screen)
{
    std::vector<std::uint32_t> out(std::size_t(screen.width) * screen.height, kDesktopColour);
    if (!w.shown)
        return out;
    // The frame: the whole window rectangle, clipped; the client area covers its inside.
    const int x0 = std::max(w.left, 0), x1 = std::min(w.left + w.width, screen.width);
    const int y0 = std::max(w.top, 0), y1 = std::min(w.top + w.height, screen.height);
    for (int y = y0; y < y1; ++y)
        std::fill(&out[std::size_t(y) * screen.width + x0], &out[std::size_t(y) * screen.width + x1], kFrameColour);
    // Client (x, y) is picture (x, y), at screen (left + 1 + x, top + 1 + y).
    for (int y = w.visibleTop; y < w.visibleBottom; ++y) {
        const std::uint32_t* from = pixels + std::size_t(y) * pictureWidth;
        const std::size_t to = std::size_t(w.top + 1 + y) * screen.width + std::size_t(w.left + 1 + w.visibleLeft);
        std::copy(from + w.visibleLeft, from + w.visibleRight, &out[to]);
    }
    return out;
}

}  // namespace splash
