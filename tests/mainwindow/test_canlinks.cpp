// The main window's interfaces reach the CAN side once the program wires them, and the
// CAN side's up-calls reach the main window.
#include "mainwindowfixture.h"

#include "can/frmcanopen.h"
#include "can/links.h"
#include "mainwindow/canlinks.h"
#include "mainwindow/canmasterlink.h"

#include <QLabel>

using namespace mwtest;

namespace {
struct CanLinksTest : MainWindowTest {
    void SetUp() override {
        MainWindowTest::SetUp();
        frmMain::setInstance(w.get());
        canLinks::install();
    }
    void TearDown() override {
        canMasterLink::install(nullptr);
        modeChangeMainWindowLink::install(nullptr);
        frmMain::setInstance(nullptr);
        MainWindowTest::TearDown();
    }
};
}  // namespace

TEST_F(CanLinksTest, TheStartUpsFlagsLandInTheCanMaster) {
    canMasterLink::get().set_g_noCAN(true);
    canMasterLink::get().set_g_blockTransferEnable(true);
    EXPECT_TRUE(frmCANopen::instance().g_noCAN);
    EXPECT_TRUE(frmCANopen::instance().g_blockTransferEnable);
    canMasterLink::get().set_g_noCAN(false);
    EXPECT_FALSE(frmCANopen::instance().g_noCAN);
}

TEST_F(CanLinksTest, TheModeChangeSeesTheMainWindowsAbortLampsAndLog) {
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
