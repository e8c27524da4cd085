// Every road stops the modules before the first file is read (QTM, BZM, the M-Bus and the
// S-Bus): the download reads every selected file first: a damaged one ends the command with the reader's reason
// while every module still runs its application, none asked, stopped or written.
#include "test_download_fixture.h"

#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/modglobal.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace dltest;
using sim::PxmModule;

namespace {
constexpr int posApplication = 0, posDataContainer = 1;

struct FileCheckCase : ProfileCase {
    int cylinders;
    qint32 address;
};

bool pxmProfile(sim::Profile p) { return p == sim::Profile::MBus || p == sim::Profile::SBus; }

// The third line of the file (its second data record) retyped to S4: its checksum still holds.
void retypeThirdLine(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = f.readAll().split('\n');
    f.close();
    ASSERT_GT(lines.size(), 3);
    lines[2][1] = '4';
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(lines.join('\n'));
}
}  // namespace

class DownloadFileCheck : public DownloadBusTest, public ::testing::WithParamInterface<FileCheckCase> {
protected:
    // Every module of the site runs its application with the flash it had, and nothing
    // was loaded into any section.
    void expectUntouched(const QList<QByteArray>& before, int modulesThere) {
        for (int m = 0; m < modulesThere; ++m) {
            SCOPED_TRACE(m);
            EXPECT_EQ(modules->mode(m), PxmModule::Mode::Application);
            EXPECT_TRUE(modules->loadedSections(m).isEmpty());
            EXPECT_EQ(bootloaders->image(m, pxmProfile(GetParam().profile) ? 6 : 2), before.value(m));
        }
        EXPECT_FALSE(logHas(QStringLiteral("   Starting bootloader on all modules"))) << log().join('\n').toStdString();
        EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
        EXPECT_TRUE(w->cmdDownload->isEnabled());
        EXPECT_TRUE(w->cmdExit->isEnabled());
        EXPECT_FALSE(w->cmdAbort->isEnabled());
    }
    // Runs the command with every module there selected; the log, and where in it the
    // command says it was aborted for the reason (-1: it does not).
    std::pair<QStringList, qsizetype> downloadAborted(int modulesThere, const QString& reason) {
        for (int m = 0; m < modulesThere; ++m) select({m});
        w->cmdDownload_Click();
        const QStringList lines = log();
        return {lines, lines.indexOf(QStringLiteral("   Download aborted because ") + reason)};
    }
    QList<QByteArray> flashes(int modulesThere) const {
        QList<QByteArray> out;
        for (int m = 0; m < modulesThere; ++m)
            out << bootloaders->image(m, pxmProfile(GetParam().profile) ? 6 : 2);
        return out;
    }
};

TEST_P(DownloadFileCheck, ADamagedFileEndsTheCommandBeforeAnyModuleIsStopped) {
    const FileCheckCase& c = GetParam();
    start(c.profile, c.cylinders);
    const int there = c.cylinders + 1;
    const QList<QByteArray> before = flashes(there);
    const QString damaged = dir.filePath(QStringLiteral("SECOND.S19"));
    if (pxmProfile(c.profile)) {
        // A good file in the first row, the damaged one in the second: every file is read.
        bindFile(posApplication, pattern(900, 21), c.address, QStringLiteral("APPL.S19"));
        selectRow(posApplication);
        bindFile(posDataContainer, pattern(700, 22), 0x0C0000, QStringLiteral("SECOND.S19"));
        selectRow(posDataContainer);
    } else {
        // QTM and BZM load their application here.
        bindFile(posApplication, pattern(700, 22), c.address, QStringLiteral("SECOND.S19"));
        selectRow(posApplication);
    }
    retypeThirdLine(damaged);

    const auto [lines, at] = downloadAborted(there, QStringLiteral("conversion S19-to-binary failed."));
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.value(at + 1),
              QStringLiteral("      ") + QDir::toNativeSeparators(damaged) + QStringLiteral(", line 3: an S4 record, a reserved type that holds no data"));
    // The footer closes the command's log.
    EXPECT_EQ(lines.size(), at + 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.last().startsWith(QString(82, QLatin1Char('-'))));
    expectUntouched(before, there);
    EXPECT_TRUE(errors.empty());
}

// A PXM file whose info block would carry a start address in the bootloader's memory is
// refused before the modules are stopped, as the download of each module would refuse it.
TEST_P(DownloadFileCheck, AStartAddressInTheBootloadersMemoryEndsTheCommandBeforeAnyModuleIsStopped) {
    const FileCheckCase& c = GetParam();
    if (!pxmProfile(c.profile)) GTEST_SKIP() << "QTM and BZM info blocks are not checked";
    start(c.profile, c.cylinders);
    modGlobal::g_baseAdrAppl = 0;
    const int there = c.cylinders + 1;
    const QList<QByteArray> before = flashes(there);
    const QString path = dir.filePath(QStringLiteral("LOW.S19"));
    bindFile(posApplication, pattern(900, 23), 0x100, QStringLiteral("LOW.S19"));
    selectRow(posApplication);

    const auto [lines, at] = downloadAborted(there, QStringLiteral("start address in info block is invalid."));
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.value(at + 1), QStringLiteral("      ") + QDir::toNativeSeparators(path));
    // The check's own box was the only one shown.
    ASSERT_EQ(answers->shown().size(), 1u);
    EXPECT_TRUE(answers->anyTextContains(QStringLiteral("start address is within Bootloader1 memory")));
    answers->clear();
    expectUntouched(before, there);
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Roads, DownloadFileCheck,
                         ::testing::Values(FileCheckCase{"Qtm", sim::Profile::Qtm, 0, 0x10000},
                                           FileCheckCase{"Bzm", sim::Profile::Bzm, 0, 0x10000},
                                           FileCheckCase{"MBus", sim::Profile::MBus, 2, 0x100000},
                                           FileCheckCase{"SBus", sim::Profile::SBus, 2, 0x100000}),
                         CaseName());
