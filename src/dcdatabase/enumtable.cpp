#include "dcdatabase/dctables.h"
#include "dcdatabase/modscanheaderfiles.h"
#include "dcdatabase/tablewriter.h"

#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QHash>

using modStringFct::sprintf;
using tableWriter::quoted;

namespace modScanHeaderFiles {

namespace {

// The selected rows of the source table, in the order of the scanned columns.
enum SourceColumn { sName, sId, sFupId, sComment, sClass, sVarGroup, sUpDate };

bool sameName(const QString& a, const char* b) { return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0; }

// The rows of one table with their columns, looked up by name without regard to case.
struct Rows {
    QHash<QString, int> index;  // upper-cased column name -> position
    std::vector<QVariantList> rows;
    int column(const QString& name) const { return index.value(name.toUpper(), -1); }
    QVariant value(size_t row, const QString& name) const {
        const int c = column(name);
        return c < 0 ? QVariant() : rows[row][c];
    }
};

Rows readRows(dao::Database& db, const QStringList& columns, const QString& from) {
    QStringList names;
    for (const QString& c : columns) names << quoted(c);
    Rows r;
    for (int i = 0; i < columns.size(); ++i) r.index.insert(columns[i].toUpper(), i);
    r.rows = tableWriter::readAll(db, QStringLiteral("SELECT %1 FROM %2").arg(names.join(QLatin1Char(',')), from));
    return r;
}

// The default row for new symbols of a class: the first whose name begins with the prefix,
// else the first default row.
size_t defaultRowFor(const Rows& defaults, const QString& prefix) {
    for (size_t i = 0; i < defaults.rows.size(); ++i)
        if (defaults.value(i, QStringLiteral("name")).toString().startsWith(prefix, Qt::CaseInsensitive)) return i;
    return 0;
}

class EnumTableBuilder {
public:
    EnumTableBuilder(LogWindow& log, dao::Database& db, const QString& table, const QString& source)
        : m_log(log), m_db(db), m_table(table), m_source(source), m_alarm(table.contains(QLatin1String("alarm"))) {}

    void run() {
        m_log.addMessage(sprintf("   Update attributes of scanned symbols in {*}", m_table));
        m_log.addMessage(QStringLiteral("      Update attribute 'fupId', 'comment', 'class' and 'varGroup' from datacontainer.h"));
        tableWriter::makeBackup(m_db, m_table);
        m_db.Execute(sprintf("DELETE FROM {*} WHERE \"id\">=0", quoted(m_table)));
        readInputs();

        m_log.updateProgress(0);
        if (m_selection.empty()) return;  // no symbol of these classes: the table keeps its default rows only
        const float step = 1.0f / float(m_selection.size());
        for (size_t i = 0; i < m_selection.size(); ++i) m_log.updateProgress(step, true);
        m_log.updateProgress(0);
        tableWriter::BatchInserter insert(m_db, m_table);
        for (const QVariantList& s : m_selection) {
            QStringList columns;
            QVariantList values;
            buildRow(s, columns, values);
            insert.add(columns, values);
            m_log.updateProgress(step, true);
        }
        insert.flush();
        m_log.updateProgress(0);
    }

private:
    void readInputs() {
        const auto dev = tableWriter::readAll(m_db, sprintf("SELECT \"id\" FROM {*} WHERE \"class\"='CONSTANT' AND \"name\"='APPL_DEVELOPER_NO'",
                                                            quoted(m_source)));
        m_developerNo = dev.empty() ? 1 : int(dev.front()[0].toLongLong() % 1000);
        const QString filter = m_alarm ? QStringLiteral("\"class\"='ALARM'")
                                       : QStringLiteral("(\"class\"='VARIABLE') OR (\"class\"='PARAMETER')");
        m_selection = tableWriter::readAll(
            m_db, sprintf("SELECT \"name\",\"id\",\"fupId\",\"comment\",\"class\",\"varGroup\",\"upDate\" FROM {*} WHERE {*} ORDER BY \"id\"",
                          quoted(m_source), filter));
        const QStringList columns = tableWriter::columnNames(m_db, m_table);
        m_defaults = readRows(m_db, columns, quoted(m_table) + QStringLiteral(" WHERE \"id\"<0"));
        m_backup = readRows(m_db, columns, quoted(m_table + dcTables::kBackupSuffix));
        // Filled from the last row up, so that the first matching row wins, as a look-up does.
        for (size_t i = m_backup.rows.size(); i-- > 0;) {
            m_backupByName.insert(m_backup.value(i, QStringLiteral("name")).toString().toUpper(), i);
            const QVariant id = m_backup.value(i, QStringLiteral("id"));
            if (!id.isNull()) m_backupById.insert(id.toLongLong(), i);
        }
        for (const QString& c : columns)
            if (!dcTables::scannedColumns().contains(c, Qt::CaseInsensitive)) m_attributes << c;
    }

