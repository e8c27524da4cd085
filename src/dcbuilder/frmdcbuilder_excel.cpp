// The signal-list import: a worksheet of a workbook copied into the table of the same name,
// rows matched by symbol name and columns by column name, with what is missing on either
// side reported.
#include "dcbuilder/columnvalue.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/modexcel.h"
#include "dcbuilder/openset.h"

#include "dcdatabase/dctables.h"
#include "dcdatabase/tablewriter.h"
#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modstringfct.h"

#include <QHash>
#include <functional>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";
constexpr int kLastRow = 10000;

bool endsSheet(const QString& name) { return name.isEmpty() || name == QLatin1String("0"); }

QString quoted(const QString& identifier) {
    QString q = identifier;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// The headers of row 1, up to the first empty cell.
QStringList headers(int maxColumns) {
    QStringList h;
    for (int c = 1; c <= maxColumns; ++c) {
        const QString header = modExcel::readCell(QString(), c, 1);
        if (header.isEmpty()) break;
        h << header;
    }
    return h;
}

// A rough row count in steps of ten, for the progress bar.
int roughRowCount() {
    for (int r = 2; r <= kLastRow; r += 10)
        if (endsSheet(modExcel::readCell(QString(), 1, r))) return r;
    return kLastRow + 2;
}

// The first cell the import reads that holds a formula or TRUE/FALSE the workbook gives no
// value for, or empty: row 1 up to the first empty header, column 1 down to the end of the
// sheet, and in those rows each column whose header `reads` takes.
QString cellWithoutValue(int maxColumns, const std::function<bool(const QString& header)>& reads) {
    QList<int> columns;
    for (int c = 1; c <= maxColumns; ++c) {
        if (!modExcel::cellHasValue(c, 1)) return excel::cellReference(1, c);
        const QString header = modExcel::readCell(QString(), c, 1);
        if (header.isEmpty()) break;
        if (c > 1 && reads(header)) columns << c;
    }
    for (int r = 2; r <= kLastRow; ++r) {
        if (!modExcel::cellHasValue(1, r)) return excel::cellReference(r, 1);
        if (endsSheet(modExcel::readCell(QString(), 1, r))) break;
        for (int c : columns)
            if (!modExcel::cellHasValue(c, r)) return excel::cellReference(r, c);
    }
    return QString();
}

QString withoutValueProblem(const QString& sheet, const QString& cell) {
    return sprintf("      Cell {*} of sheet {*} holds a formula or TRUE/FALSE without a value!", cell, sheet);
}

// The set's row of each name, as the table compares names (ASCII letters without regard
// to case), the first row of a name winning: a lookup per sheet row instead of a search.
QString nameKey(const QString& name) {
    QString key = name;
    for (QChar& c : key)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return key;
}
QHash<QString, int> rowsByName(dao::Recordset& rs) {
    QHash<QString, int> rows;
    for (int i = 0; i < rs.RecordCount(); ++i) {
        rs.SetAbsolutePosition(i);
        const QString key = nameKey(rs.Value(QStringLiteral("name")).toString());
        if (!rows.contains(key)) rows.insert(key, i);
    }
    return rows;
}

// Drops an unfinished edit; there is none when the failure came before Edit or AddNew.
void cancelEdit(dao::Recordset& rs) {
    try {
        rs.CancelUpdate();
    } catch (const std::exception&) {
    }
}
}  // namespace

QString frmDcBuilder::signalSheetProblem(const QString& dbName, const QString& sheet) {
    if (!modExcel::openExcelSheet(sheet)) return sprintf("   Sheet {*} could not be opened", sheet);
    // Only the columns the table has are copied, and never "id".
    QStringList columns;
    {
        OpenSet s;
        if (s.open(dbName, sprintf("SELECT * FROM {*} WHERE 0", quoted(sheet)), true, true, true))
            for (int i = 0; i < s.rs->FieldCount(); ++i) columns << s.rs->FieldName(i);
    }
    const QString cell = cellWithoutValue(100, [&](const QString& header) {
        return header != QLatin1String("id") && columns.contains(header, Qt::CaseSensitive);
    });
    if (!cell.isEmpty()) return withoutValueProblem(sheet, cell);
    if (modExcel::readCell(QStringLiteral("A1"), 0, 0) != QLatin1String("name"))
        return QStringLiteral("      First column of excel-sheet is not 'name'!");
    return QString();
}

