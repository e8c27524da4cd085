#include "dcbuilder/imagecrc.h"

#include "crclibrary/crclibrary.h"
#include "services/srecord.h"

#include <QByteArray>

ImageCrc imageCrc(const QString& sRecordFile) {
    QByteArray image;
    qint32 start = 0;
    if (!modDownload::g_sRecToBin(sRecordFile, image, start) || image.isEmpty()) return {};
    return {true, CrcCalculation(image.constData(), qint32(image.size()), 0), image.size()};
}
