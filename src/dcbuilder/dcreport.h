#pragma once
// The report of one data-container version: its dcEnums, alarmEnums and dcBinFile copied
// into a report database beside it ("...-PXM-DC-005.rep"), and the symbols, alarms and
// image steps of that database laid out as a PDF for the engineer to read and print.
#include <QString>

namespace dcReport {

// Replaces the report database with a new one holding copies of the source's three tables.
// Run-time errors (a source that cannot be opened, a missing table) are raised.
void fill(const QString& sourceDb, const QString& reportDb);

// Writes the report database's tables as a PDF (A4 landscape, page numbers at the foot).
// The title names the reported version. Raised when the file cannot be written.
void writePdf(const QString& reportDb, const QString& pdfPath, const QString& title);

}  // namespace dcReport