bool frmDcBuilder::readExcelSheet(const QString& dbName, const QString& sheet) {
    bool copied = false;
    addMessage(sprintf("   Scan Sheet {*}", sheet));
    trap(kObject, "readExcelSheet", [&] {
        // Everything is checked before the change codes are touched: a sheet that cannot be
        // read leaves the table as it was.
        const QString problem = signalSheetProblem(dbName, sheet);
        if (!problem.isEmpty()) {
            addMessage(problem);
            return;
        }
        OpenSet s;
        if (!s.open(dbName, sprintf("SELECT * FROM {*} ORDER BY name", quoted(sheet)), true)) return;
        QHash<QString, dao::FieldDef> types;
        for (const dao::FieldDef& f : s.db->TableFields(sheet)) types.insert(f.name.toLower(), f);

        addMessage(QStringLiteral("      Check for signal-list-fields that are not existing in datacontainer"));
        const QStringList names = headers(100);
        QStringList fields;  // entry c-1: the column for header c, or empty
        QStringList columns;
        for (int i = 0; i < s.rs->FieldCount(); ++i) columns << s.rs->FieldName(i);
        for (const QString& header : names) {
            fields << (columns.contains(header, Qt::CaseSensitive) ? header : QString());
            if (fields.last().isEmpty()) addMessage(sprintf("         {*} is not in datacontainer.", header));
        }
        if (!fields.contains(QString())) addMessage(QStringLiteral("         All fields are existing in datacontainer"));

        addMessage(QStringLiteral("      Check for datacontainer-fields that are not existing in signal-list"));
        bool allThere = true;
        for (const QString& column : columns)
            if (!fields.contains(column, Qt::CaseSensitive)) {
                addMessage(sprintf("         {*} is not in signal-list", column));
                allThere = false;
            }
        if (allThere) addMessage(QStringLiteral("         All fields are existing in signal-list"));

        // One transaction for the sheet: one flush to disk instead of one per row, and a
        // sheet that fails part-way leaves its table as it was.
        tableWriter::Savepoint transaction(*s.db);
        s.db->Execute(sprintf("UPDATE {*} SET \"upDate\"=2", quoted(sheet)));
        const QHash<QString, int> rowOf = rowsByName(*s.rs);
        addMessage(QStringLiteral("      Copy signal-list values into datacontainer"));
        const float step = 1.0f / float(roughRowCount());
        updateProgress(0);
        int scanned = 0;
        QStringList notInDc;
        for (int r = 2; r <= kLastRow; ++r) {
            const QString name = modExcel::readCell(QString(), 1, r);
            if (endsSheet(name)) break;
            const auto at = rowOf.constFind(nameKey(name));
            if (at == rowOf.constEnd()) {
                notInDc << name;
            } else {
                s.rs->SetAbsolutePosition(*at);
                QString errors;
                try {
                    s.rs->Edit();
                    for (int c = 2; c <= fields.size(); ++c) {
                        const QString& field = fields[c - 1];
                        if (field.isEmpty() || field == QLatin1String("id")) continue;
                        const std::optional<QVariant> v =
                            columnValue::of(types.value(field.toLower()), modExcel::readCell(QString(), c, r));
                        if (!v) {
                            errors += (errors.isEmpty() ? QStringLiteral("in ") : QStringLiteral(", ")) + field;
                            continue;
                        }
                        s.rs->SetValue(field, *v);
                        if (field == QLatin1String("onOffDelayIdName"))
                            s.rs->SetValue(QStringLiteral("onOffDelayId"), dcTables::kNoDelayLink);
                    }
                    s.rs->SetValue(QStringLiteral("upDate"), 1);
                    s.rs->Update();
                } catch (const std::exception& e) {
                    // One row that cannot be written does not stop the import.
                    cancelEdit(*s.rs);
                    errors += (errors.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromStdString(e.what());
                }
                if (!errors.isEmpty()) addMessage(sprintf("         {*}: Update-Error {*}", name, errors));
                ++scanned;
            }
            updateProgress(step, true);
        }
        transaction.release();
        addMessage(sprintf("      Number of scanned signals: {*}", scanned));

        addMessage(QStringLiteral("      Check for signals in datacontainer that are not in signal-list"));
        OpenSet unmatched;
        unmatched.open(dbName, sprintf("SELECT * FROM {*} WHERE \"upDate\"=2 ORDER BY name", quoted(sheet)), true, true);
        bool none = true;
        for (; unmatched.rs && !unmatched.rs->eof(); unmatched.rs->MoveNext()) {
            addMessage(sprintf("         {*} is not in signal-list", unmatched.rs->Value(QStringLiteral("name"))));
            none = false;
        }
        if (none) addMessage(QStringLiteral("         All signals are in signal-list"));

        addMessage(QStringLiteral("      Check for signals in signal-list that are not in datacontainer"));
        for (const QString& name : notInDc) addMessage(sprintf("         {*} is not in DC", name));
        if (notInDc.isEmpty()) addMessage(QStringLiteral("         All signals are in datacontainer"));
        addMessage(QStringLiteral(" "));
        copied = true;
    });
    updateProgress(0);
    return copied;
}

void frmDcBuilder::importExcelSheet(const QString& dbName, const QString& sheet) {
    addMessage(sprintf("   Scan Sheet {*}", sheet));
    trap(kObject, "importExcelSheet", [&] {
        // The old table goes only once the sheet is there to replace it.
        if (!modExcel::openExcelSheet(sheet)) return;
        if (const QString cell = cellWithoutValue(500, [](const QString&) { return true; }); !cell.isEmpty()) {
            addMessage(withoutValueProblem(sheet, cell));
            return;
        }
        addMessage(QStringLiteral("      Check first Excel-line to create table-fields"));
        std::vector<dao::FieldDef> fields;
        for (const QString& header : headers(500)) {
            const int c = int(fields.size()) + 1;
            fields.push_back(c <= 2 ? dao::FieldDef{header, dao::dbText, c == 1 ? 16 : 128} : dao::FieldDef{header, dao::dbLong, 0});
        }
        QString removed;
        modDataBase::g_removeTable(dbName, sheet, removed, false);
        modDataBase::g_addTable(dbName, sheet, fields);
        OpenSet s;
        if (!s.open(dbName, sprintf("SELECT * FROM {*}", quoted(sheet)), true)) return;
        addMessage(QStringLiteral("      Copy signal-list values into datacontainer"));
        const float step = 1.0f / float(roughRowCount());
        updateProgress(0);
        for (int r = 2; r <= kLastRow; ++r) {
            if (endsSheet(modExcel::readCell(QString(), 1, r))) break;
            try {
                s.rs->AddNew();
                for (int c = 1; c <= int(fields.size()); ++c)
                    if (const auto v = columnValue::of(fields[std::size_t(c - 1)], modExcel::readCell(QString(), c, r)))
                        s.rs->SetValue(c - 1, *v);
                s.rs->Update();
            } catch (const std::exception&) {
                cancelEdit(*s.rs);  // a row that cannot be stored is left out
            }
            updateProgress(step, true);
        }
    });
    updateProgress(0);
}
