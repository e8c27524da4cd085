#pragma once
// The status values the CAN interface reports in the last argument of every method.
// 1 is success and 0x7003 an empty receive queue; every other value is a failure. An SDO
// transfer that was aborted, by the server or by us, reports its abort code. The texts the
// engineer reads for them are frmCANopen::getErrorText's.
#include <QtGlobal>

namespace CanStatus {
constexpr qint32 Success = 1;
constexpr qint32 GeneralError = 0;
constexpr qint32 HardwareError = -1;     // plugin or interface cannot be opened, device lost
constexpr qint32 ParameterError = -3;    // an argument out of range
constexpr qint32 ResourceError = -4;
constexpr qint32 QueueOverrun = -5;      // frames were dropped from the full receive queue
constexpr qint32 TransmissionError = -6; // the device refused a frame
constexpr qint32 TransmitQueueFull = -7; // the converter took no frame for longer than the time-out
constexpr qint32 AlreadyStarted = 0x7000;
constexpr qint32 PassiveMode = 0x7001;
constexpr qint32 InterfaceError = 0x7002;  // no board opened, or the bus not started
constexpr qint32 QueueEmpty = 0x7003;
}  // namespace CanStatus
