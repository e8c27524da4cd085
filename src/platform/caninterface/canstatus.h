#pragma once
// The status values the CAN interface reports in the last argument of every method.
// 1 is success and 0x7003 an empty receive queue; every other value is a failure. An SDO
// transfer that was aborted, by the server or by us, reports its abort code.
#include <QtGlobal>

namespace CanStatus {
constexpr qint32 Success = 1;
constexpr qint32 QueueEmpty = 0x7003;
constexpr qint32 HardwareError = -1;     // plugin or interface cannot be opened, device lost
constexpr qint32 ParameterError = -3;    // an argument out of range
constexpr qint32 QueueOverrun = -5;      // frames were dropped from the full receive queue
constexpr qint32 TransmissionError = -6; // the device refused a frame
constexpr qint32 AlreadyStarted = 0x7000;
constexpr qint32 InterfaceError = 0x7002;  // no board opened, or the bus not started
}  // namespace CanStatus

// SDO abort codes (CiA 301) that the client sends or reports.
namespace SdoAbort {
constexpr quint32 ToggleBit = 0x05030000;
constexpr quint32 TimedOut = 0x05040000;
constexpr quint32 UnknownCommand = 0x05040001;  // also a frame too short for its command
constexpr quint32 InvalidBlockSize = 0x05040002;
constexpr quint32 InvalidSequence = 0x05040003;
constexpr quint32 CrcError = 0x05040004;
constexpr quint32 OutOfMemory = 0x05040005;
constexpr quint32 LengthTooHigh = 0x06070012;
constexpr quint32 LengthTooLow = 0x06070013;
constexpr quint32 General = 0x08000000;
}  // namespace SdoAbort
