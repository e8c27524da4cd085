#pragma once
// Whole database files: removing one with the journal SQLite keeps beside it, writing one
// beside its target and renaming it into place, and the engine's integrity check. A crash
// at any moment leaves a target old or new, and a stale journal is never replayed onto a
// file it does not belong to.
#include <QString>
#include <QStringList>

namespace dao {

// The files SQLite may keep beside a database: its rollback journal and the WAL pair.
QStringList CompanionFiles(const QString& path);

// Removes a database file and its companions; true when none of them is left.
bool RemoveDatabaseFile(const QString& path);

// Flushes a file written beside target (in the same folder) to disk and renames it onto
// target, after the target's companions are gone. On failure the text says why.
bool RenameIntoPlace(const QString& written, const QString& target, QString* error = nullptr);

// Copies source to target through a temporary file beside target that is flushed and then
// renamed into place. The copy is writeable by its owner. On failure target is untouched.
bool CopyFileSafely(const QString& source, const QString& target, QString* error = nullptr);

// The temporary name beside target that CopyFileSafely writes; a copy removes the one a
// killed copy left (and its companions) before it starts.
QString PartialName(const QString& target);

// fsync of a file or a folder, so that its contents or its entries reach the disk; false
// with errno set when that failed.
bool SyncToDisk(const QString& path);

// Whether two database files hold the same tables with the same columns and rows, in
// whatever order and whatever their bytes. An engine error (a file that cannot be opened
// or read) is raised as a run-time error.
bool SameTableRows(const QString& first, const QString& second);

// Runs "PRAGMA integrity_check" on a database file: the empty text when it is sound, else
// what the engine found (the first lines) or why the file could not be opened.
QString IntegrityProblem(const QString& path);

}  // namespace dao
