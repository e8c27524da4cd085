#pragma once
// The header-line parser: turns the lines of a C header file of the module software into
// rows of the symbol table, one per numeric #define constant and one per enumerator, in
// the sections the file marks with "// scanStart" and "// scanEnd". One parser serves one
// scan: its state (a continued #define, an open enumeration) never reaches another scan.
#include "dcdatabase/logwindow.h"
#include "dcdatabase/scanrow.h"

#include <QHash>
#include <QString>
#include <vector>

class HeaderParser {
public:
    // Rows are appended to `rows`; names in expressions resolve to the rows scanned so far.
    HeaderParser(ScanLogWindow& log, std::vector<ScanRow>& rows);
    ~HeaderParser();
    HeaderParser(const HeaderParser&) = delete;
    HeaderParser& operator=(const HeaderParser&) = delete;

    // Parses one file; the line counter starts at the file's base and is written to
    // `sourceLine`. False when the file cannot be opened.
    bool scanSource(const QString& path, int& lineCounter);
    // True once a symbol could not be evaluated, a file ended inside an enumeration, a
    // continued line or a scan section, a file had no scan section or held a NUL byte, or a
    // section gave no symbol; each was reported with its file (and line).
    bool failed() const { return m_failed; }

    // Cleans a line: trimmed, "/* */" comments made "//", the comment taken out into
    // `comment` (left as it was when the line has none), blanks collapsed, commas removed.
    static QString formatLine(QString& line, QString& comment);
    // The fupId and comment columns of an enumerator comment.
    static void splitComment(const QString& comment, QVariant& fupId, QVariant& text);

private:
    int scanDefine(QString& line, int lineCounter);
    int scanEnumeration(QString& line, int lineCounter);
    int addEnumerator(const QString& entry, int lineCounter);
    void addRow(ScanRow row);
    void report(int lineCounter, const QString& what);

    ScanLogWindow& m_log;
    std::vector<ScanRow>& m_rows;
    QHash<QString, qint64> m_ids;  // upper-cased name -> id of its first row, as the table looks names up

    QString m_pendingDefine;
    int m_enumState = 0;  // 0 outside an enumeration, 1 after "typedef enum", 2 inside the braces
    qint64 m_enumValue = 0;
    QString m_pendingEntry;
    QString m_entryComment;

    QString m_fileName;
    int m_lineBase = 0;
    bool m_failed = false;
};
