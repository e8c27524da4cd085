#include "dcbuilder/columnvalue.h"

#include "dcbuilder/dcnumber.h"

#include <cmath>

namespace columnValue {
namespace {
std::optional<QVariant> whole(const QString& text, double low, double high) {
    const std::optional<double> n = dcNumber::numberOf(text);
    if (!n) return std::nullopt;
    const double r = std::nearbyint(*n);  // halves to even, as the engine rounded
    if (!(r >= low && r <= high)) return std::nullopt;
    return QVariant(qint64(r));
}
}  // namespace

std::optional<QVariant> of(const dao::FieldDef& field, const QString& text) {
    switch (field.type) {
    case dao::dbText:
        if (field.size > 0 && text.size() > field.size) return std::nullopt;
        return QVariant(text);
    case dao::dbMemo:
        return QVariant(text);
    case dao::dbBoolean:
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return QVariant(-1);
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return QVariant(0);
        if (const std::optional<double> n = dcNumber::numberOf(text)) return QVariant(*n != 0 ? -1 : 0);
        return std::nullopt;
    case dao::dbByte:
        return whole(text, 0, 255);
    case dao::dbInteger:
        return whole(text, -32768, 32767);
    case dao::dbLong:
        return whole(text, -2147483648.0, 2147483647.0);
    case dao::dbBigInt:
        return whole(text, -9.2e18, 9.2e18);
    case dao::dbSingle:
    case dao::dbDouble:
    case dao::dbCurrency:
        if (const std::optional<double> n = dcNumber::numberOf(text)) return QVariant(*n);
        return std::nullopt;
    default:
        return QVariant(text);
    }
}

}  // namespace columnValue
