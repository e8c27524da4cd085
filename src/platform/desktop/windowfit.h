#pragma once
// Windows on a small screen: a window whose controls sit at fixed places keeps them in a
// scrolling page, so that it can be made smaller than its design size and every control
// stays reachable; and a window opens at its design size where the work area allows it,
// with its frame inside the work area.
#include <QRect>
#include <QSize>

class QScrollArea;
class QWidget;

namespace windowFit {

// The work area (the screen less its panels) of the screen the window is on.
QRect workArea(const QWidget* window);
// A frameless scroll area that holds `page` at its fixed size, asks for the whole page as
// its size hint and shows scroll bars only when it is made smaller.
QScrollArea* scrollingPage(QWidget* page, QWidget* parent = nullptr);
// Puts `page` into a scrolling page that fills `window` (a plain widget without a layout).
void fillWithPage(QWidget* window, QWidget* page);
// Sizes the window to its size hint, bounded by the work area, and moves its frame inside
// the work area.
void fitToContent(QWidget* window);
// Before a window is shown: the first time it is sized and placed as fitToContent does;
// every time its frame is moved back inside the work area. Where it stands inside is left
// to the window manager.
void openInside(QWidget* window);

}  // namespace windowFit
