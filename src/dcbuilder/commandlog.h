#pragma once
// The frame of a long data-container command's log: the command's title in capitals with
// a rule of dashes, a blank and the date and time; and a closing rule of 82 dashes.
#include "desktop/timeservice.h"
#include "services/modstringfct.h"

#include <QString>

namespace commandLog {

inline QString now() { return modStringFct::sprintf("{*}", TimeService::now()); }
inline QString opening(const QString& title, int dashes) {
    return title + QString(dashes, QLatin1Char('-')) + QLatin1Char(' ') + now();
}
inline QString closing() { return opening(QString(), 82); }

}  // namespace commandLog
