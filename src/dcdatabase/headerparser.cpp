#include "dcdatabase/headerparser.h"

#include "services/modstringfct.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

using modStringFct::sprintf;

namespace {

constexpr int kSectionConstants = 1;
constexpr int kFieldWidth = 50;  // fupId and comment columns

int sectionNumber(const QString& name, int current) {
    static const QHash<QString, int> sections = {
        {QStringLiteral("global constants"), 1}, {QStringLiteral("global types"), 2},
        {QStringLiteral("global variables"), 3}, {QStringLiteral("alarms"), 4},
        {QStringLiteral("global on-off-delay"), 5}, {QStringLiteral("global parameters"), 6},
    };
    return sections.value(name, current);
}

// The number a text begins with, as a number parser reads it ("070;x" gives 70).
double leadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    while (i < text.size() && (text[i].isDigit() || text[i] == QLatin1Char('.'))) ++i;
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok ? v : 0.0;
}

// Class and group of an enumerator, by its name.
void classify(ScanRow& row) {
    const QString& n = row.name;
    if (n.startsWith(QLatin1String("FIRST_")) || n.startsWith(QLatin1String("LAST_")))
        row.cls = QStringLiteral("INSTRUCTION");
    else if (n.contains(QLatin1String("INVALID")))
        row.cls = QStringLiteral("CONSTANT");
    else if (n.contains(QLatin1String("DLY_")))
        row.cls = QStringLiteral("DELAY_INST");
    else if (n.startsWith(QLatin1String("NUM_")))
        row.cls = QStringLiteral("CONSTANT");
    else if (n.startsWith(QLatin1String("PAR_"))) {
        row.cls = QStringLiteral("PARAMETER");
        row.varGroup = QStringLiteral("GLB");
    }
}

// The lines of a header file, tabs as blanks.
QStringList readLines(const QByteArray& bytes) {
    QString text = modStringFct::fromTextFile(bytes);
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return modStringFct::textLines(text);
}

}  // namespace

HeaderParser::HeaderParser(ScanLogWindow& log, std::vector<ScanRow>& rows) : m_log(log), m_rows(rows) {
    m_log.sc().setNameResolver([this](const QString& name) -> std::optional<qint64> {
        const auto it = m_ids.constFind(name.toUpper());
        if (it == m_ids.constEnd()) return std::nullopt;
        return *it;
    });
}

HeaderParser::~HeaderParser() { m_log.sc().setNameResolver({}); }

