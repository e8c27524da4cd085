#pragma once
// The CRC of a software image given as an S-record file, as the module software checks it.
#include <QString>

struct ImageCrc {
    bool read = false;  // false when the file could not be read or holds no data
    quint16 crc = 0;
    qint64 length = 0;
};

ImageCrc imageCrc(const QString& sRecordFile);
