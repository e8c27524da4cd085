// End to end: the program's automatic update run against the simulated M-Bus site (module
// 0 and three cylinder modules) in real time, with the engineer's answers given on the
// update window's buttons, judged by the report it leaves and by the modules' flash.
#include "updaterunfixture.h"

#include "can/moduleprotocol.h"
#include "cansim/converterscope.h"

#include <QDir>
#include <QLoggingCategory>
#include <QMutex>

using namespace e2e;

TEST_F(UpdateRunE2E, AWholeUpdateReachesEveryModulesFlashAndTheReportSaysSo) {
    startSite("mbus", 3);
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("------------------- KELB-3817 Update Tool started  ")) << lines[0].toStdString();
    const QByteArray factory = sim::factoryApplication(), image = newApplication();
    for (const QString& line :
         {QStringLiteral("  Hull-Number: HULL-0001       "), QStringLiteral("  Engine Type: 6L32"),
          QStringLiteral("  Application Build: 1234"), QStringLiteral("  Number of Cylinders: 3"),
          QStringLiteral("  Appl-CRC: %1   / Len: 1024   before update").arg(hex4(sim::applicationCrc(factory))),
          QStringLiteral("  Appl-CRC: %1   / Len: 4096   after  update").arg(hex4(sim::applicationCrc(image))),
          QStringLiteral("  IMO-CRC:  %1   / Len: 512   after  update").arg(hex4(sim::imoCrc(image))), kSuccess})
        EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\n" << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kFailed));
    expectModules(true);
    // The modules took the new application's CRC as their first application's.
    EXPECT_EQ(modules->symbolValue(0, kSymFirstCrc), sim::applicationCrc(image));
    // Start, the update prompt with the site's values, and the final text.
    ASSERT_EQ(prompts.size(), 3) << prompts.join('\n').toStdString();
    EXPECT_TRUE(prompts[1].startsWith("Ready to update hull HULL-0001")) << prompts[1].toStdString();
    EXPECT_TRUE(prompts[2].startsWith("The KELB-3817 software is updated")) << prompts[2].toStdString();
    EXPECT_TRUE(errors.empty());
}

TEST_F(UpdateRunE2E, ModulesThatRunTheNewestApplicationAreNotUpdatedAgain) {
    startSite("mbus", 3);
    installNewest();
    ASSERT_TRUE(runUpdate());
    const QByteArray image = newApplication();
    const QStringList lines = report();
    EXPECT_TRUE(lines.contains(kNotNecessary)) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kSuccess));
    expectModules(true);
    // The installed CRC is written again as the first application's.
    EXPECT_EQ(modules->symbolValue(0, kSymFirstCrc), sim::applicationCrc(image));
    EXPECT_TRUE(prompts.last().startsWith("The newest application of this build is already installed"))
        << prompts.join('\n').toStdString();
}

// The update is installed, but a cylinder waits in its bootloader: it alone is loaded
// and started, and the run ends as an update.
TEST_F(UpdateRunE2E, AModuleLeftInItsBootloaderIsLoadedAndStarted) {
    startSite("mbus", 3);
    installNewest();
    const QByteArray before = bootloaders->image(1, 6);
    bootloaders->invoke([](QList<sim::ModuleBootloader*>& list) { list[2]->flash().setImage(6, "half-loaded"); });
    leaveInBootloader(2);
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    EXPECT_TRUE(lines.contains(kSuccess)) << lines.join('\n').toStdString();
    EXPECT_TRUE(updateLog().contains("   Following PXM's are in bootloader: PXM #02!")) << updateLog().join('\n').toStdString();
    expectModules(true);
    EXPECT_EQ(modules->loadedSections(2), QList<int>{6});
    EXPECT_TRUE(modules->loadedSections(1).isEmpty());
    EXPECT_EQ(bootloaders->image(1, 6), before);
    EXPECT_TRUE(prompts.value(1).startsWith("The update of hull HULL-0001")) << prompts.join('\n').toStdString();
}

