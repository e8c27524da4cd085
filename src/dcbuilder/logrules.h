#pragma once
// The frame of a long builder command in its log: the command's title in capitals, a rule
// of "-" up to 82 characters and the time; at the end a rule of 82 "-" and the time.
#include "desktop/timeservice.h"
#include "services/modstringfct.h"

#include <QString>

namespace builderLog {

inline QString rule(int n) { return QString(n, QLatin1Char('-')); }
inline QString stamp() { return modStringFct::sprintf("{*}", TimeService::now()); }
inline QString openingLine(const QString& title) { return title + rule(82 - int(title.size())) + QLatin1Char(' ') + stamp(); }
inline QString closingLine() { return rule(82) + QLatin1Char(' ') + stamp(); }

}  // namespace builderLog
