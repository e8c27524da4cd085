#pragma once
// Operations on file names: joining and splitting paths, the newest file of a versioned
// series with the names of its working copy and of its next version, the data-container
// file of a directory, and the check that a file exists and may be written.
//
// Paths are accepted with "\" and "/" as separators; results carry the native separator.
// A versioned pattern writes its version as "-" followed by one "?" per digit, for
// example ".../KELB-3817 Update Tool-PXM-DC-???.mdb".
#include <QString>

namespace modFileFct {

// Directory and file joined with exactly one separator (an empty directory gives the file).
QString g_fullName(const QString& directory, const QString& fileName);
// The part after the last separator (the whole text when there is none).
QString g_fileName(const QString& path);
// The part before the last separator; the empty text for a name without a folder, the
// root for a file in the root.
QString g_filePath(const QString& path);

// Full path of the newest existing version of the pattern, or the empty text. Sets the
// working-copy name (the pattern with "-temp" for the version, last character dropped:
// ".mdb" becomes ".md") and the next name (the newest version plus 1). The next name is
// empty when that version would need more digits than the pattern has.
QString g_getHighestFileVersion(QString pattern, QString& workingCopyName, QString& nextName);
QString g_getHighestFileVersion(const QString& pattern);

// The pattern, or, when no file matches it, the pattern with the longer prefix of a
// data-container file that has a further name part in front of "-PXM".
QString g_getDcName(const QString& pattern);

// Results of g_checkFile.
enum CheckFileResult : int {
    checkFileOk = 0,
    checkFileReadOnlyDeclined = 1,
    checkFileNotWriteable = 2,
    checkFileInvalidPath = 3,
    checkFileNotFound = 4,
};
// 0 file usable; 1 read-only and the user declined to change it; 2 could not be made
// writeable; 3 invalid drive or path; 4 file not found.
int g_checkFile(const QString& path, bool mustBeWriteable, bool showMessages);

}  // namespace modFileFct
