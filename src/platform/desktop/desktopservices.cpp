#include "desktop/desktopservices.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

namespace desktop {
namespace {
// Where the system-information program is: on Windows the registry says, elsewhere the
// first of the usual desktop tools that is installed.
QString findSystemInformation() {
#ifdef Q_OS_WIN
    const QSettings tools(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                          QSettings::NativeFormat);
    const QString path = tools.value(QStringLiteral("PATH")).toString();
    if (!path.isEmpty()) return path;
    const QSettings location(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location"),
                             QSettings::NativeFormat);
    const QString dir = location.value(QStringLiteral("MSINFO")).toString();
    if (!dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("\\MSINFO32.EXE"))) return dir + QStringLiteral("\\MSINFO32.EXE");
    return QString();
#else
    for (const char* name : {"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor"}) {
        const QString p = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!p.isEmpty()) return p;
    }
    return QString();
#endif
}
}  // namespace

bool openMail(const QString& mailtoUrl) { return servicesLink::get().openMail(mailtoUrl); }
bool startSystemInformation() { return servicesLink::get().startSystemInformation(findSystemInformation()); }
bool openInTextEditor(const QString& path) { return servicesLink::get().openInTextEditor(path); }
bool openDocument(const QString& path) { return servicesLink::get().openDocument(path); }
bool printLines(const QStringList& lines) { return servicesLink::get().printLines(lines); }

bool Services::openMail(const QString& mailtoUrl) { return QDesktopServices::openUrl(QUrl(mailtoUrl)); }

bool Services::startSystemInformation(const QString& program) {
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

bool Services::openInTextEditor(const QString& path) {
#ifdef Q_OS_WIN
    return QProcess::startDetached(QStringLiteral("notepad.exe"), {path});
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

bool Services::openDocument(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

bool Services::printLines(const QStringList& lines) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return false;
    QPrinter printer(info);
    QPainter p;
    if (!p.begin(&printer)) return false;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    p.setFont(font);
    const int step = p.fontMetrics().lineSpacing();
    const int bottom = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    int y = step;
    for (const QString& line : lines) {
        if (y > bottom) {
            printer.newPage();
            y = step;
        }
        p.drawText(0, y, line);
        y += step;
    }
    return p.end();
}

void removeCloseItem(QWidget* window) {
    if (!window) return;
    Qt::WindowFlags f = window->windowFlags();
    if (!(f & Qt::CustomizeWindowHint)) {
        // Customising drops every hint not named, so keep the title, menu and size buttons.
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
        if ((f & Qt::WindowType_Mask) == Qt::Window) f |= Qt::WindowMinMaxButtonsHint;
    }
    f &= ~Qt::WindowCloseButtonHint;
    if (f == window->windowFlags()) return;
    const bool visible = window->isVisible();
    window->setWindowFlags(f);  // this hides a shown window
    if (visible) window->show();
}

}  // namespace desktop
