// Uploads against a scripted server: the forms with and without size, block upload with
// its acknowledgements and the protocol switch, and the faults.
#include "canfixture.h"
#include "servers.h"

using namespace cantest;

TEST_F(CanTest, ExpeditedUploadTakesTheIndicatedBytesOrFourWithoutASize) {
    for (int n = 1; n <= 4; ++n) {
        UploadServer cfg;
        cfg.value = pattern(n);
        peer->setScript(uploadServer(cfg));
        QByteArray got;
        ASSERT_EQ(upload(got), 1) << n;
        EXPECT_EQ(got.toHex(), cfg.value.toHex());
    }
    UploadServer cfg;
    cfg.value = pattern(4);
    cfg.sized = false;
    peer->setScript(uploadServer(cfg));
    QByteArray got;
    ASSERT_EQ(upload(got), 1);
    EXPECT_EQ(got.toHex(), cfg.value.toHex());
    EXPECT_EQ(peer->requests().last().toHex(), sdo(0x40).toHex());
}

TEST_F(CanTest, SegmentedUploadWithAndWithoutSizeTogglesItsRequests) {
    for (bool sized : {true, false}) {
        for (int n : {0, 5, 20}) {
            UploadServer cfg;
            cfg.value = pattern(n);
            cfg.sized = sized;
            if (n < 5) cfg.announced = n;  // keeps the server from going expedited
            peer->setScript(uploadServer(cfg));
            const int before = peer->requests().size();
            QByteArray got;
            ASSERT_EQ(upload(got), 1) << sized << n;
            EXPECT_EQ(got.toHex(), cfg.value.toHex());
            const auto req = peer->requests().mid(before);
            ASSERT_EQ(req.size(), 1 + std::max(1, (n + 6) / 7));
            for (int i = 1; i < req.size(); ++i)
                EXPECT_EQ(req[i].toHex(), QByteArray(1, char((i - 1) % 2 ? 0x70 : 0x60)).leftJustified(8, '\0').toHex());
        }
    }
}

TEST_F(CanTest, AnUploadReturnsAllTheObjectsBytesWhateverLengthWasAsked) {
    UploadServer cfg;
    cfg.value = pattern(312);
    peer->setScript(uploadServer(cfg));
    QByteArray got;
    qint32 len = 44, st = 0;
    can.sdoUpload(kNode, 0x2000, 0, got, len, true, false, st);
    ASSERT_EQ(st, 1);
    EXPECT_EQ(len, 312);
    EXPECT_EQ(got, cfg.value);
}

TEST_F(CanTest, BlockUploadAcknowledgesEachSubBlockAndChecksTheCrc) {
    for (bool sized : {true, false}) {
        for (bool crc : {true, false}) {
            for (int n : {0, 6, 7, 889, 900}) {
                UploadServer cfg;
                cfg.value = pattern(n);
                cfg.sized = sized;
                cfg.blockCrc = crc;
                peer->setScript(uploadServer(cfg));
                const int before = peer->requests().size();
                QByteArray got;
                ASSERT_EQ(upload(got, true), 1) << sized << crc << n;
                EXPECT_EQ(got, cfg.value) << n;
                const int segments = std::max(1, (n + 6) / 7), subBlocks = (segments + 126) / 127;
                peer->waitRequests(before + 2 + subBlocks + 1);  // the closing 0xA1 may still be on its way
                const auto req = peer->requests().mid(before);
                QByteArray init = sdo(0xA4);
                init[4] = 127;
                init[5] = 21;
                ASSERT_EQ(req.size(), 2 + subBlocks + 1) << n;
                EXPECT_EQ(req[0].toHex(), init.toHex());
                EXPECT_EQ(quint8(req[1][0]), 0xA3);
                const int lastAck = segments - (subBlocks - 1) * 127;
                EXPECT_EQ(req[req.size() - 2].left(3).toHex(), QByteArray::fromHex("a2").append(char(lastAck)).append(char(127)).toHex());
                EXPECT_EQ(quint8(req.last()[0]), 0xA1);
            }
        }
    }
}

TEST_F(CanTest, BlockUploadAcknowledgesOnlyWhatCameInOrderAndTakesTheRepeat) {
    UploadServer cfg;
    cfg.value = pattern(70);  // 10 segments
    cfg.dropSeqOnce = 4;
    peer->setScript(uploadServer(cfg));
    QByteArray got;
    ASSERT_EQ(upload(got, true), 1);
    EXPECT_EQ(got, cfg.value);
    const auto req = peer->requests();
    ASSERT_GE(req.size(), 3);
    EXPECT_EQ(req[2].left(2).toHex(), "a203");  // segments 1 to 3 in order, 4 lost
}

