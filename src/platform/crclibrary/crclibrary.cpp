// The two algorithms stand here and nowhere else, so that matching another CRC of the
// module software is one edit in this file.
//   CrcCalculation:   CRC-16/XMODEM (poly 0x1021, no reflection, start value x, no final xor)
//   CrcCalculation32: zlib's CRC-32 (the IEEE one), continuing from the running CRC x
#include "crclibrary/crclibrary.h"

#include <array>
#include <zlib.h>

namespace {
constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i << 8);
        for (int b = 0; b < 8; ++b) c = static_cast<std::uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1);
        t[static_cast<std::size_t>(i)] = c;
    }
    return t;
}
constexpr auto kTable = makeTable();
}  // namespace

std::uint16_t CrcCalculation(const void* buf, std::int32_t n, std::int32_t x) {
    std::uint16_t crc = static_cast<std::uint16_t>(x);
    if (!buf) return crc;
    const auto* p = static_cast<const std::uint8_t*>(buf);
    for (std::int32_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ p[i]) & 0xFF]);
    return crc;
}

std::uint32_t CrcCalculation32(const void* buf, std::int32_t n, std::int32_t x) {
    const auto start = static_cast<uLong>(static_cast<std::uint32_t>(x));
    if (!buf || n <= 0) return static_cast<std::uint32_t>(start);
    return static_cast<std::uint32_t>(crc32(start, static_cast<const Bytef*>(buf), static_cast<uInt>(n)));
}
