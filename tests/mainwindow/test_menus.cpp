// The menu items that open other windows, and the small commands: the report button and
// the program-file directory. The windows of other parts are fakes that record the call.
#include "mainwindowfixture.h"

#include "can/frmcanopen.h"
#include "mainwindow/vbcheckbox.h"
#include "desktop/desktopservices.h"
#include "desktop/timeservice.h"
#include "services/frmabout.h"
#include "services/frmselectdir.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <QMenu>

using namespace mwtest;

namespace {
struct ReportWriter : UpdaterStub {
    frmMain* w = nullptr;
    int written = 0;
    void writeReport() override {
        ++written;
        w->m_reportFile = QStringLiteral("/opt/reports/KELB-3817 Update Tool Report.txt");
    }
};

}  // namespace

class MenuTest : public MainWindowTest {
protected:
    FakeBuilder& recordingBuilder = builder;
    void TearDown() override {
        frmAbout::instance().close();
        MainWindowTest::TearDown();
    }
};

// Each item is wired to its command: the builder and the template get the program-file
// directory, the about box stays until closed, the CAN master's test view opens.
TEST_F(MenuTest, ItemsOpenTheirWindows) {
    w->txtFileDirectory->setText(QStringLiteral("/srv/pxm/project"));
    w->mnuBuildDC->trigger();
    EXPECT_EQ(recordingBuilder.shown, QStringList{QStringLiteral("/srv/pxm/project")});
    w->mnuCreateTemplate->trigger();
    EXPECT_EQ(reconstruction.templates, QStringList{QStringLiteral("/srv/pxm/project")});
    w->mnuReconstructDC->trigger();
    EXPECT_EQ(reconstruction.shown, 1);
    w->mnuRepairHWInfoBlock->trigger();
    w->mnuShowDetailedModulInfos->trigger();

    w->mnuAbout->trigger();
    EXPECT_TRUE(frmAbout::instance().isVisible());
    EXPECT_FALSE(frmAbout::instance().timClose->isActive());

    can.fallback = &frmCANopen::instance();  // the master's own test view
    w->mnuShowCanOpen->trigger();
    EXPECT_TRUE(frmCANopen::instance().isVisible());
    frmCANopen::instance().unload();
    EXPECT_TRUE(errors.empty());
}

// The report button writes and opens the report; with the caption the update run gives it
// after a failed download it opens the instruction file beside the report, and before any
// report was written the program folder's.
TEST_F(MenuTest, ReportButtonOpensReportOrInstruction) {
    ReportWriter writer;
    writer.w = w.get();
    updaterLink::install(&writer);
    QPushButton button;
    w->cmdOpenReport = &button;
    struct Case {
        const char* caption;
        QString reportBefore;
        int written;
        QString opened;
    } cases[] = {
        {"Open Report", QString(), 1, QStringLiteral("/opt/reports/KELB-3817 Update Tool Report.txt")},
        {"Open Instruction", QStringLiteral("/opt/reports/KELB-3817 Update Tool Report.txt"), 0,
         QStringLiteral("/opt/reports/Instruction.txt")},
        {"Open Instruction", QString(), 0, tmp.filePath(QStringLiteral("Instruction.txt"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        testsupport::DesktopRecorder desktopRequests;
        writer.written = 0;
        w->m_reportFile = c.reportBefore;
        button.setText(QString::fromLatin1(c.caption));
        w->cmdOpenReport_Click();
        EXPECT_EQ(writer.written, c.written);
        EXPECT_EQ(desktopRequests.targets(testsupport::DesktopAction::OpenInTextEditor), QStringList{c.opened});
    }
    EXPECT_TRUE(errors.empty());
}

// The chosen directory becomes the program-file directory, is stored, and the load files
// are looked up there; Cancel changes nothing.
TEST_F(MenuTest, SelectFileDirStoresTheDirectoryAndChecksTheLoadFiles) {
    modGlobal::g_configDbPath = makeConfig({{"programFilePath", "C:\\old"}});
    ASSERT_TRUE(modGlobal::g_iniGlobals());
    modGlobal::g_moduleKind = QStringLiteral("QTM");
    QTemporaryDir chosen;
    w->txtFileDirectory->setText(tmp.path());

    answers->pushForm([](QDialog* d) {
        static_cast<frmSelectDir*>(d)->cmdCancel->click();
        return -1;
    });
    w->mnuSelectFileDir_Click();
    EXPECT_EQ(w->txtFileDirectory->text(), tmp.path());
    EXPECT_FALSE(called("g_checkFileExist(QTM,0)"));

    answers->pushForm([&](QDialog* d) {
        auto* picker = static_cast<frmSelectDir*>(d);
        EXPECT_EQ(picker->InitDir, tmp.path());
        picker->Dir1->setPath(chosen.path());
        picker->cmdOk->click();
        return -1;
    });
    w->mnuFile->actions().first()->trigger();
    EXPECT_EQ(w->txtFileDirectory->text(), chosen.path());
    EXPECT_EQ(modGlobal::g_getMiscItem(QStringLiteral("programFilePath")), chosen.path());
    EXPECT_TRUE(called("g_checkFileExist(QTM,0)"));
    EXPECT_TRUE(errors.empty());
}

// Without a bus every command that talks to modules refuses at once with one line, asks
// nothing and leaves the window unlocked.
TEST_F(MenuTest, BusCommandsRefuseAtOnceWithoutABus) {
    can.set_g_noCAN(true);
    const struct {
        std::function<void()> run;
        const char* line;
    } cases[] = {
        {[&] { w->mnuStartApplication->trigger(); }, "   CAN bus is not set up --> Start Application aborted!"},
        {[&] { w->mnuStartBootloader->trigger(); }, "   CAN bus is not set up --> Start Bootloader aborted!"},
        {[&] { w->mnuUploadFromSpare->trigger(); }, "   CAN bus is not set up --> Upload aborted!"},
        {[&] { w->cmdModuleState_Click(); }, "   CAN bus is not set up --> Overview aborted!"},
    };
    vbCheck::setValue(w->chkLoadSection[0], vbCheck::vbChecked);
    w->chkProgram[0]->setEnabled(true);  // the spare still shows as connected: the bus was lost since
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        w->lstMessage->clear();
        answers->clear();
        c.run();
        int refusals = 0;
        for (int i = 0; i < w->lstMessage->count(); ++i) refusals += w->lstMessage->item(i)->text() == QLatin1String(c.line);
        EXPECT_EQ(refusals, 1);
        EXPECT_TRUE(answers->shown().empty());
        EXPECT_TRUE(w->cmdDownload->isEnabled());
    }
    can.set_g_noCAN(false);
}
