// "UploadedHWInfoBlock.bin" meeting a full disk or a kill: the old file stays byte for byte
// or the new block replaces it whole; a full disk is an error with the system's reason.
// The form's template folder is empty until it is shown, so the file goes to the current
// folder, which the tests set.
#include "crashkill.h"
#include "fullfs.h"
#include "mainwindow/frmhwinfoblockrepair.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {
const QString kName = QStringLiteral("UploadedHWInfoBlock.bin");
const QByteArray kOld = QByteArray(312, '\x5A');
const QByteArray kNew = QByteArray(312, '\0');  // the form's block before a module is read

struct CurrentFolder {
    QString before = QDir::currentPath();
    explicit CurrentFolder(const QString& dir) { QDir::setCurrent(dir); }
    ~CurrentFolder() { QDir::setCurrent(before); }
};
}  // namespace

TEST(HwInfoBlockFile, OnAFullDiskTheOldFileStaysAndTheReasonIsShown) {
    testsupport::FullFileSystem fs;
    if (!fs.mounted()) GTEST_SKIP() << "no file system of the test's own can be mounted here";
    ASSERT_TRUE(testsupport::writeFile(fs.filePath(kName), kOld));
    fs.fill();
    const QStringList before = testsupport::filesIn(fs.path());
    testsupport::ScriptedAnswerer answers;
    {
        CurrentFolder here(fs.path());
        frmHWInfoBlockRepair::instance().cmdCreateFile_Click();
    }
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_EQ(answers.texts()[0], QStringLiteral("Uploaded Data could not be saved to file: ") + kName + QStringLiteral("\r") +
                                      testsupport::systemReason(ENOSPC));
    EXPECT_EQ(testsupport::readFile(fs.filePath(kName)), kOld);
    EXPECT_EQ(testsupport::filesIn(fs.path()), before);
}

TEST(HwInfoBlockFile, CrashAKilledSaveLeavesTheOldBlockOrTheNewOne) {
    QTemporaryDir dir;
    CurrentFolder here(dir.path());
    testsupport::ScriptedAnswerer answers;
    testsupport::CrashRuns runs;
    runs.runs = 24;
    runs.prepare = [&] { ASSERT_TRUE(testsupport::writeFile(dir.filePath(kName), kOld)); };
    runs.write = [] { frmHWInfoBlockRepair::instance().cmdCreateFile_Click(); };
    runs.check = [&](int run) {
        const QByteArray now = testsupport::readFile(dir.filePath(kName));
        EXPECT_TRUE(now == kOld || now == kNew) << "run " << run << ": " << now.size() << " bytes";
        EXPECT_EQ(testsupport::strayFilesBeside(dir.filePath(kName)), QStringList()) << "run " << run;
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
    frmHWInfoBlockRepair::instance().cmdCreateFile_Click();
    EXPECT_EQ(testsupport::filesIn(dir.path()), QStringList{kName});
}
