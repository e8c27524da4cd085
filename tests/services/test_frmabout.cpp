#include "formfixture.h"
#include "services/frmabout.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace {
struct About : FormTest {
    void TearDown() override {
        frmAbout::instance().cmdOk_Click();
        modGlobal::g_canInterfaceVersion = 0;
        FormTest::TearDown();
    }
};
}  // namespace

TEST_F(About, WithAutoCloseItDisappearsAfterFiveSecondsFromTheMenuItStaysUntilOk) {
    frmAbout& a = frmAbout::instance();
    a.g_showAbout(true);
    EXPECT_TRUE(a.isVisible());
    EXPECT_FALSE(a.isModal());
    clock->advance(4999);
    EXPECT_TRUE(a.isVisible());
    clock->advance(1);
    EXPECT_FALSE(a.isVisible());
    EXPECT_FALSE(modGlobal::g_isLoaded("frmAbout", QString(), true));

    a.g_showAbout(false);
    clock->advance(20000);
    EXPECT_TRUE(a.isVisible());
    EXPECT_LE(a.cmdOK->geometry().bottom(), a.height());
    a.cmdOK->click();
    EXPECT_FALSE(a.isVisible());
}

TEST_F(About, LabelsNameTheProgramItsVersionAndTheComponentVersionWithOneDecimal) {
    QCoreApplication::setApplicationName("PXM Loader");
    modGlobal::g_canInterfaceVersion = 2;
    frmAbout& a = frmAbout::instance();
    a.g_showAbout(false);
    EXPECT_EQ(a.windowTitle(), "About PXM Loader");
    EXPECT_EQ(a.lblTitle->text(), "PXM Loader");
    EXPECT_EQ(a.lblVersion->text(), "Version 5.0.0");
    EXPECT_EQ(a.lblDLLVersion->text(), "CANInterface DLL Version: 2.0");
    EXPECT_EQ(a.lblDescription->text(), "Software Updater Tool for PXM-20 Modules.");
    EXPECT_EQ(a.cmdSysInfo->text(), "&System Info...");
}

TEST_F(About, SystemInfoStartsTheProgramOrSaysItIsUnavailable) {
    frmAbout& a = frmAbout::instance();
    a.g_showAbout(false);
    a.cmdSysInfo->click();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].first, testsupport::DesktopAction::StartSystemInformation);
    EXPECT_TRUE(boxes().empty());
    launchResult = false;
    a.cmdSysInfo->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(boxes()[0].style, Dialogs::vbOKOnly);
}
