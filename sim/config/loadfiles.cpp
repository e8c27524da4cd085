#include "config/loadfiles.h"

#include "bytes/bytes.h"

#include <QDir>
#include <QSaveFile>

namespace simconfig {

QList<LoadFile> loadFiles(const QString& moduleKind) {
    // Addresses of the small memory layout: bootloader 2 above bootloader 1's end, the
    // others at the built-in base addresses of their sections.
    const QString k = moduleKind;
    if (k == QLatin1String("PXM"))
        return {{k, 3, QStringLiteral("PXM_Bootloader2.S19"), 0x10100, 1024},
                {k, 4, QStringLiteral("PXM_DATA.S19"), 0xC0000, 1024},
                {k, 6, QStringLiteral("PXM_application.s19"), 0x30000, 4096},
                {k, 7, QStringLiteral("PXM_FPGA.S19"), 0xD0000, 2048}};
    if (k == QLatin1String("QTM") || k == QLatin1String("BZM")) {
        const LoadFile application{k, 6, k + QStringLiteral("_application.s19"), 0x30000, 2048};
        const LoadFile bootloader{k, 3, k + QStringLiteral("_Bootloader.S19"), 0x10100, 1024};
        LoadFile application2 = application, bootloader1 = bootloader;
        application2.section = 2;
        bootloader1.section = 1;
        return {bootloader1, application2, bootloader, application};
    }
    return {};
}

QList<LoadFile> distinctFiles(const QString& moduleKind) {
    QList<LoadFile> out;
    for (const LoadFile& f : loadFiles(moduleKind)) {
        bool seen = false;
        for (const LoadFile& o : out) seen = seen || o.fileName == f.fileName;
        if (!seen) out << f;
    }
    return out;
}

QByteArray image(const LoadFile& f) {
    // The application's text starts with the marker of its application type, at offset 0.
    QByteArray text;
    if (f.module == QLatin1String("PXM"))
        text = f.section == 6 ? "KELB-3817 PXM-20 application" : f.section == 4 ? "KELB-3817 PXM-20 data container"
             : f.section == 7 ? "PXM-20 FPGA" : "PXM-20 bootloader 2";
    else
        text = (f.module + (f.section == 6 || f.section == 2 ? QStringLiteral("-20 application")
                                                              : QStringLiteral("-20 bootloader"))).toLatin1();
    QByteArray out = text + QByteArray(1, '\0');
    for (int i = out.size(); i < f.size; ++i) out.append(char((i * 7 + f.section) & 0xFF));
    out.truncate(f.size);
    return out;
}

namespace {
void appendRecord(QByteArray& out, char type, const QByteArray& addressAndData) {
    const auto count = uchar(addressAndData.size() + 1);
    unsigned sum = count;
    for (char c : addressAndData) sum += uchar(c);
    QByteArray body(1, char(count));
    body += addressAndData;
    body += char(~sum & 0xFF);
    out += 'S';
    out += type;
    out += body.toHex().toUpper();
    out += "\r\n";
}

QByteArray address24(quint32 a) {
    QByteArray out;
    bytes::put(out, 0, a, 3, bytes::Order::BigEndian);
    return out;
}
}  // namespace

QByteArray sRecords(const QString& header, quint32 address, const QByteArray& data) {
    QByteArray out;
    appendRecord(out, '0', QByteArray(2, '\0') + header.toLatin1().left(60));
    for (qsizetype pos = 0; pos < data.size(); pos += 16)
        appendRecord(out, '2', address24(address + quint32(pos)) + data.mid(pos, 16));
    appendRecord(out, '8', address24(address));
    return out;
}

bool writeLoadFile(const QString& dir, const LoadFile& f, QString* error) {
    QSaveFile file(QDir(dir).filePath(f.fileName));
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(sRecords(f.fileName, f.address, image(f))) >= 0 && file.commit();
    if (!ok && error) *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return ok;
}

}  // namespace simconfig
