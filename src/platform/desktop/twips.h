#pragma once
// The windows are laid out in twips, as they were designed; 15 twips make one pixel.
#include <QRect>

namespace twips {

// Pixels of a length in twips, rounded to the nearest pixel.
constexpr int px(int twips) { return (twips + 7) / 15; }
// Twips of a length in pixels.
constexpr int fromPx(int pixels) { return pixels * 15; }
// A rectangle given in twips.
inline QRect twipRect(int left, int top, int width, int height) { return QRect(px(left), px(top), px(width), px(height)); }

}  // namespace twips