bool HeaderParser::scanSource(const QString& path, int& lineCounter) {
    m_log.addMessage(QStringLiteral("   Scan file ") + path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    file.close();
    m_fileName = QFileInfo(path).fileName();
    m_lineBase = lineCounter;

    bool inside = false;
    int section = 0;
    int enums = 0;
    int defines = 0;
    int sections = 0;
    int sectionLine = 0;     // the line of the open section's marker
    size_t sectionRows = 0;  // rows scanned before it
    // A section without a symbol means a file misread or cut, never an empty table.
    const auto endSection = [&] {
        if (inside && m_rows.size() == sectionRows) report(sectionLine, QStringLiteral("the scan section yields no symbol"));
    };
    const QStringList lines = readLines(bytes);
    // A NUL byte would cut a name or a comment short where it stands: no text header has one.
    if (bytes.contains('\0')) {
        qsizetype at = 0;  // a decoding that hides the NUL still refuses the file, at its top
        while (at < lines.size() && !lines[at].contains(QChar(u'\0'))) ++at;
        report(lineCounter + int(at < lines.size() ? at : 0) + 1,
               QStringLiteral("the line holds a NUL byte: the file is no plain-text header"));
        m_log.updateProgress(0, false);
        return true;
    }
    const double size = bytes.isEmpty() ? 1.0 : double(bytes.size());
    for (QString line : lines) {
        ++lineCounter;
        m_log.updateProgress(float(double(line.size()) / size), true);
        if (line.left(12) == QLatin1String("// scanStart")) {
            endSection();
            section = sectionNumber(line.mid(14).trimmed().toLower(), section);
            inside = true;
            ++sections;
            sectionLine = lineCounter;
            sectionRows = m_rows.size();
        } else if (line.left(10) == QLatin1String("// scanEnd")) {
            endSection();
            inside = false;
        }
        if (!inside) continue;
        if (section == kSectionConstants)
            defines += scanDefine(line, lineCounter);
        else
            enums += scanEnumeration(line, lineCounter);
    }
    endSection();
    if (sections == 0) {
        m_log.addMessage(sprintf("      {*}: the file has no scan section (no line begins with \"// scanStart\")", m_fileName));
        m_failed = true;
    }
    // Nothing of an unfinished entry may reach the next file, nor go unnoticed.
    if (m_enumState != 0) report(lineCounter, QStringLiteral("the file ends inside an enumeration"));
    if (!m_pendingDefine.isEmpty()) report(lineCounter, QStringLiteral("the file ends inside a continued line"));
    // Only "// scanEnd" closes a section: one that runs to the end of the file is a file cut
    // short until shown otherwise, and its rows would replace the whole table.
    if (inside)
        report(sectionLine, QStringLiteral("the scan section reaches the end of the file without \"// scanEnd\" "
                                           "(the file may be cut short; every scan section must end with a line \"// scanEnd\")"));
    m_enumState = 0;
    m_pendingEntry.clear();
    m_entryComment.clear();
    m_pendingDefine.clear();

    m_log.addMessage(sprintf("      {*} enums and {*} defines scanned", enums, defines));
    m_log.updateProgress(0, false);
    return true;
}

QString HeaderParser::formatLine(QString& line, QString& comment) {
    line = line.trimmed();
    if (line.contains(QLatin1String("/*"))) {
        line.replace(QLatin1String("/*"), QLatin1String("//"));
        line.remove(QLatin1String("*/"));
    }
    const qsizetype slash = line.indexOf(QLatin1String("//"));
    if (slash >= 0) {
        comment = line.mid(slash + 2);
        qsizetype i = 0;
        while (i < comment.size() && comment[i] == QLatin1Char(' ')) ++i;
        comment.remove(0, i);
        line.truncate(slash);
    }
    while (line.contains(QLatin1String("  "))) line.replace(QLatin1String("  "), QLatin1String(" "));
    line.remove(QLatin1Char(','));
    line = line.trimmed();
    return line;
}

void HeaderParser::splitComment(const QString& comment, QVariant& fupId, QVariant& text) {
    const qsizetype semi = comment.indexOf(QLatin1Char(';'));
    if (semi >= 0 && (leadingNumber(comment) > 0 || comment.startsWith(QLatin1Char('?')))) {
        fupId = comment.left(semi).trimmed().left(kFieldWidth);
        text = comment.mid(semi + 1).trimmed().left(kFieldWidth);
    } else {
        fupId = QString(QLatin1String(""));
        text = comment.trimmed().left(kFieldWidth);
    }
}

int HeaderParser::scanDefine(QString& line, int lineCounter) {
    line = m_pendingDefine + line;
    if (line.endsWith(QLatin1Char('\\'))) {
        m_pendingDefine = line.left(line.size() - 1);
        return 0;
    }
    m_pendingDefine.clear();
    if (line.left(7) != QLatin1String("#define")) return 0;
    QString comment;
    formatLine(line, comment);
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // A define without a value, or a macro with parameters, is no constant.
    if (words.size() < 3 || words[1].contains(QLatin1Char('('))) return 0;
    const QString& name = words[1];
    const scriptcontrol::EvalResult r = m_log.sc().Eval(words.mid(2).join(QLatin1Char(' ')));
    if (r.kind == scriptcontrol::EvalResult::Kind::Text) return 0;  // a string constant
    if (!r.isNumber() || (r.isUnsigned && r.value < 0)) {
        report(lineCounter, sprintf("cannot evaluate {*}: {*}", name,
                                    r.isNumber() ? sprintf("{*} does not fit a signed 64-bit id", r.numberText()) : r.error));
        return 0;
    }
    ScanRow row;
    row.name = name;
    row.id = r.value;
    row.cls = name.startsWith(QLatin1String("FIRST_")) ? QStringLiteral("INSTRUCTION") : QStringLiteral("CONSTANT");
    row.sourceLine = lineCounter;
    addRow(std::move(row));
    return 1;
}

int HeaderParser::scanEnumeration(QString& line, int lineCounter) {
    if (m_enumState == 0) {
        if (line.left(12) == QLatin1String("typedef enum")) {
            m_enumState = 1;
            m_enumValue = -1;
            m_pendingEntry.clear();
            m_entryComment.clear();
        }
        return 0;
    }
    if (m_enumState == 1) {
        if (line == QLatin1String("{")) m_enumState = 2;
        return 0;
    }
    qsizetype p = line.indexOf(QLatin1String("//"));
    if (p < 0) p = line.size();
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    const bool open = (comma < 0 || comma > p) && !line.startsWith(QLatin1Char('}'));
    const QString cleaned = formatLine(line, m_entryComment);
    if (open) {
        if (!m_pendingEntry.isEmpty()) m_pendingEntry += QLatin1Char(' ');
        m_pendingEntry += cleaned;
        return 0;
    }
    QString entry = m_pendingEntry;
    if (cleaned.startsWith(QLatin1Char('}')))
        m_enumState = 0;
    else
        entry += (entry.isEmpty() ? QString() : QStringLiteral(" ")) + cleaned;
    m_pendingEntry.clear();
    const int added = addEnumerator(entry.trimmed(), lineCounter);
    m_entryComment.clear();
    return added;
}

int HeaderParser::addEnumerator(const QString& entry, int lineCounter) {
    // A comma before the closing brace, or an empty enumeration, leaves no entry.
    if (entry.isEmpty()) return 0;
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    const QString name = (eq < 0 ? entry : entry.left(eq)).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    ++m_enumValue;
    if (name.isEmpty()) {
        report(lineCounter, sprintf("an enumerator has no name: {*}", entry));
        return 0;
    }
    if (eq >= 0) {
        const scriptcontrol::EvalResult r = m_log.sc().Eval(entry.mid(eq + 1));
        if (!r.isNumber() || (r.isUnsigned && r.value < 0)) {
            const QString reason = r.isNumber() ? sprintf("{*} does not fit a signed 64-bit id", r.numberText())
                                   : r.kind == scriptcontrol::EvalResult::Kind::Text ? QStringLiteral("a string is no value")
                                                                                     : r.error;
            report(lineCounter, sprintf("cannot evaluate {*}: {*}", name, reason));
            return 0;
        }
        m_enumValue = r.value;
    }
    ScanRow row;
    row.name = name;
    row.id = m_enumValue;
    splitComment(m_entryComment, row.fupId, row.comment);
    classify(row);
    row.sourceLine = lineCounter;
    addRow(std::move(row));
    return 1;
}

void HeaderParser::addRow(ScanRow row) {
    const QString key = row.name.toUpper();
    if (!m_ids.contains(key)) m_ids.insert(key, row.id);
    m_rows.push_back(std::move(row));
}

void HeaderParser::report(int lineCounter, const QString& what) {
    m_log.addMessage(sprintf("      {*} line {*}: {*}", m_fileName, lineCounter - m_lineBase, what));
    m_failed = true;
}
