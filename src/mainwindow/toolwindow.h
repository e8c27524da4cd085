#pragma once
// What the module tools' windows share: one object per window, made on first use and kept
// until the program ends, and the load and unload that register it as a loaded window.
#include "services/modglobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <tuple>

class QGroupBox;
class QTableWidget;

template <class Form>
class OneWindow {
public:
    static Form& instance() {
        if (!s_form) s_form = new Form;
        return *s_form;
    }
    // The window when it was made, without making it.
    static Form* existing() { return s_form; }

private:
    static inline Form* s_form = nullptr;
};

namespace toolWindow {

// The window takes the program's icon and counts as loaded.
inline void load(QWidget* w, bool& loaded) {
    w->setWindowIcon(QApplication::windowIcon());
    loaded = true;
    modGlobal::g_registerWindow(w);
}

inline void unload(QWidget* w, bool& loaded) {
    if (!loaded) return;
    loaded = false;
    modGlobal::g_unregisterWindow(w);
}

// The close box does what the window's Exit does, and nothing while Exit is disabled: the
// window is reading or writing a module then, and its command goes on.
template <class Form>
void closeAsExit(Form& w, QCloseEvent* e) {
    if (!w.cmdExit->isEnabled()) {
        e->ignore();
        return;
    }
    e->accept();
    w.cmdExit_Click();
}

// The layout of the overview and the details: the window's name and title, a read-only
// grid without row headers in a captioned frame, and "Exit" at the bottom right.
using GridWindow = std::tuple<QGroupBox*, QTableWidget*, QPushButton*>;  // frame, grid, Exit
GridWindow buildGridWindow(QWidget* w, const char* objectName, const QString& title, const char* frameName,
                           const QString& frameCaption, const char* gridName);

}  // namespace toolWindow
