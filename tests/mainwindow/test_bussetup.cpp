// The bus set-up and the application-type check against the simulated modules on the
// process's private virtual bus, in real time: the manual mode's S-Bus search over the two
// converters, the update run's M-Bus set-up with its wait for a module, and the type check.
#include "can/frmcanopen.h"
#include "cancomponentfake.h"
#include "caninterface/caninterface.h"
#include "cansim/cansim.h"
#include "dao/dao.h"
#include "desktop/timeservice.h"
#include "lib/pxmmodules.h"
#include "lib/simulator.h"
#include "app/wiring.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/vbcheckbox.h"
#include "services/errtrap.h"
#include "services/frmabout.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "errorlog.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>
#include <QUuid>
#include <gtest/gtest.h>
#include <map>
#include <memory>

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

quint16 port() {
    static const quint16 p = testsupport::freePort();
    return p;
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs = 5000) { return testsupport::waitFor(pred, timeoutMs); }

const QString kRefused = QStringLiteral("can7");  // an interface the plugin refuses

const QString kOldVersion = QStringLiteral(
    "Old version of CANInterface.dll detected: some features are deactivated.\r"
    "To avoid this and related failure messages at next use, please perform\r"
    "pD base setup with Install-polyDesk version 11.");

class BusSetupTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    std::unique_ptr<testsupport::ScriptedAnswerer> answers;
    std::vector<ErrPtnr::ErrorInfo> errors;
    int ends = 0;
    testsupport::EndCounter endCounter{ends};
    testsupport::CanComponentFake canComponent;
    std::unique_ptr<sim::Simulator> sims[2];
    std::unique_ptr<sim::PxmModules> modules;
    std::unique_ptr<frmMain> w;

    // The type check after the set-up of a QTM site: no box, the QTM type, the about box
    // as always, and the program goes on.
    void expectQuietQtmTypeCheck() {
        w->setUserRights();
        EXPECT_TRUE(answers->shown().empty());
        EXPECT_EQ(modGlobal::g_applicationType, 6);
        EXPECT_TRUE(frmAbout::instance().isVisible());
        EXPECT_EQ(ends, 0);
    }

    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can.warning=false"));
        answers = std::make_unique<testsupport::ScriptedAnswerer>();
        processEndLink::install(&endCounter);
        cansim::recordErrors(errors);
        resetGlobals();
        canComponentLink::install(&canComponent);
        cansim::resetCanMaster();
    }

    void TearDown() override {
        for (const auto& e : errors) ADD_FAILURE() << "run-time error in " << e.procedure.toStdString() << ": " << e.description.toStdString();
        if (frmAbout::instance().isVisible()) frmAbout::instance().cmdOk_Click();
        if (frmMessage2* box = frmMessage2::existing()) box->unload();
        frmCANopen::instance().unload();
        wiring::uninstall();
        w.reset();
        modules.reset();
        for (auto& s : sims) s.reset();
        singleInstance::release();
        resetGlobals();
        answers.reset();
        ErrPtnr::errorHandlerLink::install(nullptr);
        processEndLink::install(nullptr);
        canComponentLink::install(nullptr);
    }

    // The program's wiring around the test's window; its errors stay the test's.
    void wire() {
        wiring::install(*w);
        cansim::recordErrors(errors);
    }

    static void resetGlobals() {
        using namespace modGlobal;
        cansim::resetModGlobals();
        g_bootupReceived = false;
        g_canInterfaceVersion = 0;
    }

    // The configuration beside the test's program file: both converters on the private
    // bus unless an item says otherwise, and the load files of the module kinds.
    void config(const std::map<QString, QString>& items = {}) {
        cansim::resetConfigRecordsets();
        modGlobal::g_configDbPath = tmp.filePath("pxmloader-Config.mdb");
        QFile::remove(modGlobal::g_configDbPath);
        std::map<QString, QString> all = {
            {"canPlugin", "virtualcan"},
            {"canInterface_0", testsupport::busUrl(port(), 0)},
            {"canInterface_1", testsupport::busUrl(port(), 1)},
            {"numRequiredCylinders", "2"},
        };
        for (const auto& [k, v] : items) all[k] = v;
        auto db = dao::CreateDatabase(modGlobal::g_configDbPath);
        db->Execute("CREATE TABLE miscellaneous (item TEXT COLLATE NOCASE, value TEXT COLLATE NOCASE)");
        db->Execute("CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, symbolName TEXT COLLATE NOCASE)");
        db->Execute("CREATE TABLE messages (MessageID INTEGER, MessageText TEXT, VEDR_Text TEXT, DARVO_Text TEXT, okButton INTEGER)");
        db->Execute("CREATE TABLE loadFiles (module TEXT, fileType TEXT, section INTEGER, fileName TEXT)");
        for (const auto& [k, v] : all) db->Execute("INSERT INTO miscellaneous (item, value) VALUES (?, ?)", {k, v});
        db->Execute("INSERT INTO loadFiles VALUES ('QTM', 'OUT', 6, 'QTM_application.S19')");
        db->Execute("INSERT INTO loadFiles VALUES ('QTM', 'OUT', 3, 'QTM_bootloader.S19')");
        db->Close();
        ASSERT_TRUE(modGlobal::g_iniGlobals());
    }

    void startModules(sim::Profile profile, int channel, int cylinders, const QString& appName = QString()) {
        auto& s = sims[channel];
        s = std::make_unique<sim::Simulator>();
        QString error;
        ASSERT_TRUE(s->start(testsupport::busUrl(port(), channel), &error)) << error.toStdString();
        ASSERT_TRUE(s->waitConnected());
        sim::ProfileOptions o;
        o.profile = profile;
        o.cylinders = cylinders;
        o.appName = appName;
        o.heartbeatMs = 50;
        modules = std::make_unique<sim::PxmModules>(*s, o);
    }

    void manualMode() {
        using namespace modGlobal;
        g_qtmMode = true;
        g_moduleKind = "QTM";
        g_applicationType = 6;
    }
    void updateMode() {
        using namespace modGlobal;
        g_updateMode = true;
        g_moduleKind = "PXM";
        g_applicationType = 0;
    }

    // A window as the start-up leaves it, wired with the program's own links.
    void window() {
        w = std::make_unique<frmMain>();
        wire();
        // Answers may be slow on a bus the whole run shares.
        frmCANopen::instance().load();
        qint32 status = 0;
        frmCANopen::instance().m_CANInterface->setSdoTimeout(1000, status);
    }

    QStringList messageWindowLog() const {
        QStringList l;
        frmMessage2* box = frmMessage2::existing();
        for (int i = 0; box && i < box->lstMessage->count(); ++i) l << box->lstMessage->item(i)->text();
        return l;
    }
    // The update run's set-up, outside update mode so that the message window keeps its log.
    QStringList operatorAccessLog(bool& ok) {
        modGlobal::g_moduleKind = "PXM";
        w->initConnection(true, false, ok);
        return messageWindowLog();
    }
    // The manual mode's S-Bus search, with the controls locked as the start-up leaves them.
    bool manualSetUp() {
        manualMode();
        window();
        w->cmdDownload->setEnabled(false);
        bool ok = true;
        w->initConnection(false, false, ok);
        return ok;
    }
    // The update run's M-Bus set-up; its result starts at `before`, the opposite of what
    // the test expects, so that the set-up is seen to give it.
    bool updateSetUp(bool before) {
        updateMode();
        window();
        bool ok = before;
        w->initConnection(true, false, ok);
        return ok;
    }
    bool running(int module) const {
        return vbCheck::value(w->chkApplicationRunning[module]) == vbCheck::vbChecked && vbCheck::enabled(w->chkProgram[module]);
    }
};

}  // namespace

