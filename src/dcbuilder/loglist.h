#pragma once
// The log list and progress bar of the data-container windows, as both windows show them.
#include <QString>

class QListWidget;
class QProgressBar;

namespace logList {

// The bar's range: thousandths of 0 to 1.
constexpr int kProgressScale = 1000;
// How often a long command that blocks the event loop shows its log: a few times a second.
constexpr int kRepaintMs = 200;

// Appends the text's lines to the list in constant time per line. The newest line is
// selected and the window repainted at once when the last showing is kRepaintMs past,
// otherwise as soon as the event loop runs again. An empty text adds nothing.
void append(QListWidget* list, const QString& text);
// Sets the bar to value (plus current when relative, held in 0..1); returns the new position.
// The bar is painted with the log, on the same pace.
float move(QProgressBar* bar, float current, float value, bool relative);

}  // namespace logList
