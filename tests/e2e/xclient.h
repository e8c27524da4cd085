#pragma once
// The test's own X connection to its virtual display: the window manager asked to close a
// window, as its title bar's close button does.
#include <QString>

namespace e2e {

// Asks the window manager of that display to close the window; false when not sent.
bool requestClose(const QString& display, const QString& window);

}  // namespace e2e