TEST_F(BusSetupTest, TheSBusSearchKeepsConverter0WhenItComesUp) {
    config();
    startModules(sim::Profile::Qtm, 0, 2);
    EXPECT_FALSE(manualSetUp());
    EXPECT_TRUE(frmCANopen::instance().isInitialised());
    EXPECT_FALSE(frmCANopen::instance().g_noCAN());
    const QStringList log = messageWindowLog();
    EXPECT_TRUE(log.contains("   Initialising USB-to-CAN 0"));
    EXPECT_FALSE(log.contains("   Initialising USB-to-CAN 1"));
    EXPECT_EQ(log.count("   Set net operational"), 1);
    EXPECT_TRUE(answers->shown().empty());
    EXPECT_DOUBLE_EQ(modGlobal::g_canInterfaceVersion, 2.0);
    EXPECT_TRUE(w->cmdDownload->isEnabled());  // the controls are unlocked

    // The heartbeat tick shows the modules that the search found.
    ASSERT_TRUE(waitFor([&] { return running(0) && running(1) && running(2); }));
    EXPECT_FALSE(running(3));

    expectQuietQtmTypeCheck();
}

TEST_F(BusSetupTest, TheSBusSearchFallsBackToConverter1) {
    config({{"canInterface_0", kRefused}});
    startModules(sim::Profile::Qtm, 1, 1);
    manualSetUp();

    EXPECT_TRUE(frmCANopen::instance().isInitialised());
    const QStringList log = messageWindowLog();
    const qsizetype first = log.indexOf("   Initialising USB-to-CAN 0"), second = log.indexOf("   Initialising USB-to-CAN 1");
    ASSERT_GE(first, 0);
    EXPECT_GT(second, first);
    EXPECT_EQ(log.count("   Set net operational"), 1);
    EXPECT_GT(log.indexOf("   Set net operational"), second);
    EXPECT_TRUE(answers->shown().empty());
    ASSERT_TRUE(waitFor([&] { return running(0) && running(1); }));
}

