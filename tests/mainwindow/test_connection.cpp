// The connection display: the module rows follow the module states, read the hardware
// version on a change of state, warn of old hardware in a KELB installation, and on the
// M-Bus show the engine state and lock the commands while the engine runs.
#include "mainwindowfixture.h"

#include "mainwindow/vbcheckbox.h"

#include <QGroupBox>
#include <QLabel>

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace mwtest;
using namespace vbCheck;
using moduleProtocol::ModuleState;

namespace {
struct ConnectionTest : MainWindowTest {
    using enum ModuleState;
    moduleProtocol::ModuleStates states{};
    bool oldBootloader = false;
    bool enough = true;
    qint32 engine = 0;
    QString hardware = "7.2";
    QStringList hwReads, idChecks;
    // Answers the display's questions from the members above.
    struct Bus : testsupport::FakeCanMaster {
        ConnectionTest* t;
        explicit Bus(ConnectionTest* test) : t(test) {}
        bool oldBootloaderDetectedOnMBus() override { return t->oldBootloader; }
        ModuleStates shownStates() override { return t->states; }
        void checkMBusModuleID(bool boot) override { t->idChecks << (boot ? "boot" : "app"); }
        qint32 engineStandStillStatus() override { return t->engine; }
        bool enoughCylindersToRunEngine() override { return t->enough; }
        QString g_getHardwareVersion(qint16 m, bool boot) override {
            t->hwReads << QString("%1%2").arg(m).arg(boot ? "b" : "a");
            return t->hardware;
        }
    } fake{this};

    void SetUp() override {
        MainWindowTest::SetUp();
        fake.calls = &calls;
        canMasterLink::install(&fake);
        modGlobal::g_applicationType = 6;
    }
    void TearDown() override {
        canMasterLink::install(nullptr);
        MainWindowTest::TearDown();
    }
    // "a" application lamp, "b" bootloader lamp, "-" neither; "x" when the module box is locked.
    QString row(int i) const {
        const bool app = value(w->chkApplicationRunning[i]) == vbChecked;
        const bool boot = value(w->chkBootLoaderRunning[i]) == vbChecked;
        return QString(app && boot ? "ab" : app ? "a" : boot ? "b" : "-") + (enabled(w->chkProgram[i]) ? "" : "x");
    }
};
}  // namespace

TEST_F(ConnectionTest, TheLampsFollowEachModulesState) {
    states = {application, bootloader, none, ModuleState(9), application, none, none, none,
              none,        none,       none, none,           none,        none, bootloader};
    // Module 3 reports a state the display does not know: its row stays as it was.
    setValue(w->chkBootLoaderRunning[3], vbChecked);
    w->lblHW[3]->setText("5");
    w->lblHW[2]->setText("6");
    w->g_updateConnectionStatus();

    const struct {
        int module;
        const char* row;
        const char* hw;
    } expected[] = {{0, "a", "7.2"}, {1, "b", "7.2"}, {2, "-x", ""}, {3, "b", "5"}, {4, "a", "7.2"}, {5, "-x", ""}, {14, "b", "7.2"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.module);
        EXPECT_EQ(row(e.module), e.row);
        EXPECT_EQ(w->lblHW[e.module]->text(), e.hw);
    }
    EXPECT_EQ(hwReads, QStringList({"0a", "1b", "4a", "14b"}));
    EXPECT_TRUE(idChecks.empty());  // not on the M-Bus
    EXPECT_TRUE(errors.empty());
}

TEST_F(ConnectionTest, TheHardwareVersionIsReadOnlyWhenTheLabelReadsZeroAtAChangeOfState) {
    const struct {
        ModuleState state;
        QString hw;       // what the module answers now
        QString shown;    // the label afterwards
        int reads;        // reads so far
    } steps[] = {
        {application, "?", "?", 1},      // unreadable: the placeholder stays
        {application, "7.2", "?", 1},    // no change of state: no read
        {bootloader, "7.2", "7.2", 2},   // a change of state and the label reads 0
        {application, "8", "7.2", 2},    // a change of state, but the label holds a version
        {none, "8", "", 2},
        {bootloader, "8", "8", 3},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.shown.toStdString());
        states[6] = s.state;
        hardware = s.hw;
        w->g_updateConnectionStatus();
        EXPECT_EQ(w->lblHW[6]->text(), s.shown);
        EXPECT_EQ(hwReads.size(), s.reads);
    }
}

TEST_F(ConnectionTest, OnTheMBusModuleZerosNumberIsCheckedAtEachChangeOfItsState) {
    modGlobal::g_isMBusConnection = true;
    states[1] = application;
    for (ModuleState s : {application, application, bootloader, bootloader, none, application}) {
        states[0] = s;
        w->g_updateConnectionStatus();
    }
    EXPECT_EQ(idChecks, QStringList({"app", "boot", "app"}));
}

