// The client against the simulator's SDO server over the process's virtual bus: every
// transfer kind in both directions over a table of sizes, the protocol switch, aborts,
// the server's faults and time-outs. A scripted peer listens on the bus to see the frames.
#include "caninterface/caninterface.h"
#include "canfixture.h"
#include "lib/scenario.h"
#include "lib/simulator.h"
#include "scriptedpeer.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>
#include <gtest/gtest.h>

using namespace cantest;

namespace {
constexpr quint8 kSimNode = 0x10;

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*.info=false"));
        ASSERT_EQ(startOnBus(can), 1);
        qint32 st = 0;
        QString error;
        ASSERT_TRUE(sim.start(busUrl(), &error)) << error.toStdString();
        node = sim.addNode(kSimNode);
        sim::addTestObjects(*node, 0);
        ASSERT_TRUE(sim.waitConnected());
        listener = std::make_unique<ScriptedPeer>(0x7E);
        ASSERT_TRUE(listener->connected());
        // The first answer shows that both sides are known to the bus server.
        QElapsedTimer t;
        t.start();
        can.setSdoTimeout(50, st);
        QByteArray v;
        while (read(v, false, 0x1017) != 1 && t.elapsed() < 3000) QThread::msleep(5);
        ASSERT_EQ(v.size(), 2);
        can.setSdoTimeout(kSdoTimeoutMs, st);
    }
    // Tests not about time-outs give the server all the time it needs: the bus is shared with
    // the other tests of the run.
    static constexpr qint32 kSdoTimeoutMs = 2000;
    void TearDown() override {
        qint32 st = 0;
        can.stopCan(st);
        sim.stop();
    }

    qint32 read(QByteArray& out, bool block, quint16 index = 0x2000) {
        qint32 st = 0, len = 0;
        can.sdoUpload(kSimNode, index, 0, out, len, !block, block, st);
        return st;
    }
    qint32 write(const QByteArray& data, bool block, quint16 index = 0x2000) {
        qint32 st = 0;
        can.sdoDownload(kSimNode, index, 0, data, !block, block, st);
        return st;
    }
    void setFaults(const std::function<void(sim::Faults&)>& f) {
        sim::Faults faults;
        f(faults);
        node->setFaults(faults);
    }
    // The server's answer to the first block upload request the listener sees after its
    // frame number `from`, waiting a little for it to come by.
    QByteArray answerToBlockUpload(int from) {
        QElapsedTimer t;
        t.start();
        do {
            const auto seen = listener->seen();
            int i = from;
            while (i < seen.size() && !(seen[i].id == 0x600u + kSimNode && quint8(seen[i].data[0]) == 0xA4)) ++i;
            for (++i; i < seen.size(); ++i)
                if (seen[i].id == 0x580u + kSimNode) return seen[i].data;
            QThread::msleep(2);
        } while (t.elapsed() < 3000);
        return {};
    }

    CANInterface can;
    sim::Simulator sim;
    sim::Node* node = nullptr;
    std::unique_ptr<ScriptedPeer> listener;
};
}  // namespace

TEST_F(SimTest, EveryTransferKindCarriesEverySizeBothWays) {
    for (int size : {0, 1, 2, 3, 4, 5, 6, 7, 889, 8192, 8193}) {
        const QByteArray data = sim::testPattern(size + 1).mid(1);
        for (bool blockDown : {false, true}) {
            ASSERT_EQ(write(data, blockDown), 1) << size << " block " << blockDown;
            ASSERT_EQ(node->od().value(0x2000, 0), data) << size << " block " << blockDown;
            for (bool blockUp : {false, true}) {
                QByteArray back("old");
                ASSERT_EQ(read(back, blockUp), 1) << size << " block " << blockUp;
                EXPECT_EQ(back, data) << size << " block " << blockUp;
            }
        }
    }
}

TEST_F(SimTest, UploadsWithoutSizeIndicationAndWithoutCrcWork) {
    const QByteArray data = sim::testPattern(8193);
    for (int variant = 0; variant < 3; ++variant) {
        setFaults([&](sim::Faults& f) {
            f.noSizeIndication = variant == 0;
            f.blockCrc = variant != 1;
            f.blockSize = variant == 2 ? 5 : 127;
        });
        for (bool block : {false, true}) {
            ASSERT_EQ(write(data, block), 1) << variant;
            for (int size : {4, 5, 8193}) {
                node->od().setValue(0x2000, 0, data.left(size));
                QByteArray back;
                ASSERT_EQ(read(back, block), 1) << variant << " " << size;
                EXPECT_EQ(back, data.left(size)) << variant << " " << size;
            }
        }
    }
}

