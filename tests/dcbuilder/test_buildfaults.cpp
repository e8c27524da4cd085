// BUILD DC meeting a full disk or killed at any moment: "PXM_DATA.S19" and, in debug mode,
// "PXM_DATA.bin" stay as they were or are replaced whole; a failed write stops the build
// with the system's reason and leaves no temporary file.
#include "builderfixture.h"

#include "crashkill.h"
#include "dao/dbfiles.h"
#include "fullfs.h"
#include "services/srecord.h"

#include <cerrno>

namespace {
QByteArray sRecImage(const QString& path) {
    QByteArray image;
    qint32 start = 0;
    return modDownload::g_sRecToBin(path, image, start) ? image : QByteArray("unreadable");
}
}  // namespace

class BuildDcFaults : public BuilderTest {
protected:
    const QByteArray oldImage = QByteArray(12, '\x11');
    // The download files of an earlier build in folder.
    void placeOldFiles(const QString& folder) {
        ASSERT_TRUE(modDownload::g_binToSRec(oldImage, 0xC0000, QStringLiteral("S28"), QDir(folder).filePath("PXM_DATA.S19")));
        ASSERT_TRUE(testsupport::writeFile(QDir(folder).filePath("PXM_DATA.bin"), oldImage));
    }
};

// The version lies on the test's disk and is linked into the full file system, so that
// only the download files meet the full disk.
TEST_F(BuildDcFaults, OnAFullDiskTheFirstFailedWriteStopsTheBuildWithItsReasonAndTheOldFilesStay) {
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug mode" : "normal mode");
        testsupport::FullFileSystem fs;
        if (!fs.mounted()) GTEST_SKIP() << "no file system of the test's own can be mounted here";
        const QString db = dcName(debug ? 2 : 1);
        makeDc(db);
        ASSERT_TRUE(QFile::link(db, fs.filePath(QFileInfo(db).fileName())));
        placeOldFiles(fs.path());
        if (!debug) QFile::remove(fs.filePath("PXM_DATA.bin"));
        modGlobal::g_debugMode = debug;
        builder().g_show(fs.path());
        ASSERT_TRUE(builder().isLoaded());
        const QByteArray oldS19 = testsupport::readFile(fs.filePath("PXM_DATA.S19"));
        fs.fill();
        const QStringList before = testsupport::filesIn(fs.path());
        errors.seen.clear();

        builder().cmdBuild_Click();
        const QStringList l = log();
        const QString bin = QDir::toNativeSeparators(fs.filePath("PXM_DATA.bin"));
        const QString reason = testsupport::systemReason(ENOSPC);
        if (debug) {
            EXPECT_TRUE(l.contains(QStringLiteral("      Image file ") + bin + QStringLiteral(" cannot be written: ") + reason))
                << l.join(QLatin1Char('\n')).toStdString();
            EXPECT_FALSE(l.contains(QStringLiteral("   Build S-Rec-file")));
            EXPECT_EQ(testsupport::readFile(fs.filePath("PXM_DATA.bin")), oldImage);
        } else {
            const QString s19 = QDir::toNativeSeparators(fs.filePath("PXM_DATA.S19"));
            const auto at = l.indexOf(QStringLiteral("      ") + s19 + QStringLiteral(" could not be written!"));
            ASSERT_GE(at, 0) << l.join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(l.value(at + 1), QStringLiteral("      ") + reason);
        }
        EXPECT_TRUE(l.contains(QStringLiteral("DC-S19-File cannot been built!")));
        EXPECT_TRUE(errors.seen.empty()) << errors.seen.front().description.toStdString();
        EXPECT_EQ(testsupport::readFile(fs.filePath("PXM_DATA.S19")), oldS19);
        QStringList after = testsupport::filesIn(fs.path());
        after.removeAll(QStringLiteral("PXM_DATA.txt"));  // the debug log, empty
        EXPECT_EQ(after, before);
        builder().unload();
    }
}

TEST_F(BuildDcFaults, CrashAKilledBuildLeavesTheDownloadFilesOldOrNew) {
    const QString db = dcName(1);
    makeDc(db);
    const QString pristine = dir.filePath("pristine.db");
    ASSERT_TRUE(QFile::copy(db, pristine));
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug mode" : "normal mode");
        modGlobal::g_debugMode = debug;
        builder().g_show(dir.path());
        ASSERT_TRUE(builder().isLoaded());
        const QString s19 = dir.filePath("PXM_DATA.S19"), bin = dir.filePath("PXM_DATA.bin");
        testsupport::CrashRuns runs;
        runs.prepare = [&] {
            ASSERT_TRUE(dao::CopyFileSafely(pristine, db));
            placeOldFiles(dir.path());
        };
        runs.write = [&] { builder().cmdBuild_Click(); };
        runs.check = [&](int run) {
            const QByteArray s = sRecImage(s19);
            EXPECT_TRUE(s == oldImage || s == expectedImage()) << "run " << run << ": " << s.toHex().toStdString();
            if (debug) {
                const QByteArray b = testsupport::readFile(bin);
                EXPECT_TRUE(b == oldImage || b == expectedImage()) << "run " << run << ": " << b.toHex().toStdString();
            }
            for (const QString& f : {s19, bin})
                EXPECT_EQ(testsupport::strayFilesBeside(f), QStringList()) << "run " << run;
        };
        EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
        builder().cmdBuild_Click();
        EXPECT_EQ(testsupport::filesBeside(s19), QStringList());
        EXPECT_EQ(testsupport::filesBeside(bin), QStringList());
        builder().unload();
    }
}
