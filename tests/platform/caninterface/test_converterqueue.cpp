// The CAN layer through a converter whose transmit queue is small (sim::ConverterDevice):
// the answer's time-out runs from the moment the last frame has been handed to it, and a
// converter that takes nothing fails transfers with their own status and drops raw frames.
#include "canfixture.h"
#include "cansim/converterscope.h"
#include "caninterface/canstatus.h"
#include "servers.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <optional>

using namespace cantest;

namespace {
QMutex g_linesMutex;
QStringList g_lines;  // the layer's warnings

class ConverterCanTest : public CanTest {
protected:
    void through(sim::ConverterDevice::Options o) {
        converter.emplace(o);
        CanTest::SetUp();
    }
    // Through a converter with these options, the answer's time-out set, to a peer that
    // stores what it is sent.
    std::shared_ptr<Stored> storingThrough(sim::ConverterDevice::Options o, qint32 sdoTimeoutMs) {
        through(o);
        qint32 st = 0;
        can.setSdoTimeout(sdoTimeoutMs, st);
        auto s = std::make_shared<Stored>();
        peer->setScript(downloadServer(s));
        return s;
    }
    void SetUp() override {}
    void TearDown() override {
        if (converter) CanTest::TearDown();
        converter.reset();
    }
    std::optional<cansim::ConverterScope> converter;
};

struct WarningsHeard {
    QtMessageHandler previous;
    WarningsHeard() {
        g_lines.clear();
        previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& c, const QString& text) {
            if (QLatin1String(c.category) != QLatin1String("kelb.can")) return;
            QMutexLocker lock(&g_linesMutex);
            g_lines << text;
        });
    }
    ~WarningsHeard() { qInstallMessageHandler(previous); }
    int containing(const char* part) const {
        QMutexLocker lock(&g_linesMutex);
        return int(g_lines.filter(QLatin1String(part)).size());
    }
};
}  // namespace

// 127 segments through a queue of one frame at 20 kbit/s take some 800 ms to leave, four
// times the time-out: the wait for the answer starts only once they have.
TEST_F(ConverterCanTest, ABlockSlowerOnTheWireThanTheTimeOutSucceeds) {
    const auto s = storingThrough({1, 20000}, 200);
    const QByteArray data = pattern(127 * 7);
    QElapsedTimer t;
    t.start();
    ASSERT_EQ(download(data, true), CanStatus::Success);
    EXPECT_GT(t.elapsed(), 400);
    QMutexLocker lock(&s->mutex);
    EXPECT_TRUE(s->complete);
    EXPECT_EQ(s->value, data);
    EXPECT_GT(converter->traffic().refusals(), 0);
}

TEST_F(ConverterCanTest, AConverterThatTakesNothingFailsTheTransferAndDropsRawFramesSayingSoOnce) {
    storingThrough({0, 125000}, 300);
    qint32 st = 0;
    WarningsHeard heard;
    EXPECT_EQ(download(pattern(100), true), CanStatus::TransmitQueueFull);
    EXPECT_EQ(heard.containing("transmit queue of the converter full, no frame has left for 300 ms (No buffer space available)"), 1);
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        can.sendMessage(0x123, QByteArray(2, char(i)), st);
        EXPECT_EQ(st, CanStatus::TransmissionError);
        EXPECT_GE(t.elapsed(), 250);  // it waited for room for the time-out
    }
    EXPECT_EQ(heard.containing("frame 0x123 dropped, transmit queue of the converter full"), 1);
    EXPECT_TRUE(converter->traffic().sent().isEmpty());
    EXPECT_TRUE(peer->requests().isEmpty());
}

// The converter's switch for a pulled cable: the layer hears the connection lost, fails
// the transfer meanwhile, and uses the converter again once it is back.
TEST_F(ConverterCanTest, AConverterThatLosesItsConnectionAndGetsItBackIsUsedAgain) {
    through({10, 125000});
    std::atomic<int> lost{0};
    QObject::connect(&can, &CANInterface::ErrorEvent, [&](qint32, qint32 code, const QString&) {
        if (code == CanStatus::HardwareError) ++lost;
    });
    auto s = std::make_shared<Stored>();
    peer->setScript(downloadServer(s));
    ASSERT_NE(converter->device(), nullptr);
    converter->device()->setConnected(false);
    ASSERT_TRUE(testsupport::waitFor([&] { return lost > 0; }, 3000));
    EXPECT_EQ(download(pattern(20)), CanStatus::HardwareError);
    converter->device()->setConnected(true);
    QElapsedTimer t;
    t.start();
    qint32 st = 0;
    do {
        st = download(pattern(20));
    } while (st != CanStatus::Success && t.elapsed() < 3000);
    EXPECT_EQ(st, CanStatus::Success);
    QMutexLocker lock(&s->mutex);
    EXPECT_EQ(s->value, pattern(20));
}
