// The CAN master's bus set-up, release, NMT start and node search against the simulator.
#include "can/frmcanopen.h"
#include "can/modheartbeatcontrol.h"
#include "caninterface/caninterface.h"
#include "desktop/timeservice.h"
#include "masterfixture.h"
#include "services/modglobal.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace mastertest;
using modGlobal::g_cobIdApplication;
using modGlobal::g_cobIdBootloader;
using modGlobal::g_cobIdBootloaderSBus;
using moduleProtocol::ModuleState;

namespace {
class MasterBus : public MasterTest {};

// An SDO read that proves which channel the master is on.
bool reads(frmCANopen& m, quint8 node) {
    qint32 len = 0;
    QByteArray data;
    return m.g_readSDO(node, 0x1008, 0, len, data, false, true, true);
}

// The set-up's log line of an opened and of a refused interface of the virtual bus.
QString opened(const QString& interfaceName) {
    return QStringLiteral("   CAN plugin \"virtualcan\", interface \"%1\" opened").arg(interfaceName);
}
QString refused(const char* interfaceName) {
    return QStringLiteral("   cannot open interface \"%1\" of plugin \"virtualcan\": ").arg(QLatin1String(interfaceName));
}
}  // namespace

TEST_F(MasterBus, MBusFromTheConfiguredDevice) {
    bus(0);
    ASSERT_TRUE(initialise("M-Bus"));
    EXPECT_EQ(form.lines, (QStringList{"   Initialising CAN-Interface", opened(busUrl(0))}));
    EXPECT_EQ(form.errorSignals, 0);
    EXPECT_TRUE(modGlobal::g_isMBusConnection);
    EXPECT_EQ(g_cobIdBootloader, 0x7F);
    EXPECT_EQ(g_cobIdApplication, 0x11);
    EXPECT_EQ(g_cobIdBootloaderSBus, 0x70);
    EXPECT_DOUBLE_EQ(dllVersion, 2.0);
    EXPECT_TRUE(master().isInitialised());
    EXPECT_EQ(master().cmdInitCOP->text(), "&Get Board Information");
    EXPECT_TRUE(master().timHeartBeatControl->isActive());
    EXPECT_TRUE(master().timPolyDeskHeartBeat->isActive());
    EXPECT_TRUE(answers.shown().empty());

    // A module that boots is found: its boot-up starts all nodes, its heartbeats make it alive.
    sim::Node* spare = addNode(0, 0x11);
    ASSERT_TRUE(waitFor([&] { return spare->state() == sim::Node::Operational; }));
    EXPECT_TRUE(modGlobal::g_bootupReceived);
    EXPECT_EQ(master().txtStatusQueue->toPlainText().trimmed(),
              "Network-Event: Bootup message received   Node-No: 11");
    ASSERT_TRUE(tickUntil([] { return modHeartBeatControl::g_getModuleStatusHB(0) == ModuleState::application; }));
    qint32 status = 0;
    EXPECT_TRUE(master().g_searchNode(0, 0x11, false, status));
    EXPECT_FALSE(master().g_searchNode(0, 0x7F, false, status));
    EXPECT_EQ(status, master().lastStatus());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterBus, SBusOnAGivenDevice) {
    addNode(1, 0x21);
    ASSERT_TRUE(initialise("S-Bus", 1));
    EXPECT_EQ(form.lines, (QStringList{"   Initialising USB-to-CAN 1", opened(busUrl(1))}));
    EXPECT_FALSE(modGlobal::g_isMBusConnection);
    EXPECT_EQ(g_cobIdBootloader, 0x70);
    EXPECT_EQ(g_cobIdApplication, 0x20);
    EXPECT_EQ(g_cobIdBootloaderSBus, 0);
    EXPECT_TRUE(reads(master(), 0x21));

    ASSERT_TRUE(tickUntil([] { return modHeartBeatControl::g_getModuleStatusHB(1) == ModuleState::application; }));
    qint32 status = 0;
    EXPECT_TRUE(master().g_searchNode(1, 0x20, true, status));
    EXPECT_FALSE(master().g_searchNode(2, 0x20, true, status));
}

