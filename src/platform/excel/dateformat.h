#pragma once
// Dates in an .xlsx workbook: a date cell holds a day number, and only its number format
// (the cell's style) tells it is a date. They read as the .xls reader gives them:
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS".
#include <QString>
#include <optional>

namespace excel::detail {

enum class DateKind { None, Date, DateTime, Time };

// The kind of a built-in number format (14 to 22 are the date and time ones).
DateKind builtinFormatKind(int id);
// The kind of a format code such as "yyyy-mm-dd" or "[$-407]DD. MMMM YYYY h:mm".
DateKind formatCodeKind(const QString& code);
// The text of a day number (days since 1899-12-30, or since 1904-01-01); none for a
// number no date stands for.
std::optional<QString> serialDateText(double serial, DateKind kind, bool date1904);
// The text of an ISO 8601 date cell (t="d"); none when it is no such date.
std::optional<QString> isoDateText(const QString& value, DateKind styled);

}  // namespace excel::detail