// An earlier run lost the bus in the cylinders' stage: module 0 and two cylinders run the
// newest application, cylinder 3 its old one. The run finds it by its own CRC, loads it
// alone, and ends as an update.
TEST_F(UpdateRunE2E, ACylinderLeftWithTheOldApplicationIsFoundByItsOwnCrcAndLoaded) {
    startSite("mbus", 3);
    installNewest(3);
    const QByteArray old = bootloaders->image(3, 6);
    ASSERT_NE(old, newApplication());
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    EXPECT_TRUE(lines.contains(kSuccess)) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kNotNecessary));
    EXPECT_TRUE(updateLog().contains("   Following PXM's do not run the newest application: PXM #03!"))
        << updateLog().join('\n').toStdString();
    EXPECT_FALSE(hasLineStarting(updateLog(), "   Application CRC not received")) << updateLog().join('\n').toStdString();
    expectModules(true);
    EXPECT_EQ(modules->loadedSections(3), QList<int>{6});
    for (int m : {0, 1, 2}) EXPECT_TRUE(modules->loadedSections(m).isEmpty()) << m;
    EXPECT_TRUE(prompts.value(1).startsWith("The update of hull HULL-0001")) << prompts.join('\n').toStdString();
    EXPECT_TRUE(prompts.value(1).contains("PXM #03")) << prompts.join('\n').toStdString();
}

TEST_F(UpdateRunE2E, LeavingAtTheUpdatePromptCancelsAndRestartsTheApplications) {
    startSite("mbus", 3);
    ASSERT_TRUE(runUpdate([](const QString& okCaption) { return okCaption != QLatin1String("Update"); }));
    const QStringList lines = report();
    const auto at = lines.indexOf(kCanceled);
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.value(at + 1), "Software is not updated!");
    EXPECT_FALSE(lines.contains(kSuccess));
    expectModules(false);
}

// A load file with one wrong record checksum fails the run and leaves every module in its
// application; the next run against the same modules, with the good file, updates them.
TEST_F(UpdateRunE2E, ARunWithADamagedLoadFileFailsAndTheNextWithTheGoodFileSucceeds) {
    startSite("mbus", 3);
    simconfig::LoadFile application;
    for (const simconfig::LoadFile& f : simconfig::loadFiles("PXM"))
        if (f.section == 6) application = f;
    const QString path = filePath(application.fileName);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    // The first data record's checksum: its last hex digit, before the CR.
    QByteArray& record = lines[1];
    const qsizetype last = record.endsWith('\r') ? record.size() - 2 : record.size() - 1;
    record[last] = record[last] == '0' ? '1' : '0';
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines.join('\n'));
    file.close();

    ASSERT_TRUE(runUpdate());
    QStringList first = report();
    EXPECT_TRUE(first.contains(kFailed)) << first.join('\n').toStdString();
    EXPECT_FALSE(first.contains(kSuccess));
    expectModules(false);

    // The engineer puts the good file in place and starts the program again.
    endProgram();
    ASSERT_TRUE(simconfig::writeLoadFile(dir.path(), application));
    ASSERT_TRUE(runUpdate());
    const QStringList both = report();
    EXPECT_GT(both.lastIndexOf(kSuccess), both.lastIndexOf(kFailed)) << both.join('\n').toStdString();
    expectModules(true);
}

// Every way the update goes wrong ends red: the report's failed block with the cause in
// its details, never the success line, and no module left without its application where
// the modules could run one.
struct RedPath {
    const char* name;
    QStringList simArgs;
    const char* cause;  // the start of a line of the report's details
    bool flashed;       // the new application reached the modules' flash
    int exitModule;     // a module left in its bootloader, -1 for none
};

void PrintTo(const RedPath& p, std::ostream* os) { *os << p.name; }

class UpdateRunRedE2E : public UpdateRunE2E, public ::testing::WithParamInterface<RedPath> {};

