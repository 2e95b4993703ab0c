// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>

// Positions and sizes are designed in twips (1/1440 inch); the window works in logical pixels,
// 15 twips each. Qt scales logical pixels on high-density screens.
namespace twips {

constexpr int kPerPixel = 15;

// The window's title bar and borders, as an outer height adds them to the client height.
constexpr int kFrameHeight = 370;
// Its left and right borders together.
constexpr int kFrameWidth = 120;

inline int toPixels(double t) { return static_cast<int>(std::lround(t / kPerPixel)); }
inline double fromPixels(double px) { return px * kPerPixel; }

} // namespace twips
