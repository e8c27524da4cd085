#include "canfixture.h"
#include "servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>

namespace cantest {

qint32 startOnBus(CANInterface& can) {
    qint32 st = 0;
    can.setDevice(0, QStringLiteral("virtualcan"), busUrl());
    can.initBoard(0, 0, 125, 48891, st);
    if (st != 1) return st;
    can.startCan(st);
    return st;
}

void CanTest::SetUp() {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*.info=false"));
    ASSERT_EQ(startOnBus(can), 1);
    qint32 st = 0;
    can.setSdoTimeout(kSdoTimeoutMs, st);
    ASSERT_EQ(st, 1);
    peer = std::make_unique<ScriptedPeer>(kNode);
    ASSERT_TRUE(peer->connected());
    peer->send(0x7FF, QByteArray(1, '\x55'));
    QElapsedTimer t;
    t.start();
    bool through = false;
    while (!through && t.elapsed() < 3000) {
        for (const Seen& s : drain()) through = through || s.id == 0x7FF;
        if (!through) QThread::msleep(2);
    }
    ASSERT_TRUE(through) << "the peer's frame did not reach the interface";
}

void CanTest::TearDown() {
    qint32 st = 0;
    can.stopCan(st);
    peer.reset();
}

qint32 CanTest::upload(QByteArray& out, bool block, quint8 node) {
    qint32 st = 0, len = 0;
    can.sdoUpload(node, 0x2000, 0, out, len, !block, block, st);
    EXPECT_EQ(len, out.size());
    return st;
}

qint32 CanTest::uploadBehindFrames() {
    UploadServer cfg;
    cfg.value = pattern(2);
    peer->setScript(uploadServer(cfg));
    QByteArray got;
    return upload(got);
}

qint32 CanTest::download(const QByteArray& data, bool block, quint8 node) {
    qint32 st = 0;
    can.sdoDownload(node, 0x2000, 0, data, !block, block, st);
    return st;
}

QList<Seen> CanTest::drain() {
    QList<Seen> out;
    for (;;) {
        qint32 id = 0, dlc = 0, queued = 0, st = 0;
        QByteArray data;
        can.readMessage(id, dlc, data, queued, st);
        if (st != 1) break;
        out.append({static_cast<quint32>(id), data});
    }
    return out;
}

QByteArray sdo(int command, quint32 value, quint16 index, quint8 sub) {
    QByteArray f(8, '\0');
    f[0] = static_cast<char>(command);
    f[1] = static_cast<char>(index & 0xFF);
    f[2] = static_cast<char>(index >> 8);
    f[3] = static_cast<char>(sub);
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return f;
}

quint32 abortCode(const QByteArray& f) {
    if (f.size() < 8 || quint8(f[0]) != 0x80) return 0;
    return quint32(quint8(f[4])) | quint32(quint8(f[5])) << 8 | quint32(quint8(f[6])) << 16 | quint32(quint8(f[7])) << 24;
}

quint32 abortAfter(const ScriptedPeer& peer, int from, int waitMs) {
    QElapsedTimer t;
    t.start();
    do {
        const auto req = peer.requests();
        for (int i = from; i < req.size(); ++i)
            if (quint8(req[i][0]) == 0x80) return abortCode(req[i]);
        QThread::msleep(2);
    } while (t.elapsed() < waitMs);
    return 0;
}

QByteArray pattern(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    return b;
}

}  // namespace cantest
