#pragma once
// The CRC library: the checksums that info blocks, uploads and the data-container build
// compare with the module software's own. Both take a pointer to the first byte, the byte
// count and a 32-bit value: the start value of the CRC-16, and the running CRC of the
// CRC-32 (0 to start, or the result over the bytes before these to go on).
#include <cstdint>

// 16-bit CRC (the CRC of SDO block transfer as well).
std::uint16_t CrcCalculation(const void* buf, std::int32_t n, std::int32_t x);

// 32-bit CRC.
std::uint32_t CrcCalculation32(const void* buf, std::int32_t n, std::int32_t x);
