#pragma once
// A simulator with one node on a private virtual bus, and a raw QCanBusDevice beside it
// that plays the SDO client frame by frame.
#include "lib/faults.h"
#include "lib/frame.h"
#include "lib/simulator.h"

#include <QCanBusDevice>
#include <gtest/gtest.h>
#include <deque>
#include <memory>
#include <optional>

namespace simtest {

constexpr quint8 kNode = 0x10;

// One port per process: virtualcan hosts a single bus server per process.
quint16 busPort();

QByteArray bytes(std::initializer_list<int> b);  // padded to 8
QByteArray request(quint8 cmd, quint16 index, quint8 sub, quint32 value = 0);
quint32 u32At(const QByteArray& b, int pos);
quint32 abortCode(const QByteArray& response);  // 0 unless an abort frame

// Waits with the event loop running until pred() holds or the time is up.
bool waitFor(const std::function<bool()>& pred, int timeoutMs);

class SimBus : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The raw side.
    bool openDevice(const QString& url);
    void send(quint32 id, const QByteArray& data);
    // The first frame received (and not yet taken) that matches, waiting for it; taken out.
    std::optional<sim::Frame> nextMatching(const std::function<bool(const sim::Frame&)>& match, int timeoutMs = 1000);
    std::optional<sim::Frame> next(quint32 id, int timeoutMs = 1000);
    bool silent(quint32 id, int ms);  // no frame with that id arrives within ms
    void clearInbox() { m_inbox.clear(); }
    // Waits until every frame under way in either direction has arrived, then forgets what
    // came, so that nothing of an earlier step is taken for an answer of the next.
    void drain();

    // One SDO request to a node and its response (empty on time-out).
    QByteArray exchange(quint8 node, const QByteArray& req, int timeoutMs = 1000);
    QByteArray sdo(const QByteArray& req, int timeoutMs = 1000) { return exchange(kNode, req, timeoutMs); }

    // Small clients for the transfer kinds, to the node given first or to kNode. Each
    // returns the abort code (0 = done, TimedOut for a missing response).
    quint32 upload(quint8 node, quint16 index, quint8 sub, QByteArray& out, int timeoutMs = 1000);  // expedited or segmented
    quint32 upload(quint16 index, quint8 sub, QByteArray& out) { return upload(kNode, index, sub, out); }
    quint32 download(quint8 node, quint16 index, quint8 sub, const QByteArray& data, bool sized = true);
    quint32 download(quint16 index, quint8 sub, const QByteArray& data, bool sized = true) {
        return download(kNode, index, sub, data, sized);
    }
    // skipSeq: a sequence number left out of the first sub-block, resent after the ack.
    quint32 blockDownload(quint8 node, quint16 index, quint8 sub, const QByteArray& data, bool crc = true, int skipSeq = 0,
                          bool corruptCrc = false);
    quint32 blockDownload(quint16 index, quint8 sub, const QByteArray& data, bool crc = true, int skipSeq = 0,
                          bool corruptCrc = false) {
        return blockDownload(kNode, index, sub, data, crc, skipSeq, corruptCrc);
    }
    // ackShort: the first sub-block is acknowledged this many segments short.
    quint32 blockUpload(quint8 node, quint16 index, quint8 sub, QByteArray& out, int blockSize = 127, int pst = 0,
                        bool crc = true, int ackShort = 0, bool* crcOk = nullptr);
    quint32 blockUpload(quint16 index, quint8 sub, QByteArray& out, int blockSize = 127, int pst = 0, bool crc = true,
                        int ackShort = 0, bool* crcOk = nullptr) {
        return blockUpload(kNode, index, sub, out, blockSize, pst, crc, ackShort, crcOk);
    }

    void setFaults(const sim::Faults& f);

    std::unique_ptr<sim::Simulator> m_sim;
    sim::Node* m_node = nullptr;
    std::unique_ptr<QCanBusDevice> m_device;
    std::deque<sim::Frame> m_inbox;
};

}  // namespace simtest
