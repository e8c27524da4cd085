// The download end to end through a converter whose transmit queue is small, as the kernel
// presents one (10 frames by default): full, it refuses frames, and the CAN layer sends
// them again as it drains. Sections arrive byte for byte; a converter that takes nothing,
// or stops taking frames in the middle of a section, ends the command red with the reason.
#include "test_download_fixture.h"

#include "cansim/converterscope.h"
#include "desktop/dialogs.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/frmmain.h"

#include <QLabel>

using namespace dltest;
using sim::PxmModule;

namespace {
const QString kQueueFull = QStringLiteral("transmit queue of the converter full!");

struct QueueCase : ProfileCase {
    int queueLength;
};
class ConverterTest : public DownloadBusTest {
protected:
    void TearDown() override {
        DownloadBusTest::TearDown();
        converter.reset();
    }
    void through(int queueLength, int bitRate, int stopAfterFrames = -1) {
        converter = std::make_unique<cansim::ConverterScope>(
            sim::ConverterDevice::Options{queueLength, bitRate, stopAfterFrames});
    }
    const sim::ConverterDevice::Traffic& traffic() const { return converter->traffic(); }
    std::string text() const { return log().join('\n').toStdString(); }
    int linesEndingWith(const QString& end) const {
        int n = 0;
        for (const QString& l : log()) n += l.endsWith(end) ? 1 : 0;
        return n;
    }
    bool allRunning(int last) {
        return waitFor([&] {
            for (int m = 0; m <= last; ++m)
                if (modules->mode(m) != PxmModule::Mode::Application) return false;
            return true;
        });
    }
    std::unique_ptr<cansim::ConverterScope> converter;
};

class QueueLengthTest : public ConverterTest, public ::testing::WithParamInterface<QueueCase> {};
}  // namespace

TEST_P(QueueLengthTest, SectionsArriveByteForByte) {
    const QueueCase& c = GetParam();
    const bool mBus = c.profile == sim::Profile::MBus;
    through(c.queueLength, mBus ? 125000 : 500000);
    const int cylinders = mBus ? 2 : 0;
    start(c.profile, cylinders, mBus);
    // QTM writes its section in plain segments, one frame at a time; the M-Bus in blocks.
    const QByteArray image = pattern(mBus ? 6000 : 9000, c.queueLength);
    const int section = mBus ? 6 : 2;
    bindFile(0, image, mBus ? 0x100000 : 0x10000, QStringLiteral("APPL.S19"));
    if (mBus) select({0, 1, 2});
    else select({0});
    selectRow(0);
    if (!mBus) answers->push(Dialogs::vbYes);  // "Restart application?"

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, section), image);
    for (int m = 0; m <= cylinders; ++m) {
        SCOPED_TRACE(m);
        EXPECT_TRUE(lampGreen(m)) << text();
        if (mBus) {
            EXPECT_TRUE(w->m_moduleDone[m]);
        }
        if (m > 0) {
            EXPECT_EQ(modules->loadedSections(m), QList<int>{6});
        }
    }
    EXPECT_TRUE(allRunning(cylinders)) << text();
    EXPECT_EQ(linesEndingWith(kQueueFull), 0) << text();
    // The blocks filled the converter's queue: the layer waited for it and lost nothing.
    if (mBus) {
        EXPECT_GT(traffic().refusals(), 0);
    }
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Converter, QueueLengthTest,
                         ::testing::Values(QueueCase{"QtmTen", sim::Profile::Qtm, 10},
                                           QueueCase{"QtmOne", sim::Profile::Qtm, 1},
                                           QueueCase{"MBusTen", sim::Profile::MBus, 10},
                                           QueueCase{"MBusOne", sim::Profile::MBus, 1}),
                         CaseName());

// A converter whose queue takes nothing: the bootloader cannot be started, so every module
// stays in its application, and the log says why.
TEST_F(ConverterTest, AConverterThatTakesNothingEndsRedAndNoModuleLeavesItsApplication) {
    through(0, 500000);
    start(sim::Profile::SBus, 0, true);
    const QByteArray factory = bootloaders->image(0, 6);
    chooseApplication(pattern(3000, 40), 0x100000, QStringLiteral("APPL.S19"), {0});

    w->cmdDownload_Click();

    EXPECT_EQ(count(QStringLiteral("      PXM 0: ") + kQueueFull), 1) << text();
    EXPECT_TRUE(lampRed(0)) << text();
    EXPECT_FALSE(w->m_moduleDone[0]);
    EXPECT_FALSE(logHas(QStringLiteral("   Download Application"))) << text();
    EXPECT_EQ(bootloaders->image(0, 6), factory);
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    EXPECT_FALSE(updater.updated.contains(QStringLiteral("   PXM-#00 is updated"))) << updater.updated.join('\n').toStdString();
    EXPECT_TRUE(traffic().sent().isEmpty());
}

// The converter stops taking frames in the middle of the section: each attempt fails once no
// frame has left for the transfer's time-out, the module is red, and the log names it left
// in its bootloader, its section written in part.
TEST_F(ConverterTest, AConverterThatStopsInTheMiddleOfASectionEndsRedAndNamesTheModuleLeft) {
    // 300 frames: the info block and two sub-blocks of 127 segments, and the third begun;
    // more of it waits than the converter holds.
    through(10, 500000, 300);
    start(sim::Profile::SBus, 0, true);
    const QByteArray image = pattern(20000, 41);

    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});
    w->cmdDownload_Click();

    EXPECT_GE(count(QStringLiteral("      PXM 0: failure in transmitting program/data!")), 1) << text();
    EXPECT_GE(count(QStringLiteral("      PXM 0: ") + kQueueFull), 1) << text();
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: PXM 0"))) << text();
    EXPECT_TRUE(lampRed(0));
    EXPECT_FALSE(w->m_moduleDone[0]);
    EXPECT_NE(bootloaders->image(0, 6), image);
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Bootloader);
    EXPECT_EQ(traffic().sent().size(), 300);
}
