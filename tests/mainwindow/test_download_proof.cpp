// What proves a download: a QTM or BZM says the same status for data taken as for flash
// programmed, so only its running application proves the flash; a section that a module
// took before Abort was answered is kept, its flash waited for, and the module started.
#include "test_download_fixture.h"

#include "desktop/dialogs.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"

#include <QAbstractItemModel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace dltest;
using sim::PxmModule;

namespace {
constexpr int qtmApplicationSection = 2, pxmApplicationSection = 6;

struct FlashCase : ProfileCase {
    bool neverEnds;
    int flashMs;
    bool restart;  // the answer to "Restart application?"
};
}  // namespace

class UnprovenFlash : public DownloadBusTest, public ::testing::WithParamInterface<FlashCase> {};

TEST_P(UnprovenFlash, IsNamedWhenTheRestartIsDeclinedAndRedWhenTheModuleDoesNotStart) {
    const FlashCase& c = GetParam();
    sim::BootOptions boot = fastBoot();
    boot.faults.flashNeverEnds = c.neverEnds;
    boot.flashMs = c.flashMs;
    start(c.profile, 0, false, boot);
    const QByteArray before = bootloaders->image(0, qtmApplicationSection);
    const QByteArray image = pattern(2048, 71);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});
    answers->push(c.restart ? Dialogs::vbYes : Dialogs::vbNo);  // "Restart application?"

    w->cmdDownload_Click();

    const QString kind = c.profile == sim::Profile::Qtm ? QStringLiteral("QTM") : QStringLiteral("BZM");
    const std::string text = log().join('\n').toStdString();
    const QString unproven = QStringLiteral("   Flash not proven until the application runs: ") + kind + QStringLiteral(" 0");
    EXPECT_TRUE(logHas(QStringLiteral("      ") + kind + QStringLiteral(" 0: ok"))) << text;
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: ") + kind + QStringLiteral(" 0"))) << text;
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Bootloader);
    if (!c.restart) {
        // The lamp says what the module said; the log says what it did not prove.
        EXPECT_TRUE(lampGreen(0));
        EXPECT_EQ(count(unproven), 1) << text;
        EXPECT_EQ(bootloaders->image(0, qtmApplicationSection), before);
    } else {
        EXPECT_TRUE(logHas(QStringLiteral("      ") + kind + QStringLiteral(" 0: not started!"))) << text;
        EXPECT_TRUE(lampRed(0));
        EXPECT_EQ(count(unproven), 0) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    QtmAndBzm, UnprovenFlash,
    ::testing::Values(FlashCase{"QtmFlashNeverEndsDeclined", sim::Profile::Qtm, true, 50, false},
                      FlashCase{"QtmSlowFlashDeclined", sim::Profile::Qtm, false, 30000, false},
                      FlashCase{"BzmFlashNeverEndsDeclined", sim::Profile::Bzm, true, 50, false},
                      FlashCase{"QtmFlashNeverEndsRestarted", sim::Profile::Qtm, true, 50, true}),
    CaseName());

// Declined after a flash that did end, the QTM is still named: nothing but its program
// running proves it.
TEST_F(DownloadBusTest, AQtmLoadedAndLeftInItsBootloaderIsNamedAsNotProven) {
    start(sim::Profile::Qtm, 0);
    const QByteArray image = pattern(1024, 72);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});
    answers->push(Dialogs::vbNo);  // "Restart application?"

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, qtmApplicationSection), image);
    EXPECT_TRUE(logHas(QStringLiteral("   Flash not proven until the application runs: QTM 0"))) << log().join('\n').toStdString();
}

// On a slow bus Abort is pressed while module 0's section is on its way; the question
// comes before the next module, when the section is through. The module is not "written
// only in part": its flash is waited for and its new program started.
struct AbortCase : ProfileCase {
    int section;
    int flashMs;  // a PXM's long enough that a start before the flash is programmed is refused
    const char* ok;
};
class AbortAfterTheSection : public DownloadBusTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortAfterTheSection, KeepsTheSectionAndStartsTheModule) {
    const AbortCase& c = GetParam();
    sim::BootOptions boot = fastBoot();
    boot.flashMs = c.flashMs;
    start(c.profile, 0, false, boot);
    simulator.setBitRate(5000);
    const QByteArray image = pattern(700, 73);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});
    if (c.profile == sim::Profile::SBus) answerBootloaderQuestion(true);
    answers->push(Dialogs::vbYes);  // "Do you want to abort the download?"

    bool pressed = false;
    QObject::connect(w->lstMessage->model(), &QAbstractItemModel::rowsInserted, w.get(), [&] {
        if (pressed || !logHas(QStringLiteral("   Download Application"))) return;
        pressed = true;
        QTimer::singleShot(500, w.get(), [&] { w->cmdAbort->click(); });
    });

    w->cmdDownload_Click();

    const std::string text = log().join('\n').toStdString();
    EXPECT_EQ(answers->texts().count(QStringLiteral("Do you want to abort the download?")), 1)
        << answers->texts().join('\n').toStdString();
    EXPECT_TRUE(logHas(QStringLiteral("Abort of the download!"))) << text;
    EXPECT_TRUE(logHas(QString::fromLatin1(c.ok))) << text;
    EXPECT_TRUE(log().filter(QStringLiteral("written only in part")).isEmpty()) << text;
    EXPECT_TRUE(log().filter(QStringLiteral("Left in bootloader")).isEmpty()) << text;
    EXPECT_TRUE(waitFor([&] { return modules->mode(0) == PxmModule::Mode::Application; })) << text;
    EXPECT_EQ(bootloaders->image(0, c.section), image);
    EXPECT_TRUE(lampGreen(0));
    simulator.setBitRate(0);
}

INSTANTIATE_TEST_SUITE_P(
    SlowBus, AbortAfterTheSection,
    ::testing::Values(AbortCase{"Qtm", sim::Profile::Qtm, qtmApplicationSection, 50, "      QTM 0: ok"},
                      AbortCase{"Pxm", sim::Profile::SBus, pxmApplicationSection, 1500, "      PXM 0: ok"}),
    CaseName());