TEST_P(UpdateRunRedE2E, EndsWithTheFailedReport) {
    const RedPath& c = GetParam();
    startSite("mbus", 3, c.simArgs);
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    ASSERT_TRUE(lines.contains(kFailed)) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kSuccess));
    EXPECT_TRUE(hasLineStarting(lines, QString::fromLatin1(c.cause))) << c.cause << "\n" << lines.join('\n').toStdString();
    const QByteArray image = newApplication();
    for (int m = 0; m <= 3; ++m) {
        SCOPED_TRACE(m);
        if (c.simArgs.contains("--absent") && m == 2) continue;
        EXPECT_EQ(bootloaders->image(m, 6) == image, c.flashed);
        EXPECT_EQ(modules->mode(m), m == c.exitModule ? PxmModule::Mode::Bootloader : PxmModule::Mode::Application);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UpdateRunRedE2E,
    ::testing::Values(
        RedPath{"UnknownBuild", {"--unknown-build"}, "   Build of Application with CRC=0x", false, -1},
        RedPath{"MissingCylinder", {"--absent", "0x4"}, "   Following PXM's are missing: PXM #02!", false, -1},
        RedPath{"ModuleDoesNotStart",
                {"--boot-fault", "refuse-start", "--boot-fault-modules", "0x2"},
                "   Following PXM's did not start: PXM #01!",
                true,
                1},
        RedPath{"SymbolWithheld", {"--withhold", "PAR_SWINFO_BUILD"}, "  Application Build: reading failed", false, -1},
        RedPath{"AutoDownloadOff", {"--auto-download-off"}, "   Autodownload-Activation done --> reboot of KELB necessary.",
                false, -1},
        RedPath{"WrongCrcEcho", {"--wrong-crc-echo"}, "   Appl CRC not set!", true, -1},
        RedPath{"SilenceAfterUpdate", {"--silent-after-update"}, "   Application could not be checked!", true, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// A load file that cannot go to these modules ends the run before the update prompt, with
// every module still in its application and its flash untouched.
struct LoadFileFault {
    const char* name;
    std::function<void(UpdateRunE2E&)> arrange;
    const char* cause;  // the start of a line of the report's details
    const char* detail = nullptr;  // the end of the line after it, if any
};

void PrintTo(const LoadFileFault& f, std::ostream* os) { *os << f.name; }

class LoadFileE2E : public UpdateRunE2E, public ::testing::WithParamInterface<LoadFileFault> {
public:
    void replaceApplication(const QByteArray& image) { writeApplicationFile(image); }
    QString path(const QString& name) const { return filePath(name); }
    // The record type of one line of the application file changed; its checksum still holds.
    void retypeLine(int line, char type) {
        QFile f(path("PXM_application.s19"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        f.close();
        ASSERT_EQ(lines.value(line - 1).left(2), "S2");
        lines[line - 1][1] = type;
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(lines.join('\n'));
    }
};

TEST_P(LoadFileE2E, EndsWithTheFailedReportBeforeAnyModuleLeavesItsApplication) {
    const LoadFileFault& c = GetParam();
    startSite("mbus", 3);
    c.arrange(*this);
    const QList<QByteArray> before = flashes();
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    ASSERT_TRUE(lines.contains(kFailed)) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kCanceled));
    EXPECT_TRUE(hasLineStarting(lines, QString::fromLatin1(c.cause))) << c.cause << "\n" << lines.join('\n').toStdString();
    if (c.detail) {
        const auto at = std::find_if(lines.begin(), lines.end(),
                                     [&](const QString& l) { return l.startsWith(QString::fromLatin1(c.cause)); });
        ASSERT_NE(at, lines.end());
        ASSERT_NE(at + 1, lines.end());
        EXPECT_TRUE((at + 1)->endsWith(QString::fromLatin1(c.detail))) << (at + 1)->toStdString();
    }
    expectModulesUntouched(before);
    // Only the start text and the failure were shown: no update prompt.
    for (const QString& p : prompts) EXPECT_FALSE(p.startsWith("Ready to update")) << p.toStdString();
    EXPECT_TRUE(prompts.last().startsWith("The application load file of this build cannot be used:"))
        << prompts.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LoadFileE2E,
    ::testing::Values(
        LoadFileFault{"OtherApplicationType",
                      [](UpdateRunE2E& t) {
                          QByteArray image = newApplication();
                          image.replace(0, 9, "VEDR-0001");
                          static_cast<LoadFileE2E&>(t).replaceApplication(image);
                      },
                      "   Application load file "},
        LoadFileFault{"Missing",
                      [](UpdateRunE2E& t) { QFile::remove(static_cast<LoadFileE2E&>(t).path("PXM_application.s19")); },
                      "   Application load file "},
        LoadFileFault{"CutShort",
                      [](UpdateRunE2E& t) {
                          QFile f(static_cast<LoadFileE2E&>(t).path("PXM_application.s19"));
                          ASSERT_TRUE(f.open(QIODevice::ReadWrite));
                          f.resize(f.size() / 2);
                      },
                      "   Application load file "},
        // One type digit changed on the way: the checksum does not cover it.
        LoadFileFault{"RecordTypeS2ToS4",
                      [](UpdateRunE2E& t) { static_cast<LoadFileE2E&>(t).retypeLine(101, '4'); },
                      "   Application load file ", ", line 101: an S4 record, a reserved type that holds no data"},
        LoadFileFault{"RecordTypeS2ToS1",
                      [](UpdateRunE2E& t) { static_cast<LoadFileE2E&>(t).retypeLine(101, '1'); },
                      "   Application load file ", ", line 101: an S1 record in a file of S2 records"}),
    [](const auto& info) { return std::string(info.param.name); });

// A well-formed file of the right type that is not the build's newest application (one
// data byte changed, its record's checksum recomputed) is refused before the update
// prompt, naming both CRCs, with every module in its application and its flash untouched.
TEST_F(UpdateRunE2E, AnApplicationThatIsNotTheBuildsNewestIsRefusedBeforeThePrompt) {
    startSite("mbus", 3);
    QByteArray image = newApplication();
    image[1000] = char(image[1000] ^ 0x01);
    writeApplicationFile(image);
    const QList<QByteArray> before = flashes();
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    ASSERT_TRUE(lines.contains(kFailed)) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kSuccess));
    const QString expected = QStringLiteral("   Application load file %1 has the application CRC %2, not the newest CRC %3 of build 1234!")
                                 .arg(QDir::toNativeSeparators(filePath(QStringLiteral("PXM_application.s19"))),
                                      hex4(sim::applicationCrc(image)), hex4(sim::applicationCrc(newApplication())));
    EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << "\n" << lines.join('\n').toStdString();
    expectModulesUntouched(before);
    for (const QString& p : prompts) EXPECT_FALSE(p.startsWith("Ready to update")) << p.toStdString();
}

// Modules of another application type end the program at the bus set-up's type check; the
// report says the run failed and why, not that the engineer canceled it.
TEST_F(UpdateRunE2E, ModulesOfAnotherApplicationTypeEndTheProgramWithTheFailedReport) {
    startSite("mbus", 3, {"--app-name", "VEDR PXM-20"});
    const QList<QByteArray> before = flashes();
    ASSERT_TRUE(runUpdate());
    EXPECT_EQ(ends, 1);
    const QStringList lines = report();
    ASSERT_TRUE(lines.contains(kFailed)) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.contains(kCanceled));
    EXPECT_TRUE(lines.contains("The connected PXM application does not fit to the S19 application file!"))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(hasLineStarting(lines, "PXM-20\t\t : VEDR")) << lines.join('\n').toStdString();
    expectModulesUntouched(before);
}

