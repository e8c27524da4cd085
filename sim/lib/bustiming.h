#pragma once
// Bits a classic frame with an 11-bit identifier takes on the bus: 44 + 8 per data byte,
// 3 of interframe space, and the stuff bits its actual bits need from the start of frame
// to the end of the CRC.
#include <QByteArray>

namespace sim {

int stuffBits(quint32 id, const QByteArray& data);
int frameBits(quint32 id, const QByteArray& data);
// Microseconds the frame occupies at the bit rate.
qint64 frameMicros(quint32 id, const QByteArray& data, int bitsPerSecond);

}  // namespace sim