TEST_F(CanTest, TheServerMaySwitchABlockUploadToAPlainOne) {
    for (int n : {3, 15}) {
        UploadServer cfg;
        cfg.value = pattern(n);
        cfg.plainForBlock = true;
        peer->setScript(uploadServer(cfg));
        const int before = peer->requests().size();
        QByteArray got;
        ASSERT_EQ(upload(got, true), 1) << n;
        EXPECT_EQ(got, cfg.value);
        const auto req = peer->requests().mid(before);
        EXPECT_EQ(quint8(req[0][0]), 0xA4);
        if (n > 4) {
            EXPECT_EQ(quint8(req[1][0]), 0x60);  // segmented from here on
        }
    }
}

namespace {
struct UploadFault {
    const char* name;
    bool block;
    UploadServer cfg;
    quint32 status;
    bool abortSent;
};
UploadServer with(int size, const std::function<void(UploadServer&)>& f) {
    UploadServer c;
    c.value = pattern(size);
    f(c);
    return c;
}
}  // namespace

TEST_F(CanTest, UploadFaultsEndInAClearFailure) {
    const QList<UploadFault> faults = {
        {"wrong toggle", false, with(20, [](UploadServer& c) { c.wrongToggle = true; }), 0x05030000, true},
        {"block CRC mismatch", true, with(50, [](UploadServer& c) { c.corruptCrc = true; }), 0x05040004, true},
        {"segment longer than announced", false, with(20, [](UploadServer& c) { c.announced = 10; }), 0x06070012,
         true},
        {"block longer than announced", true, with(30, [](UploadServer& c) { c.announced = 10; }), 0x06070012, true},
        {"fewer bytes than announced", false, with(20, [](UploadServer& c) { c.announced = 30; }), 0x06070013, true},
        {"block with fewer bytes than announced", true, with(20, [](UploadServer& c) { c.announced = 30; }),
         0x06070013, true},
        {"more than 16 MiB", false, with(20, [](UploadServer& c) { c.announced = 16 * 1024 * 1024 + 1; }),
         0x05040005, true},
        {"block of more than 16 MiB", true, with(20, [](UploadServer& c) { c.announced = 16 * 1024 * 1024 + 1; }),
         0x05040005, true},
        {"silent mid-transfer", false, with(40, [](UploadServer& c) { c.silentAfter = 3; }), 0x05040000, true},
        {"silent mid-block", true, with(2000, [](UploadServer& c) { c.silentAfter = 2; }), 0x05040000, true},
    };
    for (const auto& f : faults) {
        peer->setScript(uploadServer(f.cfg));
        // The silent cases wait out a short time-out; the others have all the time they need.
        qint32 st = 0;
        can.setSdoTimeout(f.cfg.silentAfter >= 0 ? 100 : kSdoTimeoutMs, st);
        const int before = peer->requests().size();
        QByteArray got("old");
        EXPECT_EQ(static_cast<quint32>(upload(got, f.block)), f.status) << f.name;
        EXPECT_TRUE(got.isEmpty()) << f.name;
        EXPECT_EQ(abortAfter(*peer, before, f.abortSent ? 3000 : 50), f.abortSent ? f.status : 0) << f.name;
    }
}

namespace {
struct FrameFault {
    const char* name;
    bool block;
    ScriptedPeer::Script script;
    quint32 status;
};
QList<Reply> one(const QByteArray& f) { return {{f}}; }
}  // namespace

TEST_F(CanTest, MalformedServerFramesEndInAClearFailure) {
    const QList<FrameFault> faults = {
        {"server abort", false, [](const QByteArray&) { return one(sdo(0x80, 0x06020000)); }, 0x06020000},
        {"abort too short to carry its code", false, [](const QByteArray&) { return one(QByteArray(1, '\x80')); },
         0x08000000},
        {"expedited response shorter than its size", false,
         [](const QByteArray&) { return one(sdo(0x43).left(6)); }, 0x05040001},
        {"segment shorter than its byte count", false,
         [](const QByteArray& r) { return one(quint8(r[0]) == 0x40 ? sdo(0x41, 7) : QByteArray("\x01\x01\x02", 3)); },
         0x05040001},
        {"empty frame", false, [](const QByteArray&) { return one(QByteArray()); }, 0x05040001},
        {"block segment shorter than 8 bytes", true,
         [](const QByteArray& r) { return one(quint8(r[0]) == 0xA4 ? sdo(0xC6, 7) : QByteArray("\x81\x01", 2)); },
         0x05040001},
        {"block sequence number 0", true,
         [](const QByteArray& r) { return one(quint8(r[0]) == 0xA4 ? sdo(0xC6, 7) : sdo(0x00)); }, 0x05040003},
        {"download response to an upload", false, [](const QByteArray&) { return one(sdo(0x60)); }, 0x05040001},
    };
    for (const auto& f : faults) {
        peer->setScript(f.script);
        QByteArray got;
        EXPECT_EQ(static_cast<quint32>(upload(got, f.block)), f.status) << f.name;
    }
}
