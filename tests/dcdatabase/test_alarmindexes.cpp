#include "dcdatabase/builderlog.h"
#include "dcdatabase/modscanheaderfiles.h"

#include "scanfixture.h"

namespace {

using modScanHeaderFiles::g_buildAlarmListIndexes;

class AlarmIndexes : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        frmDcBuilderLogLink::install(&log);
        dcfixture::insertRow(db, "dcEnums", {{"name", "OIL_PRESS"}, {"id", 2100}});
        dcfixture::insertRow(db, "dcEnums", {{"name", "ON_DELAY"}, {"id", 2200}});
        dcfixture::insertRow(db, "sourceScan", {{"name", "DLY_ON_1"}, {"id", 4}, {"class", "DELAY_INST"}});
    }
    void TearDown() override { frmDcBuilderLogLink::install(nullptr); }
    void alarm(const QVariantMap& row) {
        QVariantMap r = row;
        if (!r.contains("id")) r.insert("id", 3000 + ++m_alarms);
        dcfixture::insertRow(db, "alarmEnums", r);
    }
    QString link(const char* alarmName, const char* column) {
        const auto r = rows(QStringLiteral("SELECT * FROM alarmEnums WHERE name='%1'").arg(QLatin1String(alarmName)));
        return r[0].value(QLatin1String(column)).toString() + QLatin1Char('/') + r[0].value(QLatin1String(column) + QStringLiteral("Name")).toString();
    }
    int m_alarms = 0;
};

TEST_F(AlarmIndexes, NameGivesIdAndIdGivesName) {
    alarm({{"name", "AL_BY_NAME"}, {"signalIndex", 2050}, {"signalIndexName", "oil_press"}});
    alarm({{"name", "AL_BY_ID"}, {"signalIndex", 2100}});
    alarm({{"name", "AL_NONE"}});
    alarm({{"name", "AL_LOST_NAME"}, {"signalIndex", 2050}, {"signalIndexName", "O'BRIEN"}});
    alarm({{"name", "AL_LOST_ID"}, {"signalIndex", 1234}});
    EXPECT_EQ(g_buildAlarmListIndexes(db, QStringLiteral("signalIndex")), 2);
    EXPECT_EQ(link("AL_BY_NAME", "signalIndex"), QStringLiteral("2100/oil_press"));
    EXPECT_EQ(link("AL_BY_ID", "signalIndex"), QStringLiteral("2100/OIL_PRESS"));
    EXPECT_EQ(link("AL_NONE", "signalIndex"), QStringLiteral("-1/"));
    EXPECT_EQ(link("AL_LOST_NAME", "signalIndex"), QStringLiteral("2050/O'BRIEN"));
    EXPECT_EQ(log.lines, QStringList({"      Variable O'BRIEN not found (see AL_LOST_NAME)!",
                                      "      Variable 1234 not found (see AL_LOST_ID)!"}));
}

TEST_F(AlarmIndexes, OnOffDelayLinksToDelayInstancesWith255AsNone) {
    alarm({{"name", "AL_NONE"}});
    alarm({{"name", "AL_MINUS_ONE"}, {"onOffDelayId", -1}});
    alarm({{"name", "AL_DELAY"}, {"onOffDelayIdName", "DLY_ON_1"}});
    alarm({{"name", "AL_DC_NAME"}, {"onOffDelayIdName", "ON_DELAY"}});
    EXPECT_EQ(g_buildAlarmListIndexes(db, QStringLiteral("onOffDelayId")), 2);
    EXPECT_EQ(link("AL_DELAY", "onOffDelayId"), QStringLiteral("4/DLY_ON_1"));
    EXPECT_EQ(log.lines, QStringList({"      Variable -1 not found (see AL_MINUS_ONE)!",
                                      "      Variable ON_DELAY not found (see AL_DC_NAME)!"}));
}

TEST_F(AlarmIndexes, NoAlarmsGivesZeroAndNoLines) {
    alarm({{"name", "ALARM_DEFAULT"}, {"id", -1}, {"signalIndex", 999}});
    EXPECT_EQ(g_buildAlarmListIndexes(db, QStringLiteral("signalIndex")), 0);
    EXPECT_TRUE(log.lines.isEmpty());
}

}  // namespace
