#pragma once
// SDO abort codes (CiA 301) that the simulator's server sends and hooks may return.
#include <QtGlobal>

namespace sim {

using AbortCode = quint32;  // 0 = no abort

namespace abort {
constexpr AbortCode None = 0;
constexpr AbortCode ToggleBit = 0x05030000;
constexpr AbortCode TimedOut = 0x05040000;
constexpr AbortCode UnknownCommand = 0x05040001;
constexpr AbortCode InvalidBlockSize = 0x05040002;
constexpr AbortCode InvalidSequence = 0x05040003;
constexpr AbortCode CrcError = 0x05040004;
constexpr AbortCode OutOfMemory = 0x05040005;
constexpr AbortCode UnsupportedAccess = 0x06010000;
constexpr AbortCode WriteOnly = 0x06010001;
constexpr AbortCode ReadOnly = 0x06010002;
constexpr AbortCode NoObject = 0x06020000;
constexpr AbortCode HardwareError = 0x06060000;
constexpr AbortCode LengthMismatch = 0x06070010;
constexpr AbortCode LengthTooHigh = 0x06070012;
constexpr AbortCode LengthTooLow = 0x06070013;
constexpr AbortCode NoSubIndex = 0x06090011;
constexpr AbortCode InvalidValue = 0x06090030;
constexpr AbortCode General = 0x08000000;
constexpr AbortCode CannotStore = 0x08000020;
constexpr AbortCode DeviceState = 0x08000022;
}  // namespace abort

}  // namespace sim
