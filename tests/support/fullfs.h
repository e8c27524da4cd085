#pragma once
// A full disk for the tests of writers, in two forms. A tmpfs of the test's own, filled up
// so that no further byte fits: writers on it meet "No space left on device" (mounting
// needs root; where it fails the test skips). And a forked child in which no file may grow
// beyond a limit (RLIMIT_FSIZE), for writers whose folder the test cannot choose: its
// writes fail with "File too large".
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace testsupport {

class FullFileSystem {
public:
    explicit FullFileSystem(qint64 bytes = 1 << 20);
    ~FullFileSystem();
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;
    bool mounted() const { return m_mounted; }
    QString path() const { return m_point.path(); }
    QString filePath(const QString& name) const { return m_point.filePath(name); }
    // Fills the rest of the file system with a file of its own, to the last byte.
    void fill();

private:
    QTemporaryDir m_point;
    bool m_mounted = false;
};

// Runs fn in a forked child in which no file may grow beyond limit bytes; SIGXFSZ is
// ignored there, so that a write past the limit fails with EFBIG. Returns fn's text, or
// "child ended without an answer" when the child died.
QString underFileSizeLimit(qint64 limit, const std::function<QString()>& fn);

// The system's text of an error number ("No space left on device" for ENOSPC).
QString systemReason(int error);

// The files in dir (hidden ones too), by name.
QStringList filesIn(const QString& dir);

// The files beside target whose names are target's followed by a dot and more.
QStringList filesBeside(const QString& target);
// Those of them that are no temporary of the save-file class (a dot and six letters): a
// killed write may leave such a temporary, which the next write of target removes.
QStringList strayFilesBeside(const QString& target);

}  // namespace testsupport
