#pragma once
// The builder's test set-up: a configuration database with the special-entry aliases, a
// small data-container database with its step tables, the dialog answerer, the error
// recorder, the virtual clock and a recorder of the main window's load-file refresh.
#include "dao/dao.h"
#include "dcbuilder/bintables.h"
#include "dcbuilder/editorlink.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcfixture/dcfixture.h"
#include "dcfixture/recordinglog.h"
#include "desktop/timeservice.h"
#include "errorlog.h"
#include "dcbuilder/loadfileslink.h"
#include "qtprint.h"
#include "services/modglobal.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct LoadFilesRecorder : LoadFilesLink {
    QStringList calls;
    void g_checkFileExist(const QString& kind, bool quiet) override {
        calls << kind + (quiet ? QStringLiteral(" quiet") : QStringLiteral(" loud"));
    }
};

class BuilderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    testsupport::ScriptedAnswerer answers;
    testsupport::ErrorLog errors;
    LoadFilesRecorder loadFiles;
    std::shared_ptr<dao::Database> cfgDb;
    std::optional<testsupport::VirtualClockScope> clock;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        clock.emplace();
        clock->setNow(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0)));
        modGlobal::g_toolTitle = QStringLiteral("KELB-3817 Update Tool");
        modGlobal::g_configDir = dir.path();
        modGlobal::g_debugMode = false;
        modGlobal::g_baseAdrDC = 0xC0000;
        modGlobal::g_moduleKind = QStringLiteral("PXM");
        loadFilesLink::install(&loadFiles);
        makeConfig();
    }
    void TearDown() override {
        if (frmDcBuilder* b = frmDcBuilder::existing()) b->unload();
        loadFilesLink::install(nullptr);
        modGlobal::g_rsAliasSymbolName.reset();
        if (cfgDb) cfgDb->Close();
        clock.reset();
    }

    void makeConfig() {
        const QString path = dir.filePath(QStringLiteral("Config.mdb"));
        auto db = dao::CreateDatabase(path);
        db->Execute(QStringLiteral("CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, symbolName TEXT COLLATE NOCASE)"));
        dcfixture::insertAliases(*db);
        db->Close();
        cfgDb = dao::OpenDatabase(path, true, false);
        modGlobal::g_rsAliasSymbolName = cfgDb->OpenRecordset(QStringLiteral("SELECT * FROM aliasSymbolName ORDER BY aliasName"));
    }

    QString dcName(int version) const {
        return dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-%1.mdb").arg(version, 3, 10, QLatin1Char('0')));
    }

    static void execute(const QString& db, const QString& sql) {
        auto d = dao::OpenDatabase(db, false, false);
        d->Execute(sql);
        d->Close();
    }
    static void row(const QString& db, const char* table, const QVariantMap& values) {
        dcfixture::insertRow(db, QString::fromLatin1(table), values);
    }
    static void step(const QString& db, const char* table, int stepNo, const char* content, const char* value, int width,
                     const char* cls = "", const char* loops = "", int gotoStep = 0, const char* varGroup = "") {
        row(db, table, {{"step", stepNo}, {"content", content}, {"value", value}, {"noOfBytes", width}, {"loops", loops},
                        {"goto", gotoStep}, {"class", cls}, {"varGroup", varGroup}});
    }
    static void param(const QString& db, int id, const char* name, const char* cls, const QVariant& value, int crcGroup = 0,
                      const char* varGroup = "BAS") {
        row(db, "dcEnums", {{"id", id}, {"name", name}, {"class", cls}, {"value", value}, {"crcGroup", crcGroup}, {"varGroup", varGroup}});
    }

    // Parameters in group 1 and 4, two variables, the special entries, two alarms linked to
    // the variables, and step tables that use every kind of item.
    void makeDc(const QString& db, const dcfixture::Options& options = {}) {
        dcfixture::makeDatabase(db, options);
        auto d = dao::OpenDatabase(db, false, false);
        dcBinTables::g_createTables(*d);
        d->Close();
        param(db, 0, "PAR_A", "PARAMETER", 5, 1);
        param(db, 1, "GLB_X", "VARIABLE", 7);
        param(db, 2, "PAR_B", "PARAMETER", -3, 1);
        param(db, 3, "GLB_Y", "VARIABLE", 300);
        param(db, 4, "PAR_IMO", "PARAMETER", 42, 4, "IMO");
        // "RT-flex" in the text entry: four characters a row, the first in the low byte.
        param(db, 10, "PAR_SWINFO_ENGINE_TYPE_1", "PARAMETER", 0x662D5452 /* "RT-f" */, 0, "GLB");
        param(db, 11, "PAR_SWINFO_ENGINE_TYPE_2", "PARAMETER", 0x78656C /* "lex" */, 0, "GLB");
        for (int i = 3; i <= 8; ++i) param(db, 9 + i, QByteArray("PAR_SWINFO_ENGINE_TYPE_" + QByteArray::number(i)).constData(), "PARAMETER", 0, 0, "GLB");
        param(db, 18, "PAR_SWINFO_BUILD", "PARAMETER", 123, 0, "GLB");
        param(db, 19, "PAR_SWINFO_BOOTLOADER_VERSION", "PARAMETER", 310, 0, "GLB");
        for (int g = 1; g <= 7; ++g)
            param(db, 19 + g, QByteArray("PAR_CRC_GROUP" + QByteArray::number(g)).constData(), "PARAMETER", 0, 0, "GLB");
        row(db, "alarmEnums", {{"id", 0}, {"name", "ALM_A"}, {"class", "ALARM"}, {"criterion", 1}, {"signalIndexName", "GLB_X"}, {"signalIndex", -1}});
        row(db, "alarmEnums", {{"id", 1}, {"name", "ALM_B"}, {"class", "ALARM"}, {"criterion", 3}, {"signalIndexName", "GLB_Y"}, {"signalIndex", 3}});
        row(db, "sourceScan", {{"id", 2}, {"name", "NUM_ALARMS"}, {"class", "CONSTANT"}});

        step(db, "dcBinFile", 1, "engineType", "DC_SWINFO_ENGINE_TYPE_", 8);
        step(db, "dcBinFile", 2, "build", "DC_SWINFO_BUILD", 4);
        step(db, "dcBinFile", 3, "value", "TABLE", 4, "PARAMETER", "2", 3, "BAS");
        step(db, "dcBinFile", 4, "value", "TABLE", 2, "VARIABLE", "2", 4);
        step(db, "dcBinFile", 5, "dcVersion", "7", 1);
        step(db, "alarmBinFile", 1, "count", "NUM_ALARMS", 2);
        step(db, "alarmBinFile", 2, "criterion", "TABLE", 1, "ALARM");
        step(db, "alarmBinFile", 3, "signalIndex", "TABLE_", 2, "ALARM", "NUM_ALARMS", 2);
    }

    // The rest of the plant and software information: the texts empty, the numbers 0.
    void addInfoEntries(const QString& db) {
        int id = 100;
        for (const char* text : {"PAR_SWINFO_MANUFAC_NO_", "PAR_SWINFO_HULL_NO_", "PAR_SWINFO_EPI_DB_NO_", "PAR_SWINFO_IMO_SW_NO_"})
            for (int i = 1; i <= 8; ++i)
                param(db, id++, (QByteArray(text) + QByteArray::number(i)).constData(), "PARAMETER", 0, 0, "GLB");
        for (const char* number : {"PAR_SWINFO_SW_VERSION", "PAR_SWINFO_DEVELOPER_NO", "PAR_CRC_FIRST_APPLICATION"})
            param(db, id++, number, "PARAMETER", 0, 0, "GLB");
    }

    // The image makeDc's tables give, once the alarm links are resolved (GLB_X is id 1).
    static QByteArray expectedImage() {
        return QByteArray::fromHex("52542d666c657820" "00000123" "00000005" "fffffffd" "0007" "012c" "07"
                                   "00" "0002" "01" "00" "0001" "03" "00" "0003");
    }

    frmDcBuilder& builder() { return frmDcBuilder::instance(); }
    QStringList log() const {
        QStringList l;
        for (int i = 0; i < frmDcBuilder::instance().lstMessage->count(); ++i) l << frmDcBuilder::instance().lstMessage->item(i)->text();
        return l;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    QVariant value(const QString& db, const QString& sql) const {
        const auto r = dcfixture::rows(db, sql);
        return r.empty() ? QVariant() : r.front().first();
    }
};
