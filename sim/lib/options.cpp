#include "lib/options.h"

#include <QCommandLineParser>

namespace sim::options {

bool number(const QString& text, qint64 lo, qint64 hi, qint64& out) {
    const QString t = text.trimmed();
    const bool hex = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    bool ok = false;
    const qint64 v = hex ? t.mid(2).toLongLong(&ok, 16) : t.toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

bool intOption(const QCommandLineParser& p, const QString& name, qint64 lo, qint64 hi, qint64& out, QString* error) {
    if (!p.isSet(name)) return true;
    if (number(p.value(name), lo, hi, out)) return true;
    return fail(error, QStringLiteral("--%1: \"%2\" is not a number from %3 to %4.").arg(name, p.value(name)).arg(lo).arg(hi));
}

}  // namespace sim::options
