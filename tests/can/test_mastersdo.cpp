// SDO read and write through the CAN master, the block decision, the SDO time-out and
// the version readers, against the simulator.
#include "can/frmcanopen.h"
#include "caninterface/caninterface.h"
#include "desktop/timeservice.h"
#include "masterfixture.h"
#include "services/modglobal.h"

using namespace mastertest;

namespace {
class MasterSdo : public MasterTest {
protected:
    // The S-Bus on channel 0 (bases 0x70 and 0x20) unless the test says otherwise.
    void SetUp() override {
        MasterTest::SetUp();
        bus(0);
    }
    void sBus() { ASSERT_TRUE(initialise("S-Bus", 0)); }

    // The initiate frames the master sent to a node, and its version reads among them. The
    // test data never holds the bytes of an initiate, so block segments are not mistaken.
    std::vector<QByteArray> initiates(quint8 node) {
        std::vector<QByteArray> out;
        for (const auto& f : log(0).withId(0x600 + node)) {
            const quint8 cs = quint8(f.data[0]);
            if ((cs & 0xE0) == 0x20 || cs == 0x40 || (cs & 0xE1) == 0xC0 || (cs & 0xE3) == 0xA0) out.push_back(f.data);
        }
        return out;
    }
    int versionReads(quint8 node) {
        int n = 0;
        for (const auto& f : initiates(node))
            if (quint8(f[1]) == 0x0A && quint8(f[2]) == 0x10) ++n;
        return n;
    }
    bool blockDownloadTo(quint8 node) {
        for (const auto& f : initiates(node))
            if ((quint8(f[0]) & 0xE1) == 0xC0) return true;
        return false;
    }
};

QByteArray pattern(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = static_cast<char>(i * 7 + 3);
    return b;
}
}  // namespace

TEST_F(MasterSdo, ReadAndWriteThroughTheMaster) {
    sBus();
    sim::Node* n = addNode(0, 0x21);
    qint32 len = 0;
    QByteArray data;
    ASSERT_TRUE(master().g_readSDO(0x21, 0x1008, 0, len, data));
    EXPECT_EQ(data, "KELB-3817 PXM #00");
    EXPECT_EQ(len, 17);
    const QByteArray image = pattern(1000);
    ASSERT_TRUE(master().g_writeSDO(0x21, 0x2000, 0, image.size(), image));
    EXPECT_EQ(n->od().value(0x2000, 0), image);
    EXPECT_FALSE(blockDownloadTo(0x21)) << "an application node never uses block transfer";
    EXPECT_EQ(versionReads(0x21), 0);
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterSdo, RefusedTransfersShowTheBoxUnlessQuiet) {
    sBus();
    addNode(0, 0x21);
    qint32 len = 0;
    QByteArray data;
    EXPECT_FALSE(master().g_readSDO(0x21, 0x3000, 2, len, data, false, true));
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_FALSE(master().g_readSDO(0x21, 0x3000, 2, len, data));
    EXPECT_FALSE(master().g_writeSDO(0x21, 0x1008, 0, 3, "abc"));
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_EQ(answers.shown()[0].text, "Read SDO: Unknown failure\r\nNode: 33 Index: 0x3000  Sub-Index: 0x2");
    EXPECT_EQ(answers.shown()[1].text, "Write SDO: Unknown failure\r\nNode: 33 Index: 0x1008  Sub-Index: 0x0");
    EXPECT_EQ(answers.shown()[1].title, "CANopen ERROR");
    EXPECT_EQ(master().lastStatus(), 0x06010002) << "the abort code is kept";
}

// After a lost bus one box tells it: the failures that follow stay quiet, so that no timer-
// driven command stands behind a stack of boxes, until a module answers a transfer again.
TEST_F(MasterSdo, ALostBusShowsOneBoxUntilAModuleAnswersAgain) {
    sBus();
    addNode(0, 0x21);
    CANInterface& adapter = *master().m_CANInterface;
    emit adapter.ErrorEvent(0, CanStatus::HardwareError, QStringLiteral("lost the connection"));
    ASSERT_TRUE(waitFor([&] { return master().busLost(); }));
    qint32 len = 0;
    QByteArray data;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(master().g_readSDO(0x21, 0x3000, 2, len, data));
        EXPECT_FALSE(master().g_writeSDO(0x21, 0x1008, 0, 3, "abc"));
    }
    EXPECT_EQ(answers.shown().size(), 1u) << answers.texts().join('\n').toStdString();

    emit adapter.ReconnectEvent(0, QStringLiteral("connection back"));
    ASSERT_TRUE(waitFor([&] { return !master().busLost(); }));
    EXPECT_FALSE(master().g_readSDO(0x21, 0x3000, 2, len, data));
    EXPECT_EQ(answers.shown().size(), 1u) << "no module has answered yet";
    ASSERT_TRUE(master().g_readSDO(0x21, 0x1008, 0, len, data));
    EXPECT_FALSE(master().g_readSDO(0x21, 0x3000, 2, len, data));
    EXPECT_EQ(answers.shown().size(), 2u) << answers.texts().join('\n').toStdString();
}

