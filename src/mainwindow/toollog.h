#pragma once
// The module tools' lines in the main log, and the rulers that frame them: a run of
// dashes, a blank and the day's date in the system's short form.
#include "desktop/timeservice.h"
#include "mainwindow/frmmain.h"

#include <QLocale>
#include <QString>

namespace toolLog {

inline void add(const QString& text) {
    if (frmMain* m = frmMain::instance()) m->addMessage(text);
}

inline QString today() { return QLocale::system().toString(TimeService::now().date(), QLocale::ShortFormat); }

// prefix, dashes up to 82 characters in all, a blank and the date.
inline QString ruler(const QString& prefix = QString()) {
    return prefix + QString(82 - prefix.size(), QLatin1Char('-')) + QLatin1Char(' ') + today();
}

}  // namespace toolLog
