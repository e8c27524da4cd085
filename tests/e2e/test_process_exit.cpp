// The program as the engineer runs it: its own process on a virtual display, against the
// simulated site of this test's bus, closed with a click on its Exit button.
#include "sitefixture.h"

#include <QProcess>
#include <QProcessEnvironment>

using namespace e2e;

namespace {

// Output of a short helper program, or empty when it failed.
QString run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
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
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    const QProcessEnvironment& env() const { return m_env; }
    // The id of the shown window whose title matches the pattern, or empty.
    QString window(const QString& titlePattern) const {
        return run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", titlePattern}, m_env).section('\n', 0, 0);
    }
    bool click(const QString& window, int x, int y) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), {"mousemove", "--window", window, QString::number(x), QString::number(y),
                                            "click", "1"});
        return p.waitForFinished(5000) && p.exitCode() == 0;
    }
    int height(const QString& window) const {
        const QString shell = run(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window}, m_env);
        for (const QString& line : shell.split('\n'))
            if (line.startsWith(QLatin1String("HEIGHT="))) return line.mid(7).toInt();
        return 0;
    }

private:
    QProcess m_server;
    QProcessEnvironment m_env;
};

}  // namespace

TEST_F(SiteTest, ExitWhileTheStartUpAboutBoxIsUpEndsTheProcess) {
    startSite("qtm", 0);
    VirtualDisplay display;
    ASSERT_TRUE(display.start()) << "no virtual display (Xvfb)";

    // A runtime folder of its own, so that no other run of the program counts as this one.
    QTemporaryDir runtime;
    QProcessEnvironment env = display.env();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess loader;
    loader.setProcessEnvironment(env);
    loader.setProcessChannelMode(QProcess::MergedChannels);
    loader.start(QStringLiteral(KELB_PXMLOADER), {"/QTM", "/develop", "/db=" + dir.path()});
    ASSERT_TRUE(loader.waitForStarted(5000));
    const auto running = [&] { return loader.state() != QProcess::NotRunning; };

    // The about box closes itself after 5 s; the Exit button is pressed while it is up.
    QString about, main;
    ASSERT_TRUE(waitFor([&] {
        about = display.window(QStringLiteral("^About "));
        return !about.isEmpty() || !running();
    }, 20000)) << "no about box";
    ASSERT_FALSE(about.isEmpty()) << loader.readAll().toStdString();
    main = display.window(QStringLiteral("for QTM$"));
    ASSERT_FALSE(main.isEmpty());
    // Exit at (9960 + 660, 1425 + 187) twips of the 572 pixels high area under the menu bar.
    const int height = display.height(main);
    ASSERT_GT(height, 572);
    ASSERT_TRUE(display.click(main, 708, height - 572 + 107));

    // The window goes at once; the process must go with it, not stay behind without one.
    EXPECT_TRUE(waitFor([&] { return display.window(QStringLiteral("for QTM$")).isEmpty(); }, 5000));
    const bool ended = waitFor([&] { return !running(); }, 10000);
    if (!ended) {
        loader.kill();
        loader.waitForFinished(3000);
    }
    EXPECT_TRUE(ended) << "the process still runs after Exit";
    EXPECT_EQ(loader.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(loader.exitCode(), 0) << loader.readAll().toStdString();
}
