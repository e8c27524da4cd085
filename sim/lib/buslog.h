#pragma once
// The bus as the simulator's bus model saw it, a line per frame in bus order:
//   <microsecond on the monotonic clock its last bit was on the bus> <identifier> <data>
// identifier and data in hex. Written by pxm-sim --bus-log, read by the download benchmark,
// which so measures the bus without joining it: a further client would slow the relay.
#include "lib/frame.h"

#include <QSaveFile>
#include <QString>
#include <vector>

namespace sim {

struct LoggedFrame {
    qint64 lastBitUs = 0;
    Frame frame;
};

// The log comes into place whole when committed; a program killed before leaves whatever
// stood there.
class BusLog {
public:
    // False with an error text when the file cannot be written.
    bool open(const QString& path, QString* error);
    void record(const Frame& f, qint64 lastBitUs);
    // Puts the log in place; false with an error text when that failed.
    bool commit(QString* error);

private:
    QSaveFile m_file;
};

// The frames of a bus log; false with an error naming the line for one that is not a frame.
bool readBusLog(const QString& path, std::vector<LoggedFrame>& out, QString* error);

}  // namespace sim
