#pragma once
// What the connection display reads of the CAN side, behind one slot so that a test can
// answer it itself. By default each call goes to the CAN side.
#include "services/link.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

class ConnectionDisplayBus {
public:
    virtual ~ConnectionDisplayBus() = default;
    // A module with an old bootloader answered on the M-Bus (heartbeat supervision).
    virtual bool oldBootloaderDetectedOnMBus();
    // The 15 module states: 0 none, 1 application, 2 bootloader, as the rows show them
    // (module-state query; on the M-Bus the cylinders kept while module 0 cannot report).
    virtual QVector<qint32> getConnectionStatus();
    // The check that module 0 on the M-Bus is module 0; it may end the program.
    virtual void checkMBusModuleID(bool inBootloader);
    // 0 no news or expired, 1 standstill, 2 engine running.
    virtual qint32 getEngineStandStillStatus();
    virtual bool enoughCylindersToRunEngine();
    // The module's hardware version text from the CAN master.
    virtual QString getHardwareVersion(qint16 module, bool isInBootloader);
};

using connectionDisplayBusLink = Link<ConnectionDisplayBus, ConnectionDisplayBus>;
