// A converter that drops out and comes back: the bus host (pxm-sim, a process of its own) is
// killed and started again on the same port. The interface opens the same converter again
// by itself, says so, and its transfers reach the modules once they are back.
#include "caninterface/caninterface.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QLoggingCategory>
#include <atomic>
#include <gtest/gtest.h>

namespace {
bool deviceNameReads(CANInterface& can) {
    QByteArray data;
    qint32 length = 0, status = 0;
    can.sdoUpload(0x20, 0x1008, 0, data, length, true, false, status);
    return status == CanStatus::Success && !data.isEmpty();
}
}  // namespace

TEST(CanReopen, ALostConverterIsOpenedAgainAndReachesTheModulesWhenTheyAreBack) {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can*=false"));
    const QString url = testsupport::busUrl(testsupport::freePort());
    auto drop = std::make_shared<std::atomic<bool>>(false);
    testsupport::SimProcess sim(QStringLiteral(KELB_PXM_SIM), {"--bus", url, "--profile", "sbus"},
                                {[drop] { return drop->load(); }, 3000});
    ASSERT_TRUE(sim.waitUntilUp());

    CANInterface can;
    int lost = 0, back = 0;
    QObject::connect(&can, &CANInterface::ErrorEvent, [&](qint32, qint32 code, const QString&) {
        if (code == CanStatus::HardwareError) ++lost;
    });
    QObject::connect(&can, &CANInterface::ReconnectEvent, [&](qint32, const QString& text) {
        ++back;
        EXPECT_TRUE(text.contains(url)) << text.toStdString();
    });
    can.setDevice(0, QStringLiteral("virtualcan"), url);
    qint32 status = 0;
    can.initBoard(0, 0, 500, 0, status);
    ASSERT_EQ(status, CanStatus::Success);
    can.startCan(status);
    ASSERT_EQ(status, CanStatus::Success);
    ASSERT_TRUE(testsupport::waitFor([&] { return deviceNameReads(can); }, 10000));

    *drop = true;
    ASSERT_TRUE(testsupport::waitFor([&] { return lost > 0; }, 10000));
    // Opened again about a second later: Qt's virtual bus is then hosted here.
    ASSERT_TRUE(testsupport::waitFor([&] { return back > 0; }, 10000));
    ASSERT_TRUE(testsupport::waitFor([&] { return sim.back(); }, 30000));
    EXPECT_TRUE(testsupport::waitFor([&] { return deviceNameReads(can); }, 10000));
    EXPECT_EQ(back, 1);
    can.stopCan(status);
}
