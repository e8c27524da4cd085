#include "can/modechangebus.h"

#include "can/frmcanopen.h"

namespace modeChangeBus {

namespace {
const Fake* s_fake = nullptr;
}

void setFake(const Fake* fake) { s_fake = fake; }

bool writeSDO(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, qint32 timeoutMs) {
    if (s_fake && s_fake->writeSDO) return s_fake->writeSDO(node, index, subIndex, data, timeoutMs);
    return frmCANopen::instance().g_writeSDO(node, index, subIndex, qint32(data.size()), data, true, timeoutMs);
}

bool setOperational(quint8 node) {
    if (s_fake && s_fake->setOperational) return s_fake->setOperational(node);
    return frmCANopen::instance().g_setOperational(node, true);
}

bool searchNode(qint16 module, quint8 base) {
    if (s_fake && s_fake->searchNode) return s_fake->searchNode(module, base);
    qint32 status = 0;
    return frmCANopen::instance().g_searchNode(module, base, true, status);
}

void resetSDOTransferMode(qint16 module) {
    if (s_fake && s_fake->resetSDOTransferMode) return s_fake->resetSDOTransferMode(module);
    frmCANopen::instance().g_resetSDOTransferMode(module);
}

}  // namespace modeChangeBus
