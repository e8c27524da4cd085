#include "dao/dbfiles.h"

#include "dao/openfile.h"
#include "dao/sqlitecore.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <vector>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dao {

namespace {
QByteArray native(const QString& path) { return QFile::encodeName(path); }

bool failWith(QString* error, const QString& path) {
    if (error) *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool removeIfThere(const QString& path) {
    return ::unlink(native(path).constData()) == 0 || errno == ENOENT;
}

// Writes the whole source into a new file at partial, flushed to disk.
bool writeCopy(const QString& source, const QString& partial, QString* error) {
    const int in = ::open(native(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return failWith(error, source);
    struct stat st {};
    const mode_t mode = ::fstat(in, &st) == 0 ? (st.st_mode & 07777) | S_IWUSR : 0644;
    const int out = ::open(native(partial).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (out < 0) {
        ::close(in);
        return failWith(error, partial);
    }
    bool ok = true;
    QString failed = partial;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) ok = false, failed = source;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) ok = false;
            else done += w;
        }
        if (!ok) break;
    }
    if (ok && ::fsync(out) != 0) ok = false;
    if (ok) ::fchmod(out, mode);  // the umask may have narrowed it
    const int savedErrno = errno;
    ::close(out);
    ::close(in);
    errno = savedErrno;
    if (!ok) {
        failWith(error, failed);
        removeIfThere(partial);
    }
    return ok;
}
}  // namespace

QStringList CompanionFiles(const QString& path) {
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}

bool RemoveDatabaseFile(const QString& path) {
    // The file goes first: a journal left without its file is harmless, a file left
    // without its hot journal would be read half written.
    bool ok = removeIfThere(path);
    for (const QString& c : CompanionFiles(path)) ok = removeIfThere(c) && ok;
    return ok;
}

QString PartialName(const QString& target) { return target + QStringLiteral(".part"); }

bool SyncToDisk(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    errno = savedErrno;
    return ok;
}

bool RenameIntoPlace(const QString& written, const QString& target, QString* error) {
    if (!SyncToDisk(written)) return failWith(error, written);
    // A journal left by a killed writer of the old file would be played onto the new one.
    for (const QString& c : CompanionFiles(target))
        if (!removeIfThere(c)) return failWith(error, c);
    if (::rename(native(written).constData(), native(target).constData()) != 0) return failWith(error, target);
    // The folder's entry must reach the disk too, or a power cut may bring back the old name.
    const QString dir = QFileInfo(target).absolutePath();
    if (!SyncToDisk(dir)) return failWith(error, dir);
    return true;
}

bool CopyFileSafely(const QString& source, const QString& target, QString* error) {
    const QString partial = PartialName(target);
    // A copy killed before its rename left its partial file, and maybe a journal of it.
    if (!RemoveDatabaseFile(partial)) return failWith(error, partial);
    if (!writeCopy(source, partial, error)) return false;
    if (RenameIntoPlace(partial, target, error)) return true;
    removeIfThere(partial);
    return false;
}

namespace {
// Every table by name, with its column names and its rows, each row one byte string of
// typed values, sorted so that the order the rows are stored in does not count.
std::map<QString, std::vector<QByteArray>> tableRows(const QString& path) {
    const std::shared_ptr<detail::Lease> lease = detail::Lease::acquire(path, true);
    QStringList names;
    {
        detail::Stmt list(lease->db(), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"));
        while (list.step()) names << list.value(0).toString();
    }
    std::map<QString, std::vector<QByteArray>> tables;
    for (const QString& name : names) {
        detail::Stmt rows(lease->db(), QStringLiteral("SELECT * FROM \"%1\"").arg(QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\""))));
        std::vector<QByteArray>& out = tables[name];
        QByteArray header;
        for (int c = 0; c < rows.columnCount(); ++c) header += rows.columnName(c).toUtf8() + '\0';
        out.push_back(header);
        while (rows.step()) {
            QByteArray row;
            sqlite3_stmt* st = rows.get();
            for (int c = 0; c < rows.columnCount(); ++c) {
                const int type = sqlite3_column_type(st, c);
                row += char(type);
                if (type == SQLITE_INTEGER) row += QByteArray::number(sqlite3_column_int64(st, c));
                else if (type == SQLITE_FLOAT) row += QByteArray::number(sqlite3_column_double(st, c), 'g', 17);
                else if (type != SQLITE_NULL) {
                    const char* data = static_cast<const char*>(sqlite3_column_blob(st, c));
                    const int size = sqlite3_column_bytes(st, c);
                    row += QByteArray::number(size) + ':' + QByteArray(data, size);
                }
                row += '\0';
            }
            out.push_back(row);
        }
        std::sort(out.begin() + 1, out.end());
    }
    return tables;
}
}  // namespace

bool SameTableRows(const QString& first, const QString& second) { return tableRows(first) == tableRows(second); }

QString IntegrityProblem(const QString& path) {
    try {
        const std::shared_ptr<detail::Lease> lease = detail::Lease::acquire(path, true);
        detail::Stmt check(lease->db(), QStringLiteral("PRAGMA integrity_check(8)"));
        QStringList lines;
        while (check.step()) lines << check.value(0, false).toString();
        if (lines == QStringList{QStringLiteral("ok")}) return QString();
        return lines.join(QLatin1String("; "));
    } catch (const RuntimeError& e) {
        return e.description();
    }
}

}  // namespace dao
