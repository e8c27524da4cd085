#include "lib/bustiming.h"

#include <vector>

namespace sim {

namespace {
void pushBits(std::vector<int>& bits, quint32 v, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(int((v >> i) & 1));
}

// CAN's CRC-15 (polynomial 0x4599) over the bits from the start of frame to the data's end.
quint32 crc15(const std::vector<int>& bits) {
    quint32 crc = 0;
    for (int b : bits) {
        const int next = b ^ int((crc >> 14) & 1);
        crc = (crc << 1) & 0x7FFF;
        if (next) crc ^= 0x4599;
    }
    return crc;
}
}  // namespace

int stuffBits(quint32 id, const QByteArray& data) {
    std::vector<int> bits;
    bits.push_back(0);             // start of frame
    pushBits(bits, id & 0x7FF, 11);
    pushBits(bits, 0, 3);          // RTR, IDE, r0
    pushBits(bits, quint32(data.size()), 4);
    for (char c : data) pushBits(bits, quint8(c), 8);
    pushBits(bits, crc15(bits), 15);
    // After five equal bits a complementary one is inserted, which counts in the next run.
    int stuffed = 0, run = 0, last = -1;
    for (int b : bits) {
        if (b == last) {
            ++run;
        } else {
            last = b;
            run = 1;
        }
        if (run == 5) {
            ++stuffed;
            last = 1 - b;
            run = 1;
        }
    }
    return stuffed;
}

int frameBits(quint32 id, const QByteArray& data) {
    return 44 + 8 * int(data.size()) + 3 + stuffBits(id, data);
}

qint64 frameMicros(quint32 id, const QByteArray& data, int bitsPerSecond) {
    if (bitsPerSecond <= 0) return 0;
    return qint64(frameBits(id, data)) * 1000000 / bitsPerSecond;
}

}  // namespace sim
