// The CAN master behind the bus seams of the mode change and the auto-download.
#include "can/links.h"

#include "can/frmcanopen.h"

bool ModeChangeMaster::writeSDO(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, qint32 timeoutMs) {
    return frmCANopen::instance().g_writeSDO(node, index, subIndex, qint32(data.size()), data, true, timeoutMs);
}

bool ModeChangeMaster::setOperational(quint8 node) { return frmCANopen::instance().g_setOperational(node, true); }

bool ModeChangeMaster::searchNode(qint16 module, quint8 base) {
    qint32 status = 0;
    return frmCANopen::instance().g_searchNode(module, base, true, status);
}

void ModeChangeMaster::resetSDOTransferMode(qint16 module) { frmCANopen::instance().g_resetSDOTransferMode(module); }

bool ModeChangeMaster::busLost() { return frmCANopen::instance().busLost(); }

bool AutoDownloadMaster::setUserLevel(quint8 level) { return frmCANopen::instance().g_setUserLevel(level); }

bool AutoDownloadMaster::setServiceBit(qint32 key, quint8 state) { return frmCANopen::instance().g_setServiceBit(key, state); }

bool AutoDownloadMaster::writeSymbol(qint32 symbol, qint16 cylNo, const QByteArray& value) {
    return frmCANopen::instance().g_writeSymbol(symbol, cylNo, value);
}

bool AutoDownloadMaster::readSDO(qint32 node, qint32 index, quint8 subIndex, QByteArray& data) {
    qint32 length = 0;
    return frmCANopen::instance().g_readSDO(quint8(node), index, subIndex, length, data, false, true, true);
}
