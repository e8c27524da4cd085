#pragma once
// What the program knows about itself: its version, its file name and its title.
#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

namespace programInfo {

inline constexpr int versionMajor = 5;
inline constexpr int versionMinor = 0;
inline constexpr int versionRevision = 0;

// major.minor.revision
inline QString versionText() {
    return QStringLiteral("%1.%2.%3").arg(versionMajor).arg(versionMinor).arg(versionRevision);
}
// The program's file name without its extension.
inline QString exeName() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); }
// The folder of the executable.
inline QString exeDir() { return QCoreApplication::applicationDirPath(); }
// The application's title, which boxes without a title of their own show.
inline QString title() { return QCoreApplication::applicationName(); }

}  // namespace programInfo
