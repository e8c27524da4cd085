// File-name operations. Paths are worked on with "/" inside (so that "\" and "/" are both
// separators) and handed back with the native separator.
#include "services/modfilefct.h"

#include "services/modmsgbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

namespace modFileFct {

namespace {

QString internal(QString path) { return path.replace(QLatin1Char('\\'), QLatin1Char('/')); }
QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// The directory part of an internal path, separator included ("" when there is none).
QString dirPart(const QString& p) { return p.left(p.lastIndexOf(QLatin1Char('/')) + 1); }

// The file system's wildcard match of a name: "?" one character, "*" any run, no other
// special characters, case ignored as on the file systems the files come from.
QRegularExpression wildcard(const QString& namePattern) {
    QString rx;
    for (const QChar c : namePattern) {
        if (c == QLatin1Char('?')) rx += QLatin1Char('.');
        else if (c == QLatin1Char('*')) rx += QLatin1String(".*");
        else rx += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(rx), QRegularExpression::CaseInsensitiveOption);
}

// The names of the files that match the internal pattern, in name order; nothing when the
// directory cannot be listed (invalid drive or path).
std::optional<QStringList> listFiles(const QString& pattern) {
    const QString dir = dirPart(pattern);
    const QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
    if (!d.exists() || !QFileInfo(d.path()).isReadable()) return std::nullopt;
    const QRegularExpression re = wildcard(pattern.mid(dir.size()));
    QStringList out;
    for (const QString& name : d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (re.match(name).hasMatch()) out << name;
    return out;
}

// The number at the start of a version text (0 when it starts with no digit).
int versionValue(const QString& text) {
    int v = 0;
    for (const QChar c : text) {
        if (!c.isDigit() || v > 99999999) break;
        v = v * 10 + c.digitValue();
    }
    return v;
}

struct VersionPlace {
    qsizetype dash;    // index of the "-" in front of the digits
    qsizetype digits;  // number of digits
};

// "-temp" in place of the version, last character dropped (".mdb" becomes ".md"), so the
// working copy never matches the pattern; and the given version in place of the digits,
// empty when it needs more digits than the pattern has.
QString workingCopyOf(const QString& name, VersionPlace vp) {
    QString w = name.left(vp.dash) + QLatin1String("-temp") + name.mid(vp.dash + 1 + vp.digits);
    w.chop(1);
    return w;
}

QString versionOf(const QString& name, VersionPlace vp, int version) {
    const QString digits = QString::number(version).rightJustified(vp.digits, QLatin1Char('0'));
    if (digits.size() > vp.digits) return QString();
    return name.left(vp.dash) + QLatin1Char('-') + digits + name.mid(vp.dash + 1 + vp.digits);
}

}  // namespace

QString g_fullName(const QString& directory, const QString& fileName) {
    const QString d = internal(directory);
    QString f = internal(fileName);
    while (f.startsWith(QLatin1Char('/'))) f.remove(0, 1);
    if (d.isEmpty()) return native(f);
    return native(d.endsWith(QLatin1Char('/')) ? d + f : d + QLatin1Char('/') + f);
}

QString g_fileName(const QString& path) {
    const QString p = internal(path);
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

QString g_filePath(const QString& path) {
    const QString p = internal(path);
    const qsizetype k = p.lastIndexOf(QLatin1Char('/'));
    if (k < 0) return QString();                   // no folder in the name
    if (k == 0) return native(QStringLiteral("/"));  // a file in the root
    return native(p.left(k));
}

QString g_getHighestFileVersion(QString pattern, QString& workingCopyName, QString& nextName) {
    pattern = internal(pattern);
    const qsizetype dash = pattern.indexOf(QLatin1String("-?"));
    if (dash < 0) return QString();
    const VersionPlace vp{dash, pattern.lastIndexOf(QLatin1Char('?')) - dash};
    const QString dir = dirPart(pattern);
    const std::optional<QStringList> names = listFiles(pattern);
    if (!names) return QString();

    int best = 0;
    QString bestPath;
    for (const QString& name : *names) {
        const QString full = dir + name;
        const QString version = full.mid(vp.dash + 1, vp.digits);
        if (version == QString(vp.digits, QLatin1Char('0'))) {
            modMsgBox::g_errMsgBox(QStringLiteral("Invalid Data Container version number: ") + version);
            return native(bestPath);
        }
        const int v = versionValue(version);
        if (v > best) {
            best = v;
            bestPath = full;
        }
    }
    if (!bestPath.isEmpty()) {
        workingCopyName = native(workingCopyOf(bestPath, vp));
        nextName = native(versionOf(bestPath, vp, best + 1));
        return native(bestPath);
    }

    // No numbered version: the unversioned file, if there is one, is version 0.
    const QString plain = pattern.left(vp.dash) + pattern.mid(vp.dash + 1 + vp.digits);
    const std::optional<QStringList> plainNames = listFiles(plain);
    if (!plainNames || plainNames->isEmpty()) return QString();
    workingCopyName = native(workingCopyOf(pattern, vp));
    nextName = native(versionOf(pattern, vp, 1));
    return native(dir + plainNames->first());
}

QString g_getHighestFileVersion(const QString& pattern) {
    QString workingCopy, next;
    return g_getHighestFileVersion(pattern, workingCopy, next);
}

QString g_getDcName(const QString& pattern) {
    const QString p = internal(pattern);
    const std::optional<QStringList> names = listFiles(p);
    if (!names || !names->isEmpty()) return native(p);

    // A file with a further name part in front of "-PXM": take its longer prefix. Only
    // the name is widened, never the directory.
    const QString dir = dirPart(p);
    const QString name = p.mid(dir.size());
    const qsizetype pxm = name.indexOf(QLatin1String("-PXM"));
    if (pxm < 0) return native(p);
    QString widened = name;
    widened.replace(QLatin1String("-PXM"), QLatin1String("-*-PXM")).replace(QLatin1String("-???"), QLatin1String("*"));
    const std::optional<QStringList> found = listFiles(dir + widened);
    if (!found || found->isEmpty()) return native(p);
    const QString first = found->first();
    const qsizetype foundPxm = first.indexOf(QLatin1String("-PXM"), 0, Qt::CaseInsensitive);
    return native(dir + first.left(foundPxm) + name.mid(pxm));
}

int g_checkFile(const QString& path, bool mustBeWriteable, bool showMessages) {
    const QString p = internal(path);
    const QString shown = native(p);
    const QFileInfo fi(p);
    if (p.isEmpty() || !fi.isFile()) {
        const QFileInfo dir(fi.absolutePath());
        if (p.isEmpty() || !dir.isDir()) {
            if (showMessages) modMsgBox::g_errorMsgBox(shown + QLatin1String("\r\nNo valid drive or path!"), QString(), true);
            return checkFileInvalidPath;
        }
        if (showMessages) modMsgBox::g_errorMsgBox(shown + QLatin1String("\r\nFile not found!"), QString(), true);
        return checkFileNotFound;
    }
    // The read-only attribute is the owner's write permission.
    if (!mustBeWriteable || (fi.permissions() & QFileDevice::WriteOwner)) return checkFileOk;
    if (!modMsgBox::g_questionMsgBox(shown + QLatin1String(" is read-only.\r\nIt must be writeable to execute the program!\r\n\r\n"
                                                           "Do you want to make it writeable?"),
                                     QString(), true))
        return checkFileReadOnlyDeclined;
    QFile::setPermissions(p, fi.permissions() | QFileDevice::WriteOwner);
    if (!(QFileInfo(p).permissions() & QFileDevice::WriteOwner)) {
        modMsgBox::g_errorMsgBox(shown + QLatin1String("\r\nFile couldn't be made writeable!"), QString(), true);
        return checkFileNotWriteable;
    }
    return checkFileOk;
}

}  // namespace modFileFct
