#pragma once
// The four CAN master operations the auto-download state uses, in one place so that a
// test can watch or refuse them. By default they go to the CAN master.
#include <QByteArray>
#include <QtGlobal>
#include <functional>

namespace autoDownloadBus {

bool setUserLevel(quint8 level);
bool setServiceBit(qint32 key, quint8 state);
bool writeSymbol(qint32 symbol, qint16 cylNo, const QByteArray& value);
// Quiet SDO read of a whole object.
bool readSDO(qint32 node, qint32 index, quint8 subIndex, QByteArray& data);

// A test's stand-in: each set member replaces the CAN master's operation.
struct Fake {
    std::function<bool(quint8)> setUserLevel;
    std::function<bool(qint32, quint8)> setServiceBit;
    std::function<bool(qint32, qint16, const QByteArray&)> writeSymbol;
    std::function<bool(qint32, qint32, quint8, QByteArray&)> readSDO;
};
// nullptr goes back to the CAN master.
void setFake(const Fake* fake);

}  // namespace autoDownloadBus
