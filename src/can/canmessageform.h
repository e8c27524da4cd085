#pragma once
// The window the CAN master reports a bus set-up on: a log line and the failed mark. The
// bus set-up hands the message window, the update run its own main window; any window
// with addMessage(text) and errorSignal(flag) (or errorSignal(flag, result)) will do.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

struct CanMessageForm {
    std::function<void(const QString&)> addMessage;
    std::function<void(bool)> errorSignal;
};

namespace canMessageFormDetail {
template <class W>
void errorSignal(W& w, bool flag) {
    if constexpr (requires { w.errorSignal(true); }) {
        w.errorSignal(flag);
    } else {
        bool result = false;
        w.errorSignal(flag, result);
    }
}
}  // namespace canMessageFormDetail

// Wraps a window; a window that is gone by the time the master reports is skipped.
template <class W>
CanMessageForm messageFormOf(W& window) {
    QPointer<W> p(&window);
    CanMessageForm f;
    f.addMessage = [p](const QString& text) { if (p) p->addMessage(text); };
    f.errorSignal = [p](bool flag) { if (p) canMessageFormDetail::errorSignal(*p, flag); };
    return f;
}
