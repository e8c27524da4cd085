#pragma once
// What the connection display reads of the CAN side, in one place so that a test can
// answer it itself. By default each call goes to the CAN side.
#include <QString>
#include <QVector>
#include <QtGlobal>
#include <functional>

namespace connectionDisplayBus {

// A module with an old bootloader answered on the M-Bus (heartbeat supervision).
bool oldBootloaderDetectedOnMBus();
// The 15 module states: 0 none, 1 application, 2 bootloader (module-state query).
QVector<qint32> getConnectionStatus();
// The check that module 0 on the M-Bus is module 0; it may end the program.
void checkMBusModuleID(bool inBootloader);
// 0 no news or expired, 1 standstill, 2 engine running.
qint32 getEngineStandStillStatus();
bool enoughCylindersToRunEngine();
// The module's hardware version text from the CAN master.
QString getHardwareVersion(qint16 module, bool isInBootloader);

// A test's stand-in: each set member replaces the CAN side's operation.
struct Fake {
    std::function<bool()> oldBootloaderDetectedOnMBus;
    std::function<QVector<qint32>()> getConnectionStatus;
    std::function<void(bool)> checkMBusModuleID;
    std::function<qint32()> getEngineStandStillStatus;
    std::function<bool()> enoughCylindersToRunEngine;
    std::function<QString(qint16, bool)> getHardwareVersion;
};
// nullptr goes back to the CAN side.
void setFake(const Fake* fake);

}  // namespace connectionDisplayBus
