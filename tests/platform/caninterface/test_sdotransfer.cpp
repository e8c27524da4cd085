// The SDO state machine alone, without a bus: for transfers too long to run over one.
#include "caninterface/sdotransfer.h"
#include "canfixture.h"

using namespace cantest;

namespace {
struct FakeLink : SdoTransfer::Link {
    QList<QByteArray> sent;
    bool send(const QByteArray& f) override {
        sent.append(f);
        return true;
    }
    void awaitResponse() override {}
};
constexpr qint64 kLimit = 16 * 1024 * 1024;
}  // namespace

TEST(SdoTransfer, AnUploadWithoutASizeIsRefusedOnceItPassesSixteenMiB) {
    for (bool block : {false, true}) {
        FakeLink link;
        SdoTransfer t(link, block ? SdoTransfer::Kind::BlockUpload : SdoTransfer::Kind::Upload, 0x2000, 0);
        t.start();
        t.onFrame(sdo(block ? 0xC4 : 0x40));  // no size indicated
        QByteArray seg(8, '\x5A');
        qint64 segments = 0;
        while (!t.finished() && segments < kLimit) {
            seg[0] = static_cast<char>(block ? segments % 127 + 1 : (segments % 2) << 4);
            t.onFrame(seg);
            ++segments;
        }
        EXPECT_EQ(static_cast<quint32>(t.status()), 0x05040005u) << block;
        EXPECT_EQ(segments, kLimit / 7 + 1) << block;  // the first segment past the limit
        EXPECT_EQ(abortCode(link.sent.last()), 0x05040005u) << block;
    }
}
