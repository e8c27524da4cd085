#pragma once
// The failure log of the error dialog: the text it prints, saves and mails, and the
// printer's line wrapping.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace ErrPtnr {

// What the log says of the operating system.
struct SystemInfo {
    QString name;  // "Windows NT" on Windows, else the system's product name
    int major = 0;
    int minor = 0;
    int build = 0;
    QString servicePack;
};
SystemInfo currentSystem();

// What the dialog shows of one error.
struct FailureFacts {
    QString caption;    // the dialog's caption
    QString failureNo;  // "13 (Type mismatch)"
    QString module;
    QString procedure;
    QString lineNo;
};

// The log, every line ended by CR LF.
QString failureLog(const FailureFacts& facts, const QDateTime& when, const SystemInfo& system);

// The printer lines of a log: lines longer than 73 columns wrap at blanks, continuation
// lines start with 20 blanks, and each line carries one trailing blank.
QStringList printerLines(const QString& log);

}  // namespace ErrPtnr
