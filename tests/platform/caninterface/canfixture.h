#pragma once
// The fixture of the CAN interface tests: the interface on the process's private bus,
// started, with a scripted peer as node 5 whose first frame has reached the interface
// (so both are known to the bus server).
#include "caninterface/caninterface.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>
#include <memory>

namespace cantest {

constexpr quint8 kNode = 5;
// The SDO time-out of tests that are not about time-outs: the bus is shared with the other
// tests of the run, so a slow answer is no failure. Tests about time-outs set their own.
constexpr qint32 kSdoTimeoutMs = 2000;

// Puts the interface on the process's private bus and starts it: 1, or the status of the
// step that failed.
qint32 startOnBus(CANInterface& can);

class CanTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    qint32 upload(QByteArray& out, bool block = false, quint8 node = kNode);
    qint32 download(const QByteArray& data, bool block = false, quint8 node = kNode);
    // Frames taken from the receive queue until it is empty.
    QList<Seen> drain();
    // A two-byte upload from the peer, whose response comes behind every frame the peer
    // sent before it.
    qint32 uploadBehindFrames();

    CANInterface can;
    std::unique_ptr<ScriptedPeer> peer;
};

// An SDO frame: command byte, index 0x2000, sub-index 0, then bytes 4 to 7.
QByteArray sdo(int command, quint32 value = 0, quint16 index = 0x2000, quint8 sub = 0);
quint32 abortCode(const QByteArray& frame);
// The abort code of the first abort the peer receives after its request number `from`,
// waiting up to waitMs for it; 0 if none comes.
quint32 abortAfter(const ScriptedPeer& peer, int from, int waitMs = 3000);
QByteArray pattern(int size);

}  // namespace cantest