TEST_F(ConnectionTest, OldHardwareIsRedInAKelbInstallationWithTheBigLayoutOnly) {
    const struct {
        qint32 type;
        bool bigMem;
        QString hw;
        quint32 colour;
    } cases[] = {
        {0, true, "6.9", vbControls::vbRed},   {0, true, "7", vbControls::vbButtonFace},
        {0, true, "0", vbControls::vbButtonFace}, {0, true, "?", vbControls::vbButtonFace},
        {0, true, "6", vbControls::vbRed},     {0, false, "6.9", vbControls::vbButtonFace},
        {6, true, "6.9", vbControls::vbGreen}, {7, true, "6.9", vbControls::vbGreen},
    };
    states[4] = application;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.bigMem << " " << c.hw.toStdString());
        modGlobal::g_applicationType = c.type;
        modGlobal::g_bigMem = c.bigMem;
        w->lblHW[4]->setText(c.hw);
        vbControls::setBackColor(w->lblHW[4], vbControls::vbGreen);  // outside KELB nothing repaints it
        w->g_updateConnectionStatus();
        EXPECT_EQ(vbControls::backColor(w->lblHW[4]), c.colour);
    }
}

TEST_F(ConnectionTest, TheEngineStateLocksTheCommandsOnTheMBusWhileTheEngineRuns) {
    // frame: "-" hidden, "r" running picture, "s" standstill picture.
    const struct {
        const char* name;
        bool mBus, enough;
        qint32 status;
        bool lockedBefore;
        const char* frame;
        bool lockedAfter;
        bool download;  // the download button afterwards (disabled before when locked)
    } cases[] = {
        {"S-Bus", false, true, 2, false, "-", false, true},
        {"S-Bus keeps a lock", false, true, 1, true, "-", true, false},
        {"engine runs", true, true, 2, false, "r", true, false},
        {"still running", true, true, 2, true, "r", true, false},
        {"standstill", true, true, 1, true, "s", false, true},
        {"standstill unlocked", true, true, 1, false, "s", false, true},
        {"no news", true, true, 0, true, "-", false, true},
        {"too few cylinders", true, false, 2, true, "-", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w = std::make_unique<frmMain>();
        modGlobal::g_isMBusConnection = c.mBus;
        enough = c.enough;
        engine = c.status;
        w->m_engineRunningLock = c.lockedBefore;
        w->cmdDownload->setEnabled(!c.lockedBefore);
        w->g_updateConnectionStatus();
        const QString frame = !visible(w->fraEngineRunning) ? "-"
                              : visible(w->imgEngineRunning) && !visible(w->imgEngineStStill) ? "r"
                              : visible(w->imgEngineStStill) && !visible(w->imgEngineRunning) ? "s"
                                                                                              : "?";
        EXPECT_EQ(frame, c.frame);
        EXPECT_EQ(w->m_engineRunningLock, c.lockedAfter);
        EXPECT_EQ(w->cmdDownload->isEnabled(), c.download);
        if (QString(c.name) == "engine runs") {
            EXPECT_FALSE(w->cmdAbort->isEnabled());
        }
    }
}

TEST_F(ConnectionTest, AnOldBootloaderOnTheMBusEndsTheProgramAfterItsBox) {
    oldBootloader = true;
    states[0] = application;
    w->g_updateConnectionStatus();
    ASSERT_EQ(answers->texts(),
              QStringList{"Wrong Bootloader version detected. Please connect to the S-Bus. The Loader will terminate."});
    EXPECT_EQ(answers->shown()[0].title, "ERROR");
    EXPECT_EQ(calls, (Calls{"g_logoff", "release(onlyHW)", "END"}));
    EXPECT_EQ(row(0), "-");  // nothing more is shown
}

TEST_F(ConnectionTest, ARefreshWhileTheDisplaysOwnBoxIsOpenOpensNoSecondBox) {
    oldBootloader = true;
    // The refresh of the heartbeat tick comes in while the box waits for the engineer.
    struct RefreshWhileOpen : Dialogs::Answerer {
        frmMain* w = nullptr;
        int boxes = 0;
        Dialogs::Answer answer(const Dialogs::Request&) override {
            ++boxes;
            w->g_updateConnectionStatus();
            return Dialogs::Answer{Dialogs::vbOK, {}};
        }
    } answerer;
    answerer.w = w.get();
    Dialogs::answererLink::install(&answerer);
    w->g_updateConnectionStatus();
    Dialogs::answererLink::install(answers.get());
    EXPECT_EQ(answerer.boxes, 1);
}
