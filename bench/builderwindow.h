#pragma once
// What the benchmarks of the builder window share: a configuration database with the
// alias the builder writes after a header scan, a first data-container version of this
// program's version, a dialog answerer and error handler that spoil the run on any box or
// error, and a stopwatch.
#include "dao/dao.h"
#include "dcbuilder/bintables.h"
#include "dcdatabase/dctables.h"
#include "desktop/dialogs.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/programinfo.h"

#include <QDateTime>
#include <QDir>
#include <chrono>
#include <cstdio>

namespace builderBench {

template <class F>
double seconds(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline void writeConfig(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("Config.mdb"));
    auto db = dao::CreateDatabase(path);
    db->Execute(QStringLiteral("CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, symbolName TEXT COLLATE NOCASE)"));
    db->Execute(QStringLiteral("INSERT INTO aliasSymbolName VALUES ('DC_SWINFO_DEVELOPER_NO', 'PAR_SWINFO_DEVELOPER_NO')"));
    db->Close();
    modGlobal::g_configDir = dir;
    modGlobal::g_rsAliasSymbolName =
        dao::OpenDatabase(path, true, false)->OpenRecordset(QStringLiteral("SELECT * FROM aliasSymbolName ORDER BY aliasName"));
}

// The first version of the data container, of this program's version: its tables and
// step tables, empty.
inline void writeFirstVersion(const QString& path) {
    auto d = dao::CreateDatabase(path);
    dcTables::g_createTables(*d);
    dcBinTables::g_createTables(*d);
    d->CreateTable(QStringLiteral("version"), {{QStringLiteral("date"), dao::dbDate, 0},
                                               {QStringLiteral("applVersion"), dao::dbText, 16},
                                               {QStringLiteral("comment"), dao::dbMemo, 0}});
    d->Execute(QStringLiteral("INSERT INTO version (date, applVersion, comment) VALUES (?, ?, ?)"),
               {QDateTime::currentDateTime(), programInfo::versionText(), QStringLiteral("bench")});
    d->Close();
}

// Answers the open-file dialog with `file`; any other box or error is shown on the
// terminal and spoils the run. Installed for its life.
struct Answerer : Dialogs::Answerer, ErrPtnr::ErrorHandler {
    const char* program;
    QString file;
    bool quiet = true;
    explicit Answerer(const char* name) : program(name) {
        Dialogs::answererLink::install(this);
        ErrPtnr::errorHandlerLink::install(this);
    }
    ~Answerer() override {
        Dialogs::answererLink::install(nullptr);
        ErrPtnr::errorHandlerLink::install(nullptr);
    }
    Dialogs::Answer answer(const Dialogs::Request& r) override {
        Dialogs::Answer a;
        if (r.kind == Dialogs::Kind::OpenFile) {
            a.text = file;
            return a;
        }
        std::fprintf(stderr, "%s: box \"%s\"\n", program, qPrintable(r.text));
        quiet = false;
        a.button = Dialogs::cautiousButton(r.style);
        return a;
    }
    ErrPtnr::Choice handle(const ErrPtnr::ErrorInfo& i) override {
        std::fprintf(stderr, "%s: run-time error in %s: %s\n", program, qPrintable(i.procedure), qPrintable(i.description));
        quiet = false;
        return ErrPtnr::Choice::Continue;
    }
};

}  // namespace builderBench
