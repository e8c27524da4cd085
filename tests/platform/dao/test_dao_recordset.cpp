#include "daotest.h"

namespace {
const QStringList kNames{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("Gamma")};
}

TEST_F(DaoTest, ARecordSetWalksItsRowsInTheQueryOrder) {
    auto db = dbWithRows(kNames);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t WHERE n >= ? ORDER BY id DESC"), {20});
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_FALSE(rs->bof());
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->Value(QStringLiteral("NAME")).toString(), QStringLiteral("Gamma"));
    rs->MoveNext();
    EXPECT_EQ(rs->Value(1).toString(), QStringLiteral("beta"));
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->MoveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_EQ(errorNumber([&] { rs->MoveNext(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs->Value(0); }), 3021);
    rs->MoveLast();
    rs->MovePrevious();
    rs->MovePrevious();
    EXPECT_TRUE(rs->bof());
    EXPECT_FALSE(rs->eof());
    EXPECT_EQ(errorNumber([&] { rs->MovePrevious(); }), 3021);
    rs->MoveNext();
    EXPECT_EQ(rs->Value(QStringLiteral("id")).toInt(), 3);

    // Fields in column order, found by name without regard to case.
    EXPECT_EQ(rs->FieldCount(), 3);
    EXPECT_EQ(rs->FieldName(2), QStringLiteral("n"));
    EXPECT_EQ(rs->FieldIndex(QStringLiteral("Name")), 1);
    EXPECT_EQ(rs->FieldIndex(QStringLiteral("none")), -1);
    EXPECT_EQ(errorNumber([&] { rs->Value(QStringLiteral("none")); }), 3265);
}

TEST_F(DaoTest, AnEmptyResultHasItsFieldsAndNoCurrentRow) {
    auto db = dbWithRows(kNames);
    const QString queries[] = {QStringLiteral("SELECT * FROM t WHERE id > 99"),
                               QStringLiteral("SELECT t.id, u.name AS other FROM t JOIN t AS u ON u.id = t.id + 99")};
    const QStringList fields[] = {{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("n")},
                                  {QStringLiteral("id"), QStringLiteral("other")}};
    for (int q = 0; q < 2; ++q) {
        auto rs = db->OpenRecordset(queries[q]);
        EXPECT_TRUE(rs->eof() && rs->bof());
        EXPECT_EQ(rs->RecordCount(), 0);
        QStringList names;
        for (int i = 0; i < rs->FieldCount(); ++i) names << rs->FieldName(i);
        EXPECT_EQ(names, fields[q]);
        EXPECT_EQ(errorNumber([&] { rs->MoveFirst(); }), 3021);
        rs->FindFirst(QStringLiteral("id = 1"));
        EXPECT_TRUE(rs->NoMatch());
    }
}

