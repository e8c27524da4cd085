#pragma once
// The reading of pxm-sim's command-line values that the scenario, the profile and the
// bootloaders share: numbers in decimal or with 0x, checked against their range.
#include <QString>

class QCommandLineParser;

namespace sim::options {

// Decimal, or hexadecimal after 0x; a leading zero does not make it octal. False when the
// text is no number or lies outside [lo, hi].
bool number(const QString& text, qint64 lo, qint64 hi, qint64& out);

// Stores the error text (when asked for) and returns false.
bool fail(QString* error, const QString& text);

// The option's value when it is set, else out unchanged; false with an error text for a
// value that is no number of the range.
bool intOption(const QCommandLineParser& p, const QString& name, qint64 lo, qint64 hi, qint64& out, QString* error);

template <typename T>
bool intOption(const QCommandLineParser& p, const QString& name, qint64 lo, qint64 hi, T& out, QString* error) {
    qint64 v = qint64(out);
    if (!intOption(p, name, lo, hi, v, error)) return false;
    out = T(v);
    return true;
}

}  // namespace sim::options
