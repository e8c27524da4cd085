// One running instance of the program per user: another engineer's instance on the same
// PC does not refuse the start.
#include "mainwindow/singleinstance.h"

#include <QLockFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

TEST(SingleInstance, IsOnePerUserNotOnePerMachine) {
    // Each user has a runtime folder of its own.
    QTemporaryDir userA, userB;
    ASSERT_TRUE(userA.isValid() && userB.isValid());
    const QString key = "kelb-test-user-" + QUuid::createUuid().toString(QUuid::WithoutBraces);

    qputenv("XDG_RUNTIME_DIR", userA.path().toLocal8Bit());
    ASSERT_TRUE(singleInstance::acquire(key));  // user A runs the program
    EXPECT_TRUE(singleInstance::lockPath(key).startsWith(userA.path() + "/"));

    qputenv("XDG_RUNTIME_DIR", userB.path().toLocal8Bit());
    QLockFile second(singleInstance::lockPath(key));  // user B starts it too
    EXPECT_TRUE(second.tryLock(0));
    second.unlock();

    qputenv("XDG_RUNTIME_DIR", userA.path().toLocal8Bit());
    QLockFile again(singleInstance::lockPath(key));  // user A starts it a second time
    EXPECT_FALSE(again.tryLock(0));
    singleInstance::release();
    EXPECT_TRUE(again.tryLock(0));
}
