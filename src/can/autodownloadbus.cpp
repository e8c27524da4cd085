#include "can/autodownloadbus.h"

#include "can/frmcanopen.h"

namespace autoDownloadBus {

namespace {
const Fake* s_fake = nullptr;
}

void setFake(const Fake* fake) { s_fake = fake; }

bool setUserLevel(quint8 level) {
    if (s_fake && s_fake->setUserLevel) return s_fake->setUserLevel(level);
    return frmCANopen::instance().g_setUserLevel(level);
}

bool setServiceBit(qint32 key, quint8 state) {
    if (s_fake && s_fake->setServiceBit) return s_fake->setServiceBit(key, state);
    return frmCANopen::instance().g_setServiceBit(key, state);
}

bool writeSymbol(qint32 symbol, qint16 cylNo, const QByteArray& value) {
    if (s_fake && s_fake->writeSymbol) return s_fake->writeSymbol(symbol, cylNo, value);
    return frmCANopen::instance().g_writeSymbol(symbol, cylNo, value);
}

bool readSDO(qint32 node, qint32 index, quint8 subIndex, QByteArray& data) {
    if (s_fake && s_fake->readSDO) return s_fake->readSDO(node, index, subIndex, data);
    qint32 length = 0;
    return frmCANopen::instance().g_readSDO(quint8(node), index, subIndex, length, data, false, true, true);
}

}  // namespace autoDownloadBus
