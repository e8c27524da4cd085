// The update report: its blocks, its place, and that every way out leaves it.
#include "runfixture.h"
#include "errorlog.h"
#include "crashkill.h"

#include "desktop/desktopservices.h"
#include "mainwindow/frmmain.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "updater/updaterinstall.h"

#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace runtest;

namespace {

TEST_F(RunTest, AFailedRunWritesTheHeaderTheFailedLineAndTheWholeLogInCrLfLines) {
    makeConfig({});
    site.downloadFails = {2};
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    run->addMessageUpdater(QString("  Hull \u00e9\u20ac"), -1);
    run->writeReport();
    const QByteArray bytes = fileBytes(run->reportFile());
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_GT(lines.size(), 20);
    for (int i = 0; i < lines.size() - 1; ++i) EXPECT_TRUE(lines[i].endsWith('\r')) << i;
    EXPECT_TRUE(lines[0].startsWith("------------------- KELB-3817 Update Tool started  "));
    EXPECT_EQ(lines[1], "  Hull-Number: HULL-NO-4711    \r");
    EXPECT_EQ(lines[6], "  Appl-CRC: 0x1111   / Len: 65536   before update\r");
    EXPECT_EQ(lines[7], "\r");  // the value after the update was never read
    EXPECT_EQ(lines[10], "\r");
    EXPECT_EQ(lines[13], "KELB-3817 Software update failed. Find more details in the report below.\r");
    EXPECT_EQ(lines[14], "\r");
    EXPECT_EQ(lines[15], "------------------------------------- Report Details  -------------------------------------\r");
    EXPECT_EQ(lines[16], "Step 1: Prepare connection to KELB\r");
    EXPECT_TRUE(bytes.contains("   Following PXM's failed: PXM #02!\r\n"));
    EXPECT_TRUE(bytes.contains("  Hull \xE9\x80\r\n"));  // Windows-1252
    EXPECT_TRUE(lines[lines.size() - 3].startsWith("------------------- KELB-3817 Update Tool terminated  "));
    EXPECT_EQ(lines[lines.size() - 2], "\r");
    EXPECT_TRUE(lines.last().isEmpty());
}

TEST_F(RunTest, TwoRunsAppendTwoBlocksAndAReportWrittenBeforeTheEndIsNotWrittenAgain) {
    makeConfig({});
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    ASSERT_FALSE(w->cmdOpenReport->isHidden());
    run->writeReport();
    const QByteArray first = fileBytes(run->reportFile());
    EXPECT_EQ(first.count("Update Tool terminated"), 1);
    pressExit();
    tick();
    EXPECT_EQ(site.exits, 1);
    EXPECT_EQ(fileBytes(run->reportFile()), first);

    // The next start of the program.
    run.reset();
    w.reset();
    site = FakeSite();
    site.programFolder = dir.path();
    site.published[symCrcAppl] = le32(newCrc);
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }));
    run->writeReport();
    const QByteArray both = fileBytes(run->reportFile());
    EXPECT_TRUE(both.startsWith(first));
    EXPECT_TRUE(both.mid(first.size()).contains("KELB-3817 Software update was not necessary."));
}

// The report of earlier runs stays whole and this run's block is added whole or not at all.
TEST_F(RunTest, CrashAKilledAppendLeavesTheOldReportOrTheOldAndTheWholeNewBlock) {
    makeConfig({});
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    const QString path = UpdateRun::reportPath(dir.path());
    const QByteArray old = QByteArray("an earlier run's block\r\n").repeated(2000);
    QByteArray block;
    testsupport::CrashRuns runs;
    runs.prepare = [&] { ASSERT_TRUE(testsupport::writeFile(path, old)); };
    runs.write = [&] { run->writeReport(); };
    runs.check = [&](int n) {
        const QByteArray now = fileBytes(path);
        if (n < 0) block = now.mid(old.size());
        EXPECT_TRUE(now == old || now == old + block) << "run " << n << ": " << now.size() << " bytes";
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
    EXPECT_TRUE(block.contains("KELB-3817 Software update was not necessary.") || block.contains("successfully updated"))
        << block.toStdString();
}

TEST_F(RunTest, AProgramFolderThatCannotBeWrittenSendsTheReportToTheConfigurationFolder) {
    makeConfig({});
    site.programFolder = QDir(dir.path()).filePath("installed/bin");  // not there, so not writable
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }));
    run->writeReport();
    const QString expected = QDir(modGlobal::g_configDir).filePath("KELB-3817 Update Tool Report.txt");
    EXPECT_EQ(run->reportFile(), expected);
    EXPECT_TRUE(QFile::exists(expected));
    EXPECT_TRUE(logHas("  Report written to " + QDir::toNativeSeparators(expected)));
    EXPECT_EQ(UpdateRun::reportPath(site.programFolder), expected);
}

TEST_F(RunTest, AReportThatCannotBeWrittenGoesToTheErrorHandlerAndIsTriedAgain) {
    makeConfig({});
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }));
    const QString path = UpdateRun::reportPath(dir.path());
    ASSERT_TRUE(QDir().mkdir(path));  // a folder in the file's place
    run->writeReport();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].object, "frmMain");
    EXPECT_EQ(errors[0].procedure, "writeReport");
    EXPECT_TRUE(run->reportFile().isEmpty());
    ASSERT_TRUE(QDir().rmdir(path));
    run->writeReport();
    EXPECT_EQ(run->reportFile(), path);
    EXPECT_TRUE(QFile::exists(path));
}

