#pragma once
// CRC-32 (reflected polynomial 0xEDB88320, start and final xor 0xFFFFFFFF) over the
// modules' info blocks and images. Bitwise, written apart from the tool's library, so
// that each checks the other.
#include <QByteArray>

namespace sim {

quint32 crc32(const QByteArray& data);

}  // namespace sim
