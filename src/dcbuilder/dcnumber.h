#pragma once
// Numbers as the data-container tables hold them in text: decimal, or hexadecimal after
// "&H" (up to 4 digits a 16-bit, up to 8 a 32-bit value).
#include <QString>
#include <QVariant>
#include <optional>

namespace dcNumber {

// The value of a numeric text; nothing for a text that is no number.
std::optional<double> numberOf(const QString& text);
// The value rounded to a whole number (halves to even), when it lies in 32 bits.
std::optional<qint32> whole32(const QString& text);
// A stored value (number or numeric text) as a whole 32-bit number.
std::optional<qint32> whole32(const QVariant& value);

}  // namespace dcNumber
