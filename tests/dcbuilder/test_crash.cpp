// The builder's files after a crash: a journal left by a killed run is never played onto a
// new working copy, a damaged working copy or version is not used, and a version written by
// a writer killed at any moment (the build, the copy of the next version, the template)
// holds its old state or its new one and passes the integrity check.
#include "builderfixture.h"

#include "crashkill.h"
#include "dao/dbfiles.h"
#include "dcbuilder/frmdcreconstruction.h"
#include "services/srecord.h"

namespace {
void restore(const QString& path, const QByteArray& bytes) {
    dao::RemoveDatabaseFile(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
// Flips bytes in the middle of the file's second half, where the table pages lie.
void damage(const QString& path) {
    QByteArray bytes = testsupport::readFile(path);
    ASSERT_GT(bytes.size(), 8192);
    for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 2048; ++i) bytes[i] = char(0xA5);
    restore(path, bytes);
}
}  // namespace

class BuilderCrash : public BuilderTest {
protected:
    QString temp() const { return dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-temp.md")); }
    // A version with many rows of its own mark, so that pages of another file show.
    void makeMarkedDc(const QString& db, int mark, int rows) {
        makeDc(db);
        auto d = dao::OpenDatabase(db, true, false);
        d->Execute(QStringLiteral("CREATE TABLE mark (n INTEGER, t TEXT)"));
        d->Execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < rows; ++i)
            d->Execute(QStringLiteral("INSERT INTO mark VALUES (?, ?)"), {mark, QString(100, QLatin1Char('a' + mark))});
        d->Execute(QStringLiteral("COMMIT"));
        d->Close();
    }
    // Bulk, so that a whole-file copy takes most of a writer's time.
    static void addBulk(const QString& db, int megabytes) {
        auto d = dao::OpenDatabase(db, true, false);
        d->Execute(QStringLiteral("CREATE TABLE bulk (b BLOB)"));
        d->Execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < megabytes; ++i) d->Execute(QStringLiteral("INSERT INTO bulk VALUES (?)"), {QByteArray(1 << 20, char(i))});
        d->Execute(QStringLiteral("COMMIT"));
    }
    QString markOf(const QString& db) const {
        const auto r = dcfixture::rows(db, QStringLiteral("SELECT min(n) AS lo, max(n) AS hi, count(*) AS c FROM mark"));
        return r.front().value(QStringLiteral("lo")).toString() + QLatin1Char('/') +
               r.front().value(QStringLiteral("hi")).toString() + QLatin1Char('/') + r.front().value(QStringLiteral("c")).toString();
    }
};

// A killed run of the program leaves its working copy, maybe with a hot journal. The next
// start keeps the engineer's work in it: rolled back to its last whole state, it differs
// from the newest version and is saved as the next one, from which the new copy is made;
// the journal never reaches another file.
TEST_F(BuilderCrash, CrashAKilledChangeOfTheWorkingCopyIsSavedWholeAsTheNextVersion) {
    makeMarkedDc(dcName(1), 1, 3000);
    makeMarkedDc(dcName(2), 2, 4000);
    const QByteArray version1 = testsupport::readFile(dcName(1)), version2 = testsupport::readFile(dcName(2));
    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        dao::RemoveDatabaseFile(dcName(3));
        restore(temp(), version1);
    };
    // A long change of the copy, as a scan makes it, that spills into the file before it commits.
    runs.write = [&] {
        auto d = dao::OpenDatabase(temp(), true, false);
        d->Execute(QStringLiteral("PRAGMA cache_size=8"));
        d->Execute(QStringLiteral("BEGIN"));
        d->Execute(QStringLiteral("UPDATE mark SET n=n+10, t=t||'changed'"));
        d->Execute(QStringLiteral("DELETE FROM dcEnums"));
        d->Execute(QStringLiteral("COMMIT"));
    };
    int changed = 0;
    runs.check = [&](int run) {
        builder().g_show(dir.path());
        ASSERT_TRUE(builder().isLoaded()) << "run " << run;
        EXPECT_TRUE(log().contains(QStringLiteral("working copy left by an earlier run saved as KELB-3817 Update Tool-PXM-DC-003.mdb")))
            << "run " << run << ": " << log().join(QLatin1Char('|')).toStdString();
        for (const QString& db : {temp(), dcName(3)}) {
            EXPECT_EQ(dao::IntegrityProblem(db), QString()) << "run " << run;
            // The copy's state before the change or after it, never a mix.
            const QString mark = markOf(db);
            const int entries = value(db, QStringLiteral("SELECT count(*) FROM dcEnums")).toInt();
            EXPECT_TRUE((mark == QStringLiteral("1/1/3000") && entries > 0) || (mark == QStringLiteral("11/11/3000") && entries == 0))
                << "run " << run << ": " << mark.toStdString() << ", " << entries;
            if (db == temp() && entries == 0) ++changed;
        }
        builder().unload();
        EXPECT_FALSE(QFile::exists(temp() + QStringLiteral("-journal"))) << "run " << run;
        EXPECT_EQ(testsupport::readFile(dcName(1)), version1);
        EXPECT_EQ(testsupport::readFile(dcName(2)), version2);
        EXPECT_TRUE(answers.shown().empty()) << answers.texts().join(QLatin1Char('|')).toStdString();
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
    EXPECT_GE(changed, 2);  // at least the two undisturbed runs
}

