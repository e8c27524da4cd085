#pragma once
// The log list and progress bar of the data-container windows, as both windows show them.
#include <QString>

class QListWidget;
class QProgressBar;

namespace logList {

// The bar's range: thousandths of 0 to 1.
constexpr int kProgressScale = 1000;

// Appends the text's lines to the list, selects the last one and repaints at once, so that
// a long command shows its log while it runs. An empty text adds nothing.
void append(QListWidget* list, const QString& text);
// Sets the bar to value (plus current when relative, held in 0..1); returns the new position.
float move(QProgressBar* bar, float current, float value, bool relative);

}  // namespace logList