TEST_F(SimTest, TheServerSwitchesSmallBlockUploadsToPlainOnes) {
    for (int size : {3, 15, 21, 22}) {
        node->od().setValue(0x2000, 0, sim::testPattern(size));
        const int from = listener->seen().size();
        QByteArray back;
        ASSERT_EQ(read(back, true), 1) << size;
        EXPECT_EQ(back, sim::testPattern(size));
        const QByteArray first = answerToBlockUpload(from);
        const quint8 answer = first.isEmpty() ? 0 : quint8(first[0]);
        if (size <= 21)
            EXPECT_EQ(answer & 0xE0, 0x40) << size;  // a plain initiate upload response
        else
            EXPECT_EQ(answer & 0xE1, 0xC0) << size;  // a block upload
    }
}

TEST_F(SimTest, TheServersAbortsComeBackAsTheirCodes) {
    QByteArray back;
    EXPECT_EQ(static_cast<quint32>(read(back, false, 0x3333)), 0x06020000u);
    EXPECT_EQ(static_cast<quint32>(read(back, true, 0x2002)), 0x06010001u);
    EXPECT_EQ(static_cast<quint32>(write(QByteArray(10, 'x'), false, 0x2001)), 0x06010002u);
    EXPECT_EQ(static_cast<quint32>(write(QByteArray(300, 'x'), true, 0x2001)), 0x06010002u);
    setFaults([](sim::Faults& f) { f.blockTransfer = false; });
    EXPECT_EQ(static_cast<quint32>(write(QByteArray(300, 'x'), true)), 0x05040001u);
    EXPECT_EQ(write(QByteArray(300, 'x'), false), 1);  // a plain one still goes
}

TEST_F(SimTest, TheServersFaultsEndInAClearFailure) {
    struct Case {
        const char* name;
        std::function<void(sim::Faults&)> faults;
        bool block, upload;
        quint32 status;
    };
    const QList<Case> cases = {
        {"wrong toggle, upload", [](sim::Faults& f) { f.wrongToggle = true; }, false, true, 0x05030000},
        {"wrong toggle, download", [](sim::Faults& f) { f.wrongToggle = true; }, false, false, 0x05030000},
        {"block CRC mismatch", [](sim::Faults& f) { f.corruptBlockCrc = true; }, true, true, 0x05040004},
        {"segment longer than announced", [](sim::Faults& f) { f.longSegment = true; }, false, true, 0x06070012},
        {"block longer than announced", [](sim::Faults& f) { f.longSegment = true; }, true, true, 0x06070012},
        {"short frames, upload", [](sim::Faults& f) { f.shortFrames = 3; }, false, true, 0x05040001},
        {"short frames, block download", [](sim::Faults& f) { f.shortFrames = 2; }, true, false, 0x05040001},
        {"silent mid-upload", [](sim::Faults& f) { f.stopAfterFrames = 3; }, false, true, 0x05040000},
        {"silent mid-block-upload", [](sim::Faults& f) { f.stopAfterFrames = 2; }, true, true, 0x05040000},
        {"silent mid-block-download", [](sim::Faults& f) { f.stopAfterFrames = 2; }, true, false, 0x05040000},
        {"silent from the start", [](sim::Faults& f) { f.stopAfterFrames = 0; }, false, false, 0x05040000},
    };
    const QByteArray data = sim::testPattern(2000);
    qint32 st = 0;
    for (const Case& c : cases) {
        node->setFaults({});
        can.setSdoTimeout(kSdoTimeoutMs, st);
        ASSERT_EQ(write(data, false), 1) << c.name;
        setFaults(c.faults);
        // Only the silent cases wait out a short time-out; the others get their answers.
        can.setSdoTimeout(c.status == 0x05040000 ? 100 : kSdoTimeoutMs, st);
        QByteArray back;
        const qint32 status = c.upload ? read(back, c.block) : write(data, c.block);
        EXPECT_EQ(static_cast<quint32>(status), c.status) << c.name;
        EXPECT_TRUE(back.isEmpty()) << c.name;
    }
}

TEST_F(SimTest, LateResponsesWithinTheTimeOutAreTaken) {
    qint32 st = 0;
    can.setSdoTimeout(1000, st);
    setFaults([](sim::Faults& f) { f.delayMs = 150; });  // each response well within the time-out
    const QByteArray data = sim::testPattern(20);
    EXPECT_EQ(write(data, false), 1);
    QByteArray back;
    EXPECT_EQ(read(back, false), 1);
    EXPECT_EQ(back, data);
}
