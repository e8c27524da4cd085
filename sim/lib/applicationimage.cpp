#include "lib/applicationimage.h"

#include "lib/crc16.h"

namespace sim {

QByteArray factoryApplication(bool foreign) {
    // The application-type marker comes first, as in the load files.
    QByteArray b = foreign ? QByteArrayLiteral("KELB-3817 PXM-20 application, build of another site")
                           : QByteArrayLiteral("KELB-3817 PXM-20 application, factory build");
    b += '\0';
    const int salt = foreign ? 5 : 3;
    while (b.size() < 1024) b += char((b.size() * salt + b.size() / 253) & 0xFF);
    return b;
}

quint16 applicationCrc(const QByteArray& image) { return blockCrc(image); }

quint32 imoLength(const QByteArray& image) { return quint32(qMin<qsizetype>(image.size(), kImoLength)); }

quint16 imoCrc(const QByteArray& image) { return blockCrc(image.left(kImoLength)); }

}  // namespace sim
