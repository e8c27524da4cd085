// Downloads against a scripted server: the frames the client sends, and the faults.
#include "canfixture.h"
#include "crclibrary/crclibrary.h"
#include "servers.h"

using namespace cantest;

namespace {
QByteArray seg(int command, const QByteArray& payload) {
    QByteArray f(8, '\0');
    f[0] = static_cast<char>(command);
    for (int i = 0; i < payload.size() && i < 7; ++i) f[1 + i] = payload[i];
    return f;
}
QByteArray stored(const std::shared_ptr<Stored>& s) {
    QMutexLocker lock(&s->mutex);
    return s->complete ? s->value : QByteArray("<incomplete>");
}
}  // namespace

TEST_F(CanTest, ExpeditedDownloadCarriesTheSizeInItsCommand) {
    const int commands[] = {0x2F, 0x2B, 0x27, 0x23};
    for (int n = 1; n <= 4; ++n) {
        auto s = std::make_shared<Stored>();
        peer->setScript(downloadServer(s));
        const int before = peer->requests().size();
        const QByteArray data = pattern(n);
        ASSERT_EQ(download(data), 1) << n;
        const auto req = peer->requests().mid(before);
        ASSERT_EQ(req.size(), 1) << n;
        QByteArray want = sdo(commands[n - 1]);
        want.replace(4, n, data);
        EXPECT_EQ(req[0].toHex(), want.toHex()) << n;
        EXPECT_EQ(stored(s), data);
    }
}

TEST_F(CanTest, SegmentedDownloadTogglesAndMarksTheLastSegment) {
    auto s = std::make_shared<Stored>();
    peer->setScript(downloadServer(s));
    const QByteArray data = pattern(17);
    ASSERT_EQ(download(data), 1);
    const auto req = peer->requests();
    ASSERT_EQ(req.size(), 4);
    EXPECT_EQ(req[0].toHex(), sdo(0x21, 17).toHex());
    EXPECT_EQ(req[1].toHex(), seg(0x00, data.mid(0, 7)).toHex());
    EXPECT_EQ(req[2].toHex(), seg(0x10, data.mid(7, 7)).toHex());
    EXPECT_EQ(req[3].toHex(), seg(0x00 | (7 - 3) << 1 | 1, data.mid(14)).toHex());
    EXPECT_EQ(stored(s), data);
}

TEST_F(CanTest, AnEmptyDownloadIsOneEmptyLastSegment) {
    for (bool block : {false, true}) {
        auto s = std::make_shared<Stored>();
        peer->setScript(downloadServer(s));
        const int before = peer->requests().size();
        ASSERT_EQ(download(QByteArray(), block), 1) << block;
        const auto req = peer->requests().mid(before);
        if (!block) {
            ASSERT_EQ(req.size(), 2);
            EXPECT_EQ(req[0].toHex(), sdo(0x21, 0).toHex());
            EXPECT_EQ(req[1].toHex(), seg(0x0F, {}).toHex());
        } else {
            ASSERT_EQ(req.size(), 3);
            EXPECT_EQ(req[0].toHex(), sdo(0xC6, 0).toHex());
            EXPECT_EQ(req[1].toHex(), seg(0x81, {}).toHex());
            EXPECT_EQ(req[2].toHex(), seg(0xC1 | 7 << 2, {}).toHex());  // CRC of nothing is 0
        }
        EXPECT_EQ(stored(s), QByteArray());
    }
}

TEST_F(CanTest, BlockDownloadFollowsTheServersBlockSizeAndEndsWithTheCrc) {
    auto s = std::make_shared<Stored>();
    DownloadServer cfg;
    cfg.blockSize = 2;
    peer->setScript(downloadServer(s, cfg));
    const QByteArray data = pattern(20);
    ASSERT_EQ(download(data, true), 1);
    const auto req = peer->requests();
    ASSERT_EQ(req.size(), 5);
    EXPECT_EQ(req[0].toHex(), sdo(0xC6, 20).toHex());
    EXPECT_EQ(req[1].toHex(), seg(0x01, data.mid(0, 7)).toHex());
    EXPECT_EQ(req[2].toHex(), seg(0x02, data.mid(7, 7)).toHex());
    EXPECT_EQ(req[3].toHex(), seg(0x81, data.mid(14)).toHex());  // new sub-block: sequence 1 again
    const quint16 crc = CrcCalculation(data.constData(), data.size(), 0);
    EXPECT_EQ(req[4].toHex(), seg(0xC1 | 1 << 2, QByteArray(1, char(crc & 0xFF)) + char(crc >> 8)).toHex());
    EXPECT_EQ(stored(s), data);
    QMutexLocker lock(&s->mutex);
    EXPECT_TRUE(s->crcChecked);
}