TEST_F(MasterSdo, BlockDecision) {
    const struct {
        const char* name;
        quint8 node;
        const char* version;  // of the node's bootloader (0x100A)
        bool blockEnable;
        double componentVersion;
        bool qtm;
        int length;
        bool block;
        int versionReads;
    } cases[] = {
        {"bootloader 3.10, 256 bytes", 0x71, "3.10", false, 2.0, false, 256, true, 1},
        {"bootloader 3.10, 255 bytes", 0x71, "3.10", false, 2.0, false, 255, false, 1},
        {"bootloader 2.50", 0x71, "2.50", false, 2.0, false, 300, false, 1},
        {"bootloader 2.50, block allowed", 0x71, "2.50", true, 2.0, false, 300, true, 1},
        {"bootloader unreadable, block allowed", 0x71, "x", true, 2.0, false, 300, true, 1},
        {"component 1.0", 0x71, "3.10", true, 1.0, false, 300, false, 0},
        {"component 1.1", 0x71, "3.10", false, 1.1, false, 300, true, 1},
        {"application node", 0x21, "3.10", true, 2.0, false, 300, false, 0},
        {"module 14 bootloader", 0x7E, "3.10", false, 2.0, false, 300, true, 1},
        {"beyond module 14", 0x7F, "3.10", true, 2.0, false, 300, false, 0},
        {"QTM mode", 0x41, "3.10", true, 2.0, true, 300, false, 0},  // a QTM bootloader node
    };
    for (const auto& c : cases) {
        master().unload();
        modGlobal::g_qtmMode = c.qtm;
        sBus();
        modGlobal::g_canInterfaceVersion = c.componentVersion;
        master().set_g_blockTransferEnable(c.blockEnable);
        bus(0).removeNode(c.node);
        sim::Node* n = addNode(0, c.node, c.version);
        settle(20);
        log(0).clear();
        const QByteArray image = pattern(c.length);
        EXPECT_TRUE(master().g_writeSDO(c.node, 0x2000, 0, image.size(), image)) << c.name;
        EXPECT_EQ(n->od().value(0x2000, 0), image) << c.name;
        EXPECT_EQ(blockDownloadTo(c.node), c.block) << c.name;
        EXPECT_EQ(versionReads(c.node), c.versionReads) << c.name;
        // The version read inside the decision never asks for block transfer itself.
        for (const auto& f : initiates(c.node)) {
            if (quint8(f[1]) == 0x0A && quint8(f[2]) == 0x10) {
                EXPECT_EQ(quint8(f[0]), 0x40) << c.name;
            }
        }
        modGlobal::g_qtmMode = false;
    }
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterSdo, TheModeIsAskedOncePerModuleUntilReset) {
    sBus();
    addNode(0, 0x71, "3.10");
    log(0).clear();
    const QByteArray image = pattern(300);
    ASSERT_TRUE(master().g_writeSDO(0x71, 0x2000, 0, 300, image));
    ASSERT_TRUE(master().g_writeSDO(0x71, 0x2000, 0, 300, image));
    qint32 len = 0;
    QByteArray data;
    ASSERT_TRUE(master().g_readSDO(0x71, 0x2000, 0, len, data));
    EXPECT_EQ(data, image);
    EXPECT_EQ(versionReads(0x71), 1);
    int blockUploads = 0;
    for (const auto& f : initiates(0x71)) blockUploads += (quint8(f[0]) & 0xE3) == 0xA0;
    EXPECT_EQ(blockUploads, 1) << "a read from a block-capable bootloader uses block upload";
    master().g_resetSDOTransferMode(1);
    ASSERT_TRUE(master().g_writeSDO(0x71, 0x2000, 0, 300, image));
    EXPECT_EQ(versionReads(0x71), 2);
    // noBlockTransfer_ and recursiveCall_ read plainly and ask nothing.
    log(0).clear();
    master().g_resetSDOTransferMode(1);
    ASSERT_TRUE(master().g_readSDO(0x71, 0x2000, 0, len, data, false, false, true));
    ASSERT_TRUE(master().g_readSDO(0x71, 0x2000, 0, len, data, true, false, false));
    EXPECT_EQ(versionReads(0x71), 0);
    for (const auto& f : initiates(0x71)) EXPECT_EQ(quint8(f[0]), 0x40);
}

