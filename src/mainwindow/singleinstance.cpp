#include "mainwindow/singleinstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace singleInstance {
namespace {
std::unique_ptr<QLockFile>& held() {
    static std::unique_ptr<QLockFile> lock;
    return lock;
}
QString& heldKey() {
    static QString key;
    return key;
}
}  // namespace

QString lockPath(const QString& key) {
    // The user's own runtime folder: engineers sharing a PC each run their own instance.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(dir);
    return QDir(dir).filePath(key + QStringLiteral(".instance.lock"));
}

bool acquire(const QString& key) {
    if (held() && heldKey() == key) return true;
    auto lock = std::make_unique<QLockFile>(lockPath(key));
    lock->setStaleLockTime(0);  // only a lock whose process is gone is stale
    if (!lock->tryLock(0)) return false;
    held() = std::move(lock);
    heldKey() = key;
    return true;
}

void release() {
    held().reset();
    heldKey().clear();
}

}  // namespace singleInstance