TEST_F(BusSetupTest, WithNeitherConverterTheRunGoesOnWithoutCan) {
    config({{"canInterface_0", kRefused}, {"canInterface_1", "can8"}});
    EXPECT_FALSE(manualSetUp());
    ASSERT_EQ(answers->texts(), QStringList{"CAN initialisation Error: Please make sure that the USB-to-CAN\r"
                                            "Converter is correctly connected."});
    EXPECT_EQ(answers->shown()[0].title, "ERROR");
    EXPECT_TRUE(frmCANopen::instance().g_noCAN());
    EXPECT_FALSE(frmCANopen::instance().isInitialised());
    EXPECT_TRUE(w->cmdDownload->isEnabled());

    // The type check then sees no modules: no mismatch, the about box as always.
    answers->clear();
    expectQuietQtmTypeCheck();
}

TEST_F(BusSetupTest, AnOldCanComponentIsWarnedOfOnce) {
    const struct {
        double version;
        bool warned;
    } cases[] = {{1.0, true}, {1.1, false}, {2.0, false}};
    config();
    manualMode();
    window();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        canComponent.reported = c.version;
        answers->clear();
        frmCANopen::instance().g_releaseCanOpen(false);
        bool ok = true;
        w->initConnection(false, false, ok);
        EXPECT_EQ(answers->texts(), c.warned ? QStringList{kOldVersion} : QStringList{});
        if (c.warned) {
            EXPECT_EQ(answers->shown()[0].title, "Warning");
        }
        EXPECT_DOUBLE_EQ(modGlobal::g_canInterfaceVersion, c.version);
    }
}

TEST_F(BusSetupTest, TheUpdateRunsMBusSetUpWaitsForAModuleToAnswer) {
    config();
    startModules(sim::Profile::MBus, 0, 2);
    EXPECT_TRUE(updateSetUp(false));
    EXPECT_TRUE(modGlobal::g_isMBusConnection);
    EXPECT_TRUE(modGlobal::g_bootupReceived);
    // The display was refreshed while the set-up waited.
    EXPECT_TRUE(running(0));
    EXPECT_TRUE(answers->shown().empty());

    w->setUserRights();
    EXPECT_TRUE(answers->shown().empty());
    EXPECT_EQ(modGlobal::g_applicationType, 0);
    EXPECT_FALSE(frmAbout::instance().isVisible());  // update mode shows no about box
}

TEST_F(BusSetupTest, TheOperatorAccessSetUpNamesItselfBeforeTheMaster) {
    config();
    startModules(sim::Profile::MBus, 0, 0);
    window();
    bool ok = false;
    const QStringList log = operatorAccessLog(ok);
    EXPECT_TRUE(ok);
    const qsizetype named = log.indexOf("Initialising M-Bus for Operator access.");
    ASSERT_GE(named, 0) << log.join('\n').toStdString();
    EXPECT_EQ(log.count("Initialising M-Bus for Operator access."), 1);
    EXPECT_GT(log.indexOf("   Initialising CAN-Interface"), named);
    // The log names what was opened.
    EXPECT_TRUE(log.contains(QStringLiteral("   CAN plugin \"virtualcan\", interface \"%1\" opened")
                                 .arg(testsupport::busUrl(port(), 0))))
        << log.join('\n').toStdString();
}