// With the program's own wiring: closing the main window, or ending on an error.
class ReportOnEveryWayOut : public WiredRunTest {
protected:
    void SetUp() override {
        WiredRunTest::SetUp();
        processEndLink::install(&endCounter);
    }
    void TearDown() override {
        processEndLink::install(nullptr);
        WiredRunTest::TearDown();
    }
    QString text() const { return wired->window().txtUserInfo->toPlainText(); }
    QStringList updateLog() const {
        QStringList lines;
        const QListWidget* list = wired->window().lstMessageUpdater;
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    }
    // What was handed to the desktop to open.
    QStringList opened() const {
        QStringList targets;
        for (const auto& request : desktopRequests.seen) targets << request.second;
        return targets;
    }
    int ends = 0;
    testsupport::EndCounter endCounter{ends};
    testsupport::DesktopRecorder desktopRequests;
};

TEST_F(ReportOnEveryWayOut, OpenReportWritesTheReportOnceAndOpensIt) {
    ASSERT_TRUE(runUntil([&] { return wired->step() == 11 && !wired->window().timCyclic.isEnabled(); }));
    wired->window().cmdOpenReport->click();
    const QString path = UpdateRun::reportPath(dir.path());
    EXPECT_EQ(opened(), QStringList{path});
    EXPECT_EQ(main->m_reportFile, path);
    const QByteArray first = fileBytes(path);
    EXPECT_TRUE(first.contains("KELB-3817 Software is successfully updated."));
    main->close();
    EXPECT_EQ(fileBytes(path), first);
}

TEST_F(ReportOnEveryWayOut, OpenInstructionBeforeAnyReportOpensTheProgramFoldersFile) {
    site.downloadFails = {2};
    ASSERT_TRUE(runUntil([&] { return !wired->window().cmdOpenReport->isHidden(); }));
    ASSERT_EQ(wired->window().cmdOpenReport->text(), "Open Instruction");
    wired->window().cmdOpenReport->click();
    EXPECT_EQ(opened(), QStringList{QDir(dir.path()).filePath("Instruction.txt")});
    EXPECT_FALSE(QFile::exists(UpdateRun::reportPath(dir.path())));
    // There is no such file: the log says so rather than leave the engineer with nothing.
    const QString missing =
        QStringLiteral("Instruction file not found: ") + QDir::toNativeSeparators(QDir(dir.path()).filePath("Instruction.txt"));
    EXPECT_EQ(updateLog().count(missing), 1) << updateLog().join('\n').toStdString();
}

TEST_F(ReportOnEveryWayOut, OpenInstructionWithTheFileThereLogsNothing) {
    site.downloadFails = {2};
    QFile instruction(QDir(dir.path()).filePath("Instruction.txt"));
    ASSERT_TRUE(instruction.open(QIODevice::WriteOnly));
    instruction.write("Call the service.\r\n");
    instruction.close();
    ASSERT_TRUE(runUntil([&] { return !wired->window().cmdOpenReport->isHidden(); }));
    wired->window().cmdOpenReport->click();
    EXPECT_EQ(opened(), QStringList{instruction.fileName()});
    EXPECT_TRUE(updateLog().filter(QStringLiteral("Instruction file")).isEmpty()) << updateLog().join('\n').toStdString();
}

TEST_F(ReportOnEveryWayOut, ClosingTheMainWindowWritesTheReport) {
    ASSERT_TRUE(runUntil([&] { return text().startsWith("T61"); }));
    ASSERT_EQ(wired->step(), 7);
    main->close();
    const QByteArray bytes = fileBytes(UpdateRun::reportPath(dir.path()));
    EXPECT_TRUE(bytes.contains("KELB-3817 Software update was canceled by the user!"));
    EXPECT_FALSE(bytes.contains("successfully updated"));
}

TEST_F(ReportOnEveryWayOut, EndingOnAnErrorWritesTheReport) {
    ASSERT_TRUE(runUntil([&] { return text().startsWith("T61"); }));
    ErrPtnr::endProgram();
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(QFile::exists(UpdateRun::reportPath(dir.path())));
}

// Nobody canceled a run that a check ended with the program (the application-type check of
// the bus set-up, End in the error form): the report says it failed, with the cause logged.
TEST_F(ReportOnEveryWayOut, AnErrorEndBeforeTheRunsEndIsAFailedRunNotACancel) {
    ASSERT_TRUE(runUntil([&] { return wired->step() == 2; }));
    wired->addMessageUpdater(QStringLiteral("The connected PXM application does not fit to the S19 application file!\r"), -1);
    ErrPtnr::endProgram();
    const QByteArray bytes = fileBytes(UpdateRun::reportPath(dir.path()));
    EXPECT_TRUE(bytes.contains("KELB-3817 Software update failed. Find more details in the report below.")) << bytes.toStdString();
    EXPECT_FALSE(bytes.contains("canceled by the user"));
    EXPECT_TRUE(bytes.contains("The connected PXM application does not fit to the S19 application file!\r\n"));
    EXPECT_TRUE(bytes.contains("  Update failed: the program ended before the update was done\r\n"));
}

// A run that reached its end keeps its outcome when the program then ends on an error.
TEST_F(ReportOnEveryWayOut, AnErrorEndAfterTheRunsEndKeepsItsOutcome) {
    ASSERT_TRUE(runUntil([&] { return wired->step() == 11 && !wired->window().timCyclic.isEnabled(); }));
    ErrPtnr::endProgram();
    const QByteArray bytes = fileBytes(UpdateRun::reportPath(dir.path()));
    EXPECT_TRUE(bytes.contains("KELB-3817 Software is successfully updated.")) << bytes.toStdString();
}

}  // namespace
