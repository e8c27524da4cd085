#pragma once
// The windows are laid out in twips, as they were designed; 15 twips make one pixel.
#include <QRect>
#include <QString>
#include <QWidget>

namespace twips {

// Pixels of a length in twips, rounded to the nearest pixel.
constexpr int px(int twips) { return (twips + 7) / 15; }
// Twips of a length in pixels.
constexpr int fromPx(int pixels) { return pixels * 15; }
// A rectangle given in twips.
inline QRect twipRect(int left, int top, int width, int height) { return QRect(px(left), px(top), px(width), px(height)); }

// A control put on its parent under its name, at a rectangle given in twips.
template <class W>
W* placed(W* w, QWidget* parent, const char* name, int left, int top, int width, int height) {
    w->setParent(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(twipRect(left, top, width, height));
    return w;
}

}  // namespace twips
