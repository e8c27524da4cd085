// Whole database files: a copy is written beside its target and renamed into place, a
// file goes with its journal, and the integrity check tells a damaged file from a sound one.
#include "daotest.h"

#include "crashkill.h"
#include "dao/dbfiles.h"

#include <QFile>
#include <QRandomGenerator>

namespace {
QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
QByteArray randomBytes(int size, quint32 seed) {
    QByteArray b(size, '\0');
    QRandomGenerator g(seed);
    for (char& c : b) c = char(g.generate() & 0xFF);
    return b;
}
}  // namespace

TEST_F(DaoTest, ACopyReplacesItsTargetWritesNothingElseAndIsWriteable) {
    put(file("source.mdb"), "new");
    put(file("target.mdb"), "old");
    QFile::setPermissions(file("source.mdb"), QFile::ReadOwner);
    put(file("target.mdb-journal"), "a journal of the old file");

    QString error;
    ASSERT_TRUE(dao::CopyFileSafely(file("source.mdb"), file("target.mdb"), &error)) << error.toStdString();
    EXPECT_EQ(contents(file("target.mdb")), QByteArray("new"));
    EXPECT_TRUE(QFile::permissions(file("target.mdb")) & QFileDevice::WriteOwner);
    // The old file's journal would be played onto the new one.
    EXPECT_FALSE(QFile::exists(file("target.mdb-journal")));
    EXPECT_FALSE(QFile::exists(dao::PartialName(file("target.mdb"))));
}

TEST_F(DaoTest, AFailedCopyLeavesTheTargetAsItWas) {
    put(file("target.mdb"), "old");
    QString error;
    EXPECT_FALSE(dao::CopyFileSafely(file("missing.mdb"), file("target.mdb"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.mdb"))) << error.toStdString();
    EXPECT_EQ(contents(file("target.mdb")), QByteArray("old"));
    EXPECT_FALSE(QFile::exists(dao::PartialName(file("target.mdb"))));
}

TEST_F(DaoTest, RemovingADatabaseFileRemovesItsJournals) {
    put(file("x.mdb"), "db");
    for (const QString& c : dao::CompanionFiles(file("x.mdb"))) put(c, "side");
    EXPECT_TRUE(dao::RemoveDatabaseFile(file("x.mdb")));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(dao::RemoveDatabaseFile(file("x.mdb")));  // nothing left to remove is no failure
}

TEST_F(DaoTest, TheIntegrityCheckTellsADamagedFileFromASoundOne) {
    {
        auto db = dbWithRows({});
        for (int i = 0; i < 400; ++i)
            db->Execute(QStringLiteral("INSERT INTO t (id, name, n) VALUES (?, ?, ?)"), {i, QString(40, QLatin1Char('x')), i});
        db->Execute(QStringLiteral("CREATE INDEX t_n ON t (n)"));
    }
    EXPECT_EQ(dao::IntegrityProblem(file("t.mdb")), QString());

    QByteArray bytes = contents(file("t.mdb"));
    ASSERT_GT(bytes.size(), 4 * 4096);
    // The page of the index's root: its entries point nowhere sensible afterwards.
    for (int i = 3 * 4096 + 200; i < 3 * 4096 + 600; ++i) bytes[i] = char(0x5A);
    put(file("t.mdb"), bytes);
    EXPECT_NE(dao::IntegrityProblem(file("t.mdb")), QString());

    put(file("short.mdb"), "SQLite format 3");
    EXPECT_NE(dao::IntegrityProblem(file("short.mdb")), QString());
    EXPECT_NE(dao::IntegrityProblem(file("none.mdb")), QString());
}

TEST_F(DaoTest, CrashAWholeFileCopyKilledAtAnyMomentLeavesTheTargetOldOrNew) {
    const QByteArray oldBytes = randomBytes(2 << 20, 1), newBytes = randomBytes(4 << 20, 2);
    put(file("source.mdb"), newBytes);
    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        put(file("target.mdb"), oldBytes);
    };
    runs.write = [&] { dao::CopyFileSafely(file("source.mdb"), file("target.mdb")); };
    runs.check = [&](int run) {
        const QByteArray now = contents(file("target.mdb"));
        EXPECT_TRUE(now == oldBytes || now == newBytes) << "run " << run << ": " << now.size() << " bytes";
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}

TEST_F(DaoTest, ACopyRemovesThePartialFileAndJournalAKilledCopyLeft) {
    put(file("source.mdb"), "new");
    put(file("target.mdb.part"), "half a copy");
    put(file("target.mdb.part-journal"), "a journal of the half copy");
    put(file("target.mdb.partial"), "someone else's");
    ASSERT_TRUE(dao::CopyFileSafely(file("source.mdb"), file("target.mdb")));
    EXPECT_EQ(contents(file("target.mdb")), QByteArray("new"));
    EXPECT_FALSE(QFile::exists(file("target.mdb.part")));
    EXPECT_FALSE(QFile::exists(file("target.mdb.part-journal")));
    EXPECT_EQ(contents(file("target.mdb.partial")), QByteArray("someone else's"));
}

// Rows count, not bytes: the same rows in another order or another file layout are the same.
TEST_F(DaoTest, TwoFilesHoldTheSameRowsWhateverTheirBytes) {
    const auto make = [&](const char* name, const QStringList& sql) {
        auto d = dao::CreateDatabase(file(name));
        d->Execute(QStringLiteral("CREATE TABLE t (a INTEGER, b TEXT, c BLOB)"));
        d->Execute(QStringLiteral("CREATE TABLE u (x REAL)"));
        for (const QString& s : sql) d->Execute(s);
        d->Close();
        return file(name);
    };
    const QString rows1 = QStringLiteral("INSERT INTO t VALUES (1, 'one', x'00ff')");
    const QString rows2 = QStringLiteral("INSERT INTO t VALUES (2, 'two', NULL)");
    const QString base = make("base.mdb", {rows1, rows2, QStringLiteral("INSERT INTO u VALUES (1.5)")});
    struct Case {
        const char* name;
        QStringList sql;
        bool same;
    };
    const Case cases[] = {
        {"reordered.mdb", {rows2, rows1, QStringLiteral("INSERT INTO u VALUES (1.5)"), QStringLiteral("PRAGMA user_version=3")}, true},
        {"value.mdb", {rows1, QStringLiteral("INSERT INTO t VALUES (2, 'two', x'')"), QStringLiteral("INSERT INTO u VALUES (1.5)")}, false},
        {"number.mdb", {rows1, rows2, QStringLiteral("INSERT INTO u VALUES (1.25)")}, false},
        {"extra row.mdb", {rows1, rows2, rows2, QStringLiteral("INSERT INTO u VALUES (1.5)")}, false},
        {"extra table.mdb", {rows1, rows2, QStringLiteral("INSERT INTO u VALUES (1.5)"), QStringLiteral("CREATE TABLE v (y)")}, false},
        {"extra column.mdb", {rows1, rows2, QStringLiteral("INSERT INTO u VALUES (1.5)"), QStringLiteral("ALTER TABLE u ADD z")}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dao::SameTableRows(base, make(c.name, c.sql)), c.same);
    }
}
