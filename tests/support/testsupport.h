#pragma once
// Test support shared by every test executable: a scripted answerer for the dialog seam,
// desktop services that record instead of starting programs, a temporary folder, a free
// loopback port for a private virtual CAN bus, and a real-time wait.
#include "desktop/desktopservices.h"
#include "desktop/dialogs.h"
#include "virtualclock.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

class QScrollArea;
#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace testsupport {

// Replies to every dialog from a script and records what was shown. Unscripted boxes get
// the cautious answer (Cancel / No), so an unexpected question never says yes.
class ScriptedAnswerer : public Dialogs::Answerer {
public:
    ScriptedAnswerer();   // installs itself
    ~ScriptedAnswerer() override;  // removes itself

    // Queue answers, used in order.
    void push(int button) { Dialogs::Answer a; a.button = button; m_queue.push_back(a); }
    void pushText(const QString& text, int button = Dialogs::vbOK) { Dialogs::Answer a; a.text = text; a.button = button; m_queue.push_back(a); }
    // A form answer: the callback works the form's controls and returns the result code.
    void pushForm(std::function<int(QDialog*)> f) { m_forms.push_back(std::move(f)); }

    const std::vector<Dialogs::Request>& shown() const { return m_shown; }
    QStringList texts() const;
    bool anyTextContains(const QString& part) const;
    void clear() { m_shown.clear(); }

    Dialogs::Answer answer(const Dialogs::Request& r) override;

private:
    std::deque<Dialogs::Answer> m_queue;
    std::deque<std::function<int(QDialog*)>> m_forms;
    std::vector<Dialogs::Request> m_shown;
};

// Stands in for the desktop services while it lives: records each request as its kind and
// target (the system-information program found, the printed lines joined by "\n") and
// answers `result`.
enum class DesktopAction { OpenMail, StartSystemInformation, OpenInTextEditor, PrintLines, OpenDocument };
class DesktopRecorder : public desktop::Services {
public:
    DesktopRecorder();
    ~DesktopRecorder() override;
    std::vector<std::pair<DesktopAction, QString>> seen;
    bool result = true;
    // The targets of the requests of one kind, in order.
    QStringList targets(DesktopAction action) const;

    bool openMail(const QString& url) override { return record(DesktopAction::OpenMail, url); }
    bool startSystemInformation(const QString& program) override {
        return record(DesktopAction::StartSystemInformation, program);
    }
    bool openInTextEditor(const QString& path) override { return record(DesktopAction::OpenInTextEditor, path); }
    bool openDocument(const QString& path) override { return record(DesktopAction::OpenDocument, path); }
    bool printLines(const QStringList& lines) override {
        return record(DesktopAction::PrintLines, lines.join(QLatin1Char('\n')));
    }

private:
    bool record(DesktopAction action, const QString& target) {
        seen.emplace_back(action, target);
        return result;
    }
};

// A loopback TCP port that was free a moment ago.
quint16 freePort();
// The virtualcan URL for a channel on that port: tcp://127.0.0.1:PORT/can0.
QString busUrl(quint16 port, int channel = 0);

// A whole file's bytes (empty when it cannot be read), and a whole file written anew;
// false when it could not be written.
QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// A picture of a window kept as a test artefact: NAME.png in the build folder's test-grabs
// (and in $KELB_GRAB_DIR when it is set). False when it could not be saved.
bool keepGrab(QWidget* window, const QString& name);
// The work area of the tests' screen, 1280 x 800.
QRect workArea();
// The shown controls of a scrolling page whose top-left corner cannot be scrolled into
// the area's view (their object or class names).
QStringList unreachable(QScrollArea* area);

// Waits in real time with the event loop running until pred() holds; false on time-out.
// eachRound, when given, runs after every round of events (to move a test clock on, say).
bool waitFor(const std::function<bool()>& pred, int timeoutMs, const std::function<void()>& eachRound = {});

}  // namespace testsupport
