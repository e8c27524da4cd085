#pragma once
// A small data-container database for the editor's tests: dcEnums and alarmEnums with
// the columns the editor binds, filled by the test.
#include "dao/dao.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

struct EditorDb {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Site-PXM-DC-007.mdb"));
    std::shared_ptr<dao::Database> db;

    EditorDb() {
        db = dao::CreateDatabase(path);
        db->Execute(QStringLiteral(
            "CREATE TABLE dcEnums (name TEXT COLLATE NOCASE, id INTEGER, class TEXT COLLATE NOCASE, varGroup TEXT "
            "COLLATE NOCASE, fupId TEXT COLLATE NOCASE, comment TEXT COLLATE NOCASE, \"upDate\" INTEGER DEFAULT 0, "
            "introduced INTEGER DEFAULT 1, condition TEXT, producerMask INTEGER DEFAULT 0, minValue INTEGER, "
            "maxValue INTEGER, modbusAddr INTEGER DEFAULT 0, value REAL, crcGroup INTEGER DEFAULT 0, "
            "readAccessLevel INTEGER DEFAULT 7, writeAccessLevel INTEGER DEFAULT 7, modbusScale REAL, onlineValue "
            "REAL, syncCmd INTEGER DEFAULT -1)"));
        db->Execute(QStringLiteral(
            "CREATE TABLE alarmEnums (name TEXT COLLATE NOCASE, id INTEGER, class TEXT COLLATE NOCASE, varGroup "
            "TEXT COLLATE NOCASE, fupId TEXT COLLATE NOCASE, comment TEXT COLLATE NOCASE, \"upDate\" INTEGER "
            "DEFAULT 0, introduced INTEGER DEFAULT 1, producerMask INTEGER DEFAULT 0, minValue INTEGER, maxValue "
            "INTEGER, modbusAddr INTEGER DEFAULT 0, criterion INTEGER DEFAULT 0, hysteresis INTEGER, inhibit "
            "INTEGER, signalIndex INTEGER DEFAULT -1, signalIndexName TEXT COLLATE NOCASE, onDelayIndex INTEGER "
            "DEFAULT -1, onDelayIndexName TEXT COLLATE NOCASE, offDelayIndex INTEGER DEFAULT -1, offDelayIndexName "
            "TEXT COLLATE NOCASE, onOffDelayId INTEGER DEFAULT 255, onOffDelayIdName TEXT COLLATE NOCASE, type "
            "INTEGER, groupX INTEGER, scanInternal INTEGER)"));
    }
    void addSymbol(const QString& name, int id, const QString& cls, const QString& fup, int crcGroup, int upDate = 1,
                   double value = 0, const QString& group = QStringLiteral("COM")) {
        db->Execute(QStringLiteral("INSERT INTO dcEnums (name, id, class, varGroup, fupId, comment, \"upDate\", "
                                   "crcGroup, value, minValue, maxValue) VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
                    {name, id, cls, group, fup, QStringLiteral("c"), upDate, crcGroup, value, -2147483648LL,
                     2147483647LL});
    }
    void addAlarm(const QString& name, int id, int criterion, const QString& signal, int upDate = 1) {
        db->Execute(QStringLiteral("INSERT INTO alarmEnums (name, id, class, fupId, \"upDate\", criterion, "
                                   "signalIndexName, signalIndex) VALUES (?,?,'ALARM','141.1',?,?,?,?)"),
                    {name, id, upDate, criterion, signal, signal.isEmpty() ? -1 : 2050});
    }
    QVariant value(const QString& sql, const QVariantList& params = {}) {
        auto rs = db->OpenRecordset(sql, params);
        return rs->eof() ? QVariant() : rs->Value(0);
    }
};
