#pragma once
// A virtual X display of a test's own (Xvfb), and the helpers that work the program's
// windows on it as the engineer would: find a window, click, type keys, take a picture.
#include "sitefixture.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace e2e {

// Output of a short helper program, or empty when it failed.
inline QString run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// A virtual X display of the test's own, gone with the object.
class VirtualDisplay {
public:
    bool start() {
        // The server picks a free display number and writes it to its output.
        m_server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!m_server.waitForStarted(5000)) return false;
        if (!waitFor([&] { return m_server.canReadLine() || m_server.state() == QProcess::NotRunning; }, 10000)) return false;
        const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
        if (number.isEmpty()) return false;
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + number);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.canbus*=false"));
        return true;
    }
    ~VirtualDisplay() {
        m_manager.terminate();
        m_manager.waitForFinished(3000);
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    // A window manager (openbox) on the display, as the engineer's desktop has one: it
    // draws the title bars with their close buttons and follows the windows' hints.
    bool startWindowManager() {
        m_manager.setProcessEnvironment(m_env);
        m_manager.start(QStringLiteral("openbox"), {"--sm-disable"});
        if (!m_manager.waitForStarted(5000)) return false;
        // The manager is there once it has set up its check window on the root.
        return waitFor([&] {
            return m_manager.state() != QProcess::Running ||
                   !run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}, m_env).contains("not found");
        }, 10000) && m_manager.state() == QProcess::Running;
    }
    // The actions the window manager offers on the window (_NET_WM_ALLOWED_ACTIONS).
    QString allowedActions(const QString& window) const {
        return run(QStringLiteral("xprop"), {"-id", window, "_NET_WM_ALLOWED_ACTIONS"}, m_env);
    }
    QString displayName() const { return m_env.value(QStringLiteral("DISPLAY")); }
    const QProcessEnvironment& env() const { return m_env; }
    // Starts the program on this display with a runtime folder of its own, so that no
    // other run of the program counts as this one.
    bool startProgram(QProcess& program, const QString& runtimeDir, const QStringList& args) const {
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(KELB_PXMLOADER), args);
        return program.waitForStarted(5000);
    }
    // The id of the shown window whose title matches the pattern, or empty.
    QString window(const QString& titlePattern) const {
        return run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", titlePattern}, m_env).section('\n', 0, 0);
    }
    // The id of that window once it is shown; empty when the program ended first or the
    // time ran out.
    QString shownWindow(const QString& titlePattern, const QProcess& program, int ms) const {
        QString id;
        waitFor([&] {
            id = window(titlePattern);
            return !id.isEmpty() || program.state() == QProcess::NotRunning;
        }, ms);
        return id;
    }
    // Button 1 is the left one, 4 and 5 turn the wheel up and down.
    bool click(const QString& window, int x, int y, int button = 1, int times = 1) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), {"mousemove", "--window", window, QString::number(x), QString::number(y),
                                            "click", "--repeat", QString::number(times), "--delay", "150",
                                            QString::number(button)});
        return p.waitForFinished(10000) && p.exitCode() == 0;
    }
    // Keys as xdotool names them ("alt+d", "Return"), to the window that has the focus.
    bool keys(const QString& window, const QStringList& names) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), QStringList{"windowfocus", "--sync", window, "key", "--delay", "150"} + names);
        return p.waitForFinished(10000) && p.exitCode() == 0;
    }
    // A picture of the whole screen, for the engineer's look at the windows.
    bool grab(const QString& pngPath) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("import"), {"-window", "root", pngPath});
        return p.waitForFinished(15000) && p.exitCode() == 0;
    }
    int height(const QString& window) const {
        const QString shell = run(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window}, m_env);
        for (const QString& line : shell.split('\n'))
            if (line.startsWith(QLatin1String("HEIGHT="))) return line.mid(7).toInt();
        return 0;
    }

private:
    QProcess m_server;
    QProcess m_manager;
    QProcessEnvironment m_env;
};


}  // namespace e2e
