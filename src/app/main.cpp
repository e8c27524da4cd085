// The program starts by loading its main window with the command line; the window's load
// is the whole start-up, and closing it is the way out.
#include "app/wiring.h"
#include "mainwindow/frmmain.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PXM Loader"));
    QApplication::setApplicationVersion(QStringLiteral("5.0.0"));

    // The switches are looked for anywhere in the whole line, as one text.
    const QString commandLine = QApplication::arguments().mid(1).join(QLatin1Char(' '));
    frmMain mainWindow;
    wiring::install(mainWindow);
    mainWindow.Form_Load(commandLine);
    const int code = mainWindow.isVisible() ? app.exec() : 0;
    wiring::uninstall();
    return code;
}
