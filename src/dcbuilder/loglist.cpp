#include "dcbuilder/loglist.h"

#include "dcdatabase/logwindow.h"

#include <QListWidget>
#include <QProgressBar>

namespace logList {

void append(QListWidget* list, const QString& text) {
    const QStringList lines = logWindow::messageLines(text);
    if (lines.isEmpty()) return;
    list->addItems(lines);
    list->setCurrentRow(list->count() - 1);
    list->repaint();
}

float move(QProgressBar* bar, float current, float value, bool relative) {
    const float position = logWindow::progressValue(current, value, relative);
    bar->setValue(int(position * kProgressScale + 0.5f));
    return position;
}

}  // namespace logList
