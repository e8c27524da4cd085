#include "services/imagecrc.h"

#include "crclibrary/crclibrary.h"
#include "services/srecord.h"

#include <QByteArray>

ImageCrc imageCrc(const QString& sRecordFile) {
    QByteArray image;
    qint32 start = 0;
    ImageCrc r;
    if (!modDownload::g_sRecToBin(sRecordFile, image, start, r.error)) return r;
    // The reader refuses a file without data bytes, so an image here is never empty.
    r.read = true;
    r.crc = CrcCalculation(image.constData(), qint32(image.size()), 0);
    r.length = image.size();
    return r;
}
