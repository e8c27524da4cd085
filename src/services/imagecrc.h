#pragma once
// The CRC of a software image given as an S-record file, as the module software checks it:
// CrcCalculation over the whole image the reader builds, gaps 0x00.
#include <QString>

struct ImageCrc {
    bool read = false;  // false when the file could not be read or holds no data
    quint16 crc = 0;
    qint64 length = 0;
    QString error;  // the reader's reason when not read
};

ImageCrc imageCrc(const QString& sRecordFile);