    const QVariantList* previousRow(const QVariantList& s) const {
        const int code = s[sUpDate].toInt();
        if (code == 1) {
            const auto it = m_backupByName.constFind(s[sName].toString().toUpper());
            if (it != m_backupByName.constEnd()) return &m_backup.rows[*it];
        } else if (code == 3) {
            const auto it = m_backupById.constFind(s[sId].toLongLong());
            if (it != m_backupById.constEnd()) return &m_backup.rows[*it];
        }
        return nullptr;
    }

    void buildRow(const QVariantList& s, QStringList& columns, QVariantList& values) {
        for (int c = 0; c < dcTables::scannedColumns().size(); ++c) {
            columns << dcTables::scannedColumns()[c];
            values << s[c];
        }
        const int upDate = values[sUpDate].toInt();
        if (upDate != 1) values[sUpDate] = 0;
        if (const QVariantList* prev = previousRow(s)) {
            for (const QString& a : m_attributes) {
                columns << a;
                values << (*prev)[m_backup.column(a)];
            }
            return;
        }
        auto set = [&](const QString& column, const QVariant& value) {
            if (m_defaults.column(column) < 0) return;  // a column this table does not have
            columns << column;
            values << value;
        };
        set(QStringLiteral("introduced"), m_developerNo);
        if (m_defaults.rows.empty()) {
            if (m_firstNew) {
                m_log.addMessage(QStringLiteral("      There are no default-attributes available for new scanned symbols!"));
                m_log.addMessage(QStringLiteral("      Please fill in manually!!!"));
            }
            if (!m_alarm) {
                set(QStringLiteral("syncCmd"), -1);
                set(QStringLiteral("readAccessLevel"), 7);
                set(QStringLiteral("writeAccessLevel"), 7);
            }
            set(QStringLiteral("producerMask"), 0);
        } else {
            const QString cls = s[sClass].toString();
            if (!m_alarm && cls != m_rememberedClass) {
                m_defaultRow = defaultRowFor(m_defaults, cls == QLatin1String("VARIABLE") ? QStringLiteral("GLB") : QStringLiteral("PAR"));
                m_rememberedClass = cls;
            }
            if (m_firstNew) logDefaultsHeading();
            for (const QString& a : m_attributes) {
                if (sameName(a, "introduced")) continue;
                set(a, m_defaults.rows[m_defaultRow][m_defaults.column(a)]);
                if (m_firstNew) logDefault(a);
            }
        }
        m_firstNew = false;
    }

    void logDefaultsHeading() {
        m_log.addMessage(QStringLiteral("      For new scanned symbols default-attributes are available"));
        m_log.addMessage(QStringLiteral("      Following default-attributes are used:") +
                         (m_alarm ? QString() : QStringLiteral("  for PAR  /  for GLB")));
    }

    void logDefault(const QString& column) {
        const QString label = QString(9, QLatin1Char(' ')) + (column + QLatin1Char(':') + QString(18, QLatin1Char(' '))).left(18);
        const int c = m_defaults.column(column);
        if (m_alarm) {
            m_log.addMessage(label + m_defaults.rows[m_defaultRow][c].toString());
            return;
        }
        const QString par = m_defaults.rows[defaultRowFor(m_defaults, QStringLiteral("PAR"))][c].toString();
        const QString glb = m_defaults.rows[defaultRowFor(m_defaults, QStringLiteral("GLB"))][c].toString();
        m_log.addMessage(label + par + QStringLiteral("  /  ") + glb);
    }

    LogWindow& m_log;
    dao::Database& m_db;
    QString m_table;
    QString m_source;
    bool m_alarm;
    int m_developerNo = 1;
    std::vector<QVariantList> m_selection;
    Rows m_defaults;
    Rows m_backup;
    QHash<QString, size_t> m_backupByName;
    QHash<qint64, size_t> m_backupById;
    QStringList m_attributes;  // every column but the scanned ones, in column order
    bool m_firstNew = true;
    QString m_rememberedClass;
    size_t m_defaultRow = 0;
};

}  // namespace

void g_buildEnumTable(LogWindow& log, const QString& dbPath, const QString& table, const QString& sourceTable) {
    trap("modScanHeaderFiles", "g_buildEnumTable", [&] {
        std::shared_ptr<dao::Database> db;
        if (!modDataBase::g_openDBBothPasswords(dbPath, db, false)) return;
        tableWriter::Savepoint transaction(*db);
        EnumTableBuilder(log, *db, table, sourceTable).run();
        if (!modGlobal::g_debugMode) tableWriter::dropIfExists(*db, table + dcTables::kBackupSuffix);
        transaction.release();
        db->Close();
    });
}

}  // namespace modScanHeaderFiles
