// The COB-IDs of the CAN layer against the identifiers on the wire, written out here.
#include "caninterface/canopenids.h"

#include <gtest/gtest.h>

TEST(CanOpenIds, NodeIdentifiersAreTheBasePlusTheNode) {
    EXPECT_EQ(CanOpen::sdoRequestId(0x72), 0x672u);
    EXPECT_EQ(CanOpen::sdoResponseId(0x72), 0x5F2u);
    EXPECT_EQ(CanOpen::heartbeatId(0x11), 0x711u);
    EXPECT_EQ(CanOpen::heartbeatNode(0x77F), 0x7F);
}

TEST(CanOpenIds, RangesEndWhereTheWireSays) {
    struct Case {
        quint32 id;
        bool sdo, heartbeat;
    };
    const Case cases[] = {
        {0x000, false, false}, {0x580, false, false}, {0x581, true, false}, {0x5FF, true, false},
        {0x600, true, false},  {0x67F, true, false},  {0x680, false, false}, {0x6FF, false, false},
        {0x700, false, true},  {0x77F, false, true},  {0x7FF, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CanOpen::isSdoId(c.id), c.sdo) << std::hex << c.id;
        EXPECT_EQ(CanOpen::isHeartbeatId(c.id), c.heartbeat) << std::hex << c.id;
    }
}
