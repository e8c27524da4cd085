#pragma once
// A data-container database in a temporary folder with its three header files beside it.
#include "dcfixture/dcfixture.h"
#include "dcfixture/recordinglog.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = dir.filePath(QStringLiteral("Plant-PXM-DC-001.mdb"));
        dcfixture::makeDatabase(db);
    }
    QString path(const char* file) const { return QDir::toNativeSeparators(dir.filePath(QString::fromLatin1(file))); }
    void write(const char* file, const QString& text) const { dcfixture::writeFile(path(file), text); }
    void writeHeaders(const QString& global, const QString& library, const QString& dataContainer) const {
        write("global.h", global);
        write("library.h", library);
        write("dataContainer.h", dataContainer);
    }
    std::vector<QVariantMap> rows(const QString& sql) const { return dcfixture::rows(db, sql); }
    // "name=id" of every row of the query, in its order.
    QStringList nameIds(const QString& sql) const {
        QStringList out;
        for (const auto& r : rows(sql)) out << r.value(QStringLiteral("name")).toString() + QLatin1Char('=') + r.value(QStringLiteral("id")).toString();
        return out;
    }

    QTemporaryDir dir;
    QString db;
    dcfixture::RecordingLog log;
    testsupport::ScriptedAnswerer answerer;
};

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
