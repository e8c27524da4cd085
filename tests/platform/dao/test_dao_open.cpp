#include "daotest.h"

#include <QFile>
#include <QFileInfo>
#include <sys/wait.h>
#include <unistd.h>

using dao::OpenDatabase;

namespace {
// What a second process gets when it opens the file: 0 opened, else the error number.
long openInOtherProcess(const QString& path, bool exclusive) {
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 9;
        try {
            OpenDatabase(path, exclusive, false);
            code = 0;
        } catch (const RuntimeError& e) {
            code = e.number() == 3045 ? 1 : e.number() == 3356 ? 2 : 3;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 99;
    return code == 0 ? 0 : code == 1 ? 3045 : code == 2 ? 3356 : -code;
}

// A second process that holds the file open (shared) until this object goes.
class SharedHolder {
public:
    explicit SharedHolder(const QString& path) {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            ::close(up[0]);
            ::close(down[1]);
            char opened = 0;
            std::shared_ptr<dao::Database> db;
            try {
                db = OpenDatabase(path, false, false);
                opened = 1;
            } catch (const RuntimeError&) {
            }
            (void)!write(up[1], &opened, 1);
            char c;
            (void)!read(down[0], &c, 1);  // returns when the parent closes its end
            _exit(0);
        }
        ::close(up[1]);
        ::close(down[0]);
        m_release = down[1];
        char opened = 0;
        m_opened = read(up[0], &opened, 1) == 1 && opened == 1;
        ::close(up[0]);
    }
    ~SharedHolder() { release(); }
    bool opened() const { return m_opened; }
    void release() {
        if (m_release < 0) return;
        ::close(m_release);
        m_release = -1;
        waitpid(m_pid, nullptr, 0);
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_opened = false;
};
}  // namespace

TEST_F(DaoTest, OpeningAMissingOrForeignFileFailsAndCreatesNothing) {
    QFile text(file(QStringLiteral("notes.mdb")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is a text file, not a database, and long enough to have a header of its own");
    text.close();
    for (const char* name : {"short.mdb", "empty.mdb"}) {
        QFile f(file(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(name).startsWith("short") ? "abc" : "");
    }
    struct Case {
        QString path;
        long number;
    } cases[] = {
        {file(QStringLiteral("missing.mdb")), 3024},
        {dir.path(), 3024},
        {file(QStringLiteral("notes.mdb")), 3343},
        {file(QStringLiteral("short.mdb")), 3343},
        {file(QStringLiteral("empty.mdb")), 3343},
    };
    for (const Case& c : cases) {
        QString description;
        EXPECT_EQ(errorNumber([&] { OpenDatabase(c.path, true, false); }, &description), c.number) << c.path.toStdString();
        EXPECT_TRUE(description.contains(c.path)) << description.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("missing.mdb"))));
    EXPECT_EQ(QFileInfo(file(QStringLiteral("short.mdb"))).size(), 3);
}

TEST_F(DaoTest, CreateDatabaseMakesAnEmptyDatabaseAndNeverOverwrites) {
    const QString path = file(QStringLiteral("new.mdb"));
    auto db = dao::CreateDatabase(path);
    db->CreateTable(QStringLiteral("kept"), {{QStringLiteral("a"), dao::dbLong, 0}});
    db->Close();
    EXPECT_EQ(errorNumber([&] { dao::CreateDatabase(path); }), 3204);
    // The password in the connect string is accepted and not checked.
    auto again = OpenDatabase(path, true, false, QStringLiteral(";pwd=anything"));
    EXPECT_EQ(again->TableNames(), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(again->Name(), path);

    auto empty = dao::CreateDatabase(file(QStringLiteral("empty.mdb")));
    EXPECT_TRUE(empty->TableNames().isEmpty());
    EXPECT_GT(QFileInfo(file(QStringLiteral("empty.mdb"))).size(), 0);
}

TEST_F(DaoTest, AnotherProcessIsRefusedWhileTheFileIsHeldExclusively) {
    const QString path = file(QStringLiteral("t.mdb"));
    dao::CreateDatabase(path)->Close();
    struct Case {
        bool here, there;
        long refused;
    } cases[] = {
        {true, true, 3045},   // held exclusively here, exclusive there
        {true, false, 3356},  // held exclusively here, shared there
        {false, true, 3045},  // open here, exclusive there
        {false, false, 0},    // both shared
    };
    for (const Case& c : cases) {
        auto db = OpenDatabase(path, c.here, false);
        EXPECT_EQ(openInOtherProcess(path, c.there), c.refused) << c.here << c.there;
        db->Close();
        EXPECT_EQ(openInOtherProcess(path, true), 0) << "the lock went with the handle";
    }
}

TEST_F(DaoTest, HandlesInsideTheProcessShareTheFileAndItsLock) {
    const QString path = file(QStringLiteral("t.mdb"));
    dbWithRows({QStringLiteral("a")})->Close();
    auto shared = OpenDatabase(path, false, false);
    auto first = OpenDatabase(path, true, false);
    auto second = OpenDatabase(path, true, true);
    first->Execute(QStringLiteral("UPDATE t SET name='b'"));
    EXPECT_EQ(second->OpenRecordset(QStringLiteral("SELECT name FROM t"))->Value(0).toString(), QStringLiteral("b"));

    auto rs = first->OpenRecordset(QStringLiteral("SELECT * FROM t"));
    first->Close();
    second->Close();
    // A record set keeps the file open, as its database did.
    EXPECT_EQ(openInOtherProcess(path, false), 3356);
    EXPECT_EQ(rs->Value(QStringLiteral("name")).toString(), QStringLiteral("b"));
    rs->Close();
    // Only the shared handle is left: the lock is shared again.
    EXPECT_EQ(openInOtherProcess(path, false), 0);
    EXPECT_EQ(openInOtherProcess(path, true), 3045);
    shared->Close();
    EXPECT_EQ(openInOtherProcess(path, true), 0);
    EXPECT_EQ(errorNumber([&] { first->TableNames(); }), 3420);
}

TEST_F(DaoTest, AReadOnlyHandleRefusesEveryWrite) {
    dbWithRows({QStringLiteral("a"), QStringLiteral("b")})->Close();
    auto db = OpenDatabase(file(QStringLiteral("t.mdb")), true, true);
    EXPECT_TRUE(db->ReadOnly());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY id"));
    const std::function<void()> writes[] = {
        [&] { db->Execute(QStringLiteral("UPDATE t SET name='x'")); },
        [&] { db->Execute(QStringLiteral("DELETE FROM t")); },
        [&] { db->Execute(QStringLiteral("CREATE TABLE u (a INTEGER)")); },
        [&] { db->CreateTable(QStringLiteral("u"), {{QStringLiteral("a"), dao::dbLong, 0}}); },
        [&] { db->CopyTable(QStringLiteral("t"), QStringLiteral("u")); },
        [&] { rs->Edit(); },
        [&] { rs->AddNew(); },
        [&] { rs->Delete(); },
    };
    for (const auto& write : writes) EXPECT_EQ(errorNumber(write), 3027);
    db->Execute(QStringLiteral("SELECT count(*) FROM t"));  // reading is allowed
    EXPECT_EQ(column(*db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY id")), QStringLiteral("name")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(db->TableNames(), QStringList{QStringLiteral("t")});
}

TEST_F(DaoTest, AnExclusiveOpenRefusedHereKeepsTheProcessSharedHold) {
    const QString path = file(QStringLiteral("t.mdb"));
    dbWithRows({QStringLiteral("a")})->Close();
    auto db = OpenDatabase(path, false, false);
    SharedHolder other(path);
    ASSERT_TRUE(other.opened());
    EXPECT_EQ(errorNumber([&] { OpenDatabase(path, true, false); }), 3045);
    // Nor may a copy go into a file that another process has open.
    auto source = dbWithRows({QStringLiteral("x")}, QStringLiteral("source.mdb"));
    EXPECT_EQ(errorNumber([&] { source->CopyTableTo(QStringLiteral("t"), path, QStringLiteral("copy")); }), 3045);
    other.release();
    EXPECT_EQ(openInOtherProcess(path, true), 3045) << "the shared hold survived the refused conversion";
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT name FROM t"))->Value(0).toString(), QStringLiteral("a"));
    EXPECT_FALSE(db->TableExists(QStringLiteral("copy")));
}
