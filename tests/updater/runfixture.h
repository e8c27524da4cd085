#pragma once
// The update run on the virtual clock with a simulated site behind its links: modules with
// lamps, published symbol values that arrive between ticks, a download and a start that
// succeed or fail per module, and a configuration database with the build table and every
// user text the run shows.
#include "mainwindow/applicationtypelink.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "updater/updatemoduleslink.h"
#include "updater/updaterun.h"
#include "updater/updatewindow.h"
#include "fakecanmaster.h"
#include "testsupport.h"

#include "mainwindow/frmmain.h"

#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace runtest {

// Symbol numbers of the test configuration.
enum Sym : qint32 {
    symFirstCrc = 106,
    symCylinders = 107,
    symBuild = 108,
    symDeveloper = 109,
    symHull = 110,  // to 113
    symAutoDownload = 117,
    symCrcImo = 118,
    symCrcLenImo = 119,
    symCrcAppl = 114,
    symCrcLenAppl = 115,
    symEngine = 120,      // 4 symbols
    symEngineLong = 130,  // 8 symbols
};

constexpr qint32 oldCrc = 0x1111;
constexpr qint32 newCrc = 0x2222;

QByteArray le32(qint32 v);
QByteArray text4(const char* s);
// The system-information row of that setter ("g_setBuild").
const SystemSymbol& setter(const char* name);

struct FakeSite : UpdateModulesLink {
    int cylinders = 3;
    moduleProtocol::Selection app{};
    moduleProtocol::Selection boot{};
    std::map<qint32, QByteArray> published;          // by symbol number: what a request makes public
    std::map<qint32, QByteArray> publishedByKey;     // by whole key (one module's): before published
    std::set<qint32> silentKeys;                     // keys whose request nothing answers
    std::vector<std::pair<qint32, QByteArray>> pending;  // published, not yet drained
    std::vector<std::pair<qint32, int>> serviceBits;
    std::vector<std::pair<qint32, QByteArray>> writes;
    QStringList calls;
    std::set<int> downloadFails;
    std::set<int> startFails;
    std::optional<qint32> echo;  // the first-application CRC the modules echo; none: as written
    bool silentEcho = false;
    qint32 installedCrc = newCrc;  // the application CRC the modules publish after a download
    QString programFolder;
    int exits = 0;
    int ends = 0;  // reports that the run has ended
    moduleProtocol::Selection downloaded{};
    std::function<void()> duringDownload;

    // The bus set-up: whether the bus comes up, whether a module then answers (the master's
    // boot-up flag), and what the module check reports meanwhile.
    bool busUp = true;
    bool modulesAnswer = true;
    int connects = 0;
    std::function<void()> duringSetUp;

    FakeSite();
    void initConnection(bool mBusOnly, bool darvo, bool& ok) override;
    void setUserRights() override {}
    bool applicationRunning(int m) override { return app.at(m); }
    bool bootloaderRunning(int m) override { return boot.at(m); }
    bool moduleSelectable(int m) override { return app.at(m) || boot.at(m); }
    void setApplicationFile(const QString& path) override { calls << "setApplicationFile " + path; }
    // The download sends sentInstead where set (the window's "_New" variant).
    QString sentFile(const QString& path) override { return sentInstead.isEmpty() ? path : sentInstead; }
    QString sentInstead;
    void download(const moduleProtocol::Selection& modules, moduleProtocol::Selection& done) override;
    void startApplication(const moduleProtocol::Selection& modules) override;
    void login() override { calls << "login"; }
    // The symbol messages and the info-block read, as the fixture's CAN master hands them on.
    void setServiceBit(qint32 key, int value);
    void writeSymbol(qint32 symbol, int kind, const QByteArray& value);
    // The single-section primitives: scripted results, taken in order (then the default).
    std::deque<bool> infoBlockWrites, sectionWrites;
    std::deque<int> statuses;
    QByteArray infoBlock;  // what a read of a section's info block brings; empty: the read fails
    template <class T>
    static T next(std::deque<T>& q, T otherwise) {
        if (q.empty()) return otherwise;
        const T v = q.front();
        q.pop_front();
        return v;
    }
    bool writeInfoBlock(int module, qint32 section, const QString&, const QByteArray&, qint32 start) override {
        calls << QStringLiteral("writeInfoBlock %1 %2 %3").arg(module).arg(section).arg(start, 0, 16);
        return next(infoBlockWrites, true);
    }
    int loadingStatus(int) override { return next(statuses, 0); }
    bool writeSection(int module, qint32 section, const QByteArray& image) override {
        calls << QStringLiteral("writeSection %1 %2 %3").arg(module).arg(section).arg(image.size());
        return next(sectionWrites, true);
    }
    bool readInfoBlock(int module, qint32 section, QByteArray& block) {
        calls << QStringLiteral("readInfoBlock %1 %2").arg(module).arg(section);
        block = infoBlock;
        return !infoBlock.isEmpty();
    }
    bool restartAfterDownload(int module) override {
        calls << QStringLiteral("restartAfterDownload %1").arg(module);
        if (startFails.count(module)) return false;
        app.at(module) = true;
        boot.at(module) = false;
        return true;
    }
    void showMainWindow() override { calls << "showMainWindow"; }
    QString programDir() override { return programFolder; }
    void exitProgram() override { ++exits; }
    void runEnded() override { ++ends; }
};