TEST_F(MasterBus, NodeIdBasesByModeAndBus) {
    const struct {
        const char* name;
        bool qtm, bzm, darvo;
        const char* bus;
        std::map<QString, QString> items;
        bool mBus;
        qint16 bootloader, application, bootloaderSBus;
    } cases[] = {
        {"QTM", true, false, false, "M-Bus", {}, false, 0x40, 0x50, 0},
        {"BZM", false, true, false, "M-Bus", {}, false, 0x20, 0x30, 0},
        {"DARVO", false, false, true, "S-Bus for DARVO", {}, false, 0x71, 0x11, 0},
        {"S-Bus", false, false, false, "S-Bus", {}, false, 0x70, 0x20, 0},
        {"M-Bus", false, false, false, "m-bus", {}, true, 0x7F, 0x11, 0x70},
        {"DARVO on an M name", false, false, true, "M-Bus", {}, true, 0x71, 0x11, 0},
        {"configured S-Bus", false, false, false, "S-Bus",
         {{"cobIdBootloader_Sbus", "6a"}, {"cobIdApplication_Sbus", "2A"}}, false, 0x6A, 0x2A, 0},
        {"configured M-Bus", false, false, false, "M-Bus",
         {{"cobIdBootloader_Sbus", "60"}, {"cobIdBootloader_Mbus", "7E"}, {"cobIdApplication_Mbus", "10"}}, true,
         0x7E, 0x10, 0x60},
    };
    bus(0);
    for (const auto& c : cases) {
        config(c.items);
        modGlobal::g_qtmMode = c.qtm;
        modGlobal::g_bzmMode = c.bzm;
        EXPECT_TRUE(initialise(c.bus, 255, c.darvo)) << c.name;
        EXPECT_EQ(modGlobal::g_isMBusConnection, c.mBus) << c.name;
        EXPECT_EQ(g_cobIdBootloader, c.bootloader) << c.name;
        EXPECT_EQ(g_cobIdApplication, c.application) << c.name;
        EXPECT_EQ(g_cobIdBootloaderSBus, c.bootloaderSBus) << c.name;
        master().g_releaseCanOpen(true);
    }
}

TEST_F(MasterBus, AConfiguredDeviceThatFailsIsTriedOnceMoreAsTheNextNumber) {
    addNode(1, 0x21);
    // The configured device refuses; the next number is channel can1.
    for (const char* device : {"0", "254"}) {
        const QString next = QString::number(QString::fromLatin1(device).toInt() + 1);
        config({{"deviceNo", device}, {"canInterface_" + QString::fromLatin1(device), "can7"},
                {"canInterface_" + next, busUrl(1)}});
        form.lines.clear();
        ASSERT_TRUE(initialise("S-Bus")) << device;
        ASSERT_EQ(form.lines.size(), 3) << form.lines.join('\n').toStdString();
        EXPECT_EQ(form.lines[0], "   Initialising CAN-Interface") << device;
        EXPECT_TRUE(form.lines[1].startsWith(refused("can7"))) << form.lines[1].toStdString();
        EXPECT_EQ(form.lines[2], opened(busUrl(1))) << device;
        EXPECT_EQ(form.errorSignals, 0) << device;
        EXPECT_TRUE(reads(master(), 0x21)) << "the master runs on device " << next.toStdString();
        master().g_releaseCanOpen(true);
    }
}

TEST_F(MasterBus, AFailedSetUpAfterARunningOneLeavesTheMasterUninitialised) {
    addNode(1, 0x21);
    ASSERT_TRUE(initialise("S-Bus", 1));
    ASSERT_TRUE(master().isInitialised());
    config({{"canInterface_0", "can7"}});
    EXPECT_FALSE(initialise("S-Bus", 0));
    EXPECT_FALSE(master().isInitialised()) << "the board of the first set-up was closed by the second";
    EXPECT_FALSE(master().g_setServiceBit(100, 1));
    master().cmdInitCOP->click();  // not initialised: the net start, which fails, not the board information
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_EQ(answers.shown()[0].text, "this debug function has been disabled");
}

TEST_F(MasterBus, BothConfiguredDevicesFailing) {
    config({{"canInterface_0", "can7"}, {"canInterface_1", "can8"}});
    EXPECT_FALSE(initialise("M-Bus"));
    ASSERT_EQ(form.lines.size(), 4) << form.lines.join('\n').toStdString();
    EXPECT_EQ(form.lines[0], "   Initialising CAN-Interface");
    EXPECT_TRUE(form.lines[1].startsWith(refused("can7"))) << form.lines[1].toStdString();
    EXPECT_TRUE(form.lines[2].startsWith(refused("can8"))) << form.lines[2].toStdString();
    EXPECT_EQ(form.lines[3], "Init board: VCI Hardware / Software Error");
    EXPECT_EQ(form.errorSignals, 1);
    EXPECT_TRUE(master().g_noCAN());
    EXPECT_FALSE(master().isInitialised());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterBus, AGivenDeviceThatFailsIsNeitherRetriedNorReportedNorStarted) {
    config({{"canInterface_0", "can7"}});
    addNode(1, 0x21);
    EXPECT_FALSE(initialise("S-Bus for DARVO", 0, true));
    ASSERT_EQ(form.lines.size(), 2) << form.lines.join('\n').toStdString();
    EXPECT_EQ(form.lines[0], "   Initialising USB-to-CAN 0");
    EXPECT_TRUE(form.lines[1].startsWith(refused("can7"))) << form.lines[1].toStdString();
    EXPECT_EQ(form.errorSignals, 0);
    EXPECT_FALSE(master().g_noCAN());
    EXPECT_TRUE(answers.shown().empty());
    // Not reported as initialised: no caption of a running master, no service bits.
    EXPECT_FALSE(master().isInitialised());
    EXPECT_NE(master().cmdInitCOP->text(), "&Get Board Information");
    EXPECT_FALSE(master().g_setServiceBit(100, 1));
    // The caller goes on with the next converter.
    EXPECT_TRUE(initialise("S-Bus for DARVO", 1, true));
    EXPECT_TRUE(master().isInitialised());
}

