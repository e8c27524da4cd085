#pragma once
// Workbooks written by a second writer, and damaged on purpose: openpyxl (Debian's
// python3-openpyxl) writes what generators write, for instance formulas without their
// results; the zip helpers change a written workbook the way a bad copy or a bad disk does.
#include <QByteArray>
#include <QString>

namespace secondwriter {

// Runs `body` under Debian's own Python with `openpyxl` imported and `path` bound to the
// file to write. Returns the script's error output, empty on success.
QString openpyxl(const QString& path, const QString& body);
// The same for a workbook whose active sheet `ws` is named "dcEnums": `rows` fills it (and
// may add sheets to `wb`, with `datetime` imported) before the workbook is saved to path.
QString openpyxlEnums(const QString& path, const QString& rows);

// One entry of a zip: where its local header, its central-directory record and its
// compressed bytes start.
struct ZipEntry {
    qsizetype local = -1, central = -1, data = -1, compressedSize = 0;
    quint32 size = 0;
};
ZipEntry zipEntry(const QByteArray& zip, const QString& name);
// Replaces (or adds) one part of the zip at path, deflated.
bool replacePart(const QString& path, const QString& name, const QByteArray& bytes);
// The unpacked text of one part of the zip at path.
QByteArray readPart(const QString& path, const QString& name);

}  // namespace secondwriter
