#include "dcbuilder/dcnumber.h"

#include <QLocale>
#include <cmath>

namespace dcNumber {

std::optional<double> numberOf(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        const qulonglong u = digits.toULongLong(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8) return std::nullopt;
        if (digits.size() <= 4) return double(qint16(quint16(u)));
        return double(qint32(quint32(u)));
    }
    const double d = QLocale::c().toDouble(t, &ok);
    if (!ok) return std::nullopt;
    return d;
}

std::optional<qint32> whole32(const QString& text) {
    const std::optional<double> n = numberOf(text);
    if (!n) return std::nullopt;
    const double r = std::nearbyint(*n);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;
    return qint32(r);
}

std::optional<qint32> whole32(const QVariant& value) {
    if (value.isNull()) return std::nullopt;
    return whole32(value.toString());
}

}  // namespace dcNumber
