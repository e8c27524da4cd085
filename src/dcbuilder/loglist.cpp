#include "dcbuilder/loglist.h"

#include "dcdatabase/logwindow.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

namespace logList {

namespace {

// Shows a window's log and bar on a pace. A long command blocks the event loop, so a
// repaint per line would cost more than the command (the list lays out all its lines
// each time): the window is repainted once kRepaintMs have passed since the last
// showing, and otherwise once the event loop runs again. A child of the window, known by
// its name.
class Pacer : public QObject {
public:
    explicit Pacer(QWidget* window) : QObject(window), m_window(window), m_later(this) {
        setObjectName(name());
        m_later.setSingleShot(true);
        connect(&m_later, &QTimer::timeout, this, &Pacer::show);
    }
    static Pacer& of(QWidget* widget) {
        QWidget* window = widget->window();
        auto* pacer = static_cast<Pacer*>(window->findChild<QObject*>(name(), Qt::FindDirectChildrenOnly));
        return pacer ? *pacer : *new Pacer(window);
    }
    // The list (if any) or the bar changed.
    void changed(QListWidget* list) {
        if (list) m_list = list;
        if (!m_shown.isValid() || m_shown.hasExpired(kRepaintMs))
            show();
        else if (!m_later.isActive())
            m_later.start(0);
    }

private:
    static QString name() { return QStringLiteral("logListPacer"); }
    void show() {
        m_later.stop();
        if (m_list) m_list->setCurrentRow(m_list->count() - 1);  // scrolls to the newest line
        m_window->repaint();
        m_shown.start();
    }

    QWidget* m_window;
    QPointer<QListWidget> m_list;
    QTimer m_later;
    QElapsedTimer m_shown;
};

}  // namespace

void append(QListWidget* list, const QString& text) {
    const QStringList lines = logWindow::messageLines(text);
    if (lines.isEmpty()) return;
    list->addItems(lines);
    Pacer::of(list).changed(list);
}

float move(QProgressBar* bar, float current, float value, bool relative) {
    const float position = logWindow::progressValue(current, value, relative);
    const int shown = int(position * kProgressScale + 0.5f);
    if (shown == bar->value()) return position;
    // The bar would repaint itself at once: it is painted with the window instead.
    bar->setUpdatesEnabled(false);
    bar->setValue(shown);
    bar->setUpdatesEnabled(true);
    Pacer::of(bar).changed(nullptr);
    return position;
}

}  // namespace logList