// A leftover copy whose rows are those of the newest version holds no work, whatever its
// bytes: a fresh copy replaces it. What killed copies left beside the working copy and the
// next version goes; other files stay.
TEST_F(BuilderCrash, ALeftoverCopyWithTheNewestRowsIsReplacedAndKilledCopiesLeaveNothing) {
    makeMarkedDc(dcName(1), 1, 500);
    ASSERT_TRUE(QFile::copy(dcName(1), temp()));
    execute(temp(), QStringLiteral("PRAGMA user_version=7"));
    execute(temp(), QStringLiteral("DELETE FROM mark WHERE rowid=1"));
    execute(temp(), QStringLiteral("INSERT INTO mark VALUES (1, '%1')").arg(QString(100, QLatin1Char('b'))));
    ASSERT_NE(testsupport::readFile(temp()), testsupport::readFile(dcName(1)));
    const QStringList stale{temp() + QStringLiteral(".part"), temp() + QStringLiteral(".part-journal"),
                            dcName(2) + QStringLiteral(".part"), dcName(2) + QStringLiteral(".part-journal")};
    const QString other = dcName(2) + QStringLiteral(".partial");
    for (const QString& f : stale + QStringList{other}) testsupport::writeFile(f, "left");

    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    EXPECT_FALSE(QFile::exists(dcName(2)));
    EXPECT_EQ(value(temp(), QStringLiteral("PRAGMA user_version")).toInt(), 0);
    for (const QString& f : stale) EXPECT_FALSE(QFile::exists(f)) << f.toStdString();
    EXPECT_TRUE(QFile::exists(other));
    for (const QString& line : log()) EXPECT_FALSE(line.startsWith(QStringLiteral("working copy left"))) << line.toStdString();
    EXPECT_TRUE(answers.shown().empty());
}

// A damaged copy left by an earlier run is named and not used, and no version is made of it.
TEST_F(BuilderCrash, ADamagedLeftoverCopyIsNamedAndNotSaved) {
    makeMarkedDc(dcName(1), 1, 2000);
    makeMarkedDc(dcName(2), 2, 2000);
    ASSERT_TRUE(QFile::copy(dcName(1), temp()));
    damage(temp());
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.startsWith(QStringLiteral("The working copy ") + QDir::toNativeSeparators(temp()) +
                                                   QStringLiteral(" is damaged and is not used:\r")));
    EXPECT_FALSE(QFile::exists(dcName(3)));
    EXPECT_EQ(markOf(temp()), QStringLiteral("2/2/2000"));
}

TEST_F(BuilderCrash, ADamagedWorkingCopyIsNotUsedAndTheBuilderStartsAgainFromTheNewestVersion) {
    makeMarkedDc(dcName(1), 1, 2000);
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    damage(temp());

    builder().g_show(dir.path());  // opened again while loaded: the copy would be kept
    ASSERT_TRUE(builder().isLoaded());
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.startsWith(QStringLiteral("The working copy ") + QDir::toNativeSeparators(temp()) +
                                                   QStringLiteral(" is damaged and is not used:\r")))
        << answers.shown()[0].text.toStdString();
    EXPECT_TRUE(answers.shown()[0].text.endsWith(
        QStringLiteral("\rDC Builder starts again from KELB-3817 Update Tool-PXM-DC-001.mdb.")));
    EXPECT_EQ(dao::IntegrityProblem(temp()), QString());
    EXPECT_EQ(markOf(temp()), QStringLiteral("1/1/2000"));
}

