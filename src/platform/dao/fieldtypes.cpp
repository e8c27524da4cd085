#include "dao/fieldtypes.h"

#include "dao/sqlitecore.h"

#include <QRegularExpression>

namespace dao::detail {

namespace {
// Jet's largest text field, used where a text field is given no size.
constexpr int kDefaultTextSize = 255;

struct TypeName {
    const char* name;
    int type;
};
// The first name of each type is the one tables are created with.
const TypeName kTypes[] = {
    {"BOOLEAN", dbBoolean}, {"BIT", dbBoolean}, {"YESNO", dbBoolean}, {"BOOL", dbBoolean},
    {"TINYINT", dbByte}, {"BYTE", dbByte},
    {"SMALLINT", dbInteger}, {"SHORT", dbInteger},
    {"INTEGER", dbLong}, {"INT", dbLong}, {"LONG", dbLong}, {"MEDIUMINT", dbLong},
    {"CURRENCY", dbCurrency}, {"MONEY", dbCurrency},
    {"FLOAT", dbSingle}, {"SINGLE", dbSingle},
    {"REAL", dbDouble}, {"DOUBLE", dbDouble}, {"DOUBLE PRECISION", dbDouble}, {"NUMERIC", dbDouble}, {"DECIMAL", dbDouble},
    {"DATETIME", dbDate}, {"DATE", dbDate}, {"TIMESTAMP", dbDate}, {"TIME", dbDate},
    {"BINARY", dbBinary}, {"VARBINARY", dbBinary},
    {"TEXT", dbText}, {"VARCHAR", dbText}, {"CHAR", dbText}, {"NVARCHAR", dbText}, {"NCHAR", dbText},
    {"MEMO", dbMemo}, {"LONGTEXT", dbMemo}, {"CLOB", dbMemo},
    {"BLOB", dbLongBinary}, {"LONGBINARY", dbLongBinary}, {"IMAGE", dbLongBinary}, {"OLEOBJECT", dbLongBinary},
    {"GUID", dbGUID}, {"UNIQUEIDENTIFIER", dbGUID},
    {"BIGINT", dbBigInt},
};

QString firstName(int type) {
    for (const TypeName& t : kTypes)
        if (t.type == type) return QString::fromLatin1(t.name);
    fail(errInvalidOperation, QStringLiteral("Invalid field data type %1.").arg(type));
}
}  // namespace

QString declaredType(const FieldDef& f) {
    switch (f.type) {
    case dbText: return QStringLiteral("TEXT(%1)").arg(f.size > 0 ? f.size : kDefaultTextSize);
    case dbMemo: return QStringLiteral("TEXT");  // plain TEXT is a memo; a sized one is a text field
    case dbBinary: return f.size > 0 ? QStringLiteral("BINARY(%1)").arg(f.size) : QStringLiteral("BINARY");
    default: return firstName(f.type);
    }
}

QString columnDefinition(const FieldDef& f) {
    QString def = quoteIdent(f.name) + QLatin1Char(' ') + declaredType(f);
    if (f.type == dbText || f.type == dbMemo) def += QLatin1String(" COLLATE NOCASE");
    return def;
}

bool isTextDeclared(const QString& declType) {
    const QString t = declType.toUpper();
    return t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT"));
}

FieldDef fieldFromDeclared(const QString& name, const QString& declType) {
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z][A-Za-z ]*?)\\s*(?:\\(\\s*(\\d+)\\s*(?:,\\s*\\d+\\s*)?\\))?\\s*$"));
    FieldDef f;
    f.name = name;
    const QRegularExpressionMatch m = re.match(declType);
    const QString base = m.hasMatch() ? m.captured(1).simplified().toUpper() : declType.trimmed().toUpper();
    const int size = m.hasMatch() ? m.captured(2).toInt() : 0;
    bool known = false;
    for (const TypeName& t : kTypes)
        if (base == QLatin1String(t.name)) {
            f.type = t.type;
            known = true;
            break;
        }
    if (!known) {
        // SQLite's own affinity rules decide for names of no known type.
        const QString u = declType.toUpper();
        f.type = u.contains(QLatin1String("INT")) ? dbLong
                 : isTextDeclared(u)              ? dbMemo
                 : u.contains(QLatin1String("BLOB")) || u.trimmed().isEmpty() ? dbLongBinary
                                                                             : dbDouble;
    }
    if (f.type == dbText && base == QLatin1String("TEXT") && size == 0) f.type = dbMemo;
    if (f.type == dbMemo && size > 0) f.type = dbText;
    if (f.type == dbText || f.type == dbBinary) f.size = size;
    return f;
}

}  // namespace dao::detail
