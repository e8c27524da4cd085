#include "fullfs.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

FullFileSystem::FullFileSystem(qint64 bytes) {
    if (!m_point.isValid()) return;
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_point.path()).constData(), "tmpfs", 0, options.constData()) == 0;
}

FullFileSystem::~FullFileSystem() {
    if (m_mounted) ::umount2(QFile::encodeName(m_point.path()).constData(), MNT_DETACH);
}

void FullFileSystem::fill() {
    const int fd = ::open(QFile::encodeName(filePath(QStringLiteral(".filler"))).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // Large pieces first, then single bytes into the last page.
    static const char block[1 << 16] = {};
    for (std::size_t piece : {sizeof block, std::size_t(1)})
        while (::write(fd, block, piece) > 0) {
        }
    ::close(fd);
}

QString underFileSizeLimit(qint64 limit, const std::function<QString()>& fn) {
    int channel[2];
    if (::pipe(channel) != 0) return QStringLiteral("no pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{rlim_t(limit), rlim_t(limit)};
        ::setrlimit(RLIMIT_FSIZE, &r);
        const QByteArray answer = fn().toUtf8();
        for (qsizetype done = 0; done < answer.size();) {
            const ssize_t n = ::write(channel[1], answer.constData() + done, size_t(answer.size() - done));
            if (n <= 0) break;
            done += n;
        }
        ::_exit(0);  // no destructors or handlers of the parent's objects
    }
    ::close(channel[1]);
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        answer.append(buffer, n);
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return QStringLiteral("child ended without an answer");
    return QString::fromUtf8(answer);
}

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList filesBeside(const QString& target) {
    const QFileInfo info(target);
    QStringList beside;
    for (const QString& name : filesIn(info.absolutePath()))
        if (name.startsWith(info.fileName() + QLatin1Char('.'))) beside << name;
    return beside;
}

QStringList strayFilesBeside(const QString& target) {
    const QRegularExpression temporary(QStringLiteral("^") + QRegularExpression::escape(QFileInfo(target).fileName()) +
                                       QStringLiteral("\\.[A-Za-z]{6}$"));
    QStringList stray;
    for (const QString& name : filesBeside(target))
        if (!temporary.match(name).hasMatch()) stray << name;
    return stray;
}

}  // namespace testsupport
