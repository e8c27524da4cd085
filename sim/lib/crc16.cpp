#include "lib/crc16.h"

namespace sim {

quint16 blockCrc(const QByteArray& data, quint16 start) {
    quint16 crc = start;
    for (char c : data) {
        crc ^= quint16(quint8(c)) << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

}  // namespace sim
