// The steps from the connection to the module check, and a whole successful run.
#include "runfixture.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace runtest;

namespace {

const QString eight = "HULL-NO-4711    |8RT-flex50      |3|7|0x1111|65536|0xABCD|512";

TEST_F(RunTest, ASuccessfulRunDownloadsStartsWritesTheCrcAndEndsWithTheSuccessText) {
    makeConfig({61});
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 7 && userText().startsWith("T61"); }, 400, false));
    EXPECT_EQ(userText(), "T61 " + eight);
    EXPECT_EQ(w->cmdOk->text(), "Update");
    pressOk();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));

    EXPECT_EQ(userText(), "T111 HULL-NO-4711    |8RT-flex50      |3|7|0x2222|65536|0xABCD|512");
    for (int step : {1, 2, 3, 4, 7, 8, 9, 10, 11}) EXPECT_EQ(fieldColour(step), UpdateWindow::green) << step;
    EXPECT_EQ(fieldColour(5), UpdateWindow::buttonFace);
    EXPECT_EQ(w->txtStep[1]->text(), "Connected to KELB");
    EXPECT_EQ(w->txtStep[3]->text(), "Build B7 Evaluated");
    EXPECT_EQ(w->txtStep[8]->text(), "Application started");
    EXPECT_EQ(w->cmdExitUpdater->text(), "Finish");
    EXPECT_TRUE(w->cmdExitUpdater->isEnabled());
    EXPECT_FALSE(w->cmdOpenReport->isHidden());
    EXPECT_EQ(site.downloaded, (FakeSite::Selection{true, true, true, true}));
    EXPECT_TRUE(site.calls.contains("setApplicationFile " + QDir(dir.path()).filePath("PXM_application.s19")));
    ASSERT_EQ(site.writes.size(), 1u);
    EXPECT_EQ(site.writes[0].first, symFirstCrc);
    EXPECT_EQ(site.writes[0].second, QByteArray::fromHex("22220000"));
    for (const char* line : {"   Build B7 detected ( CRC=0x1111 / Len=65536 )", "  All PXM's detected (Total 3 + 1 spare)",
                             "   Application Update for all PXM's successfully downloaded.", "  KELB started.", "   Appl CRC set",
                             "  Hull-Number: HULL-NO-4711    ", "  Engine Type: 8RT-flex50", "  Auto-Download: ON",
                             "  Appl-CRC: 0x1111   / Len: 65536   before update", "  Appl-CRC: 0x2222   / Len: 65536   after  update",
                             "Step 11: Update done"})
        EXPECT_TRUE(logHas(line)) << line;
    EXPECT_EQ(run->reportLines()[6], "  Appl-CRC: 0x1111   / Len: 65536   before update");
    EXPECT_EQ(run->reportLines()[7], "  Appl-CRC: 0x2222   / Len: 65536   after  update");
    EXPECT_TRUE(errors.empty());

    pressExit();
    EXPECT_EQ(site.exits, 0);
    tick();
    EXPECT_EQ(site.exits, 1);
    EXPECT_TRUE(reportText().contains("KELB-3817 Software is successfully updated.\r\n"));
}

// ---- Step 1: the four checks, in their order ----
struct ConnectCase {
    const char* name;
    std::function<void(RunTest&, FakeSite&, FakeBus&)> arrange;
    const char* field;
    const char* line;
    const char* text;
};

