#include "daotest.h"

#include <QDateTime>

using namespace dao;

TEST_F(DaoTest, EveryFieldTypeComesBackFromTheTableDefinition) {
    auto db = CreateDatabase(file(QStringLiteral("t.mdb")));
    const std::vector<FieldDef> fields = {
        {QStringLiteral("fBoolean"), dbBoolean, 0}, {QStringLiteral("fByte"), dbByte, 0},
        {QStringLiteral("fInteger"), dbInteger, 0}, {QStringLiteral("fLong"), dbLong, 0},
        {QStringLiteral("fCurrency"), dbCurrency, 0}, {QStringLiteral("fSingle"), dbSingle, 0},
        {QStringLiteral("fDouble"), dbDouble, 0}, {QStringLiteral("fDate"), dbDate, 0},
        {QStringLiteral("fBinary"), dbBinary, 8}, {QStringLiteral("fText"), dbText, 16},
        {QStringLiteral("fLongBinary"), dbLongBinary, 0}, {QStringLiteral("fMemo"), dbMemo, 0},
        {QStringLiteral("fGUID"), dbGUID, 0}, {QStringLiteral("fBigInt"), dbBigInt, 0},
    };
    db->CreateTable(QStringLiteral("all"), fields);
    const std::vector<FieldDef> back = db->TableFields(QStringLiteral("ALL"));
    ASSERT_EQ(back.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(back[i].name, fields[i].name);
        EXPECT_EQ(back[i].type, fields[i].type) << fields[i].name.toStdString();
        EXPECT_EQ(back[i].size, fields[i].size) << fields[i].name.toStdString();
    }
    EXPECT_TRUE(db->TableExists(QStringLiteral("All")));
    EXPECT_FALSE(db->TableExists(QStringLiteral("alls")));
    EXPECT_EQ(errorNumber([&] { db->CreateTable(QStringLiteral("ALL"), fields); }), 3010);
    EXPECT_EQ(errorNumber([&] { db->TableFields(QStringLiteral("missing")); }), 3078);

    // Columns the callers add in SQLite's dialect report their codes too.
    db->Execute(QStringLiteral("ALTER TABLE [all] ADD COLUMN introduced smallint;"));
    db->Execute(QStringLiteral("ALTER TABLE [all] ADD COLUMN condition Text(128);"));
    const std::vector<FieldDef> added = db->TableFields(QStringLiteral("all"));
    EXPECT_EQ(added[fields.size()].type, dbInteger);
    EXPECT_EQ(added[fields.size() + 1].type, dbText);
    EXPECT_EQ(added[fields.size() + 1].size, 128);
}

TEST_F(DaoTest, TextComparesWithoutRegardToCaseAlsoInAddedColumns) {
    auto db = dbWithRows({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("c")});
    db->Execute(QStringLiteral("ALTER TABLE t ADD COLUMN memo TEXT"));
    db->Execute(QStringLiteral("ALTER TABLE \"t\" ADD COLUMN \"cond\" Text(128) DEFAULT 'x';"));
    db->Execute(QStringLiteral("UPDATE t SET memo = upper(name), cond = name"));
    for (const QString& col : {QStringLiteral("name"), QStringLiteral("memo"), QStringLiteral("cond")}) {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY %1").arg(col));
        EXPECT_EQ(column(*rs, col).join(QString()).toLower(), QStringLiteral("abc")) << col.toStdString();
        rs->FindFirst(QStringLiteral("%1 = 'C'").arg(col));
        EXPECT_FALSE(rs->NoMatch()) << col.toStdString();
        rs->FindFirst(QStringLiteral("%1 = ?").arg(col), {QStringLiteral("a")});
        EXPECT_EQ(rs->Value(QStringLiteral("id")).toInt(), 2) << col.toStdString();
    }
    db->Execute(QStringLiteral("CREATE TABLE plain (k TEXT)"));  // written by a caller: left as it is
    db->Execute(QStringLiteral("INSERT INTO plain VALUES ('A')"));
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT count(*) FROM plain WHERE k = 'a'"))->Value(0).toInt(), 0);
}

