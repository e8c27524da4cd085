#include "dcdatabase/logwindow.h"

#include <algorithm>

namespace logWindow {

QStringList messageLines(QString text) {
    QStringList lines;
    while (!text.isEmpty()) {
        const qsizetype cr = text.indexOf(QLatin1Char('\r'));
        if (cr < 0) {
            lines << text;
            break;
        }
        lines << text.left(cr);
        text.remove(0, cr + 1);
    }
    return lines;
}

float progressValue(float current, float value, bool relative) {
    if (relative) value += current;
    return std::clamp(value, 0.0f, 1.0f);
}

}  // namespace logWindow
