#include "services/configcheck.h"

#include "dao/dao.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

namespace configCheck {
namespace {
using modStringFct::sprintf;

struct Table {
    const char* name;
    std::initializer_list<const char*> columns;
};
// The columns the program reads, table by table.
const Table kTables[] = {
    {"miscellaneous", {"item", "value"}},
    {"messages", {"MessageID", "MessageText", "okButton"}},
    {"loadFiles", {"module", "fileType", "section", "fileName"}},
};

bool wholeNumber(const QVariant& v) {
    if (v.isNull()) return false;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    case QMetaType::Double:
        return v.toDouble() == double(v.toLongLong());
    default: {
        bool ok = false;
        v.toString().trimmed().toInt(&ok);
        return ok;
    }
    }
}

QString tableProblem(dao::Database& db, const Table& t) {
    const QString table = QString::fromLatin1(t.name);
    if (!db.TableExists(table)) return QString();
    const std::shared_ptr<dao::Recordset> rs = db.OpenRecordset(QStringLiteral("SELECT * FROM ") + table);
    QString problem;
    for (const char* column : t.columns)
        if (problem.isEmpty() && rs->FieldIndex(QString::fromLatin1(column)) < 0)
            problem = sprintf("table {*} has no column {*}", table, QString::fromLatin1(column));
    // The look-up of the load files binds rows to the window's sections by number.
    if (problem.isEmpty() && table == QLatin1String("loadFiles"))
        for (; !rs->eof() && problem.isEmpty(); rs->MoveNext())
            if (!wholeNumber(rs->Value(QStringLiteral("section"))))
                problem = sprintf("table {*}, row of file '{*}': column section holds '{*}', no whole number", table,
                                  rs->Value(QStringLiteral("fileName")).toString(), rs->Value(QStringLiteral("section")).toString());
    rs->Close();
    return problem;
}

}  // namespace

QString problem(const QString& configDbPath) {
    const QFileInfo file(configDbPath);
    if (file.isDir()) return QStringLiteral("it is a folder, not a database file");
    if (!file.isFile()) return QString();
    std::shared_ptr<dao::Database> db;
    try {
        db = dao::OpenDatabase(configDbPath, false, true);
    } catch (const std::exception&) {
        return QString();
    }
    QString found;
    try {
        for (const Table& t : kTables)
            if (found.isEmpty()) found = tableProblem(*db, t);
    } catch (const std::exception& e) {
        found = QString::fromLocal8Bit(e.what());
    }
    db->Close();
    return found;
}

bool g_checkConfigDatabase(const QString& configDbPath) {
    const QString fault = problem(configDbPath);
    if (fault.isEmpty()) return true;
    modMsgBox::g_errorMsgBox(sprintf("The configuration database {*} cannot be used:\r{*}.\r"
                                     "The file has not been changed.",
                                     QDir::toNativeSeparators(configDbPath), fault),
                             QString(), true);
    return false;
}

}  // namespace configCheck
