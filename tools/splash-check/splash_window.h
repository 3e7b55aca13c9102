// The window the splash opens for a decode outcome on a given screen: where
// it stands, which picture pixels its client area shows, what the screen
// cuts off, how long the game waits, and the screen drawn as the player sees it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace splash {

struct ScreenSize {
    int width = 1920;
    int height = 1080;
};

struct SplashWindow {
    bool shown = false;        // a window opens (the decoder gave a bitmap)
    int left = 0, top = 0;     // window rectangle in screen pixels; may be negative
    int width = 0, height = 0; // the bitmap's size: 1x1 for a picture with a zero side
    int clientWidth = 0;       // (width - 2) x (height - 2) inside the one-pixel frame;
    int clientHeight = 0;      // client (x, y) shows picture (x, y) at window (x + 1, y + 1)
    int visibleLeft = 0, visibleTop = 0;      // the client area's part on the screen,
    int visibleRight = 0, visibleBottom = 0;  // in client pixels, right and bottom exclusive
    int waitMs = 0;            // 3000 until the timer, less after a click; 0 without a window
};

// "WxH", as every size is printed.
inline std::string Size(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// result, width, height: DecodeJpeg's outcome.
SplashWindow ModelSplashWindow(std::int32_t result, std::uint32_t width, std::uint32_t height, ScreenSize screen);

// Picture pixels on the screen: the visible client area.
inline std::int64_t VisiblePixels(const SplashWindow& w)
{
    return std::int64_t{w.visibleRight - w.visibleLeft} * (w.visibleBottom - w.visibleTop);
}

inline constexpr std::uint32_t kDesktopColour = 0xFF3A6EA5;  // any flat colour: the player's desktop varies
inline constexpr std::uint32_t kFrameColour = 0xFF000000;    // the theme's; black in the classic one

// screen.width x screen.height 0xFFRRGGBB pixels, top row first: the
// desktop, the window's frame, and the client area with the picture pixels
// it shows; everything clipped by the screen's edges. pixels: the decoded
// picture, pictureWidth pixels a row (unused when no client area shows).
std::vector<std::uint32_t> RenderScreen(const SplashWindow& window, const std::uint32_t* pixels,
                                        std::uint32_t pictureWidth, ScreenSize screen);

// One line for the text report, e.g. "window: 480x270 at (720,405) on 1920x1080, ...".
std::string DescribeWindow(const SplashWindow& window, std::uint32_t pictureWidth, std::uint32_t pictureHeight,
                           ScreenSize screen);

}  // namespace splash
