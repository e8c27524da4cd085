#include "secondwriter.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cstdlib>
#include <cstring>
#include <zip.h>

namespace secondwriter {

QString openpyxl(const QString& path, const QString& body) {
    QProcess p;
    // Debian's interpreter: a Python of its own on PATH does not see Debian's packages.
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QStringLiteral("import sys, openpyxl\npath = sys.argv[1]\n") + body, path});
    if (!p.waitForFinished(60000)) return QStringLiteral("python3 did not finish: ") + p.errorString();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        const QString err = QString::fromUtf8(p.readAllStandardError());
        return err.isEmpty() ? QStringLiteral("python3 failed") : err;
    }
    return QString();
}

QString openpyxlEnums(const QString& path, const QString& rows) {
    return openpyxl(path, QStringLiteral("import datetime\nwb = openpyxl.Workbook()\nws = wb.active\nws.title = \"dcEnums\"\n") +
                              rows + QStringLiteral("\nwb.save(path)\n"));
}

ZipEntry zipEntry(const QByteArray& zip, const QString& name) {
    ZipEntry e;
    const QByteArray wanted = name.toUtf8();
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(zip.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(zip.constData() + at); };
    for (qsizetype p = zip.indexOf("PK\x01\x02"); p >= 0 && p + 46 <= zip.size(); p = zip.indexOf("PK\x01\x02", p + 4)) {
        const quint16 n = u16(p + 28);
        if (zip.mid(p + 46, n) != wanted) continue;
        e.central = p;
        e.local = u32(p + 42);
        e.size = u32(p + 24);
        e.compressedSize = u32(p + 20);
        e.data = e.local + 30 + u16(e.local + 26) + u16(e.local + 28);
        return e;
    }
    return e;
}

bool replacePart(const QString& path, const QString& name, const QByteArray& bytes) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), 0, &err);
    if (!z) return false;
    void* copy = malloc(size_t(bytes.size()) + 1);
    memcpy(copy, bytes.constData(), size_t(bytes.size()));
    zip_source_t* src = zip_source_buffer(z, copy, zip_uint64_t(bytes.size()), 1);
    if (!src || zip_file_add(z, name.toUtf8().constData(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        if (src) zip_source_free(src);
        zip_discard(z);
        return false;
    }
    return zip_close(z) == 0;
}

QByteArray readPart(const QString& path, const QString& name) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z) return {};
    QByteArray out;
    if (zip_file_t* f = zip_fopen(z, name.toUtf8().constData(), 0)) {
        char buf[65536];
        zip_int64_t n;
        while ((n = zip_fread(f, buf, sizeof buf)) > 0) out.append(buf, qsizetype(n));
        zip_fclose(f);
    }
    zip_discard(z);
    return out;
}

}  // namespace secondwriter
