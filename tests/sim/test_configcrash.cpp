// pxm-sim-config killed at any moment leaves the old configuration database or the new one,
// whole, and never a file the tool would start on without a word.
#include "crashkill.h"
#include "dao/dao.h"
#include "dao/dbfiles.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
const QString kConfig = QStringLiteral("pxmloader-Config.mdb");

// What the tool reads of a configuration: its cylinder count and the sizes of its tables.
QString summary(const QString& path) {
    auto db = dao::OpenDatabase(path, true, true);
    auto count = [&](const char* table) {
        return db->OpenRecordset(QStringLiteral("SELECT * FROM ") + QLatin1String(table))->RecordCount();
    };
    auto rs = db->OpenRecordset(QStringLiteral("SELECT value FROM miscellaneous WHERE item='numRequiredCylinders'"));
    const QString cylinders = rs->eof() ? QStringLiteral("none") : rs->Value(0).toString();
    return QStringLiteral("cylinders %1, %2 items, %3 messages, %4 load files")
        .arg(cylinders)
        .arg(count("miscellaneous"))
        .arg(count("messages"))
        .arg(count("loadFiles"));
}

void runConfig(const QString& dir, int cylinders) {
    QProcess p;
    p.start(QStringLiteral(PXM_SIM_CONFIG_PROGRAM),
            {QStringLiteral("--dir"), dir, QStringLiteral("--bus"), testsupport::busUrl(35999),
             QStringLiteral("--cylinders"), QString::number(cylinders)});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}
}  // namespace

TEST(SimConfigCrash, KilledAtAnyMomentItLeavesTheOldOrTheNewConfiguration) {
    QTemporaryDir oldDir, newDir, dir;
    runConfig(oldDir.path(), 3);
    runConfig(newDir.path(), 5);
    const QString oldState = summary(QDir(oldDir.path()).filePath(kConfig));
    const QString newState = summary(QDir(newDir.path()).filePath(kConfig));
    ASSERT_NE(oldState, newState);

    const QString config = QDir(dir.path()).filePath(kConfig);
    const QByteArray program = QByteArrayLiteral(PXM_SIM_CONFIG_PROGRAM);
    const QByteArray dirArg = QFile::encodeName(dir.path());
    const QByteArray bus = testsupport::busUrl(35999).toUtf8();
    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        dao::RemoveDatabaseFile(config);
        QFile::copy(QDir(oldDir.path()).filePath(kConfig), config);
    };
    runs.write = [&] {
        ::execl(program.constData(), "pxm-sim-config", "--dir", dirArg.constData(), "--bus", bus.constData(),
                "--cylinders", "5", static_cast<char*>(nullptr));
        ::_exit(127);
    };
    runs.check = [&](int run) {
        EXPECT_EQ(dao::IntegrityProblem(config), QString()) << "run " << run;
        QString state;
        try {
            state = summary(config);
        } catch (const std::exception& e) {
            state = QString::fromLocal8Bit(e.what());
        }
        EXPECT_TRUE(state == oldState || state == newState) << "run " << run << ": " << state.toStdString();
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}
