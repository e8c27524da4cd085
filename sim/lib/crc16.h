#pragma once
// CRC-16/XMODEM of SDO block transfer. The simulator keeps its own bitwise one rather than
// the tool's table-driven library, so that each checks the other.
#include <QByteArray>

namespace sim {

quint16 blockCrc(const QByteArray& data, quint16 start = 0);

}  // namespace sim
