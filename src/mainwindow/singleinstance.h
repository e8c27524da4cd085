#pragma once
// One running instance per program name and user: a lock file in the user's runtime folder,
// held until the process ends (a crashed instance's lock is found stale and taken over).
#include <QString>

namespace singleInstance {

// True when this process now holds the lock of the key (or already held it).
bool acquire(const QString& key);
// Gives the lock up (tests).
void release();
// Where the lock of a key lives.
QString lockPath(const QString& key);

}  // namespace singleInstance
