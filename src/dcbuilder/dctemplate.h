#pragma once
// Data-container templates: a copy of a project database whose image values are
// placeholders, one per build, in "PXM_Templates" beside the configuration's folder. The
// reconstruction picks the template by the build number that an uploaded image carries.
#include "dao/dao.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace dcTemplate {

// The build number lies in image bytes 68 to 71, so shorter images carry none.
constexpr qint64 kMinImageSize = 72;

// The template directory, with a trailing separator: the parent of g_configDir followed
// by "PXM_Templates".
QString g_templateDirectory();

// The build number of an image: bytes 68 to 71 as eight BCD digits, byte 68 the most
// significant pair (a nibble above 9 counts with its value). Nothing for an image under
// kMinImageSize bytes.
std::optional<qint64> buildNumberOf(const QByteArray& image);

// "DC_Template_Build_" with the build number in at least three digits, and ".mdb".
QString templateFileName(qint64 build);

// The enumeration columns that the read pass restores from the step rows of a set: the
// columns of TABLE items of a number width. Text items and the other kinds of rows are
// not read back, so their columns keep the project's values.
QStringList restoredColumns(dao::Recordset& steps);
// What a template holds in a restored column until the image fills it: "32767" in
// minValue, "-32768" in every other.
QString placeholder(const QString& column);

// Copies a database file to target, replacing it: written beside it and renamed into
// place, so a failed or killed copy leaves the old target. The copy is writeable.
bool replaceFile(const QString& source, const QString& target);

// A working file that is removed, with its journal, whichever way the command that made it ends.
struct WorkingFile {
    QString path;
    ~WorkingFile();
};

}  // namespace dcTemplate
