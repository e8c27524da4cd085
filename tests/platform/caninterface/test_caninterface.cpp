// Board set-up, raw frames, the receive queue with SignalEvent, time-outs and the version.
#include "canfixture.h"
#include "cancomponentfake.h"
#include "desktop/runtimeerror.h"
#include "servers.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QThread>

using namespace cantest;

TEST_F(CanTest, ADeviceThatCannotBeOpenedIsAFailureStatusAndALogText) {
    struct Case {
        const char* name;
        QString plugin, interfaceName;
        bool given;
        QString textPart;
    };
    const QString otherPort = testsupport::busUrl(testsupport::freePort(), 0);
    const QList<Case> cases = {
        {"no such plugin", "nosuchplugin", "can0", true, "nosuchplugin"},
        {"interface the plugin refuses", "virtualcan", "can7", true, "can7"},
        {"no bus server on that port", "virtualcan", otherPort, true, otherPort},
        {"no interface given", "", "", false, "device 1"},
    };
    for (const Case& c : cases) {
        CANInterface other;
        QStringList events;
        QObject::connect(&other, &CANInterface::ErrorEvent,
                         [&](qint32, qint32, const QString& text) { events << text; });
        if (c.given) other.setDevice(1, c.plugin, c.interfaceName);
        qint32 st = 1;
        other.initBoard(0, 1, 125, 48891, st);
        EXPECT_NE(st, 1) << c.name;
        EXPECT_NE(st, 0x7003) << c.name;
        other.startCan(st);
        EXPECT_NE(st, 1) << c.name;
        ASSERT_TRUE(testsupport::waitFor([&] { return !events.isEmpty(); }, 2000)) << c.name;
        EXPECT_TRUE(events.first().contains(c.textPart)) << c.name << " " << events.first().toStdString();
    }
}

TEST_F(CanTest, TheBusIsUsableOnlyBetweenStartAndStop) {
    qint32 st = 0;
    can.startCan(st);
    EXPECT_EQ(st, 0x7000);  // already started
    can.stopCan(st);
    EXPECT_EQ(st, 1);
    QByteArray got;
    EXPECT_EQ(upload(got), 0x7002);
    can.sendMessage(0x123, QByteArray(2, '\1'), st);
    EXPECT_EQ(st, 0x7002);
    can.initBoard(0, 0, 125, 48891, st);
    ASSERT_EQ(st, 1);
    EXPECT_EQ(upload(got), 0x7002);  // opened, not started
    can.startCan(st);
    ASSERT_EQ(st, 1);
    UploadServer cfg;
    cfg.value = pattern(3);
    peer->setScript(uploadServer(cfg));
    EXPECT_EQ(upload(got), 1);
}

TEST_F(CanTest, RawFramesHeartbeatAndNmtStartGoOutAsGiven) {
    const int before = peer->seen().size();
    qint32 st = 0;
    can.sendMessage(0x382, QByteArray::fromHex("1112008501000000"), st);
    EXPECT_EQ(st, 1);
    can.sendHeartBeat(9, 5, st);
    EXPECT_EQ(st, 1);
    can.startRemoteNode(0, st);
    EXPECT_EQ(st, 1);
    ASSERT_TRUE(peer->waitSeen(before + 3));
    const auto seen = peer->seen().mid(before);
    EXPECT_EQ(seen[0].id, 0x382u);
    EXPECT_EQ(seen[0].data.toHex(), "1112008501000000");
    EXPECT_EQ(seen[1].id, 0x709u);
    EXPECT_EQ(seen[1].data.toHex(), "05");
    EXPECT_EQ(seen[2].id, 0x000u);
    EXPECT_EQ(seen[2].data.toHex(), "0100");

    can.sendMessage(0x800, QByteArray(8, '\0'), st);
    EXPECT_EQ(st, -3);
    can.sendMessage(0x100, QByteArray(9, '\0'), st);
    EXPECT_EQ(st, -3);
    can.sendHeartBeat(128, 5, st);
    EXPECT_EQ(st, -3);
}

TEST_F(CanTest, ReceivedFramesWaitInTheQueueAndRaiseSignalEventOnTheCallersThread) {
    int signals_ = 0;
    QThread* signalThread = nullptr;
    QObject::connect(&can, &CANInterface::SignalEvent, [&] {
        ++signals_;
        signalThread = QThread::currentThread();
    });
    peer->send(0x705, QByteArray(1, '\x05'));
    peer->send(0x411, QByteArray::fromHex("2a00000001020304"));
    peer->send(0x123, QByteArray());
    ASSERT_TRUE(testsupport::waitFor([&] { return signals_ > 0; }, 2000));
    EXPECT_EQ(signalThread, QThread::currentThread());

    // A transfer's response comes after every frame the peer sent before it.
    ASSERT_EQ(uploadBehindFrames(), 1);

    qint32 id = 0, dlc = 0, queued = 0, st = 0;
    QByteArray data;
    can.readMessage(id, dlc, data, queued, st);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(id, 0x705);
    EXPECT_EQ(data.toHex(), "05");
    EXPECT_EQ(queued, 2);
    can.readMessage(id, dlc, data, queued, st);
    EXPECT_EQ(id, 0x411);
    EXPECT_EQ(data.toHex(), "2a00000001020304");
    EXPECT_EQ(dlc, 8);
    EXPECT_EQ(queued, 1);
    can.readMessage(id, dlc, data, queued, st);
    EXPECT_EQ(id, 0x123);
    EXPECT_EQ(dlc, 0);  // a short frame comes as it is
    EXPECT_EQ(queued, 0);
    can.readMessage(id, dlc, data, queued, st);
    EXPECT_EQ(st, 0x7003);
    EXPECT_EQ(queued, 0);
}