namespace {
// The frames of the PC that are not SDO transfers: NMT, its heartbeat, symbol writes and
// the user level.
bool rawFrameOfThePc(quint32 id) {
    return id == 0x000 || id == 0x700 + moduleProtocol::pcNode || id == quint32(moduleProtocol::cobIdSymbolWrite) ||
           id == quint32(moduleProtocol::cobIdUserLevel);
}
// What the CAN layer says of frames it gave up.
QMutex g_dropsMutex;
QStringList g_drops;
}  // namespace

// The whole update through a converter whose transmit queue holds 10 frames: the sections'
// blocks fill it again and again, and the PC's heartbeats and symbol writes between them
// reach the modules in the order they were sent, none lost.
TEST_F(UpdateRunE2E, ThroughATenFrameTransmitQueueTheHeartbeatsAndSymbolsArriveInOrder) {
    cansim::ConverterScope converter({10, 125000});
    startSite("mbus", 3);
    QMutex mutex;
    QList<QPair<quint32, QByteArray>> received;
    const int listener = simulator.addFrameListener([&](const sim::Frame& f) {
        if (!rawFrameOfThePc(f.id)) return;
        QMutexLocker lock(&mutex);
        received << qMakePair(f.id, f.data);
    });
    // The layer's warnings are heard, to catch a frame it gave up.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (QLatin1String(context.category) == QLatin1String("kelb.can")) {
            QMutexLocker lock(&g_dropsMutex);
            g_drops << text;
            return;
        }
        previous(type, context, text);
    });

    const bool ended = runUpdate();
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can.warning=false"));
    ASSERT_TRUE(ended);
    EXPECT_TRUE(report().contains(kSuccess)) << report().join('\n').toStdString();
    expectModules(true);

    QList<QPair<quint32, QByteArray>> sent;
    for (const QCanBusFrame& f : converter.traffic().sent())
        if (rawFrameOfThePc(f.frameId())) sent << qMakePair(f.frameId(), f.payload());
    EXPECT_TRUE(waitFor([&] {
        QMutexLocker lock(&mutex);
        return received.size() >= sent.size();
    }));
    simulator.removeFrameListener(listener);
    QMutexLocker lock(&mutex);
    EXPECT_EQ(received, sent);
    auto countOf = [&](quint32 id) {
        return std::count_if(received.begin(), received.end(), [id](const auto& f) { return f.first == id; });
    };
    EXPECT_GT(countOf(0x700 + moduleProtocol::pcNode), 2);
    EXPECT_GT(countOf(quint32(moduleProtocol::cobIdSymbolWrite)), 0);
    EXPECT_GT(converter.traffic().refusals(), 0);
    QMutexLocker dropsLock(&g_dropsMutex);
    for (const QString& line : g_drops) EXPECT_FALSE(line.contains(QLatin1String("transmit queue"))) << line.toStdString();
    g_drops.clear();
}

