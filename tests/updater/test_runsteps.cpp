// The steps from the connection to the module check, and a whole successful run.
#include "runfixture.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

using namespace runtest;
using moduleProtocol::symbolKey;

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
    EXPECT_EQ(site.downloaded, (moduleProtocol::Selection{true, true, true, true}));
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
    std::function<void(RunTest&, FakeSite&)> arrange;
    const char* field;
    const char* line;
    const char* text;
};

class ConnectFailures : public RunTest, public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectFailures, TheFirstFailingCheckEndsTheRunWithItsTexts) {
    const ConnectCase& c = GetParam();
    makeConfig({});
    c.arrange(*this, site);
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
        ConnectCase{"NoBus", [](RunTest&, FakeSite& s) { s.busUp = false; }, "USB-to-CAN Init. Failed",
                    "   USB-to-CAN initialisation failure.", "T11"},
        ConnectCase{"NoModule", [](RunTest&, FakeSite& s) { s.modulesAnswer = false; }, "No PXM detected",
                    "   No module detected!", "T13"},
        ConnectCase{"NotThroughTheSpare",
                    [](RunTest& t, FakeSite& s) {
                        s.duringSetUp = [&t] { t.notConnectedToSpare(2); };
                    },
                    "Wrong PXM detected", "   PXM-#02 detected (Application is running)", "T12 2"},
        ConnectCase{"SpareStaysInBootloader",
                    [](RunTest&, FakeSite& s) {
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
    const QString path = QDir::toNativeSeparators(loadFilePath());
    const QString cause = QString::fromLatin1(c.cause).arg(path);
    EXPECT_EQ(run->step(), 11);
    EXPECT_TRUE(run->updateFailed());
    const QStringList lines = log();
    const qsizetype at = lines.indexOf(cause);
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    QString shown = cause.trimmed();
    // A file that does not convert is followed by the reader's reason, which names it.
    if (cause.endsWith(QLatin1String("is damaged (no S-record image)!"))) {
        const QString reason = lines.value(at + 1);
        EXPECT_TRUE(reason.startsWith("      " + path + ", line ") || reason.startsWith("      " + path + ": "))
            << reason.toStdString();
        shown += ' ' + reason.trimmed();
    }
    EXPECT_EQ(userText(), "T44 " + shown);
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
        // A well-formed file of the right type whose image is not the build's newest.
        LoadFileCase{"AnotherBuild", {},
                     [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) {
                         writeLoadFile(f, "KELB-3817 PXM-20 application", 0x3333);
                     },
                     "   Application load file %1 has the application CRC 0x3333, not the newest CRC 0x2222 of build B7!"},
        LoadFileCase{"RecordTypeDamaged", {},
                     [](RunTest&, const QString& f, FakeSite&, FakeApplicationType&) {
                         QByteArray b = fileBytes(f);
                         const qsizetype second = b.indexOf("\r\n") + 2;
                         b[second + 1] = '4';
                         putBytes(f, b);
                     },
                     "   Application load file %1 is damaged (no S-record image)!"},
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

// The file proven is the one the download sends: a "_New" variant of another build is
// refused although the build's own file is good.
TEST_F(RunTest, TheFileCheckedIsTheOneTheDownloadSends) {
    makeConfig({61});
    const QString variant = QDir(dir.path()).filePath("PXM_application_New.s19");
    writeLoadFile(variant, "KELB-3817 PXM-20 application", 0x3333);
    site.sentInstead = variant;
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 200, false));
    EXPECT_TRUE(logHas("   Application load file " + QDir::toNativeSeparators(variant) +
                       " has the application CRC 0x3333, not the newest CRC 0x2222 of build B7!"))
        << log().join('\n').toStdString();
    EXPECT_FALSE(site.calls.contains("download"));
}

// Without the build's newest CRC the file cannot be compared: the run goes on, says so,
// and ends after the start of the applications without a CRC to write.
TEST_F(RunTest, ABuildWithoutANewestCrcDownloadsTheFileUnchecked) {
    makeConfig({61}, {{"0x2222", QString()}});
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_TRUE(logHas("   The build table names no newest application CRC for build B7: the load file was not "
                       "checked against it."))
        << log().join('\n').toStdString();
    EXPECT_TRUE(site.calls.contains("download"));
    EXPECT_FALSE(run->updateFailed());
    EXPECT_TRUE(site.writes.empty());
    EXPECT_TRUE(userText().startsWith("T111")) << userText().toStdString();
}

// Text 44 is the tool's own: a site without its row shows the tool's wording, while a text
// the run has always had, when missing, keeps the not-found text.
TEST_F(RunTest, TextsASiteLacksFallBackToTheToolsOwnWordingOnlyWhereTheToolHasOne) {
    textsMissing = {44, 102, 43};
    makeConfig({61});
    writeLoadFile(loadFilePath(), "KELB-3817 PXM-20 application", 0x3333);
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 200, false));
    EXPECT_EQ(userText(),
              "The application load file of this build cannot be used: Application load file " +
                  QDir::toNativeSeparators(loadFilePath()) +
                  " has the application CRC 0x3333, not the newest CRC 0x2222 of build B7! No module was changed.");
    run.reset();
    w.reset();
    site.app[2] = false;
    start();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 200, false));
    EXPECT_EQ(userText(), "Application Mode Specific Message text not found in database: 43") << userText().toStdString();
}

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
    EXPECT_EQ(site.downloaded, (moduleProtocol::Selection{false, false, true}));
    EXPECT_TRUE(logHas("Step 10: Check Update"));
    EXPECT_TRUE(userText().startsWith("T111"));
    pressExit();
    tick();
    EXPECT_TRUE(reportText().contains("KELB-3817 Software is successfully updated."));
}

