#include "mainwindow/startupswitches.h"

#include "desktop/runtimeerror.h"
#include "services/modglobal.h"

#include <QDir>
#include <QRegularExpression>

namespace startupSwitches {
namespace {
const QChar sep = QDir::separator();

// Folders come in either separator; the program works with the native one.
QString native(QString path) {
    if (sep == QLatin1Char('/')) path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::toNativeSeparators(path);
}

QString withTrailingSeparator(const QString& dir) {
    return dir.endsWith(sep) ? dir : dir + sep;
}

// Where the value of "/db=" ends. Where "\" separates folders, the next "/" starts the next
// switch; where "/" separates them, only a "/" after a blank does.
int valueEnd(const QString& value) {
    if (sep == QLatin1Char('\\')) return value.indexOf(QLatin1Char('/'));
    static const QRegularExpression nextSwitch(QStringLiteral("\\s/"));
    return value.indexOf(nextSwitch);
}

const QString dbKey = QStringLiteral("/db=");

// Where the "/db=" value lies in the line: its first character and its length (-1: to the
// end of the line); at = -1 when there is none.
struct DbValue {
    int at = -1;
    int length = -1;
};
DbValue findDbValue(const QString& commandLine) {
    DbValue v;
    const int key = commandLine.indexOf(dbKey, 0, Qt::CaseSensitive);
    if (key < 0) return v;
    v.at = key + dbKey.size();
    v.length = valueEnd(commandLine.mid(v.at));
    return v;
}

// The line without the "/db=" value: a folder named "develop" or "QTM" is no switch.
QString switchesOnly(const QString& commandLine) {
    const DbValue v = findDbValue(commandLine);
    if (v.at < 0) return commandLine;
    return commandLine.left(v.at) + (v.length < 0 ? QString() : commandLine.mid(v.at + v.length));
}
}  // namespace

bool hasSwitch(const QString& commandLine, const QString& sw) {
    return switchesOnly(commandLine).contains(sw, Qt::CaseSensitive);
}

Modes readModes(const QString& commandLine) {
    Modes m;
    m.debugMode = hasSwitch(commandLine, QStringLiteral("/debug"));
    if (hasSwitch(commandLine, QStringLiteral("/QTM"))) {
        m.qtmMode = true;
        m.moduleKind = QStringLiteral("QTM");
    } else if (hasSwitch(commandLine, QStringLiteral("/BZM"))) {
        m.bzmMode = true;
        m.moduleKind = QStringLiteral("BZM");
    } else {
        m.moduleKind = QStringLiteral("PXM");
        m.updateMode = true;
    }
    m.develop = hasSwitch(commandLine, QStringLiteral("/develop"));
    return m;
}

QString developmentRoot() {
    if (sep == QLatin1Char('\\')) return QStringLiteral("c:\\KELB3817\\");
    return withTrailingSeparator(QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/KELB3817")));
}

QString configDbDir(const QString& commandLine, const QString& programDir) {
    const QString own = withTrailingSeparator(native(programDir));
    const DbValue v = findDbValue(commandLine);
    if (v.at < 0) return own;
    const QString value = commandLine.mid(v.at, v.length).trimmed();
    if (value.contains(QLatin1Char('\\')) || value.contains(QLatin1Char('/'))) return withTrailingSeparator(native(value));
    if (hasSwitch(commandLine, QStringLiteral("/IDE"))) return withTrailingSeparator(developmentRoot() + value);
    return own;
}

bool truthValue(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok) throw RuntimeError(13, QStringLiteral("Type mismatch"));
    return d != 0;
}

qint32 baseAddress(const QString& stem, bool bigMem, const ItemReader& item) {
    struct BuiltIn {
        const char* stem;
        qint32 big;
        qint32 small;
    };
    static const BuiltIn builtIn[] = {
        {"baseAdrDC_", 0x60000, 0xC0000},
        {"baseAdrFPGA_", 0x30000, 0xD0000},
        {"baseAdrAppl_", 0x100000, 0x30000},
    };
    const qint32 v = modGlobal::hexValue(item(stem + (bigMem ? QStringLiteral("bigMem") : QStringLiteral("smallMem"))));
    if (v != 0) return v;
    for (const BuiltIn& b : builtIn)
        if (stem == QLatin1String(b.stem)) return bigMem ? b.big : b.small;
    return 0;
}

}  // namespace startupSwitches
