#pragma once
// The check of the configuration database at start-up, before anything opens it for
// writing: the columns the program reads of `miscellaneous`, `messages` and `loadFiles`
// are there, and each `loadFiles` section is a whole number. A fault is named with the
// file, the table and the column or value, and the file is left as it is.
#include <QString>

namespace configCheck {

// The fault that keeps the database from being used; empty when none. A missing file,
// one the database layer cannot open and a missing `miscellaneous` or `messages` table
// are left to the opening of the record sets, which names them.
QString problem(const QString& configDbPath);

// Shows the fault in an error box; true when there is none.
bool g_checkConfigDatabase(const QString& configDbPath);

}  // namespace configCheck
