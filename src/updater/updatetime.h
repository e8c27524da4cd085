#pragma once
// The date and time as the update log and the report write them: the system's short date
// and the long time.
#include "desktop/timeservice.h"

#include <QLocale>
#include <QString>

namespace updateTime {
inline QString nowText() {
    const QDateTime t = TimeService::now();
    return QLocale::system().toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           t.time().toString(QStringLiteral("hh:mm:ss"));
}
}  // namespace updateTime
