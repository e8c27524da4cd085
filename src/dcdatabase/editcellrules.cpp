#include "dcdatabase/editcellrules.h"

#include "services/modstringfct.h"

#include <QRegularExpression>
#include <cmath>

namespace editCellRules {
namespace {

constexpr qint64 absoluteFlag = 32768;  // bit 15 of a stored address: one absolute address
constexpr qint64 maxOffset = 32767;
constexpr int orBit = 15;

std::optional<double> number(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

Entry refuse(const QString& reason) { return Entry{std::nullopt, reason}; }

QString addressRule(Grid grid) {
    const int b = modbusBase(grid);
    return modStringFct::sprintf("Enter a register offset 1 to {*}, a full address {*} to {*} or Cyl+ followed "
                                 "by one of them.",
                                 9999, b + 1, b + maxOffset);
}

// A typed address as an offset from the base: full addresses above the base lose it.
// The base itself and the numbers between the offsets and the base name no register.
std::optional<qint64> addressOffset(Grid grid, qint64 e) {
    const qint64 b = modbusBase(grid);
    if (e > b && e - b <= maxOffset) return e - b;
    if (e >= 1 && e < 10000 && e < b) return e;
    return std::nullopt;
}

}  // namespace

int modbusBase(Grid grid) { return grid == Grid::DcEnums ? 30000 : 10000; }

Entry modbusAddressEntry(Grid grid, const QString& text) {
    const QString t = text.trimmed();
    if (const auto e = number(t)) {
        if (*e != std::floor(*e)) return refuse(addressRule(grid));
        if (*e == 0) return Entry{0, {}};
        const auto off = addressOffset(grid, qint64(*e));
        if (!off) return refuse(addressRule(grid));
        return Entry{*off + absoluteFlag, {}};
    }
    if (t.left(4).toUpper() == QLatin1String("CYL+")) {
        static const QRegularExpression digits(QStringLiteral("^\\s*(\\d+)"));
        const auto m = digits.match(t.mid(4));
        const qint64 e = m.hasMatch() ? m.captured(1).left(10).toLongLong() : 0;
        if (e == 0) return Entry{0, {}};
        const auto off = addressOffset(grid, e);
        if (!off) return refuse(addressRule(grid));
        return Entry{*off, {}};
    }
    if (grid == Grid::AlarmEnums && t.isEmpty()) return Entry{0, {}};
    return refuse(addressRule(grid));
}

QString modbusAddressText(Grid grid, const QVariant& stored) {
    const qint64 v = stored.isNull() ? 0 : stored.toLongLong();
    if (v == 0) return QStringLiteral("---");
    const qint64 b = modbusBase(grid);
    if (v >= absoluteFlag) return QString::number(b + v - absoluteFlag);
    return QStringLiteral("Cyl+") + QString::number(b + v);
}

QString modbusAddressColumnTip(Grid grid) {
    return grid == Grid::DcEnums ? QStringLiteral("30xxx or Cyl+30xxx") : QStringLiteral("10xxx or Cyl+10xxx");
}

Entry producerEntry(int bit, qint64 oldMask, const QString& text) {
    const QString t = text.trimmed();
    const auto e = number(t);
    const qint64 flag = qint64(1) << bit;
    if (t.isEmpty() || (e && *e == 0)) return Entry{oldMask & ~flag, {}};
    if (t.toUpper() == QLatin1String("X") || (e && *e == 1)) return Entry{oldMask | flag, {}};
    if (e && *e > 1 && *e <= maxOffset) return Entry{qint64(std::nearbyint(*e)), {}};
    if (e && *e < 0) return Entry{0, {}};
    return refuse(QStringLiteral("Enter X or 1 to set the bit, nothing or 0 to clear it, or the whole mask 2 to 32767."));
}

QString producerText(int bit, const QVariant& mask) {
    const qint64 m = mask.isNull() ? 0 : mask.toLongLong();
    return (m >> bit) & 1 ? QStringLiteral("X") : QString();
}

QString producerTip(Grid grid, int bit, qint64 mask, qint64 modbusAddr) {
    if (bit == orBit)
        return grid == Grid::AlarmEnums ? QStringLiteral("If set all producers are combined with an or-function")
                                        : QString();
    if (((mask >> bit) & 1) == 0 || modbusAddr == 0) return modStringFct::sprintf("Modul {*}", bit);
    const qint64 b = modbusBase(grid);
    qint64 address;
    // The display reads 32768 as the absolute address 0 above the base; the tip agrees.
    if (modbusAddr >= absoluteFlag)
        address = b + modbusAddr - absoluteFlag;
    else if (grid == Grid::AlarmEnums && mask >= absoluteFlag)
        address = b + modbusAddr + 15;
    else
        address = b + modbusAddr + bit;
    return modStringFct::sprintf("Modul {*}: Modbus-Addr. = {*}", bit, address);
}

bool alarmNameWarning(const QVariant& signalIndexName, const QVariant& criterion) {
    return signalIndexName.toString().isEmpty() && !criterion.isNull() && criterion.toLongLong() != 0;
}

std::optional<IdReset> alarmNameIdReset(const QString& nameField) {
    static const struct {
        const char* name;
        const char* id;
        int value;
    } table[] = {{"signalIndexName", "signalIndex", -1},
                 {"onDelayIndexName", "onDelayIndex", -1},
                 {"offDelayIndexName", "offDelayIndex", -1},
                 {"onOffDelayIdName", "onOffDelayId", 255}};
    for (const auto& r : table)
        if (nameField.compare(QLatin1String(r.name), Qt::CaseInsensitive) == 0)
            return IdReset{QLatin1String(r.id), r.value};
    return std::nullopt;
}

QString sortOrderAfterClick(int clickedColumn, int sortColumn, const QString& sortOrder) {
    if (clickedColumn != sortColumn) return QStringLiteral("ASC");
    return sortOrder == QLatin1String("ASC") ? QStringLiteral("DESC") : QStringLiteral("ASC");
}

}  // namespace editCellRules