class ConnectFailures : public RunTest, public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectFailures, TheFirstFailingCheckEndsTheRunWithItsTexts) {
    const ConnectCase& c = GetParam();
    makeConfig({});
    c.arrange(*this, site, bus);
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 50, false));
    EXPECT_EQ(run->step(), 11);
    EXPECT_TRUE(run->updateFailed());
    EXPECT_EQ(w->txtStep[1]->text(), c.field);
    EXPECT_EQ(fieldColour(1), UpdateWindow::red);
    EXPECT_TRUE(logHas(c.line)) << log().join('\n').toStdString();
    EXPECT_EQ(userText(), c.text);
    EXPECT_TRUE(w->cmdOk->isHidden());
    EXPECT_TRUE(w->cmdExitUpdater->isEnabled());
    // The exit prompt ends the program on the next tick, with the failed report.
    pressExit();
    tick();
    EXPECT_EQ(site.exits, 1);
    EXPECT_TRUE(reportText().contains("KELB-3817 Software update failed. Find more details in the report below.\r\n"));
    EXPECT_TRUE(reportText().contains(QString(c.line) + "\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, ConnectFailures,
    ::testing::Values(
        ConnectCase{"NoBus", [](RunTest&, FakeSite&, FakeBus& b) { b.ok = false; }, "USB-to-CAN Init. Failed",
                    "   USB-to-CAN initialisation failure.", "T11"},
        ConnectCase{"NoModule", [](RunTest&, FakeSite&, FakeBus& b) { b.modulesAnswer = false; }, "No PXM detected",
                    "   No module detected!", "T13"},
        ConnectCase{"NotThroughTheSpare",
                    [](RunTest& t, FakeSite&, FakeBus& b) {
                        b.duringSetUp = [&t] { t.notConnectedToSpare(2); };
                    },
                    "Wrong PXM detected", "   PXM-#02 detected (Application is running)", "T12 2"},
        ConnectCase{"SpareStaysInBootloader",
                    [](RunTest&, FakeSite& s, FakeBus&) {
                        s.app[0] = false;
                        s.boot[0] = true;
                        s.startFails.insert(0);
                    },
                    "PXM in Bootloader", "   The application of the PXM-spare does not start.", "T14"}),
    [](const auto& info) { return std::string(info.param.name); });

// A spare found in its bootloader is started once; when it then runs, the run goes on.
TEST_F(RunTest, ASpareInItsBootloaderIsStartedAndTheRunGoesOn) {
    makeConfig({});
    site.app[0] = false;
    site.boot[0] = true;
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() >= 2; }));
    EXPECT_EQ(site.calls.count("restartAfterDownload 0"), 1);
    EXPECT_EQ(fieldColour(1), UpdateWindow::green);
    EXPECT_TRUE(logHas("   PXM-spare in bootloader state detected.")) << log().join('\n').toStdString();
    EXPECT_TRUE(logHas("   Application of the PXM-spare started.")) << log().join('\n').toStdString();
    EXPECT_FALSE(run->updateFailed());
}

TEST_F(RunTest, TheSystemInformationThatDoesNotArriveIsLoggedAsReadingFailed) {
    makeConfig({});
    site.published.erase(symBuild);
    site.published.erase(symHull + 2);
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 200, false));
    EXPECT_EQ(run->step(), 11);
    EXPECT_EQ(userText(), "T21");
    EXPECT_EQ(fieldColour(2), UpdateWindow::red);
    EXPECT_TRUE(logHas("  Application Build: reading failed"));
    EXPECT_TRUE(logHas("  Hull-Number: reading failed"));
    EXPECT_TRUE(logHas("  Application Developer: 2105"));
    // Every request was withdrawn at the time-out.
    EXPECT_EQ(site.serviceBits.back(), std::make_pair(qint32(symCrcLenAppl), 0));
}

TEST_F(RunTest, ADeveloperNumberFromThreeElevenOnAsksForTheLongEngineType) {
    makeConfig({});
    site.published[symDeveloper] = le32(1311);
    const char* parts[8] = {"LONG", "-ENG", "INE-", "TYPE", "-OF-", "EIGH", "T-PA", "RTS!"};
    for (int i = 0; i < 8; ++i) site.published[symEngineLong + i] = text4(parts[i]);
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 4; }));
    EXPECT_EQ(run->info().engineTypeSymbols, 8);
    EXPECT_EQ(run->info().engineType.text, "LONG-ENGINE-TYPE-OF-EIGHT-PARTS!");
    EXPECT_EQ(modGlobal::g_symSwInfoEngineType, symEngineLong);
}

// ---- Step 3: the build table ----

TEST_F(RunTest, AnUnknownBuildLeavesTheExitButtonAndEndsInStepElevenWithTheTimerRunning) {
    makeConfig({});
    site.published[symCrcAppl] = le32(0x3333);
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11; }, 200, false));
    EXPECT_EQ(w->txtStep[3]->text(), "Unknown Build");
    EXPECT_EQ(fieldColour(3), UpdateWindow::red);
    EXPECT_TRUE(logHas("   Build of Application with CRC=0x3333 is unknown!"));
    EXPECT_EQ(userText(), "T32");
    EXPECT_FALSE(w->cmdExitUpdater->isHidden());
    EXPECT_TRUE(w->timCyclic.isEnabled());
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 20, false));
    EXPECT_TRUE(logHas("  Update failed"));
    EXPECT_EQ(userText(), "T32");
    EXPECT_EQ(w->cmdExitUpdater->text(), "Finish");
    EXPECT_TRUE(w->cmdExitUpdater->isEnabled());
    pressExit();
    tick();
    EXPECT_EQ(site.exits, 1);
    EXPECT_TRUE(reportText().contains("KELB-3817 Software update failed."));
}

