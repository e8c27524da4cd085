#pragma once
// A workbook read from an .xlsx file (a zip of XML parts) or an .xls file (BIFF), as the
// signal-list import needs it: the sheets by name, hidden ones included, and each cell as
// the text of its value (numbers without a needless decimal point, booleans "True" and
// "False", the cached value of a formula, nothing for an error value).
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace excel {

struct Sheet {
    QString name;
    bool hidden = false;
    QHash<quint64, QString> cells;  // key: (row << 16) | column, both counted from 1
    // The text of the cell in row and column (from 1); empty for an empty cell.
    QString cell(int row, int column) const;
};

class Workbook {
public:
    // Reads the whole workbook, choosing the format by the file's content. Returns null
    // and the reason in error when the file cannot be read.
    static std::unique_ptr<Workbook> open(const QString& path, QString* error = nullptr);

    const std::vector<Sheet>& sheets() const { return m_sheets; }
    // The first sheet of exactly that name, or null.
    const Sheet* sheet(const QString& name) const;

    // Reading limits: Excel's own grid, and what one XML part may unpack to.
    static constexpr int maxRows = 1048576;
    static constexpr int maxColumns = 16384;
    static constexpr qint64 maxPartBytes = 64LL * 1024 * 1024;

    std::vector<Sheet> m_sheets;
};

// The text a number cell shows as a value: whole numbers without a decimal point.
QString numberText(double value);
// "AB12" -> row 12, column 28; false when the reference is malformed or outside the grid.
bool parseCellReference(const QString& ref, int& row, int& column);

namespace detail {
std::unique_ptr<Workbook> readXlsx(const QString& path, QString& error);
std::unique_ptr<Workbook> readXls(const QString& path, QString& error);
}  // namespace detail

}  // namespace excel