TEST_F(DaoTest, DatesAreStoredAsSortableTextAndReadBackAsDates) {
    auto db = CreateDatabase(file(QStringLiteral("t.mdb")));
    db->CreateTable(QStringLiteral("version"), {{QStringLiteral("date"), dbDate, 0},
                                                {QStringLiteral("applVersion"), dbText, 16},
                                                {QStringLiteral("flag"), dbBoolean, 0}});
    const QDateTime later(QDate(2024, 1, 5), QTime(9, 3, 7));
    const QDateTime earlier(QDate(2023, 12, 31), QTime(23, 59, 59));
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM version"));
    rs->AddNew();
    rs->SetValue(QStringLiteral("date"), later);
    rs->SetValue(QStringLiteral("applVersion"), QStringLiteral("4.6.2"));
    rs->SetValue(QStringLiteral("flag"), true);
    rs->Update();
    db->Execute(QStringLiteral("INSERT INTO version VALUES (?, '4.4.4', ?)"), {earlier, false});
    db->Execute(QStringLiteral("INSERT INTO version VALUES (?, '0.0.0', 0)"), {QDate(2023, 2, 1)});

    auto newest = db->OpenRecordset(QStringLiteral("SELECT * FROM version ORDER BY date DESC"));
    EXPECT_EQ(column(*newest, QStringLiteral("applVersion")),
              (QStringList{QStringLiteral("4.6.2"), QStringLiteral("4.4.4"), QStringLiteral("0.0.0")}));
    newest->MoveFirst();
    EXPECT_EQ(newest->Value(QStringLiteral("date")).typeId(), QMetaType::QDateTime);
    EXPECT_EQ(newest->Value(QStringLiteral("date")).toDateTime(), later);
    EXPECT_EQ(newest->Value(QStringLiteral("flag")), QVariant(qlonglong(-1)));
    newest->FindFirst(QStringLiteral("date < ?"), {later});
    EXPECT_EQ(newest->Value(QStringLiteral("date")).toDateTime(), earlier);

    auto stored = db->OpenRecordset(QStringLiteral("SELECT date || '' AS text, flag + 0 AS f FROM version ORDER BY rowid"));
    EXPECT_EQ(column(*stored, QStringLiteral("text")),
              (QStringList{QStringLiteral("2024-01-05 09:03:07"), QStringLiteral("2023-12-31 23:59:59"),
                           QStringLiteral("2023-02-01 00:00:00")}));
    EXPECT_EQ(column(*stored, QStringLiteral("f")), (QStringList{QStringLiteral("-1"), QStringLiteral("0"), QStringLiteral("0")}));
}

TEST_F(DaoTest, CopyTableCopiesDefinitionsAndRowsAndNamesAreData) {
    auto db = dbWithRows({QStringLiteral("O'Brien"), QStringLiteral("b")});
    db->CopyTable(QStringLiteral("T"), QStringLiteral("t'Backup"));
    EXPECT_EQ(db->TableFields(QStringLiteral("t'backup"))[1].size, 50);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM \"t'Backup\" ORDER BY id"));
    EXPECT_EQ(column(*rs, QStringLiteral("name")), (QStringList{QStringLiteral("O'Brien"), QStringLiteral("b")}));
    rs->FindFirst(QStringLiteral("name = 'B'"));  // the copy keeps the collation
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(errorNumber([&] { db->CopyTable(QStringLiteral("t"), QStringLiteral("T'BACKUP")); }), 3010);
    EXPECT_EQ(errorNumber([&] { db->CopyTable(QStringLiteral("missing"), QStringLiteral("x")); }), 3078);

    const QString other = file(QStringLiteral("it's a report.rep"));
    CreateDatabase(other)->Close();
    db->CopyTableTo(QStringLiteral("t"), other, QStringLiteral("dcEnums"));
    EXPECT_EQ(errorNumber([&] { db->CopyTableTo(QStringLiteral("t"), other, QStringLiteral("DCENUMS")); }), 3010);
    EXPECT_EQ(errorNumber([&] { db->CopyTableTo(QStringLiteral("t"), file(QStringLiteral("none.rep")), QStringLiteral("x")); }), 3024);
    db->Execute(QStringLiteral("UPDATE t SET name = 'changed'"));  // the main database is still the one written
    auto copied = OpenDatabase(other, true, false);
    EXPECT_EQ(copied->TableNames(), QStringList{QStringLiteral("dcEnums")});
    EXPECT_EQ(column(*copied->OpenRecordset(QStringLiteral("SELECT * FROM dcEnums ORDER BY id")), QStringLiteral("name")),
              (QStringList{QStringLiteral("O'Brien"), QStringLiteral("b")}));
    EXPECT_EQ(copied->TableFields(QStringLiteral("dcenums"))[1].type, dbText);
}

TEST_F(DaoTest, ExecuteReportsTheEngineErrorAndTheRowsItChanged) {
    auto db = dbWithRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    db->Execute(QStringLiteral("UPDATE t SET n = ? WHERE id >= ?"), {0, 2});
    EXPECT_EQ(db->RecordsAffected(), 2);
    db->Execute(QStringLiteral("CREATE UNIQUE INDEX byName ON t (name)"));
    EXPECT_EQ(db->RecordsAffected(), 0);
    struct Case {
        QString sql;
        QVariantList params;
        long number;
        QString message;
    } cases[] = {
        {QStringLiteral("UPDTE t SET n = 1"), {}, 3075, QStringLiteral("syntax error")},
        {QStringLiteral("INSERT INTO t (id, name) VALUES (9, ?)"), {QStringLiteral("A")}, 3022, QStringLiteral("UNIQUE constraint failed")},
        {QStringLiteral("DELETE FROM nowhere"), {}, 3078, QStringLiteral("no such table")},
        {QStringLiteral("UPDATE t SET n = ?"), {}, 3061, QStringLiteral("Expected 1")},
        {QStringLiteral("UPDATE t SET n = 1"), {2}, 3075, QStringLiteral("Expected 0")},
        {QStringLiteral("DELETE FROM t; DELETE FROM t"), {}, 3142, QString()},
    };
    for (const Case& c : cases) {
        QString description;
        EXPECT_EQ(errorNumber([&] { db->Execute(c.sql, c.params); }, &description), c.number) << c.sql.toStdString();
        EXPECT_TRUE(description.contains(c.message)) << description.toStdString();
    }
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT count(*) FROM t"))->Value(0).toInt(), 3);
}
