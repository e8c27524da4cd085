#pragma once
// The CAN master operations the mode change uses, in one place so that a test can record
// their order and timing or answer them itself. By default they go to the CAN master.
#include <QByteArray>
#include <QtGlobal>
#include <functional>

namespace modeChangeBus {

// g_writeSDO, quiet; timeoutMs > 0 is the SDO time-out of this write only.
bool writeSDO(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, qint32 timeoutMs = 0);
// NMT start; node 0 starts all nodes.
bool setOperational(quint8 node);
// g_searchNode, quiet: whether the module runs the program that base (a node-id base) names.
bool searchNode(qint16 module, quint8 base);
// The next transfer with the module asks its bootloader version again.
void resetSDOTransferMode(qint16 module);

// A test's stand-in: each set member replaces the CAN master's operation.
struct Fake {
    std::function<bool(quint8, qint32, quint8, const QByteArray&, qint32)> writeSDO;
    std::function<bool(quint8)> setOperational;
    std::function<bool(qint16, quint8)> searchNode;
    std::function<void(qint16)> resetSDOTransferMode;
};
// nullptr goes back to the CAN master.
void setFake(const Fake* fake);

}  // namespace modeChangeBus