// Why a converter could not be opened, as the set-up's log gives it: the plugin and the
// interface tried, and for a plugin Qt does not have, the ones it has.
TEST_F(BusSetupTest, TheSetUpsLogSaysWhyThePluginOrInterfaceCouldNotBeOpened) {
    config({{"canPlugin", "nosuchcan"}});
    window();
    bool ok = true;
    const QStringList log = operatorAccessLog(ok);
    EXPECT_FALSE(ok);
    // The configured converter and the next one are both tried.
    for (int n : {0, 1}) {
        const QString tried = QStringLiteral("   cannot open interface \"%1\" of plugin \"nosuchcan\": ")
                                  .arg(testsupport::busUrl(port(), n));
        const auto line = std::find_if(log.begin(), log.end(), [&](const QString& l) { return l.startsWith(tried); });
        ASSERT_NE(line, log.end()) << n << "\n" << log.join('\n').toStdString();
        EXPECT_TRUE(line->contains("the CAN plugins Qt has: ")) << line->toStdString();
        EXPECT_TRUE(line->contains("virtualcan")) << line->toStdString();
    }
}

TEST_F(BusSetupTest, AnMBusWithoutModulesIsSetUpButNobodyAnswered) {
    config();
    updateMode();
    window();
    // Nobody answers within the whole wait; the clock need not really pass.
    bool ok = false;
    {
        const testsupport::VirtualClockScope clock;
        w->initConnection(true, false, ok);
    }
    EXPECT_TRUE(ok);
    EXPECT_FALSE(modGlobal::g_bootupReceived);
    EXPECT_TRUE(answers->shown().empty());
}

TEST_F(BusSetupTest, AnMBusThatDoesNotComeUpIsNoSuccess) {
    config({{"canInterface_0", kRefused}, {"canInterface_1", "can8"}});
    EXPECT_FALSE(updateSetUp(true));
    EXPECT_FALSE(modGlobal::g_bootupReceived);
}

TEST_F(BusSetupTest, ModulesRunningAnotherApplicationEndTheRunUnlessTheDeveloperGoesOn) {
    const QString text = QStringLiteral(
        "The connected PXM application does not fit to the S19 application file!\r"
        "PXM-20\t\t : VEDR\rApplication.S19 \t : KELB\r");
    const struct {
        bool develop;
        int answer;
        QString box;
        int ends;
        qint32 type;
    } cases[] = {
        {false, Dialogs::vbOK, text + "The Loader will Terminate!", 1, 5},
        {true, Dialogs::vbOK, text + "Run Loader anyway?", 0, 0},
        {true, Dialogs::vbCancel, text + "Run Loader anyway?", 1, 5},
    };
    config();
    startModules(sim::Profile::MBus, 0, 1, "VEDR");
    updateMode();
    window();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box.toStdString());
        // The end of a run releases the bus: each case sets it up again.
        bool ok = false;
        w->initConnection(true, false, ok);
        ASSERT_TRUE(ok);
        modGlobal::g_develop = c.develop;
        modGlobal::g_applicationType = 0;
        ends = 0;
        answers->clear();
        answers->push(c.answer);
        w->setUserRights();
        ASSERT_EQ(answers->texts(), QStringList{c.box});
        EXPECT_EQ(answers->shown()[0].title, c.develop ? "WARNING" : "ERROR");
        EXPECT_EQ(ends, c.ends);
        EXPECT_EQ(modGlobal::g_applicationType, c.type);
    }
}

// The start-up of a QTM installation against its modules, as the engineer sees it.
TEST_F(BusSetupTest, TheQtmStartUpShowsTheModulesItFound) {
    config();
    for (const char* name : {"QTM_application.S19", "QTM_bootloader.S19"}) {
        QFile f(tmp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("S0030000FC\r\nS20801000001020304EC\r\n");
    }
    startModules(sim::Profile::Qtm, 0, 3);
    modGlobal::g_rsMiscellaneous.reset();
    modGlobal::g_rsAliasSymbolName.reset();
    modGlobal::g_rsMessages.reset();
    w = std::make_unique<frmMain>();
    w->setProgramFile(tmp.filePath("pxmloader"));
    w->setInstanceKey(QStringLiteral("kelb-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    wire();
    w->Form_Load("/QTM /develop");

    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(frmCANopen::instance().isInitialised());
    ASSERT_TRUE(waitFor([&] { return running(0) && running(1) && running(2) && running(3); }));
    EXPECT_EQ(w->txtEmh[0]->text(), QDir(tmp.path()).filePath("QTM_application.S19"));
    EXPECT_EQ(ends, 0);
    for (const auto& r : answers->shown()) EXPECT_NE(r.kind, Dialogs::Kind::Message) << r.text.toStdString();

    const QByteArray grabTo = qgetenv("KELB_GRAB_DIR");
    if (!grabTo.isEmpty()) w->grab().save(QDir(QString::fromLocal8Bit(grabTo)).filePath("frmMain-qtm.png"));
}
