// A transfer that timed out may still be answered: those late frames come in ahead of the
// next transfer's own and must not be taken for its answer.
#include "canfixture.h"
#include "servers.h"

using namespace cantest;

namespace {
// The server's answer to the first request it sees is preceded by `late`; from then on it
// is `server` alone.
ScriptedPeer::Script afterLateFrames(QList<QByteArray> late, ScriptedPeer::Script server) {
    auto first = std::make_shared<bool>(true);
    return [=](const QByteArray& r) {
        QList<Reply> out;
        if (*first)
            for (const QByteArray& f : late) out.append({f});
        *first = false;
        return out + server(r);
    };
}
}  // namespace

TEST_F(CanTest, ALateAnswerToATimedOutTransferIsNotTakenByTheNextOne) {
    // What an earlier transfer's server may still send: responses to another object (with
    // its index), and the index-less responses to segments, sub-blocks and block ends.
    const QList<QByteArray> late = {
        sdo(0x4B, 0x1234, 0x2001),            // expedited upload response of another object
        sdo(0x60, 0, 0x2000, 1),              // download response of another sub-index
        sdo(0xA4, 127, 0x2001),               // block download response of another object
        sdo(0x80, 0x06020000, 0x2001),        // the server's abort of another object
        r8({0x20}).data, r8({0x10}).data,     // download and upload segment responses
        r8({0xA2, 127, 127}).data, r8({0xA1}).data,  // block acknowledgement and block end
    };
    for (bool upload : {true, false}) {
        for (bool block : {false, true}) {
            SCOPED_TRACE(testing::Message() << (upload ? "upload" : "download") << (block ? ", block" : ""));
            // The earlier transfer: the server is silent, the client gives up and aborts.
            qint32 st = 0;
            can.setSdoTimeout(100, st);
            peer->setScript([](const QByteArray&) { return QList<Reply>{}; });
            const int before = peer->requests().size();
            QByteArray got;
            qint32 len = 0;
            can.sdoUpload(kNode, 0x2001, 0, got, len, true, false, st);
            ASSERT_EQ(static_cast<quint32>(st), 0x05040000u);
            ASSERT_EQ(abortAfter(*peer, before), 0x05040000u);

            can.setSdoTimeout(kSdoTimeoutMs, st);
            if (upload) {
                UploadServer cfg;
                cfg.value = pattern(block ? 40 : 3);
                peer->setScript(afterLateFrames(late, uploadServer(cfg)));
                EXPECT_EQ(this->upload(got, block), 1);
                EXPECT_EQ(got.toHex(), cfg.value.toHex());
            } else {
                auto stored = std::make_shared<Stored>();
                peer->setScript(afterLateFrames(late, downloadServer(stored)));
                const QByteArray data = pattern(block ? 40 : 10);
                EXPECT_EQ(download(data, block), 1);
                QMutexLocker lock(&stored->mutex);
                EXPECT_TRUE(stored->complete);
                EXPECT_EQ(stored->value.toHex(), data.toHex());
            }
            // Passed over, not lost: the late frames wait in the receive queue as any frame
            // that is not the running transfer's.
            QList<QByteArray> queued;
            for (const Seen& s : drain())
                if (s.id == 0x580u + kNode) queued << s.data;
            EXPECT_EQ(queued, late);
        }
    }
}

TEST_F(CanTest, AnAnswerThatNeverComesForTheRunningTransferIsATimeOutWhateverElseArrives) {
    // Frames of another transfer do not hold the time-out off, and the client aborts as usual.
    qint32 st = 0;
    can.setSdoTimeout(150, st);
    peer->setScript([](const QByteArray&) { return QList<Reply>{{sdo(0x60, 0, 0x2001)}, r8({0x20})}; });
    const int before = peer->requests().size();
    EXPECT_EQ(static_cast<quint32>(download(pattern(2))), 0x05040000u);
    EXPECT_EQ(abortAfter(*peer, before), 0x05040000u);
}
