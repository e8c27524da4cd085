#pragma once
// A file that the tool writes whole: the new contents go into a temporary file beside the
// target, are flushed and synced to disk, and only then take the target's name. A failed
// write (a full disk) or a killed program leaves the old file byte for byte and no
// temporary file behind; the failure carries the system's reason ("No space left on device").
#include <QByteArray>
#include <QSaveFile>
#include <QString>

class WholeFile {
public:
    explicit WholeFile(const QString& target);
    // Removes what killed writes of this target left, then starts the new contents.
    bool open();
    // False from the first failed write on; later writes are not tried.
    bool write(const QByteArray& bytes);
    // Flushes, syncs and renames the new contents into place, then syncs the folder. On
    // false the temporary file is gone and the target as it was.
    bool commit();
    // The system's reason of the first failure.
    const QString& error() const { return m_error; }

private:
    bool fail(const QString& reason);

    QSaveFile m_file;
    QString m_error;
};

namespace wholeFile {

// Writes bytes as the whole new contents of target; false with the reason in error.
bool write(const QString& target, const QByteArray& bytes, QString* error = nullptr);

// Removes the temporary files that killed writes of target left beside it: the target's
// name followed by a dot and six letters, the names the save-file class gives them.
void removeLeftovers(const QString& target);

// fsync of an open file's descriptor; false with the system's reason in error.
bool syncOpenFile(int handle, QString* error);
// fsync of the folder that holds path, so that a new or renamed entry reaches the disk.
bool syncFolderOf(const QString& path, QString* error);

}  // namespace wholeFile
