#include "excel/dateformat.h"

#include <QDateTime>
#include <cmath>

namespace excel::detail {
namespace {

constexpr double kLastSerial = 2958465.0;  // 9999-12-31, the last day a workbook shows

QString text(const QDate& date, const QTime& time, DateKind kind) {
    switch (kind) {
    case DateKind::Date: return date.toString(QStringLiteral("yyyy-MM-dd"));
    case DateKind::Time: return time.toString(QStringLiteral("HH:mm:ss"));
    default: return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
    }
}

}  // namespace

DateKind builtinFormatKind(int id) {
    if (id >= 14 && id <= 17) return DateKind::Date;
    if (id >= 18 && id <= 21) return DateKind::Time;
    if (id == 22) return DateKind::DateTime;
    return DateKind::None;
}

DateKind formatCodeKind(const QString& code) {
    bool yearOrDay = false, month = false, time = false;
    const QString first = code.section(QLatin1Char(';'), 0, 0);  // the section of positive numbers
    for (qsizetype i = 0; i < first.size(); ++i) {
        const QChar c = first[i].toLower();
        if (c == QLatin1Char('"')) {  // quoted text
            const qsizetype end = first.indexOf(QLatin1Char('"'), i + 1);
            i = end < 0 ? first.size() : end;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;  // an escaped character, a blank of a character's width, a fill character
        } else if (c == QLatin1Char('[')) {
            // A locale or colour in brackets; [h], [mm] and [ss] are elapsed times.
            const qsizetype end = first.indexOf(QLatin1Char(']'), i + 1);
            const QString inner = first.mid(i + 1, (end < 0 ? first.size() : end) - i - 1).toLower();
            if (!inner.isEmpty() && inner.count(inner[0]) == inner.size() &&
                (inner[0] == QLatin1Char('h') || inner[0] == QLatin1Char('m') || inner[0] == QLatin1Char('s')))
                time = true;
            i = end < 0 ? first.size() : end;
        } else if (c == QLatin1Char('y') || c == QLatin1Char('d')) {
            yearOrDay = true;
        } else if (c == QLatin1Char('m')) {
            month = true;
        } else if (c == QLatin1Char('h') || c == QLatin1Char('s')) {
            time = true;
        }
    }
    // "m" beside hours or seconds alone is minutes: "mm:ss" is a time, "mmm" a date.
    const bool date = yearOrDay || (month && !time);
    if (date && time) return DateKind::DateTime;
    if (date) return DateKind::Date;
    if (time) return DateKind::Time;
    return DateKind::None;
}

std::optional<QString> serialDateText(double serial, DateKind kind, bool date1904) {
    if (!std::isfinite(serial) || serial < 0 || serial >= kLastSerial + 1) return std::nullopt;
    double day = std::floor(serial);
    qint64 seconds = qint64(std::llround((serial - day) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    QDate date;
    if (date1904)
        date = QDate(1904, 1, 1).addDays(qint64(day));
    else  // the day numbers before March 1900 count a 29 February that was not
        date = day < 61 ? QDate(1899, 12, 31).addDays(qint64(day)) : QDate(1899, 12, 30).addDays(qint64(day));
    return text(date, QTime(0, 0).addSecs(int(seconds)), kind);
}

std::optional<QString> isoDateText(const QString& value, DateKind styled) {
    const QString v = value.trimmed();
    if (const QTime t = QTime::fromString(v, Qt::ISODateWithMs); t.isValid() && !v.contains(QLatin1Char('-')))
        return text(QDate(), t, DateKind::Time);
    QDateTime dt = QDateTime::fromString(v, Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(v, Qt::ISODate);
        if (!d.isValid()) return std::nullopt;
        dt = QDateTime(d, QTime(0, 0));
    }
    const DateKind kind = styled != DateKind::None ? styled
                          : dt.time() == QTime(0, 0) ? DateKind::Date
                                                     : DateKind::DateTime;
    return text(dt.date(), dt.time(), kind);
}

}  // namespace excel::detail
