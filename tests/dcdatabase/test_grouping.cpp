#include "dcdatabase/grouping.h"

#include "dcfixture/recordinglog.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

ScanRow row(const char* name, qint64 id, const char* cls = "?", const char* comment = nullptr, int line = 0) {
    ScanRow r;
    r.name = QString::fromLatin1(name);
    r.id = id;
    r.cls = QString::fromLatin1(cls);
    if (comment) r.comment = QString::fromLatin1(comment);
    r.sourceLine = line;
    return r;
}

QString describe(const std::vector<ScanRow>& rows) {
    QStringList out;
    for (const ScanRow& r : rows)
        out << QStringLiteral("%1=%2:%3%4").arg(r.name).arg(r.id).arg(r.cls, r.varGroup.isNull() ? QString() : QLatin1Char('/') + r.varGroup.toString());
    return out.join(QLatin1Char(' '));
}

TEST(Grouping, ElementNames) {
    const struct {
        const char* name;
        qint64 k;
        const char* element;
    } cases[] = {
        {"VALVE_N", 1, "VALVE_01"}, {"CYL_N_TEMP", 2, "CYL_02_TEMP"}, {"PUMP_00", 7, "PUMP_07"},
        {"PUMP_00_SPEED", 1, "PUMP_01_SPEED"}, {"TEMP", 12, "TEMP_12"}, {"TEMP", 123, "TEMP_123"},
        {"A_N_B_N_", 3, "A_03_B_03_"}, {"X_N_00", 4, "X_04_00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grouping::elementName(QString::fromLatin1(c.name), c.k), QString::fromLatin1(c.element)) << c.name;
}

TEST(Grouping, MarkersClassTheUnclassedRowsBetweenThem) {
    std::vector<ScanRow> rows = {row("FIRST_ALARM", 100, "INSTRUCTION"), row("AL_A", 101), row("PAR_IN_RANGE", 110, "PARAMETER"),
                                 row("LAST_ALARM", 120, "INSTRUCTION"),  row("OUTSIDE", 121), row("FIRST_CYM_VARIABLE", 200, "INSTRUCTION"),
                                 row("CYM_SPEED", 201), row("LAST_CYM_VARIABLE", 202, "INSTRUCTION")};
    dcfixture::RecordingLog log;
    ASSERT_TRUE(grouping::buildGroup(rows, log));
    EXPECT_EQ(describe(rows), QStringLiteral("FIRST_ALARM=100:INSTRUCTION AL_A=101:ALARM PAR_IN_RANGE=110:PARAMETER "
                                             "LAST_ALARM=120:INSTRUCTION OUTSIDE=121:? FIRST_CYM_VARIABLE=200:INSTRUCTION "
                                             "CYM_SPEED=201:VARIABLE/CYM LAST_CYM_VARIABLE=202:INSTRUCTION"));
}

TEST(Grouping, BrokenPairsAreShownAndStopEverything) {
    const struct {
        std::vector<ScanRow> rows;
        const char* shown;
    } cases[] = {
        {{row("FIRST_A", 1, "INSTRUCTION"), row("X_N", 2, "?", "* n"), row("LAST_B", 5, "INSTRUCTION")},
         "Error in grouping dc-nums \r\nFIRST_A / LAST_B"},
        {{row("FIRST_A", 1, "INSTRUCTION"), row("X", 2)}, "Error in grouping dc-nums \r\nFIRST_A / "},
        // Equal ids sort by name, so FIRST_B comes before LAST_A and the pairs no longer line up.
        {{row("FIRST_A", 1, "INSTRUCTION"), row("LAST_A", 5, "INSTRUCTION"), row("FIRST_B", 5, "INSTRUCTION"),
          row("LAST_B", 9, "INSTRUCTION")},
         "Error in grouping dc-nums \r\nFIRST_A / FIRST_B"},
    };
    for (const auto& c : cases) {
        testsupport::ScriptedAnswerer answerer;
        dcfixture::RecordingLog log;
        std::vector<ScanRow> rows = c.rows;
        EXPECT_FALSE(grouping::buildGroup(rows, log));
        ASSERT_EQ(answerer.shown().size(), 1u);
        EXPECT_EQ(answerer.shown()[0].text, QString::fromLatin1(c.shown));
        EXPECT_EQ(rows.size(), c.rows.size());  // no array expanded
    }
}

TEST(Grouping, ArraysExpandUpToTheNextRow) {
    std::vector<ScanRow> rows = {
        row("FIRST_VARIABLE", 199, "INSTRUCTION"), row("VALVE_N", 200, "?", "110.1; * n valves", 5), row("NEXT", 204),
        row("PUMP_00_SPEED", 300, "?", "* x", 7), row("GAP", 302), row("TEMP", 400, "?", "* n", 9), row("LAST_VARIABLE", 402, "INSTRUCTION"),
        row("FIRST_ALARM", 500, "INSTRUCTION"), row("AL_N", 501, "?", "* n"), row("LAST_ALARM", 510, "INSTRUCTION"),
    };
    dcfixture::RecordingLog log;
    ASSERT_TRUE(grouping::buildGroup(rows, log));
    std::vector<ScanRow> added(rows.begin() + 10, rows.end());
    EXPECT_EQ(describe(added), QStringLiteral("VALVE_01=201:VARIABLE VALVE_02=202:VARIABLE VALVE_03=203:VARIABLE "
                                              "PUMP_01_SPEED=301:VARIABLE TEMP_01=401:VARIABLE TEMP_02=402:VARIABLE"));
    EXPECT_EQ(added[0].comment.toString(), QStringLiteral("110.1; * n valves"));
    EXPECT_EQ(added[0].sourceLine, 5);
    EXPECT_EQ(rows[1].name, QStringLiteral("VALVE_N"));  // the entry itself stays as it was
}

TEST(Grouping, ArrayBeforeALastMarkerIncludesItsId) {
    std::vector<ScanRow> rows = {row("FIRST_VARIABLE", 199, "INSTRUCTION"), row("VALVE_N", 200, "?", "* n"),
                                 row("LAST_VARIABLE", 204, "INSTRUCTION")};
    dcfixture::RecordingLog log;
    ASSERT_TRUE(grouping::buildGroup(rows, log));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows.back().name + QLatin1Char('=') + QString::number(rows.back().id), QStringLiteral("VALVE_04=204"));
}

TEST(Grouping, ArraysPastThe16BitRangeExpandWithoutFault) {
    std::vector<ScanRow> rows = {row("FIRST_VARIABLE", 70000, "INSTRUCTION"), row("BIG_N", 70001, "?", "* n"),
                                 row("LAST_VARIABLE", 110000, "INSTRUCTION")};
    dcfixture::RecordingLog log;
    ASSERT_TRUE(grouping::buildGroup(rows, log));
    EXPECT_EQ(rows.size(), 3u + 39999u);
    EXPECT_EQ(rows.back().name, QStringLiteral("BIG_39999"));
    EXPECT_EQ(rows.back().id, 110000);
}

TEST(Grouping, WithoutMarkersNothingHappens) {
    std::vector<ScanRow> rows = {row("A_N", 1, "?", "* n"), row("B", 5)};
    dcfixture::RecordingLog log;
    ASSERT_TRUE(grouping::buildGroup(rows, log));
    EXPECT_EQ(describe(rows), QStringLiteral("A_N=1:? B=5:?"));
}

}  // namespace
