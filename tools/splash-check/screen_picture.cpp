// Drawn as the window system composes it: desktop, frame, client area.
#include "screen_picture.h"

#include <algorithm>

namespace splash {

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