TEST_F(CanTest, BlockDownloadRepeatsTheSegmentsTheServerDidNotAcknowledge) {
    auto s = std::make_shared<Stored>();
    DownloadServer cfg;
    cfg.blockSize = 3;
    cfg.partialAckOnce = 1;
    peer->setScript(downloadServer(s, cfg));
    const QByteArray data = pattern(30);
    ASSERT_EQ(download(data, true), 1);
    const auto req = peer->requests();
    // 3 segments, acknowledged 1; then segments 2 to 4 as 1 to 3, segment 5 as 1; the end.
    ASSERT_EQ(req.size(), 1 + 3 + 3 + 1 + 1);
    EXPECT_EQ(req[4].toHex(), seg(0x01, data.mid(7, 7)).toHex());
    EXPECT_EQ(req[7].toHex(), seg(0x81, data.mid(28)).toHex());
    EXPECT_EQ(stored(s), data);
}

TEST_F(CanTest, BlockDownloadLeavesTheCrcOutWhenTheServerHasNone) {
    auto s = std::make_shared<Stored>();
    DownloadServer cfg;
    cfg.blockCrc = false;
    peer->setScript(downloadServer(s, cfg));
    ASSERT_EQ(download(pattern(9), true), 1);
    const QByteArray end = peer->requests().last();
    EXPECT_EQ(end.toHex(), seg(0xC1 | 5 << 2, {}).toHex());
}

namespace {
struct DownloadFault {
    const char* name;
    int size;
    bool block;
    ScriptedPeer::Script script;
    quint32 status;
    bool abortSent;  // the client aborts (else the server did)
};
}  // namespace

TEST_F(CanTest, DownloadFaultsEndInAClearFailure) {
    const QList<DownloadFault> faults = {
        {"server abort", 20, false, [](const QByteArray&) { return QList<Reply>{{sdo(0x80, 0x06010002)}}; },
         0x06010002, false},
        {"abort code that reads as success", 3, false,
         [](const QByteArray&) { return QList<Reply>{{sdo(0x80, 1)}}; }, 0x08000000, false},
        {"wrong toggle", 20, false,
         [](const QByteArray& r) {
             return QList<Reply>{quint8(r[0]) == 0x21 ? Reply{sdo(0x60)} : r8({0x30})};
         },
         0x05030000, true},
        {"unknown response", 2, false, [](const QByteArray&) { return QList<Reply>{{sdo(0x41, 2)}}; }, 0x05040001,
         true},
        {"short initiate response", 2, false,
         [](const QByteArray&) { return QList<Reply>{{QByteArray("\x60\x00", 2)}}; }, 0x05040001, true},
        {"block size 0", 20, true,
         [](const QByteArray&) {
             return QList<Reply>{{sdo(0xA4)}};  // byte 4 = block size 0
         },
         0x05040002, true},
        {"acknowledges more than was sent", 20, true,
         [](const QByteArray& r) {
             QByteArray init = sdo(0xA4);
             init[4] = 2;
             if (quint8(r[0]) == 0xC6) return QList<Reply>{{init}};
             if (quint8(r[0]) == 0x02) return QList<Reply>{r8({0xA2, 5, 2})};
             return QList<Reply>{};
         },
         0x05040003, true},
    };
    for (const auto& f : faults) {
        peer->setScript(f.script);
        const int before = peer->requests().size();
        EXPECT_EQ(static_cast<quint32>(download(pattern(f.size), f.block)), f.status) << f.name;
        // An abort of ours leaves before the status comes back, so a short wait shows there is none.
        EXPECT_EQ(abortAfter(*peer, before, f.abortSent ? 3000 : 50), f.abortSent ? f.status : 0) << f.name;
    }
}
