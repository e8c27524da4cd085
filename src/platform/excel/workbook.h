#pragma once
// A workbook read from an .xlsx file (a zip of XML parts) or an .xls file (BIFF), as the
// signal-list import needs it: the sheets by name, hidden ones included, and each cell as
// the text of its value (numbers without a needless decimal point, dates as "YYYY-MM-DD",
// with " HH:MM:SS" where their format shows the time, booleans "True" and "False", the
// cached value of a formula, nothing for an error value). A formula or boolean cell whose
// value the file does not hold is not an empty cell: it is listed as without value.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace excel {

struct Sheet {
    QString name;
    bool hidden = false;
    QHash<quint64, QString> cells;  // key: (row << 16) | column, both counted from 1
    QSet<quint64> withoutValue;     // formula and boolean cells the file holds no value for
    // The text of the cell in row and column (from 1); empty for an empty cell.
    QString cell(int row, int column) const;
    // False for a formula or boolean cell whose value the file does not hold.
    bool hasValue(int row, int column) const;
    static quint64 key(int row, int column) { return (quint64(row) << 16) | quint64(column); }
};

class Workbook {
public:
    // Reads the workbook, choosing the format by the file's content: the sheets named in
    // `only`, or every sheet when it is empty. Returns null and the reason (naming the file
    // and, where it lies in one, the part) when the file cannot be read whole.
    static std::unique_ptr<Workbook> open(const QString& path, QString* error = nullptr,
                                          const QStringList& only = {});

    const std::vector<Sheet>& sheets() const { return m_sheets; }
    // The first sheet of exactly that name, or null.
    const Sheet* sheet(const QString& name) const;

    // Reading limits: Excel's own grid; what all parts of an .xlsx may unpack to together
    // (a signal list is a few MiB); how long the .xls reading child may take.
    static constexpr int maxRows = 1048576;
    static constexpr int maxColumns = 16384;
    static constexpr qint64 maxWorkbookBytes = 64LL * 1024 * 1024;
    static constexpr int xlsTimeLimitMs = 5000;

    std::vector<Sheet> m_sheets;
};

// The text a number cell shows as a value: whole numbers without a decimal point.
QString numberText(double value);
// "AB12" -> row 12, column 28; false when the reference is malformed or outside the grid.
bool parseCellReference(const QString& ref, int& row, int& column);
// Row 12, column 28 -> "AB12".
QString cellReference(int row, int column);

namespace detail {
// `only`: the sheets to read, every sheet when empty.
std::unique_ptr<Workbook> readXlsx(const QString& path, QString& error, const QStringList& only = {});
std::unique_ptr<Workbook> readXls(const QString& path, QString& error, const QStringList& only = {},
                                  int timeLimitMs = Workbook::xlsTimeLimitMs);
}  // namespace detail

}  // namespace excel