TEST_F(MasterBus, AMissingVersionClassCountsAsVersion1) {
    bus(0);
    canComponent.present = false;
    EXPECT_TRUE(initialise("M-Bus"));
    EXPECT_DOUBLE_EQ(dllVersion, 1.0);
    canComponent.present = true;
    canComponent.reported = 1.1;
    EXPECT_TRUE(initialise("M-Bus"));
    EXPECT_DOUBLE_EQ(dllVersion, 1.1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MasterBus, WithoutCanEveryBusOperationSucceedsUntouched) {
    master().set_g_noCAN(true);
    EXPECT_TRUE(initialise("M-Bus"));
    EXPECT_FALSE(master().isLoaded()) << "the window is not loaded, no component made";
    EXPECT_TRUE(form.lines.isEmpty());
    EXPECT_TRUE(master().g_setOperational(0));
    qint32 len = 3;
    QByteArray data("abc");
    EXPECT_TRUE(master().g_readSDO(0x11, 0x1008, 0, len, data));
    EXPECT_EQ(data, "abc");
    EXPECT_EQ(len, 3);
    EXPECT_TRUE(master().g_writeSDO(0x11, 0x2000, 0, 3, data));
    qint32 status = 0;
    EXPECT_TRUE(master().g_searchNode(0, 0x11, false, status));
    EXPECT_FALSE(master().g_setUserLevel(11));
    EXPECT_FALSE(master().g_writeSymbol(100, 0, bytes({1, 2, 3, 4})));
    EXPECT_FALSE(master().g_setServiceBit(100, 1));
    EXPECT_FALSE(master().isLoaded());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterBus, ReleaseStopsTheMaster) {
    bus(0);
    ASSERT_TRUE(initialise("M-Bus"));
    addNode(0, 0x11);
    ASSERT_TRUE(waitFor([&] { return !master().txtStatusQueue->toPlainText().isEmpty(); }));
    master().g_releaseCanOpen(false);
    EXPECT_FALSE(master().isInitialised());
    EXPECT_EQ(master().lblMasterState->text(), "not initialized");
    EXPECT_EQ(master().cmdInitCOP->text(), "Init CANInterface");
    EXPECT_TRUE(master().txtStatusQueue->toPlainText().isEmpty());
    EXPECT_FALSE(master().g_setServiceBit(100, 1));
    EXPECT_FALSE(reads(master(), 0x11));
    EXPECT_TRUE(errors.empty());
}

TEST_F(MasterBus, UnloadReleasesAndStopsTheTimersAndALaterSetUpLoadsAgain) {
    bus(0);
    ASSERT_TRUE(initialise("M-Bus"));
    master().unload();
    EXPECT_FALSE(master().isLoaded());
    EXPECT_FALSE(master().isInitialised());
    EXPECT_FALSE(master().timHeartBeatControl->isActive());
    EXPECT_FALSE(master().m_CANInterface);
    ASSERT_TRUE(initialise("M-Bus"));
    EXPECT_TRUE(master().isLoaded());
    EXPECT_TRUE(master().timHeartBeatControl->isActive());
}

TEST_F(MasterBus, SetOperationalStartsTheNodeAndReportsAFailure) {
    bus(0);
    ASSERT_TRUE(initialise("M-Bus"));
    log(0).clear();
    EXPECT_TRUE(master().g_setOperational(0x11));
    ASSERT_TRUE(waitFor([&] { return !log(0).withId(0x000).empty(); }));
    EXPECT_EQ(log(0).withId(0x000)[0].data, bytes({0x01, 0x11}));

    master().g_releaseCanOpen(true);
    EXPECT_FALSE(master().g_setOperational(5, true));
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_EQ(form.errorSignals, 0);
    EXPECT_FALSE(master().g_setOperational(5));
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Set operational: CAN-Interface General Error\r\nNode: 5");
    EXPECT_EQ(form.errorSignals, 1);
}

TEST_F(MasterBus, ReleaseStopsTheBoardEvenWhenTheTargetFieldCannotBeRead) {
    bus(0);
    ASSERT_TRUE(initialise("M-Bus"));
    master().txtCylNo->setText("999");
    master().g_releaseCanOpen(false);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, "g_releaseCanOpen");
    EXPECT_FALSE(master().isInitialised());
    EXPECT_EQ(master().cmdInitCOP->text(), "Init CANInterface");
    qint32 len = 0;
    QByteArray data;
    EXPECT_FALSE(master().g_readSDO(0x11, 0x1008, 0, len, data, false, true));
}
