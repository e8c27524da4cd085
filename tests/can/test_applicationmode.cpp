// The application type of the modules on the bus and of a load file, and the start
// address of an application file.
#include "can/frmcanopen.h"
#include "can/links.h"
#include "canfakes.h"
#include "cansim/cansim.h"
#include "can/modapplicationmode.h"
#include "can/modautodownload.h"
#include "services/srecord.h"
#include "lib/pxmmodules.h"
#include "masterfixture.h"
#include "services/modglobal.h"

#include <QFile>

using namespace mastertest;
namespace am = modApplicationMode;

TEST(ApplicationType, DeviceNameMarkers) {
    struct Case {
        const char* name;
        qint32 otherwise, type;
    };
    const Case cases[] = {
        {"KELB-3817 PXM-20 #00", 0, 0}, {"KELB", 3, 0},  {"KELBX", 3, 0},   {"VEDR PXM #01", 0, 1}, {"DRVO", 3, 2},
        {"kelb-3817", 0, 0},            {"kelb", 3, 3},  {"PXM VEDR", 3, 3}, {"", 0, 0},             {"DRV", 3, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(am::classifyName(QString::fromLatin1(c.name), c.otherwise), c.type) << c.name;
}

TEST(ApplicationType, ImageMarkersAtEvenOffsetsOnly) {
    struct Case {
        QByteArray image;
        qint32 type;
    };
    const Case cases[] = {
        {QByteArray("..VEDR.."), 1},
        {QByteArray(".VEDR..."), 0},              // odd offset
        {QByteArray("....DRVO"), 2},
        {QByteArray("DRVO..VEDR"), 1},            // the markers are tried in order
        {QByteArray("KELB-381"), 0},              // only eight characters of "KELB-3817" count
        {QByteArray("VED"), 0},
        {QByteArray(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(am::classifyImage(c.image), c.type) << c.image.constData();
}

class ApplicationFile : public ::testing::Test {
protected:
    void SetUp() override {
        modGlobal::g_qtmMode = modGlobal::g_bzmMode = false;
        cansim::recordErrors(errors);
    }
    void TearDown() override {
        ErrPtnr::errorHandlerLink::install(nullptr);
        modGlobal::g_qtmMode = modGlobal::g_bzmMode = false;
    }
    QString sRecord(const QByteArray& image) {
        const QString path = dir.filePath(QStringLiteral("APPL.S28"));
        EXPECT_TRUE(modDownload::g_binToSRec(image, 0x010000, QStringLiteral("S28"), path));
        return path;
    }
    QString textFile(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("text.S28"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    QTemporaryDir dir;
    std::vector<ErrPtnr::ErrorInfo> errors;
};

TEST_F(ApplicationFile, TypeOfTheFilesImage) {
    QByteArray image(64, '\xFF');
    EXPECT_EQ(am::g_checkAppFileType(sRecord(image)), 0);
    image.replace(20, 4, "DRVO");
    EXPECT_EQ(am::g_checkAppFileType(sRecord(image)), 2);
    image.replace(41, 4, "VEDR");  // odd offset: not seen
    EXPECT_EQ(am::g_checkAppFileType(sRecord(image)), 2);
    image.replace(40, 4, "VEDR");
    EXPECT_EQ(am::g_checkAppFileType(sRecord(image)), 1);
    EXPECT_EQ(am::g_checkAppFileType(dir.filePath(QStringLiteral("missing.S28"))), 0);
    modGlobal::g_qtmMode = true;
    EXPECT_EQ(am::g_checkAppFileType(sRecord(image)), 6);
    modGlobal::g_qtmMode = false;
    modGlobal::g_bzmMode = true;
    EXPECT_EQ(am::g_checkAppFileType(sRecord(image)), 7);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ApplicationFile, StartAddressFromTheSecondLine) {
    EXPECT_EQ(am::g_getApplStartAddr(textFile("S00600004844521B\r\nS2140123450000\r\n")), 0x012345);
    EXPECT_EQ(am::g_getApplStartAddr(textFile("S0\nS214ABcdEF\n")), 0xABCDEF);
    EXPECT_EQ(am::g_getApplStartAddr(dir.filePath(QStringLiteral("missing.S28"))), 0);
    EXPECT_TRUE(errors.empty());
    struct Case {
        QByteArray content;
        long error;
    };
    for (const Case& c : {Case{"S00600004844521B\r\n", 62}, Case{"S0\r\nS214012G45\r\n", 13}, Case{"S0\r\nS214\r\n", 13}}) {
        errors.clear();
        EXPECT_EQ(am::g_getApplStartAddr(textFile(c.content)), 0) << c.content.constData();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].number, c.error);
        EXPECT_EQ(errors[0].procedure, QStringLiteral("g_getApplStartAddr"));
    }
}

// ---- The modules' type, against the simulator ----

class ApplicationConnection : public MasterTest {
protected:
    void TearDown() override {
        modules.reset();
        autoDownloadMainWindowLink::install(nullptr);
        MasterTest::TearDown();
    }
    void start(sim::Profile profile, const QString& appName, int cylinders = 2) {
        sim::ProfileOptions o;
        o.profile = profile;
        o.cylinders = cylinders;
        o.appName = appName;
        o.heartbeatMs = 100;
        startWith(o);
    }
    void startWith(const sim::ProfileOptions& o) {
        modules = std::make_unique<sim::PxmModules>(bus(0), o);
        ASSERT_TRUE(initialise(o.profile == sim::Profile::MBus ? QStringLiteral("M-Bus") : QStringLiteral("S-Bus")));
    }
    // SDO uploads the tool began with a node (its aborts after a time-out not counted).
    size_t requestsTo(quint8 node) {
        size_t n = 0;
        for (const sim::Frame& f : log(0).withId(0x600 + node))
            if (!f.data.isEmpty() && quint8(f.data[0]) == 0x40) ++n;
        return n;
    }
    std::unique_ptr<sim::PxmModules> modules;
};

TEST_F(ApplicationConnection, WithoutCanOrInTheModuleModes) {
    master().set_g_noCAN(true);
    EXPECT_EQ(am::g_checkAppConnectionType(), 4);
    master().set_g_noCAN(false);
    modGlobal::g_qtmMode = true;
    EXPECT_EQ(am::g_checkAppConnectionType(), 6);
    modGlobal::g_qtmMode = false;
    modGlobal::g_bzmMode = true;
    EXPECT_EQ(am::g_checkAppConnectionType(), 7);
    modGlobal::g_bzmMode = false;
}

TEST_F(ApplicationConnection, FirstAnsweringModuleOnTheSBusDecides) {
    struct Case {
        const char* name;
        bool module0Present;
        qint32 type;
    };
    for (const Case& c : {Case{"VEDR PXM-20", true, 1}, Case{"DRVO PXM-20", false, 2}, Case{"PXM-20", true, 0}}) {
        start(sim::Profile::SBus, QString::fromLatin1(c.name));
        if (!c.module0Present) modules->setMode(0, sim::PxmModule::Mode::Off);
        log(0).clear();
        EXPECT_EQ(am::g_checkAppConnectionType(), c.type) << c.name;
        EXPECT_EQ(requestsTo(0x21) > 0, !c.module0Present) << c.name;
        EXPECT_EQ(requestsTo(0x22), 0u) << c.name;
        modules.reset();
        master().unload();
    }
}

TEST_F(ApplicationConnection, BootloaderInfoBlockWhenNoApplicationAnswers) {
    struct Case {
        QByteArray identification;
        qint32 type;
    };
    ASSERT_TRUE(initialise(QStringLiteral("S-Bus")));
    sim::Node* bootloader = bus(0).addNode(0x70);
    for (const Case& c : {Case{QByteArray("VEDR\0\0\0\0", 8), 1}, Case{QByteArray("KELB\0\0\0\0", 8), 0},
                          Case{QByteArray("ABCDEFGH"), 3}}) {
        QByteArray block(44, '\0');
        block[3] = 44;
        block.replace(4, 8, c.identification);
        bootloader->od().addDomain(0x5FFE, 6, block, sim::Access::ReadOnly);
        EXPECT_EQ(am::g_checkAppConnectionType(), c.type) << c.identification.constData();
    }
}

TEST_F(ApplicationConnection, OnTheMBusOnlyModuleZeroIsAsked) {
    start(sim::Profile::MBus, QStringLiteral("VEDR PXM-20"));
    modules->setMode(0, sim::PxmModule::Mode::Off);
    log(0).clear();
    EXPECT_EQ(am::g_checkAppConnectionType(), 4);
    EXPECT_EQ(requestsTo(0x11), 1u);
    EXPECT_EQ(requestsTo(0x7F), 1u);
    EXPECT_EQ(requestsTo(0x12), 0u);
    EXPECT_EQ(requestsTo(0x21), 0u);
    modules->setMode(0, sim::PxmModule::Mode::Application);
    EXPECT_EQ(am::g_checkAppConnectionType(), 1);
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ApplicationConnection, CylinderModuleInPlaceOfModuleZero) {
    sim::ProfileOptions o;
    o.profile = sim::Profile::MBus;
    o.spareId = 3;
    startWith(o);
    cantest::FakeAutoDownloadMainWindow mainWindow;
    autoDownloadMainWindowLink::install(&mainWindow);
    const int& replacedBy = mainWindow.spareReplacedBy;
    const int& logOffs = mainWindow.logOffs;
    modGlobal::g_updateMode = true;
    EXPECT_EQ(am::g_checkAppConnectionType(), 0);
    EXPECT_EQ(replacedBy, 3);
    EXPECT_EQ(logOffs, 0);
    modGlobal::g_updateMode = false;
    EXPECT_EQ(am::g_checkAppConnectionType(), 0);
    EXPECT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(logOffs, 1);
}
