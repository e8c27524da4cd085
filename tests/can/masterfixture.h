#pragma once
// The fixture of the CAN master's tests: a configuration database made for the case, the
// process's private virtual bus with a simulator on each of its two channels, a scripted
// answerer for the boxes, fakes of the main window's hooks, and the master, the heartbeat
// supervision and the auto-download state reset between tests.
#include "can/canmessageform.h"
#include "can/links.h"
#include "cancomponentfake.h"
#include "can/systemsymbols.h"
#include "lib/profileoptions.h"
#include "lib/simulator.h"
#include "services/errtrap.h"
#include "testsupport.h"

#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <ostream>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class frmCANopen;

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace mastertest {

// One virtualcan port for the whole process: Qt hosts one bus server per process.
quint16 busPort();
QString busUrl(int channel);

// Symbol numbers of the test configuration.
enum Symbol : qint32 {
    symModuleStateRO = 100, symModuleStateRW = 101, symUpdateStateRO = 102, symUpdateFailureRO = 103,
    symEngStandstill = 104, symCrcFirstAppl = 200, symTotNoOfCyl = 201, symBuild = 202, symDeveloper = 203,
    symHullNo = 210, symAutoDownload = 220, symCrcValueImo = 221, symCrcLenImo = 222, symCrcValueAppl = 223,
    symCrcLenAppl = 224, symEngineType = 230,
};

// Records every frame a simulator sees (thread-safe).
class FrameLog {
public:
    void add(const sim::Frame& f);
    std::vector<sim::Frame> frames() const;
    std::vector<sim::Frame> withId(quint32 id) const;
    void clear();

private:
    mutable QMutex m_mutex;
    std::vector<sim::Frame> m_frames;
};

// The message form the bus set-up reports on. The master keeps the form after the test
// that gave it has ended; wrapped as the program wraps its windows, a report after that
// end is skipped instead of landing in a destroyed fixture.
struct FakeMessageForm : QObject {
    QStringList lines;
    int errorSignals = 0;
    void addMessage(const QString& t) { lines << t; }
    void errorSignal(bool f) {
        if (f) ++errorSignals;
    }
    CanMessageForm form() { return messageFormOf(*this); }
};

// What the drain hands to the main window.
struct SetterCall {
    QString setter;
    QByteArray value;
    qint32 key;
};
class FakeSetters : public MainWindowSymbolSetters {
public:
    std::vector<SetterCall> calls;
    // Named as the setter without its "g_set".
    void setSystemValue(const SystemSymbol& row, const QByteArray& v, qint32& k) override {
        calls.push_back({QString::fromLatin1(row.setter).mid(5), v, k});
    }
};
class FakeDisplay : public MainWindowConnectionDisplay {
public:
    int refreshes = 0;
    void g_updateConnectionStatus() override { ++refreshes; }
};

// Waits in real time with the event loop running until pred() holds.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 3000);
// Moves the virtual clock on by one heartbeat tick every few real milliseconds until
// pred() holds.
bool tickUntil(const std::function<bool()>& pred, int timeoutMs = 3000);
// Lets the event loop run for that long in real time.
void settle(int ms);

QByteArray bytes(std::initializer_list<int> b);
// A symbol-value message (0x411): the key low byte first, the four value bytes at 4 to 7.
QByteArray symbolFrame(qint32 key, const QByteArray& value);

class MasterTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Rebuilds the configuration database with the test's items on top of the defaults
    // (both converters on the private bus, the symbol numbers) and reads it.
    void config(const std::map<QString, QString>& items = {});
    // The simulator on channel 0 or 1, started on first use.
    sim::Simulator& bus(int channel = 0);
    FrameLog& log(int channel = 0) { return m_logs[channel]; }
    // A node with a device name, hardware and software version, sending heartbeats.
    sim::Node* addNode(int channel, quint8 id, const QByteArray& softwareVersion = "3.10",
                       const QByteArray& hardwareVersion = "7", int heartbeatMs = 100);

    // Adds a row to the configuration's `messages` table and reads the configuration again.
    void addUserText(qint32 id, const QString& text);
    // The symbol numbers above as the simulated modules' state and standstill symbols.
    static QList<sim::SymbolSpec> stateSymbols();

    frmCANopen& master();
    // A COB-ID that the master's drain skips.
    static constexpr quint32 kProbeId = 0x0FF;
    void syncBus();
    // The SDO time-out that initialise gives the component: the bus is shared with the other
    // tests of the run, so a slow answer is no failure. A test about the master's own 200 ms
    // sets them again.
    static constexpr qint32 kSdoTimeoutMs = 1000;
    // g_initialise on a bus name and device number; the message form is `form`.
    bool initialise(const QString& busName, quint8 deviceNo = 255, bool darvo = false);
    // Raw frames from the simulator on channel 0, then a marker symbol behind them; returns
    // once the master has dispatched the marker (so every frame before it has been drained),
    // and takes the marker out of the recorded setter calls again.
    void deliver(const std::vector<std::pair<quint32, QByteArray>>& frames);

    QTemporaryDir dir;
    std::optional<testsupport::VirtualClockScope> clock;
    testsupport::ScriptedAnswerer answers;
    std::vector<ErrPtnr::ErrorInfo> errors;
    FakeMessageForm form;
    FakeSetters setters;
    FakeDisplay display;
    testsupport::CanComponentFake canComponent;
    double dllVersion = 0;

private:
    std::unique_ptr<sim::Simulator> m_sims[2];
    FrameLog m_logs[2];
};

}  // namespace mastertest
