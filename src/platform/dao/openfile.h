#pragma once
// The process's open database files. Each file is opened once per process: one SQLite
// connection and one advisory flock, shared by every Database handle and record set on
// it (flock locks belong to an open file description, so a second descriptor in the same
// process would lock itself out). Exclusive handles hold the lock exclusively, the others
// shared, so another process is refused while an exclusive handle is open here and an
// exclusive open is refused while another process has the file open.
#include <QString>
#include <memory>
#include <sqlite3.h>
#include <sys/types.h>

namespace dao::detail {

struct OpenFile {
    QString key;
    pid_t owner = 0;  // a child after fork() must not take its parent's entries for its own
    sqlite3* db = nullptr;
    int fd = -1;
    int users = 0;
    int exclusiveUsers = 0;
    ~OpenFile();
};

// One OpenDatabase's hold on an open file; the file is closed when the last lease goes.
class Lease {
public:
    // Raises 3024 for a missing file, 3343 for a file that is no database, 3045/3356 when
    // another process holds the file.
    static std::shared_ptr<Lease> acquire(const QString& path, bool exclusive);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    sqlite3* db() const { return m_file->db; }

private:
    Lease(std::shared_ptr<OpenFile> file, bool exclusive) : m_file(std::move(file)), m_exclusive(exclusive) {}
    std::shared_ptr<OpenFile> m_file;
    bool m_exclusive;
};

}  // namespace dao::detail
