#pragma once
// The fixture of the mode-change tests: the virtual clock, a fake main window, and a fake
// control system behind the CAN master's operations. The fake modules switch mode a set
// time after their command (0x1F51 write, or module 0's command register on the M-Bus)
// and report their states through heartbeat supervision and the auto-download state, as
// the drain would; the program-control writes, commands and log-ins are recorded in order.
#include "can/links.h"
#include "can/moduleprotocol.h"
#include "fakecanmaster.h"
#include "masterfixture.h"

#include <QStringList>
#include <array>
#include <functional>
#include <map>

namespace modechangetest {

using moduleProtocol::moduleCount;
using moduleProtocol::Selection;
Selection select(std::initializer_list<int> modules);

class FakeMain : public ModeChangeMainWindow {
public:
    bool abort = false;
    QStringList lines;  // addMessage and downloadFailure, in order
    std::vector<std::pair<QString, int>> failures;
    Selection green{};
    Selection userSelection{};
    std::vector<Selection> restored;
    Selection versionChange{};

    bool m_abort() const override { return abort; }
    void set_m_abort(bool on) override { abort = on; }
    void addMessage(const QString& t) override { lines << t; }
    // The line as the main window writes it: the module named after the indentation.
    void downloadFailure(const QString& msg, qint16 m) override {
        failures.push_back({msg, m});
        qsizetype blanks = 0;
        while (blanks < msg.size() && msg[blanks] == QLatin1Char(' ')) ++blanks;
        lines << msg.left(blanks) + QStringLiteral("PXM %1: ").arg(m) + msg.mid(blanks);
    }
    bool g_downloadStatusOk(qint16 m) override { return green[m]; }
    Selection g_getUserSelection() override { return userSelection; }
    void g_restoreUserSelection(const Selection& s) override { restored.push_back(s); }
    bool g_getBootloaderVersionChange(qint16 m) override { return versionChange[m]; }
    void g_resetBootloaderVersionChange(qint16 m) override { versionChange[m] = false; }
};

enum Mode { off = 0, app = 1, boot = 2 };
constexpr qint64 never = -1;

struct Event {
    qint64 t;      // virtual ms since the test's start
    QString what;  // "sdo 71 1F51/6 01 t0", "cmd 28 00 02 00", "login", "reset 3"
};

class ModeChangeTest : public mastertest::MasterTest {
protected:
    void SetUp() override;
    void TearDown() override;

    void sBus();
    void mBus();
    void qtm();
    // Puts a module into a mode at once (states reported as the drain would).
    void set(int module, Mode mode);
    // The module goes off the bus at once (its heartbeat supervision forgets it).
    void drop(int module);
    // How long the module takes to switch after its command; never: it does not switch.
    void delay(int module, qint64 ms) { m_delay[module] = ms; }
    qint64 now() const;
    QStringList program() const;  // the recorded events' texts

    FakeMain main;
    std::vector<Event> events;
    std::vector<QString> probes;   // the writes to node 0, index 0
    int nmtStarts = 0;
    std::map<int, int> searches;   // per module
    std::vector<bool> refreshAtSearch;
    bool commandAccepted = true;   // module 0 takes its command-register writes
    std::function<void(int module, int count)> onSearch;

private:
    void schedule(int module, Mode target);
    void apply();
    void report();
    QString hex(const QByteArray& b) const;

    std::array<Mode, moduleCount> m_mode{};
    std::array<qint64, moduleCount> m_delay{};
    std::array<qint64, moduleCount> m_due{};
    std::array<Mode, moduleCount> m_target{};
    bool m_commandEcho = false;
    qint64 m_start = 0;
    testsupport::FakeCanMaster m_bus;
};

}  // namespace modechangetest
