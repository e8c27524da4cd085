// Writers meeting a full disk or killed at any moment: the S-record file (the upload's and
// the builder's) and the failure log's Save leave the old file or the new one, never an
// empty one, and no temporary file; a full disk is an error with the system's reason.
#include "formfixture.h"

#include "crashkill.h"
#include "desktop/runtimeerror.h"
#include "fullfs.h"
#include "services/errptnr.h"
#include "services/programinfo.h"
#include "services/srecord.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <cerrno>

using modDownload::g_binToSRec;

namespace {
QByteArray imageOf(int size, int seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}
QByteArray readSRec(const QString& path) {
    QByteArray image;
    qint32 start = 0;
    return modDownload::g_sRecToBin(path, image, start) ? image : QByteArray("unreadable");
}
}  // namespace

TEST(SRecordWriteFault, OnAFullDiskTheOldFileStaysAndTheReasonIsTheSystems) {
    testsupport::FullFileSystem fs;
    if (!fs.mounted()) GTEST_SKIP() << "no file system of the test's own can be mounted here";
    const QString path = fs.filePath(QStringLiteral("PXM_DATA.S19"));
    ASSERT_TRUE(g_binToSRec(imageOf(40, 1), 0xC0000, QStringLiteral("S28"), path));
    const QByteArray old = testsupport::readFile(path);
    fs.fill();
    const QStringList before = testsupport::filesIn(fs.path());
    // Below and above the size that is written straight through, past the buffer.
    for (const int size : {1000, 100 * 1024}) {
        QString error;
        EXPECT_FALSE(g_binToSRec(imageOf(size, 2), 0xC0000, QStringLiteral("S28"), path, error)) << size;
        EXPECT_EQ(error, testsupport::systemReason(ENOSPC)) << size;
        EXPECT_EQ(testsupport::readFile(path), old) << size;
        EXPECT_EQ(testsupport::filesIn(fs.path()), before) << size;
    }
}

TEST(SRecordWriteFault, CrashAKilledWriteLeavesTheOldFileOrTheNewOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("upload.s28"));
    const QByteArray oldImage = imageOf(64, 3), newImage = imageOf(1 << 20, 4);
    testsupport::CrashRuns runs;
    runs.prepare = [&] { ASSERT_TRUE(g_binToSRec(oldImage, 0x30000, QStringLiteral("S28"), path)); };
    runs.write = [&] { g_binToSRec(newImage, 0x30000, QStringLiteral("S28"), path); };
    runs.check = [&](int run) {
        const QByteArray read = readSRec(path);
        EXPECT_TRUE(read == oldImage || read == newImage) << "run " << run << ": " << read.size() << " bytes";
        EXPECT_EQ(testsupport::strayFilesBeside(path), QStringList()) << "run " << run;
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
    runs.prepare();
    EXPECT_EQ(testsupport::filesIn(dir.path()), QStringList{QStringLiteral("upload.s28")});
}

// Only the names the save-file class gives its temporaries (a dot and six letters) go.
TEST(SRecordWriteFault, AWriteRemovesTheTemporariesKilledWritesOfItsFileLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PXM_DATA.S19"));
    const QStringList left{QStringLiteral("PXM_DATA.S19.AbCdEf"), QStringLiteral("PXM_DATA.S19.qwerty")};
    const QStringList kept{QStringLiteral("PXM_DATA.S19.bak"), QStringLiteral("PXM_DATA.S19.AbCd12"),
                           QStringLiteral("PXM_DATA.S19.AbCdEfG"), QStringLiteral("OTHER.S19.AbCdEf")};
    for (const QString& name : left + kept) ASSERT_TRUE(testsupport::writeFile(dir.filePath(name), "left"));
    ASSERT_TRUE(g_binToSRec(imageOf(16, 5), 0, QStringLiteral("S19"), path));
    QStringList expected = kept;
    expected << QStringLiteral("PXM_DATA.S19");
    expected.sort();
    EXPECT_EQ(testsupport::filesIn(dir.path()), expected);
}

namespace {
using ErrPtnr::Form;

// Raises one error and saves its failure log from the dialog, confirming an overwrite;
// the texts the user saw.
QString saveFailureLog() {
    testsupport::ScriptedAnswerer answers;
    ErrPtnr::g_installErrorForm();
    answers.push(Dialogs::vbYes);
    answers.pushForm([](QDialog* d) {
        auto* f = static_cast<Form*>(d);
        f->cmdProtocol[1]->click();
        f->cmdContinue[1]->click();
        return -1;
    });
    trap("modFileFct", "g_checkFile", [] { throw RuntimeError(13, QStringLiteral("Type mismatch")); });
    return answers.texts().join(QLatin1Char('|'));
}

}  // namespace

using FailureLogWriteFault = FormTest;

TEST_F(FailureLogWriteFault, WhenTheFileCannotGrowTheOldLogStaysAndTheReasonIsShown) {
    const QString name = Form::logFileName();
    ASSERT_TRUE(testsupport::writeFile(name, "old"));
    const QString seen = testsupport::underFileSizeLimit(200, saveFailureLog);
    EXPECT_TRUE(seen.contains(QStringLiteral("The failure-log could not be written into file '") + name + QStringLiteral("' !\r\n") +
                              testsupport::systemReason(EFBIG)))
        << seen.toStdString();
    EXPECT_FALSE(seen.contains(QStringLiteral("has been written")));
    EXPECT_EQ(testsupport::readFile(name), QByteArray("old"));
    EXPECT_EQ(testsupport::filesBeside(name), QStringList());
    QFile::remove(name);
}

TEST_F(FailureLogWriteFault, CrashAKilledSaveLeavesTheOldLogOrTheNewOne) {
    const QString name = Form::logFileName();
    QByteArray written;
    testsupport::CrashRuns runs;
    runs.prepare = [&] { ASSERT_TRUE(testsupport::writeFile(name, "old")); };
    runs.write = [] { saveFailureLog(); };
    runs.check = [&](int run) {
        const QByteArray now = testsupport::readFile(name);
        if (run < 0) written = now;
        EXPECT_TRUE(now == "old" || (now == written && now.endsWith("\r\n") && now.size() > 100))
            << "run " << run << ": " << now.size() << " bytes";
        EXPECT_EQ(testsupport::strayFilesBeside(name), QStringList()) << "run " << run;
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
    saveFailureLog();
    EXPECT_EQ(testsupport::filesBeside(name), QStringList());
    QFile::remove(name);
}