TEST_F(MasterSdo, OnTheMBusCylinderBootloadersUseTheirOwnBase) {
    ASSERT_TRUE(initialise("M-Bus"));
    addNode(0, 0x72, "3.00");  // module 2's bootloader: 0x70 + 2
    addNode(0, 0x7F, "2.00");  // module 0's bootloader
    log(0).clear();
    const QByteArray image = pattern(300);
    ASSERT_TRUE(master().g_writeSDO(0x72, 0x2000, 0, 300, image));
    ASSERT_TRUE(master().g_writeSDO(0x7F, 0x2000, 0, 300, image));
    EXPECT_TRUE(blockDownloadTo(0x72));
    EXPECT_FALSE(blockDownloadTo(0x7F));
    EXPECT_EQ(versionReads(0x72), 1);
    EXPECT_EQ(versionReads(0x7F), 1);
}

TEST_F(MasterSdo, ATimeOutHoldsForOneWriteOnly) {
    sBus();
    qint32 status = 0;
    master().m_CANInterface->setSdoTimeout(200, status);  // the master's own, as after the load
    sim::Node* n = addNode(0, 0x21);
    sim::Faults slow;
    slow.delayMs = 350;
    n->setFaults(slow);
    const QByteArray four = bytes({1, 2, 3, 4});
    EXPECT_FALSE(master().g_writeSDO(0x21, 0x2000, 0, 4, four, true)) << "200 ms is too short for this node";
    settle(500);  // let the late answer pass
    EXPECT_TRUE(master().g_writeSDO(0x21, 0x2000, 0, 4, four, true, 1000));
    EXPECT_EQ(n->od().value(0x2000, 0), four);
    EXPECT_FALSE(master().g_writeSDO(0x21, 0x2000, 0, 4, four, true)) << "back to 200 ms afterwards";
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterSdo, BootloaderVersion) {
    sBus();
    const struct {
        const char* text;
        double version;
    } cases[] = {
        {"3.10", 3.1}, {"1.05 beta", 1.05}, {"9.99", 9.99}, {"0.90", 0},  {"3.1", 0},
        {"3-10", 0},   {"A.10", 0},         {"", 0},
    };
    sim::Node* n = addNode(0, 0x71);
    for (const auto& c : cases) {
        n->od().setValue(0x100A, 0, QByteArray(c.text));
        EXPECT_NEAR(master().g_getBootLoaderVersion(0x71), c.version, 1e-9) << c.text;
    }
    n->od().remove(0x100A, 0);
    EXPECT_EQ(master().g_getBootLoaderVersion(0x71), 0);
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterSdo, HardwareVersion) {
    sBus();
    const struct {
        QByteArray text;
        const char* result;
    } cases[] = {
        {"7", "7"}, {"07.1 rev B", "7.1"}, {"12\0xx", "12"}, {"", "X"}, {QByteArray("\0" "7", 2), "X"}, {"rev 7", "0"},
    };
    sim::Node* n = addNode(0, 0x23);
    for (const auto& c : cases) {
        n->od().setValue(0x1009, 0, c.text);
        EXPECT_EQ(master().g_getHardwareVersion(3, false), QString::fromLatin1(c.result)) << c.text.toStdString();
    }
    n->od().remove(0x1009, 0);
    EXPECT_EQ(master().g_getHardwareVersion(3, false), "?");
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterSdo, HardwareVersionNodesOnTheMBusAreFixed) {
    config({{"cobIdApplication_Mbus", "15"}, {"cobIdBootloader_Mbus", "7D"}});
    ASSERT_TRUE(initialise("M-Bus"));
    const struct {
        qint16 module;
        bool inBootloader;
        quint8 node;
    } cases[] = {{0, false, 0x11}, {0, true, 0x7F}, {4, false, 0x24}, {4, true, 0x74}};
    for (const auto& c : cases) {
        bus(0).removeNode(c.node);
        addNode(0, c.node, "3.10", QByteArray::number(c.node));
        EXPECT_EQ(master().g_getHardwareVersion(c.module, c.inBootloader), QString::number(c.node)) << int(c.node);
        bus(0).removeNode(c.node);
    }
}