// Installed on module 0, the update is checked on every cylinder by its own application
// CRC (the symbol's key with the cylinder's number): an old one is loaded, a silent one is
// named, the rest is not necessary.
struct CylinderCase {
    const char* name;
    std::map<int, qint32> crcs;  // cylinder: CRC it publishes under its own key
    std::set<int> silent;
    std::set<int> loaded;        // empty: the update stays not necessary
    const char* outdatedLine;
    const char* uncheckedLine;
};
void PrintTo(const CylinderCase& c, std::ostream* os) { *os << c.name; }

class CylinderCrcs : public RunTest, public ::testing::WithParamInterface<CylinderCase> {};

TEST_P(CylinderCrcs, SelectTheCylindersWithAnotherApplication) {
    const CylinderCase& c = GetParam();
    makeConfig({});
    site.published[symCrcAppl] = le32(newCrc);
    for (const auto& [m, crc] : c.crcs) site.publishedByKey[symbolKey(symCrcAppl, m)] = le32(crc);
    for (int m : c.silent) site.silentKeys.insert(symbolKey(symCrcAppl, m));
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() >= 7; }, 200, false));
    // Each cylinder was asked under its own key; module 0's CRC stays the system's.
    for (int m = 1; m <= 3; ++m) {
        SCOPED_TRACE(m);
        EXPECT_NE(std::find(site.serviceBits.begin(), site.serviceBits.end(), std::pair<qint32, int>{symbolKey(symCrcAppl, m), 1}),
                  site.serviceBits.end());
    }
    EXPECT_EQ(run->info().crcValueAppl, newCrc);
    const std::string text = log().join('\n').toStdString();
    EXPECT_EQ(logHas(QString::fromLatin1(c.uncheckedLine)), *c.uncheckedLine != 0) << text;
    // A silent cylinder's publication is withdrawn: nothing waits for it any longer, and
    // its answer coming late is not taken for the system's CRC.
    for (int m : c.silent) {
        EXPECT_NE(std::find(site.serviceBits.begin(), site.serviceBits.end(), std::pair<qint32, int>{symbolKey(symCrcAppl, m), 0}),
                  site.serviceBits.end());
        run->setSystemValue(setter("g_setCrcValueApplication"), le32(oldCrc), symbolKey(symCrcAppl, m));
        EXPECT_EQ(run->info().crcValueAppl, newCrc);
    }
    if (c.loaded.empty()) {
        ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
        EXPECT_FALSE(site.calls.contains("download"));
        EXPECT_EQ(userText(), "T31");
        return;
    }
    ASSERT_TRUE(tickUntil([&] { return userText().startsWith("T63"); }, 10, false));
    EXPECT_EQ(run->step(), 7);
    EXPECT_TRUE(logHas(QString::fromLatin1(c.outdatedLine))) << text;
    EXPECT_FALSE(logHas("   Not all PXM's are running in application mode!")) << text;
    pressOk();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    moduleProtocol::Selection expected{};
    for (int m : c.loaded) expected[m] = true;
    EXPECT_EQ(site.downloaded, expected);
    EXPECT_TRUE(logHas("Step 10: Check Update"));
    pressExit();
    tick();
    EXPECT_TRUE(reportText().contains("KELB-3817 Software is successfully updated."));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CylinderCrcs,
    ::testing::Values(
        CylinderCase{"AllNewest", {}, {}, {}, "", ""},
        CylinderCase{"OneOld", {{3, oldCrc}}, {}, {3}, "   Following PXM's do not run the newest application: PXM #03!", ""},
        // The high bits of a published CRC are no part of the 16-bit CRC.
        CylinderCase{"TwoOldOneWithHighBits", {{1, oldCrc}, {2, 0x10000 | newCrc}, {3, 0x7FFF0000 | oldCrc}}, {}, {1, 3},
                     "   Following PXM's do not run the newest application: PXM #01, PXM #03!", ""},
        CylinderCase{"OneSilent", {}, {2}, {}, "", "   Application CRC not received, not checked: PXM #02!"},
        CylinderCase{"OneSilentOneOld", {{1, oldCrc}}, {3}, {1},
                     "   Following PXM's do not run the newest application: PXM #01!",
                     "   Application CRC not received, not checked: PXM #03!"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