TEST_F(DaoTest, TheRowsAreFixedWhenTheSetOpensButTheirValuesAreCurrent) {
    auto db = dbWithRows(kNames);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY id"));
    db->Execute(QStringLiteral("INSERT INTO t (id, name, n) VALUES (4, 'Delta', 40)"));
    db->Execute(QStringLiteral("UPDATE t SET n = 11 WHERE id = 1"));
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->FindFirst(QStringLiteral("name = ?"), {QStringLiteral("Delta")});
    EXPECT_TRUE(rs->NoMatch());
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(QStringLiteral("n")).toInt(), 11);
    // A row deleted by a statement is reported as deleted, not read as another row.
    db->Execute(QStringLiteral("DELETE FROM t WHERE id = 2"));
    rs->MoveNext();
    EXPECT_EQ(errorNumber([&] { rs->Value(0); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(rs->Value(QStringLiteral("name")).toString(), QStringLiteral("Gamma"));
}

TEST_F(DaoTest, FindFirstAndFindNextSearchTheSetWithBoundValues) {
    auto db = dbWithRows({QStringLiteral("x"), QStringLiteral("O'Brien"), QStringLiteral("X"), QStringLiteral("y")});
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY id DESC"));
    struct Case {
        QString criterion;
        QVariantList params;
        QList<int> ids;  // the ids found by FindFirst and the FindNexts after it
    } cases[] = {
        {QStringLiteral("name = ?"), {QStringLiteral("x")}, {3, 1}},  // no regard to case, in the set's order
        {QStringLiteral("name = ?"), {QStringLiteral("o'brien")}, {2}},
        {QStringLiteral("n > ? AND name <> 'y'"), {10}, {3, 2}},
        {QStringLiteral("name = 'none'"), {}, {}},
    };
    for (const Case& c : cases) {
        QList<int> ids;
        for (rs->FindFirst(c.criterion, c.params); !rs->NoMatch(); rs->FindNext(c.criterion, c.params))
            ids << rs->Value(QStringLiteral("id")).toInt();
        EXPECT_EQ(ids, c.ids) << c.criterion.toStdString();
    }
    EXPECT_NE(errorNumber([&] { rs->FindFirst(QStringLiteral("nosuch = 1")); }), 0);
}

TEST_F(DaoTest, UpdateWritesOnlyTheChangedFieldsAtOnce) {
    auto db = dbWithRows(kNames);
    // A key word inside a quoted value does not make the set read-only.
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t WHERE name <> 'GROUP BY' ORDER BY name"));
    rs->FindFirst(QStringLiteral("id = 2"));
    rs->Edit();
    rs->SetValue(QStringLiteral("Name"), QStringLiteral("Beta2"));
    EXPECT_EQ(rs->Value(QStringLiteral("name")).toString(), QStringLiteral("Beta2"));
    // A statement changes another field while the edit is pending: the Update keeps it.
    db->Execute(QStringLiteral("UPDATE t SET n = 99 WHERE id = 2"));
    rs->Update();
    auto check = db->OpenRecordset(QStringLiteral("SELECT name, n FROM t WHERE id = 2"));
    EXPECT_EQ(check->Value(0).toString(), QStringLiteral("Beta2"));
    EXPECT_EQ(check->Value(1).toInt(), 99);

    rs->Edit();
    rs->SetValue(QStringLiteral("n"), 5);
    rs->CancelUpdate();
    EXPECT_EQ(rs->Value(QStringLiteral("n")).toInt(), 99);
    rs->Edit();
    rs->SetValue(QStringLiteral("n"), 6);
    rs->MoveNext();  // moving away drops the edit
    EXPECT_EQ(errorNumber([&] { rs->Update(); }), 3020);
    EXPECT_EQ(errorNumber([&] { rs->SetValue(0, 1); }), 3020);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT n FROM t WHERE id = 2"))->Value(0).toInt(), 99);
}

TEST_F(DaoTest, RowsAddedThroughTheSetJoinItAndAreFound) {
    auto db = dbWithRows(kNames);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY name"));
    rs->AddNew();
    rs->SetValue(QStringLiteral("n"), 70);
    rs->SetValue(QStringLiteral("name"), QStringLiteral("aardvark"));
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 4);
    EXPECT_EQ(rs->AbsolutePosition(), 3);  // the new row is the current row, at the end
    EXPECT_EQ(rs->Value(QStringLiteral("name")).toString(), QStringLiteral("aardvark"));
    EXPECT_TRUE(rs->Value(QStringLiteral("id")).isNull());
    rs->MoveFirst();
    rs->FindFirst(QStringLiteral("name = ?"), {QStringLiteral("AARDVARK")});
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Value(QStringLiteral("n")).toInt(), 70);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT count(*) FROM t WHERE n = 70"))->Value(0).toInt(), 1);
}

TEST_F(DaoTest, DeleteRemovesTheRowAndTheNextMoveGoesOn) {
    auto db = dbWithRows(kNames);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY id"));
    rs->MoveNext();
    rs->Delete();
    EXPECT_EQ(errorNumber([&] { rs->Value(0); }), 3167);
    EXPECT_FALSE(rs->eof());
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->MoveNext();
    EXPECT_EQ(rs->Value(QStringLiteral("name")).toString(), QStringLiteral("Gamma"));
    rs->FindFirst(QStringLiteral("id = 2"));
    EXPECT_TRUE(rs->NoMatch());
    // Deleting every row the way the callers loop over a set.
    for (rs->MoveFirst(); !rs->eof(); rs->MoveNext()) rs->Delete();
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT count(*) FROM t"))->Value(0).toInt(), 0);
}

TEST_F(DaoTest, OtherQueriesGiveAReadOnlySnapshot) {
    auto db = dbWithRows(kNames);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT name, n * 2 AS twice FROM t ORDER BY twice DESC"));
    db->Execute(QStringLiteral("UPDATE t SET n = 0"));
    EXPECT_EQ(column(*rs, QStringLiteral("TWICE")), (QStringList{QStringLiteral("60"), QStringLiteral("40"), QStringLiteral("20")}));
    rs->FindFirst(QStringLiteral("twice < ? AND name = ?"), {50, QStringLiteral("BETA")});
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_EQ(errorNumber([&] { rs->Edit(); }), 3027);
    EXPECT_EQ(errorNumber([&] { rs->AddNew(); }), 3027);
    EXPECT_EQ(errorNumber([&] { db->OpenRecordset(QStringLiteral("DELETE FROM t")); }), 3219);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT count(*) FROM t"))->Value(0).toInt(), 3);
}
