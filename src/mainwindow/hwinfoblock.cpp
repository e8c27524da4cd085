#include "mainwindow/hwinfoblock.h"

#include "bytes/bytes.h"
#include "crclibrary/crclibrary.h"
#include "services/modstringfct.h"

#include <QRegularExpression>
#include <cmath>

namespace hwInfoBlock {

using namespace modStringFct;
using namespace moduleProtocol;

double numericValue(const QString& text) {
    static const QRegularExpression leading(QStringLiteral("^\\s*([-+]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch m = leading.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

QString twoDigits(double value) {
    const qint64 n = qint64(std::trunc(value));
    const QString digits = QStringLiteral("%1").arg(n < 0 ? -n : n, 2, 10, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

bool validateProductionDate(const QString& week, const QString& year) {
    const double w = numericValue(week), y = numericValue(year);
    return w > 0 && w < 53 && y >= 1980 && y < 2080;
}

bool validSerial(const QString& serial) {
    static const QRegularExpression whole(QStringLiteral("^[-+]?\\d{1,10}$"));
    const QString t = serial.trimmed();
    if (!whole.match(t).hasMatch()) return false;
    const qint64 v = t.toLongLong();
    return v >= -2147483648LL && v <= 2147483647LL;
}

Decoded decode(const QByteArray& block) {
    Decoded d;
    d.serial = g_byteToDezValStr(hwSerialBytes, hwSerial, block);
    d.serialPresent = d.serial.trimmed() != QLatin1String("-1");
    // Two ASCII characters each, the century added; failing that, two 16-bit numbers.
    QString week = g_byteToStr(hwDateBytes, hwWeek, block);
    QString year = g_byteToStr(hwDateBytes, hwYear, block);
    year = (numericValue(year) < 80 ? QStringLiteral("20") : QStringLiteral("19")) + year;
    if (!validateProductionDate(week, year)) {
        week = g_byteToDezValStr(hwDateBytes, hwWeek, block);
        year = g_byteToDezValStr(hwDateBytes, hwYear, block);
    }
    if (validateProductionDate(week, year)) {
        d.week = twoDigits(numericValue(week));
        d.year = year;
    }
    d.version = twoDigits(double(bytes::getSigned(block, hwVersion, ibNumberBytes, bytes::Order::BigEndian).value_or(0)));
    return d;
}

QByteArray build(const QByteArray& templ, const QString& serial, const QString& week, const QString& year,
                 const QString& version) {
    QByteArray block = templ.left(hwInfoBlockSize);
    g_dezValStrToByte(serial.trimmed(), hwSerialBytes, hwSerial, block);
    g_strToByte(twoDigits(numericValue(week)), hwDateBytes, hwWeek, block);
    // The last two digits of the year's number, whatever surrounds it in the box.
    g_strToByte(twoDigits(std::fmod(std::trunc(numericValue(year)), 100.0)), hwDateBytes, hwYear, block);
    // A version beyond 32 bits cannot be written: the template's bytes stay.
    const double v = std::trunc(numericValue(version));
    if (v >= -2147483648.0 && v <= 2147483647.0) bytes::put(block, hwVersion, qint64(v), ibNumberBytes, bytes::Order::BigEndian);
    bytes::put(block, hwBlockCrc, CrcCalculation32(block.constData(), hwBlockCrc, 0), ibNumberBytes, bytes::Order::BigEndian);
    return block;
}

}  // namespace hwInfoBlock
