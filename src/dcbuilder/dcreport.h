#pragma once
// The report of one data-container version: its dcEnums, alarmEnums and dcBinFile copied
// into a report database beside it ("...-PXM-DC-005.rep"), and the symbols, alarms and
// image steps of that database laid out as a PDF for the engineer to read and print.
#include <QString>
#include <functional>

namespace dcReport {

// Replaces the report database with a new one holding copies of the source's three tables.
// Run-time errors (a source that cannot be opened, a missing table) are raised.
void fill(const QString& sourceDb, const QString& reportDb);

// Writes the report database's tables as a PDF (A4 landscape, page numbers at the foot,
// the column headers on every page). The title names the reported version. progress is
// called now and then with the share of the rows drawn (0 while the tables are read and
// measured, then after each page). Raised, naming the file and
// the reason, when the file cannot be written; an older report then stays as it was.
void writePdf(const QString& reportDb, const QString& pdfPath, const QString& title,
              const std::function<void(float)>& progress = {});

}  // namespace dcReport