TEST_F(BuilderCrash, ADamagedNewestVersionIsNotCopiedAndIsNamedAndTheVersionsStay) {
    makeMarkedDc(dcName(1), 1, 2000);
    makeMarkedDc(dcName(2), 2, 2000);
    damage(dcName(2));
    const QByteArray version1 = testsupport::readFile(dcName(1)), version2 = testsupport::readFile(dcName(2));

    builder().g_show(dir.path());
    EXPECT_FALSE(builder().isLoaded());
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.startsWith(QStringLiteral("DataContainer ") + QDir::toNativeSeparators(dcName(2)) +
                                                   QStringLiteral(" is damaged or cannot be read and is not copied:\r")))
        << answers.shown()[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(temp()));
    EXPECT_EQ(testsupport::readFile(dcName(1)), version1);
    EXPECT_EQ(testsupport::readFile(dcName(2)), version2);
}

// Switching to the build tab with a changed copy places it under the next version's name;
// the name held an older copy, which a kill must leave whole.
TEST_F(BuilderCrash, CrashTheNextVersionPlacedFromTheWorkingCopyIsOldOrNew) {
    makeMarkedDc(dcName(1), 1, 6000);
    addBulk(dcName(1), 24);
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    execute(temp(), QStringLiteral("UPDATE mark SET n=5"));
    builder().markModified();
    const QByteArray older = testsupport::readFile(dcName(1));
    testsupport::CrashRuns runs;
    runs.prepare = [&] { restore(dcName(2), older); };
    runs.write = [&] {
        builder().tabAction->setCurrentIndex(0);
        builder().tabAction->setCurrentIndex(2);
    };
    runs.check = [&](int run) {
        EXPECT_EQ(dao::IntegrityProblem(dcName(2)), QString()) << "run " << run;
        const QString mark = markOf(dcName(2));
        EXPECT_TRUE(mark == QStringLiteral("1/1/6000") || mark == QStringLiteral("5/5/6000")) << "run " << run << ": " << mark.toStdString();
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}

// BUILD DC writes the alarm links and the group CRCs into the selected version.
TEST_F(BuilderCrash, CrashBuildDcKilledAtAnyMomentLeavesTheVersionOldOrNew) {
    makeDc(dcName(1));
    const QByteArray before = testsupport::readFile(dcName(1));
    auto state = [&] {
        QStringList s;
        for (const char* sql : {"SELECT signalIndex FROM alarmEnums WHERE name='ALM_A'",
                                "SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'",
                                "SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP4'"})
            s << value(dcName(1), QString::fromLatin1(sql)).toString();
        return s.join(QLatin1Char('/'));
    };
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    const QString oldState = state();
    builder().cmdBuild_Click();
    const QString newState = state();
    ASSERT_NE(oldState, newState);
    const QString s19 = dir.filePath(QStringLiteral("PXM_DATA.S19"));
    QByteArray image;  // the built image, as its download file holds it
    qint32 start = 0;
    ASSERT_TRUE(modDownload::g_sRecToBin(s19, image, start));

    testsupport::CrashRuns runs;
    runs.prepare = [&] { restore(dcName(1), before); };
    runs.write = [&] { builder().cmdBuild_Click(); };
    runs.check = [&](int run) {
        EXPECT_EQ(dao::IntegrityProblem(dcName(1)), QString()) << "run " << run;
        const QString s = state();
        EXPECT_TRUE(s == oldState || s == newState) << "run " << run << ": " << s.toStdString();
        // The download file is whole wherever it stands.
        if (QFile::exists(s19)) {
            QByteArray read;
            QString error;
            EXPECT_TRUE(modDownload::g_sRecToBin(s19, read, start, error)) << "run " << run << ": " << error.toStdString();
            EXPECT_EQ(read, image) << "run " << run;
        }
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}
