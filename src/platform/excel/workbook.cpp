#include "excel/workbook.h"

#include <QFile>
#include <cmath>

namespace excel {

QString Sheet::cell(int row, int column) const {
    if (row < 1 || column < 1 || row > Workbook::maxRows || column > Workbook::maxColumns) return QString();
    return cells.value(key(row, column));
}

bool Sheet::hasValue(int row, int column) const { return !withoutValue.contains(key(row, column)); }

const Sheet* Workbook::sheet(const QString& name) const {
    for (const Sheet& s : m_sheets)
        if (s.name == name) return &s;
    return nullptr;
}

QString numberText(double value) {
    if (!std::isfinite(value)) return QString();
    if (value == std::floor(value) && std::fabs(value) < 1e15) return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

bool parseCellReference(const QString& ref, int& row, int& column) {
    int i = 0;
    qint64 col = 0, r = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        col = col * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        if (col > Workbook::maxColumns) return false;
        ++i;
    }
    if (i == 0 || i == ref.size()) return false;
    for (; i < ref.size(); ++i) {
        if (!ref[i].isDigit() || ref[i].unicode() >= 128) return false;
        r = r * 10 + (ref[i].unicode() - '0');
        if (r > Workbook::maxRows) return false;
    }
    if (r < 1) return false;
    row = int(r);
    column = int(col);
    return true;
}

QString cellReference(int row, int column) {
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26) letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

std::unique_ptr<Workbook> Workbook::open(const QString& path, QString* error, const QStringList& only) {
    QString why;
    std::unique_ptr<Workbook> book;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("The workbook %1 cannot be opened.").arg(path);
    } else {
        const QByteArray magic = f.read(8);
        f.close();
        if (magic.startsWith("PK\x03\x04"))
            book = detail::readXlsx(path, why, only);
        else if (magic.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            book = detail::readXls(path, why, only);
        else
            why = QStringLiteral("%1 is no Excel workbook.").arg(path);
    }
    if (!book && error) *error = why;
    return book;
}

}  // namespace excel