// The file's type is read from the file itself; the modules' type is the test's.
struct FakeApplicationType : ApplicationTypeLink {
    qint32 start = 0x30000;
    qint32 connected = 0;
    int connectionChecks = 0;
    qint32 g_getApplStartAddr(const QString&) override { return start; }
    qint32 g_checkAppFileType(const QString& f) override;
    qint32 g_checkAppConnectionType() override {
        ++connectionChecks;
        return connected;
    }
};

QByteArray fileBytes(const QString& path);

// An S-record application file whose image begins with the marker text and whose
// application CRC is crc (the build's newest by default).
void writeLoadFile(const QString& path, const QByteArray& marker = "KELB-3817 PXM-20 application",
                   quint16 crc = newCrc);

class RunTest : public ::testing::Test {
public:
    // What the module check of the bus set-up reports.
    void notConnectedToSpare(int module) { run->notConnectedToSpare(module); }

protected:
    void SetUp() override;
    void TearDown() override;

    // The configuration: build table, symbol numbers, every user text ("T<n>"; 61, 63 and
    // 111 show their values), and the build's load file in the program folder. Texts with
    // the OK button: the given numbers.
    void makeConfig(const std::set<int>& okTexts = {1}, const std::map<QString, QString>& extra = {});
    // Makes the run (after the configuration) and starts it.
    void start();

    // One tick of the timer, when it runs: first what the modules published is drained.
    bool tick();
    // Delivers the queued publications as the CAN master's drain does.
    void drain() { drain(*run); }
    void drain(UpdateRun& r);
    // Ticks until pred holds (pressing OK at every OK prompt when pressOk); false after max.
    bool tickUntil(const std::function<bool()>& pred, int max = 400, bool pressOk = true);
    // Ticks until the step's work has run once.
    bool reachWork(int step, bool pressOk = true);
    bool promptShown() const;
    void pressOk();
    void pressExit();

    QString userText() const;
    QStringList log() const;
    bool logHas(const QString& line) const { return log().contains(line); }
    quint32 fieldColour(int step) const;
    QString reportText() const;
    // The exit button at the end: the report's block is the failed one, never the success.
    void exitWithFailedReport();
    QString loadFilePath() const;

    // User texts that makeConfig leaves out of the site's database.
    std::set<int> textsMissing;
    QTemporaryDir dir;
    testsupport::VirtualClockScope clock;
    std::unique_ptr<testsupport::ScriptedAnswerer> answers;
    std::vector<ErrPtnr::ErrorInfo> errors;
    FakeSite site;
    FakeApplicationType appType;
    // Without a bus; its symbol messages and info-block reads go to the site, and what it
    // answers of the module states the test sets in its `states`.
    testsupport::FakeCanMaster master;
    std::unique_ptr<UpdateWindow> w;
    std::unique_ptr<UpdateRun> run;
};

// The run as the program wires it into its main window, with the simulated site behind.
class WiredRunTest : public RunTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Ticks the program's run, answering OK at every OK prompt, until pred holds.
    bool runUntil(const std::function<bool()>& pred, int max = 400);

    std::unique_ptr<frmMain> main;
    UpdateRun* wired = nullptr;
};

}  // namespace runtest
