#include "services/failurelog.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace ErrPtnr {
namespace {
const QString kEnd = QStringLiteral("\r\n");
const QString kRule = QString(70, QLatin1Char('-')) + kEnd;
const QString kIndent(10, QLatin1Char(' '));

QString item(const char* title, const QString& value) {
    return kIndent + QString::fromLatin1(title) + QLatin1Char('\t') + value + kEnd;
}
}  // namespace

SystemInfo currentSystem() {
    SystemInfo s;
#ifdef Q_OS_WIN
    s.name = QStringLiteral("Windows NT");  // the platform every supported Windows reports
#else
    s.name = QSysInfo::prettyProductName();
#endif
    // "10.0.19045" on Windows, "6.1.0-18-amd64" on Linux: the rest is the service text.
    static const QRegularExpression re(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?(.*)$"));
    const auto m = re.match(QSysInfo::kernelVersion());
    if (m.hasMatch()) {
        s.major = m.captured(1).toInt();
        s.minor = m.captured(2).toInt();
        s.build = m.captured(3).toInt();
        s.servicePack = m.captured(4);
    }
    return s;
}

QString failureLog(const FailureFacts& f, const QDateTime& when, const SystemInfo& sys) {
    QString log;
    log += kRule;
    log += QStringLiteral("F A I L U R E  - L O G from KELB3817-loader") + kEnd;
    log += kRule;
    log += f.caption + kEnd;
    log += kRule;
    log += QStringLiteral("FAILURE-DESCRIPTION:") + kEnd;
    log += item("Failure-No:", f.failureNo);
    log += item("Module:", f.module);
    log += item("Procedure:", f.procedure);
    log += item("Line-No.:", f.lineNo);
    log += item("Date/Time:", when.toString(QStringLiteral("MM-dd-yyyy")) + QStringLiteral(" / ") + when.toString(QStringLiteral("HH:mm:ss")));
    log += kRule;
    log += QStringLiteral("CALLSTACK:") + kEnd;
    log += kRule;
    log += QStringLiteral("SYSTEMINFO:") + kEnd;
    // An unknown system still ends its line, so the version starts a line of its own.
    log += item("Operating System:", sys.name);
    log += item("Version:", QStringLiteral("%1.%2").arg(sys.major).arg(sys.minor));
    log += item("Build:", QString::number(sys.build & 0xFFFF) + QStringLiteral("   ") + sys.servicePack);
    log += kRule;
    return log;
}

QStringList printerLines(const QString& log) {
    QStringList out;
    QStringList lines = (log + kEnd).split(kEnd);
    lines.removeLast();  // what follows the last line end
    for (QString line : lines) {
        line += QLatin1Char(' ');
        QString printed;
        qsizetype column = 0;
        qsizetype from = 0;
        while (from < line.size()) {
            const qsizetype blank = line.indexOf(QLatin1Char(' '), from);
            const QString word = line.mid(from, blank - from + 1);
            from = blank + 1;
            column += word.size();
            if (column > 73) {
                if (!printed.isEmpty()) out << printed;
                printed = QString(20, QLatin1Char(' '));
                column = word.size();
            }
            printed += word;
        }
        if (!printed.isEmpty()) out << printed;
    }
    return out;
}

}  // namespace ErrPtnr
