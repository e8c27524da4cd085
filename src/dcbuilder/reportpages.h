#pragma once
// Tables laid out on A4 landscape pages of a PDF, drawn row by row: column widths from the
// widest text of each column, the column headers repeated at the top of every page a
// table runs on, and the page number at the foot. Long texts wrap inside their column.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QIODevice;

namespace reportPages {

struct Table {
    QString heading;
    QStringList columns;
    std::vector<bool> oneLine;  // per column: kept on one line, never wrapped
    std::vector<QStringList> rows;
};

struct Document {
    QString title;           // the PDF's title and the first line under the heading
    QString heading;         // the first page's heading
    QStringList titleLines;  // under the heading
    std::vector<Table> tables;
};

// How many rows are read or measured between two calls of progress.
constexpr std::size_t kRowsPerTurn = 500;

// Writes the document as a PDF into the open device. progress is called every
// kRowsPerTurn rows while the columns are measured and after each page, with the share
// of the work done (0 to 1).
void write(QIODevice& device, const Document& document, const std::function<void(float)>& progress = {});

}  // namespace reportPages