// A spare left in its bootloader (as a lost bus leaves it) is started at the connection step,
// and the run goes on to update every module.
TEST_F(UpdateRunE2E, ASpareFoundInItsBootloaderIsStartedAndTheRunGoesOn) {
    startSite("mbus", 3);
    leaveInBootloader(0);
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    EXPECT_TRUE(lines.contains(kSuccess)) << lines.join('\n').toStdString();
    EXPECT_TRUE(updateLog().contains("   PXM-spare in bootloader state detected.")) << updateLog().join('\n').toStdString();
    EXPECT_TRUE(updateLog().contains("   Application of the PXM-spare started.")) << updateLog().join('\n').toStdString();
    expectModules(true);
}

// A spare whose application does not start stays in its bootloader: the run ends at the
// connection step with text 14, and the report says why.
TEST_F(UpdateRunE2E, ASpareWhoseApplicationDoesNotStartEndsTheRunWithText14) {
    startSite("mbus", 3, {"--boot-fault", "refuse-start", "--boot-fault-modules", "0x1"});
    leaveInBootloader(0);
    const QList<QByteArray> before = flashes();
    ASSERT_TRUE(runUpdate());
    const QStringList lines = report();
    ASSERT_TRUE(lines.contains(kFailed)) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("   PXM-spare in bootloader state detected.")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("   The application of the PXM-spare does not start.")) << lines.join('\n').toStdString();
    EXPECT_TRUE(prompts.value(1).startsWith("The spare module runs its bootloader.")) << prompts.join('\n').toStdString();
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Bootloader);
    for (int m = 0; m <= 3; ++m) EXPECT_EQ(bootloaders->image(m, 6), before.value(m)) << m;
}
