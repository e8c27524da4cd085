#include "dao/sqlitecore.h"

#include <QDateTime>

namespace dao::detail {

void fail(long number, const QString& description) { throw RuntimeError(number, description); }

void failEngine(sqlite3* db, int rc) {
    const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    long number = errSyntax;
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT: number = errDuplicate; break;
    case SQLITE_READONLY: number = errReadOnly; break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: number = errLocked; break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: number = errNotADatabase; break;
    case SQLITE_CANTOPEN: number = errCannotOpen; break;
    case SQLITE_MISMATCH: number = errTypeMismatch; break;
    default:
        if (msg.startsWith(QLatin1String("no such table"))) number = errNoSuchTable;
    }
    fail(number, msg);
}

QString dateText(const QVariant& v) {
    const QDateTime dt = v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime();
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString quoteIdent(const QString& name) {
    QString n = name;
    return QLatin1Char('"') + n.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

bool isDateDeclared(const QString& declType) {
    const QString t = declType.trimmed().toUpper();
    return t.startsWith(QLatin1String("DATE")) || t.startsWith(QLatin1String("TIMESTAMP"));
}

Stmt::Stmt(sqlite3* db, const QString& sql) : m_db(db) {
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, &tail);
    if (rc != SQLITE_OK) failEngine(db, rc);
    if (tail) m_tail = QString::fromUtf8(tail, int(text.constData() + text.size() - tail));
}

Stmt prepareOne(sqlite3* db, const QString& sql) {
    Stmt st(db, sql);
    if (!st) fail(errInvalidOperation, QStringLiteral("Invalid SQL statement: '%1'.").arg(sql));
    const QString rest = st.tail().trimmed();
    if (!rest.isEmpty() && rest != QLatin1String(";")) fail(errTextAfterEnd, QStringLiteral("Characters found after end of SQL statement."));
    return st;
}

Stmt& Stmt::operator=(Stmt&& o) noexcept {
    if (this != &o) {
        sqlite3_finalize(m_stmt);
        m_db = o.m_db;
        m_stmt = o.m_stmt;
        m_tail = std::move(o.m_tail);
        o.m_stmt = nullptr;
    }
    return *this;
}

void Stmt::bindAll(const QVariantList& params, int first) {
    const int n = paramCount() - first + 1;
    if (n > params.size()) fail(errTooFewParameters, QStringLiteral("Too few parameters. Expected %1.").arg(n));
    if (n < params.size()) fail(errSyntax, QStringLiteral("Too many parameters. Expected %1.").arg(n));
    for (int i = 0; i < n; ++i) bind(first + i, params[i]);
}

void Stmt::bind(int index, const QVariant& v) {
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (v.typeId()) {
        case QMetaType::Bool: rc = sqlite3_bind_int64(m_stmt, index, v.toBool() ? -1 : 0); break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar: rc = sqlite3_bind_int64(m_stmt, index, v.toLongLong()); break;
        case QMetaType::Double:
        case QMetaType::Float: rc = sqlite3_bind_double(m_stmt, index, v.toDouble()); break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QByteArray t = dateText(v).toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        default: {
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        }
    }
    if (rc != SQLITE_OK) failEngine(m_db, rc);
}

bool Stmt::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(m_stmt);
    failEngine(m_db, rc);
}

QString Stmt::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }

QString Stmt::declType(int i) const { return QString::fromUtf8(sqlite3_column_decltype(m_stmt, i)); }

QVariant Stmt::value(int i, bool isDate) const {
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_NULL: return QVariant();
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(m_stmt, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(m_stmt, i));
    case SQLITE_BLOB: {
        const char* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, i));
        return QVariant(QByteArray(p, sqlite3_column_bytes(m_stmt, i)));
    }
    default: break;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i)),
                                           sqlite3_column_bytes(m_stmt, i));
    if (isDate) {
        QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid()) dt = QDateTime::fromString(text, Qt::ISODate);
        if (!dt.isValid()) dt = QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).startOfDay();
        if (dt.isValid()) return QVariant(dt);
    }
    return QVariant(text);
}

}  // namespace dao::detail
