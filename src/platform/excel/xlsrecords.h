#pragma once
// A small reading of our own of an .xls workbook's formula and boolean cells, which the
// .xls library gives no value for: the compound document's workbook stream, its sheet
// list, and in each sheet the FORMULA (with its STRING) and BOOLERR records.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

namespace excel::detail {

// Per sheet name: key (row << 16 | column, from 1) -> the cell's value as text, or nullopt
// when the record holds no value this reading can give.
using RecordCells = QHash<QString, QHash<quint64, std::optional<QString>>>;

// False when the file is no compound document whose workbook stream reads whole.
bool readFormulaCells(const QByteArray& file, RecordCells& sheets);
// The number of characters of the longest text of the shared-string table (BIFF8), -1
// when the file or the table does not read whole.
qsizetype longestSharedText(const QByteArray& file);

}  // namespace excel::detail
