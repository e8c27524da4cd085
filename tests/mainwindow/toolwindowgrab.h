#pragma once
// Pictures of the module tools for a look by eye: with KELB_GRAB_DIR set, a test saves the
// window it has filled as NAME.png there.
#include <QString>
#include <QWidget>

namespace toolWindowGrab {

inline void save(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("KELB_GRAB_DIR");
    if (dir.isEmpty()) return;
    w->grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

}  // namespace toolWindowGrab
