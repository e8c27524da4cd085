#pragma once
// One classic CAN frame as the simulator sees it: an 11-bit identifier and 0-8 data bytes.
// The simulator's own type, so that only the bus connection needs the CAN bus headers.
#include <QByteArray>
#include <QMetaType>

namespace sim {

struct Frame {
    quint32 id = 0;
    QByteArray data;
};

}  // namespace sim

Q_DECLARE_METATYPE(sim::Frame)
