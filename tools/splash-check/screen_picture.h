// The whole screen as the player sees it while the splash is up.
#pragma once

#include <cstdint>
#include <vector>

#include "splash_window.h"

namespace splash {

inline constexpr std::uint32_t kDesktopColour = 0xFF3A6EA5;  // any flat colour: the player's desktop varies
inline constexpr std::uint32_t kFrameColour = 0xFF000000;    // the theme's; black in the classic one

// screen.width x screen.height 0xFFRRGGBB pixels, top row first: the
// desktop, the window's frame, and the client area with the picture pixels
// it shows; everything clipped by the screen's edges. pixels: the decoded
// picture, pictureWidth pixels a row (unused when no client area shows).
std::vector<std::uint32_t> RenderScreen(const SplashWindow& window, const std::uint32_t* pixels,
                                        std::uint32_t pictureWidth, ScreenSize screen);

}  // namespace splash
