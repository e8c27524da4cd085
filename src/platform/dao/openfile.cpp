#include "dao/openfile.h"

#include "dao/sqlitecore.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <cstring>
#include <map>
#include <sys/file.h>
#include <unistd.h>

namespace dao::detail {

namespace {
// Never destroyed: record sets held in globals close their files after static destruction.
std::map<QString, std::weak_ptr<OpenFile>>& registry() {
    static auto* files = new std::map<QString, std::weak_ptr<OpenFile>>;
    return *files;
}

[[noreturn]] void refuse(const QString& path, bool exclusive) {
    if (exclusive) fail(errFileInUse, QStringLiteral("Could not use '%1'; file already in use.").arg(path));
    fail(errOpenedExclusively, QStringLiteral("The database '%1' is already opened exclusively by another user.").arg(path));
}

std::shared_ptr<OpenFile> openFile(const QString& path, const QString& key, bool exclusive) {
    auto f = std::make_shared<OpenFile>();
    f->key = key;
    f->owner = getpid();
    // Close-on-exec, so a program started from here does not inherit the lock.
    f->fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (f->fd < 0) fail(errCannotOpen, QStringLiteral("The database engine cannot open the file '%1'.").arg(path));
    if (::flock(f->fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) refuse(path, exclusive);
    // SQLite takes a short or empty file for an empty database and would write over it.
    char header[16] = {};
    if (::pread(f->fd, header, sizeof header, 0) != ssize_t(sizeof header) || memcmp(header, "SQLite format 3", 16) != 0)
        fail(errNotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &f->db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        fail(errCannotOpen, QStringLiteral("The database engine cannot open the file '%1'.").arg(path));
    // A damaged file shows on first use: make that use here.
    rc = sqlite3_exec(f->db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
            fail(errNotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
        failEngine(f->db, rc);
    }
    // A committed write must survive a power cut, as it did with the files' old engine; the
    // tool writes seldom, so a sync per commit costs nothing (FULL is durable with either
    // journal mode a file may come with).
    rc = sqlite3_exec(f->db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) failEngine(f->db, rc);
    return f;
}
}  // namespace

OpenFile::~OpenFile() {
    if (db) sqlite3_close_v2(db);
    if (fd >= 0) ::close(fd);
    auto& files = registry();
    const auto it = files.find(key);
    if (it != files.end() && it->second.expired()) files.erase(it);
}

std::shared_ptr<Lease> Lease::acquire(const QString& path, bool exclusive) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        fail(errFileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    const QString key = info.canonicalFilePath();
    auto& files = registry();
    std::shared_ptr<OpenFile> f;
    if (const auto it = files.find(key); it != files.end()) {
        f = it->second.lock();
        if (f && f->owner != getpid()) f.reset();
    }
    if (!f) {
        f = openFile(path, key, exclusive);
        files[key] = f;
    } else if (exclusive && f->exclusiveUsers == 0) {
        if (::flock(f->fd, LOCK_EX | LOCK_NB) != 0) {
            ::flock(f->fd, LOCK_SH | LOCK_NB);  // a failed conversion may have dropped the shared lock
            refuse(path, true);
        }
    }
    ++f->users;
    if (exclusive) ++f->exclusiveUsers;
    return std::shared_ptr<Lease>(new Lease(std::move(f), exclusive));
}

Lease::~Lease() {
    --m_file->users;
    if (m_exclusive && --m_file->exclusiveUsers == 0 && m_file->users > 0) ::flock(m_file->fd, LOCK_SH | LOCK_NB);
}

}  // namespace dao::detail