TEST_F(CanTest, FramesDuringATransferAreQueuedButItsResponsesAreNot) {
    UploadServer cfg;
    cfg.value = pattern(30);
    auto server = uploadServer(cfg);
    peer->setScript([server](const QByteArray& r) {
        QList<Reply> out{Reply{QByteArray(1, '\x05'), 0, 0x705}};  // a heartbeat before each response
        out += server(r);
        return out;
    });
    QByteArray got;
    ASSERT_EQ(upload(got), 1);
    EXPECT_EQ(got, cfg.value);
    const auto queued = drain();
    ASSERT_EQ(queued.size(), 6);  // initiate and five segments
    for (const Seen& s : queued) EXPECT_EQ(s.id, 0x705u);
}

TEST_F(CanTest, AFullQueueDropsItsOldestFramesAndSaysSoOnce) {
    const int extra = 5;
    for (int i = 0; i < 4096 + extra; ++i) {
        QByteArray d(2, '\0');
        d[0] = static_cast<char>(i & 0xFF);
        d[1] = static_cast<char>(i >> 8);
        peer->send(0x300, d);
    }
    // A transfer's response comes after every frame the peer sent before it.
    ASSERT_EQ(uploadBehindFrames(), 1);

    qint32 id = 0, dlc = 0, queued = 0, st = 0;
    QByteArray data;
    can.readMessage(id, dlc, data, queued, st);
    EXPECT_EQ(st, -5);
    EXPECT_EQ(queued, 4096);
    can.readMessage(id, dlc, data, queued, st);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(quint8(data[0]) | quint8(data[1]) << 8, extra);
    EXPECT_EQ(queued, 4095);
}

TEST_F(CanTest, TheTimeOutIsTheWaitForEachResponse) {
    qint32 st = 0;
    can.setSdoTimeout(500, st);
    EXPECT_EQ(st, 1);
    UploadServer slow;
    slow.value = pattern(30);  // five segments, each answered 150 ms late: 900 ms in all
    slow.delayMs = 150;
    peer->setScript(uploadServer(slow));
    QByteArray got;
    EXPECT_EQ(upload(got), 1);
    EXPECT_EQ(got, slow.value);

    can.setSdoTimeout(40, st);
    EXPECT_EQ(st, 1);
    slow.delayMs = 300;
    peer->setScript(uploadServer(slow));
    const int before = peer->requests().size();
    EXPECT_EQ(upload(got), 0x05040000);
    EXPECT_EQ(abortAfter(*peer, before), 0x05040000u);
    can.setSdoTimeout(0, st);
    EXPECT_EQ(st, -3);

    // A new interface waits 200 ms for each response until told otherwise.
    CANInterface fresh;
    fresh.setDevice(0, QStringLiteral("virtualcan"), busUrl());
    fresh.initBoard(0, 0, 125, 48891, st);
    ASSERT_EQ(st, 1);
    fresh.startCan(st);
    ASSERT_EQ(st, 1);
    qint32 len = 0;
    QElapsedTimer t;
    t.start();
    fresh.sdoUpload(kNode + 1, 0x2000, 0, got, len, true, false, st);  // nobody serves that node
    EXPECT_EQ(st, 0x05040000);
    EXPECT_GE(t.elapsed(), 190);
    EXPECT_LT(t.elapsed(), 1500);
}

TEST_F(CanTest, AWriteToNodeZeroIsSentAndFailsAfterItsTimeOut) {
    qint32 st = 0;
    can.setSdoTimeout(50, st);
    const int before = peer->seen().size();
    EXPECT_EQ(download(pattern(4), false, 0), 0x05040000);
    ASSERT_TRUE(peer->waitSeen(before + 2));
    const auto seen = peer->seen().mid(before);
    EXPECT_EQ(seen[0].id, 0x600u);
    EXPECT_EQ(quint8(seen[0].data[0]), 0x23);
    EXPECT_EQ(seen[1].id, 0x600u);
    EXPECT_EQ(abortCode(seen[1].data), 0x05040000u);
}

TEST_F(CanTest, BadTransferArgumentsAreRefused) {
    qint32 st = 0, len = 0;
    QByteArray got;
    can.sdoUpload(128, 0x2000, 0, got, len, true, false, st);
    EXPECT_EQ(st, -3);
    can.sdoUpload(kNode, 0x10000, 0, got, len, true, false, st);
    EXPECT_EQ(st, -3);
    can.sdoDownload(kNode, 0x2000, 0, got, true, true, st);
    EXPECT_EQ(st, -3);
}

TEST_F(CanTest, BoardInformationNamesTheDevice) {
    qint32 hw = 0, fw = 0, api = 0, segment = -1, irq = -1, st = 0;
    QString name, serial;
    can.getBoardInfo(hw, fw, api, segment, irq, name, serial, st);
    ASSERT_EQ(st, 1);
    EXPECT_EQ(api, 0x0200);
    EXPECT_EQ(name, "virtualcan " + busUrl());
    can.stopCan(st);
    can.getBoardInfo(hw, fw, api, segment, irq, name, serial, st);
    EXPECT_NE(st, 1);
}

TEST(CanInterfaceVersion, AnswersTwoUnlessATestSaysOtherwise) {
    EXPECT_EQ(CANInterfaceVersion().version(), 2.0);
    testsupport::CanComponentFake component;
    canComponentLink::install(&component);
    component.reported = 1.1;
    EXPECT_EQ(CANInterfaceVersion().version(), 1.1);
    component.present = false;
    EXPECT_THROW(CANInterfaceVersion(), RuntimeError);
    canComponentLink::install(nullptr);
    EXPECT_EQ(CANInterfaceVersion().version(), 2.0);
}
