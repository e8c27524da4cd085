#pragma once
// The lines of a text that goes into a message list, one item per line. Only a carriage
// return ends a line: after CR LF the next line begins with the line feed. A text that
// ends in a carriage return adds no empty line at the end, and an empty text adds none.
#include <QString>
#include <QStringList>

namespace logLines {

inline QStringList split(const QString& text) {
    QStringList lines;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype cr = text.indexOf(QLatin1Char('\r'), from);
        const qsizetype end = cr < 0 ? text.size() : cr;
        lines << text.mid(from, end - from);
        from = end + 1;
    }
    return lines;
}

}  // namespace logLines
