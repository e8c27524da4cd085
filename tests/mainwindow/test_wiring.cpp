// The program's wiring: after it, every slot the program uses is served by the program's
// own code, the calls up into the main window reach the window, and the exit closes the
// windows of the other parts.
#include "mainwindowfixture.h"

#include "app/wiring.h"
#include "can/frmcanopen.h"
#include "can/links.h"
#include "dcbuilder/editorlink.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/mainlog.h"
#include "dcdatabase/builderlog.h"
#include "dcdatabase/frmeditdc.h"
#include "mainwindow/upcalls.h"
#include "services/dbupgrade.h"
#include "updater/updatemoduleslink.h"
#include "updater/updaterinstall.h"

#include <QLabel>
#include <typeinfo>

using namespace mwtest;

namespace {
struct WiringTest : MainWindowTest {
    void SetUp() override {
        MainWindowTest::SetUp();
        // Nothing of the fixture's stand-ins: the slots as the program has them.
        cansim::resetMainWindowLinks();
        wiring::install(*w);
        cansim::recordErrors(errors);
    }
    void TearDown() override {
        frmCANopen::instance().unload();
        wiring::uninstall();
        MainWindowTest::TearDown();
    }
};

// A slot, the class of the object that serves it, and the program's own class for it.
struct Served {
    const char* slot;
    const std::type_info& actual;
    const std::type_info& own;
};
template <class Slot, class Own>
Served served(const char* slot) {
    return {slot, typeid(Slot::get()), typeid(Own)};
}
}  // namespace

TEST_F(WiringTest, EverySlotTheProgramUsesIsServedByTheProgramsOwnCode) {
    frmDcBuilder::instance();  // the builder answers for its own log and the upgrade's copy
    const Served rows[] = {
        // Calls up into a part above: installed by the wiring.
        served<symbolSettersLink, SymbolSettersOfMainWindow>("symbolSettersLink"),
        served<connectionDisplayLink, ConnectionDisplayOfMainWindow>("connectionDisplayLink"),
        served<modeChangeMainWindowLink, ModeChangeOfMainWindow>("modeChangeMainWindowLink"),
        served<autoDownloadMainWindowLink, AutoDownloadOfMainWindow>("autoDownloadMainWindowLink"),
        served<loadFilesLink, LoadFilesOfMainWindow>("loadFilesLink"),
        served<frmMainLogLink, LogOfMainWindow>("frmMainLogLink"),
        served<updaterLink, RunOfMainWindow>("updaterLink"),
        served<programEndLink, ReportAtProgramEnd>("programEndLink"),
        served<frmDcBuilderLogLink, frmDcBuilder>("frmDcBuilderLogLink"),
        // Calls into a part below: the default is the program's own code.
        served<canMasterLink, frmCANopen>("canMasterLink"),
        served<applicationTypeLink, ApplicationTypeOfFiles>("applicationTypeLink"),
        served<autoDownloadLink, AutoDownloadLogoff>("autoDownloadLink"),
        served<frmDcBuilderLink, DcBuilderWindow>("frmDcBuilderLink"),
        served<frmDcReconstructionLink, DcReconstructionWindow>("frmDcReconstructionLink"),
        served<frmEditDCLink, EditorWindow>("frmEditDCLink"),
        served<frmModuleOverviewLink, ToolWindow<frmModuleOverview>>("frmModuleOverviewLink"),
        served<frmInfoBlockDetailsLink, ToolWindow<frmInfoBlockDetails>>("frmInfoBlockDetailsLink"),
        served<frmHWInfoBlockRepairLink, ToolWindow<frmHWInfoBlockRepair>>("frmHWInfoBlockRepairLink"),
        served<dcEditorLink, DcEditorWindow>("dcEditorLink"),
        served<updateModulesLink, MainWindowOfRun>("updateModulesLink"),
    };
    for (const Served& r : rows) EXPECT_TRUE(r.actual == r.own) << r.slot << " is served by " << r.actual.name();
    EXPECT_TRUE(ErrPtnr::errorHandlerLink::installed());
    EXPECT_TRUE(plantInfoCopierLink::installed());
}

TEST_F(WiringTest, TheStartUpsFlagsLandInTheCanMaster) {
    canMasterLink::get().set_g_noCAN(true);
    canMasterLink::get().set_g_blockTransferEnable(true);
    EXPECT_TRUE(frmCANopen::instance().g_noCAN());
    EXPECT_TRUE(frmCANopen::instance().g_blockTransferEnable());
    canMasterLink::get().set_g_noCAN(false);
    canMasterLink::get().set_g_blockTransferEnable(false);
    EXPECT_FALSE(frmCANopen::instance().g_noCAN());
}

TEST_F(WiringTest, TheModeChangeSeesTheMainWindowsAbortLampsAndLog) {
    ModeChangeMainWindow& mw = modeChangeMainWindowLink::get();
    w->m_abort = true;
    EXPECT_TRUE(mw.m_abort());
    mw.set_m_abort(false);
    EXPECT_FALSE(w->m_abort);

    vbControls::setBackColor(w->lblDownloadOk[3], vbControls::vbGreen);
    EXPECT_TRUE(mw.g_downloadStatusOk(3));
    mw.downloadFailure("      PXM #03: no answer", 3);
    EXPECT_FALSE(mw.g_downloadStatusOk(3));
    EXPECT_EQ(vbControls::backColor(w->lblDownloadOk[3]), vbControls::vbRed);
}

// The editor open on a table when the program exits is closed with the others.
TEST_F(WiringTest, TheExitClosesTheEditorTheProgramOpened) {
    frmEditDC::instance().show();
    ASSERT_TRUE(frmEditDCLink::get().isLoaded());
    w->mnuExit_Click();
    EXPECT_FALSE(frmEditDC::instance().isVisible());
    EXPECT_FALSE(frmEditDCLink::get().isLoaded());
}
