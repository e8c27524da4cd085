#pragma once
// The load files of a simulated site: which file the `loadFiles` table names for each
// section of a module kind, where its image lies in the module's memory, and the known
// image it carries, written as an S-record file.
#include <QByteArray>
#include <QList>
#include <QString>

namespace simconfig {

struct LoadFile {
    QString module;     // "PXM", "QTM", "BZM"
    int section = 0;    // the `loadFiles` section id
    QString fileName;   // bare name inside the program-file directory
    quint32 address = 0;
    int size = 0;       // bytes of the image
};

// The `loadFiles` rows of a module kind, in section order. QTM and BZM files stand under
// two section ids each: the start-up looks them up under the design ids of the rows (6 and
// 3), every later look-up under the ids the rows then carry (2 and 1).
QList<LoadFile> loadFiles(const QString& moduleKind);

// The first rows of each kind that carry the same file give the file; the rest repeat it.
QList<LoadFile> distinctFiles(const QString& moduleKind);

// The known image of a file: a text naming it (for an application, the application-type
// marker the tool looks for) followed by a counting pattern.
QByteArray image(const LoadFile& f);

// S-record text of an image: an S0 header with the text, S2 records of 16 bytes (the
// first data record on the second line), an S8 end record; CR LF line ends.
QByteArray sRecords(const QString& header, quint32 address, const QByteArray& image);

// Writes the file into dir. False with an error text.
bool writeLoadFile(const QString& dir, const LoadFile& f, QString* error = nullptr);

}  // namespace simconfig
