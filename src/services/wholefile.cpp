#include "services/wholefile.h"

#include "dao/dbfiles.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
QString systemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The file class's own text may be "Unknown error" where the system said why.
QString reasonOf(const QFileDevice& file) { return errno != 0 ? systemReason() : file.errorString(); }

bool isLeftoverName(const QString& entry, const QString& name) {
    if (entry.size() != name.size() + 7 || !entry.startsWith(name) || entry.at(name.size()) != QLatin1Char('.'))
        return false;
    for (qsizetype i = name.size() + 1; i < entry.size(); ++i) {
        const char16_t c = entry.at(i).unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
    }
    return true;
}
}  // namespace

WholeFile::WholeFile(const QString& target) : m_file(target) {}

bool WholeFile::fail(const QString& reason) {
    if (m_error.isEmpty()) m_error = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    m_file.cancelWriting();
    return false;
}

bool WholeFile::open() {
    wholeFile::removeLeftovers(m_file.fileName());
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly)) return fail(reasonOf(m_file));
    return true;
}

bool WholeFile::write(const QByteArray& bytes) {
    if (!m_error.isEmpty()) return false;
    errno = 0;
    if (m_file.write(bytes) != bytes.size()) return fail(reasonOf(m_file));
    return true;
}

bool WholeFile::commit() {
    if (!m_error.isEmpty() || !m_file.isOpen()) return fail(QString());
    // The save-file class's commit may take a failed flush of its buffer for success and
    // rename an empty file into place: the buffer is flushed and checked here first.
    errno = 0;
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError) return fail(reasonOf(m_file));
    if (!wholeFile::syncOpenFile(m_file.handle(), &m_error)) return fail(m_error);
    errno = 0;
    if (!m_file.commit()) return fail(reasonOf(m_file));
    // The new name must reach the disk too, or a power cut may bring back the old file.
    return wholeFile::syncFolderOf(m_file.fileName(), &m_error);
}

namespace wholeFile {

bool write(const QString& target, const QByteArray& bytes, QString* error) {
    WholeFile file(target);
    const bool ok = file.open() && file.write(bytes) && file.commit();
    if (!ok && error) *error = file.error();
    return ok;
}

void removeLeftovers(const QString& target) {
    const QFileInfo info(target);
    const QString name = info.fileName();
    QDir dir = info.absoluteDir();
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (isLeftoverName(entry, name)) dir.remove(entry);
}

bool syncOpenFile(int handle, QString* error) {
    if (::fsync(handle) == 0) return true;
    if (error) *error = systemReason();
    return false;
}

bool syncFolderOf(const QString& path, QString* error) {
    if (dao::SyncToDisk(QFileInfo(path).absolutePath())) return true;
    if (error) *error = systemReason();
    return false;
}

}  // namespace wholeFile