TEST_F(RunTest, AnInstalledUpdateWithAllModulesRunningRewritesItsCrcAndIsNotNecessary) {
    makeConfig({});
    site.published[symCrcAppl] = le32(newCrc);
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_TRUE(logHas("   Update is already installed for build B7 (CRC=0x2222)"));
    EXPECT_FALSE(site.calls.contains("download"));
    EXPECT_FALSE(logHas("Step 7: Download Application Update"));
    EXPECT_FALSE(logHas("Step 10: Check Update"));
    ASSERT_EQ(site.writes.size(), 1u);
    EXPECT_EQ(site.writes[0].second, le32(newCrc));
    EXPECT_EQ(w->txtStep[11]->text(), "Update not necessary");
    EXPECT_EQ(userText(), "T31");
    pressExit();
    tick();
    EXPECT_TRUE(reportText().contains("KELB-3817 Software update was not necessary.\r\n\r\n"));
}

TEST_F(RunTest, TheLoadFileIsTakenFromTheConfigurationFolderWhenTheProgramFolderLacksIt) {
    makeConfig({});
    const QString configFile = QDir(modGlobal::g_configDir).filePath("PXM_application.s19");
    ASSERT_TRUE(QFile::rename(loadFilePath(), configFile));
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 7 && userText().startsWith("T61"); }, 400, false));
    EXPECT_EQ(run->applFile(), configFile);
}

TEST_F(RunTest, TheMemoryLayoutAndBaseAddressFollowTheApplicationFile) {
    makeConfig({}, {{"baseAdrAppl_bigMem", "120000"}});
    appType.start = 0x100000;
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 7 && userText().startsWith("T61"); }, 400, false));
    EXPECT_TRUE(modGlobal::g_bigMem);
    EXPECT_EQ(modGlobal::g_baseAdrAppl, 0x120000);
}

// ---- The load file, read before the update prompt ----

struct LoadFileCase {
    const char* name;
    std::map<QString, QString> config;
    std::function<void(RunTest&, const QString& file, FakeSite&, FakeApplicationType&)> arrange;
    const char* cause;  // the update log's line; %1 is the file's path
};

class LoadFileFaults : public RunTest, public ::testing::WithParamInterface<LoadFileCase> {};

void putBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Nothing leaves its application: no download, no start, no symbol write, and the report
// names the cause.
TEST_P(LoadFileFaults, FailTheRunBeforeTheUpdatePrompt) {
    const LoadFileCase& c = GetParam();
    makeConfig({61, 63}, c.config);
    if (c.arrange) c.arrange(*this, loadFilePath(), site, appType);
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 200, false));
    const QString cause = QString::fromLatin1(c.cause).arg(QDir::toNativeSeparators(loadFilePath()));
    EXPECT_EQ(run->step(), 11);
    EXPECT_TRUE(run->updateFailed());
    EXPECT_TRUE(logHas(cause)) << log().join('\n').toStdString();
    EXPECT_EQ(userText(), "T44 " + cause.trimmed());
    EXPECT_EQ(fieldColour(4), UpdateWindow::red);
    EXPECT_EQ(w->txtStep[4]->text(), "Load File Rejected");
    EXPECT_TRUE(w->cmdOk->isHidden());
    EXPECT_FALSE(site.calls.contains("download"));
    EXPECT_FALSE(site.calls.contains("startApplication"));
    EXPECT_TRUE(site.writes.empty());
    EXPECT_TRUE(errors.empty()) << errors[0].description.toStdString();
    exitWithFailedReport();
    EXPECT_TRUE(reportText().contains(cause + "\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFileFaults,
    ::testing::Values(
        LoadFileCase{"NoApplItem", {{"appl_B7", QString()}}, {}, "   No application load file is named for build B7!"},
        LoadFileCase{"Missing", {}, [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) { QFile::remove(f); },
                     "   Application load file %1 not found!"},
        LoadFileCase{"Empty", {}, [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) { putBytes(f, {}); },
                     "   Application load file %1 is damaged (no S-record image)!"},
        LoadFileCase{"CutShort", {},
                     [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) {
                         const QByteArray b = fileBytes(f);
                         putBytes(f, b.left(b.size() / 2));
                     },
                     "   Application load file %1 is damaged (no S-record image)!"},
        LoadFileCase{"ChecksumWrong", {},
                     [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) {
                         QByteArray b = fileBytes(f);
                         const qsizetype eol = b.indexOf("\r\n", b.indexOf("\r\n") + 2);
                         b[eol - 1] = b[eol - 1] == '0' ? '1' : '0';
                         putBytes(f, b);
                     },
                     "   Application load file %1 is damaged (no S-record image)!"},
        LoadFileCase{"OtherApplicationType", {},
                     [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) {
                         writeLoadFile(f, "VEDR PXM-20 application");
                     },
                     "   Application load file %1 is a VEDR application, the modules run KELB!"},
        LoadFileCase{"ModulesTypeUnknown", {},
                     [](RunTest&, const QString&, FakeSite&, FakeApplicationType& t) { t.connected = 4; },
                     "   Application type of the modules could not be read!"},
        // Without the build's newest CRC nothing could prove the update afterwards.
        LoadFileCase{"NoNewestRow", {{"0x2222", QString()}}, {}, "   No newest application CRC is known for build B7!"},
        // The update is installed, a module waits in its bootloader: its download is checked too.
        LoadFileCase{"BootloaderModuleOtherType", {},
                     [](RunTest&, const QString& f, FakeSite& s, FakeApplicationType&) {
                         writeLoadFile(f, "DRVO PXM-20 application");
                         s.published[symCrcAppl] = le32(newCrc);
                         s.app[2] = false;
                         s.boot[2] = true;
                     },
                     "   Application load file %1 is a DRVO application, the modules run KELB!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, AnInstalledUpdateWithAllModulesRunningDoesNotNeedTheLoadFile) {
    makeConfig({});
    QFile::remove(loadFilePath());
    site.published[symCrcAppl] = le32(newCrc);
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_FALSE(run->updateFailed());
    EXPECT_EQ(userText(), "T31");
}

// ---- Step 4: the modules ----

TEST_F(RunTest, AutoDownloadOffIsSwitchedOnAndAsksForARestartAfterFifteenSeconds) {
    makeConfig({});
    site.published[symAutoDownload] = le32(0);
    start();
    ASSERT_TRUE(reachWork(4, false));
    EXPECT_EQ(userText(), "T41");
    EXPECT_TRUE(logHas("   Autodownload is not activated yet!"));
    ASSERT_EQ(site.writes.size(), 1u);
    EXPECT_EQ(site.writes[0], std::make_pair(qint32(symAutoDownload), QByteArray::fromHex("01000000")));
    // A value published meanwhile does not hold the run in the step for ever.
    qint32 key = symAutoDownload;
    run->setSystemValue(setter("g_setAutoDownload"), le32(1), key);
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 40, false));
    EXPECT_EQ(userText(), "T42");
    EXPECT_TRUE(logHas("   Autodownload-Activation done --> reboot of KELB necessary."));
    EXPECT_TRUE(run->updateFailed());
    EXPECT_FALSE(site.calls.contains("download"));
}

struct MissingCase {
    const char* name;
    int cylinders;
    std::vector<int> absent;
    const char* countLine;
    const char* list;
};

class MissingModules : public RunTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingModules, TheModuleCheckNamesEveryMissingModule) {
    const MissingCase& c = GetParam();
    makeConfig({});
    site.published[symCylinders] = le32(c.cylinders);
    site.app.fill(true);
    for (int m : c.absent) site.app[m] = false;
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 200, false));
    EXPECT_EQ(run->step(), 11);
    EXPECT_TRUE(logHas(c.countLine)) << log().join('\n').toStdString();
    EXPECT_TRUE(logHas(QString("   Following PXM's are missing: %1!").arg(c.list)));
    EXPECT_EQ(userText(), QString("T43 %1").arg(c.list));
    EXPECT_EQ(fieldColour(4), UpdateWindow::red);
    EXPECT_FALSE(site.calls.contains("download"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingModules,
    ::testing::Values(MissingCase{"OneCylinder", 6, {2}, "   Not all PXM's detected (only 6 of 7)!", "PXM #02"},
                      MissingCase{"TwoCylinders", 3, {1, 3}, "   Not all PXM's detected (only 2 of 4)!", "PXM #01, PXM #03"},
                      // More cylinders than modules can exist: those beyond 14 are missing.
                      MissingCase{"CountAboveFourteen", 16, {}, "   Not all PXM's detected (only 15 of 17)!", "PXM #15, PXM #16"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, AnInstalledUpdateWithModulesInTheBootloaderLoadsOnlyThoseAndEndsAsAnUpdate) {
    makeConfig({});
    site.published[symCrcAppl] = le32(newCrc);
    site.app[2] = false;
    site.boot[2] = true;
    start();
    ASSERT_TRUE(tickUntil([&] { return userText().startsWith("T63"); }, 200, false));
    EXPECT_EQ(userText(), "T63 HULL-NO-4711    |8RT-flex50      |3|7|0x2222|65536|0xABCD|512 in bootloader: PXM #02");
    EXPECT_EQ(run->step(), 7);
    EXPECT_TRUE(logHas("   Following PXM's are in bootloader: PXM #02!"));
    EXPECT_EQ(w->cmdOk->text(), "Update");
    pressOk();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_EQ(site.downloaded, (FakeSite::Selection{false, false, true}));
    EXPECT_TRUE(logHas("Step 10: Check Update"));
    EXPECT_TRUE(userText().startsWith("T111"));
    pressExit();
    tick();
    EXPECT_TRUE(reportText().contains("KELB-3817 Software is successfully updated."));
}

}  // namespace
