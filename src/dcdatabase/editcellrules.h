#pragma once
// The cell rules of the data-container editor's grids, as pure functions: what an entry
// stores, how a stored value reads, a cell's tip and warning, and the header-click sort.
#include <QString>
#include <QVariant>
#include <optional>

namespace editCellRules {

enum class Grid { DcEnums, AlarmEnums };

// Base of the Modbus register numbers: 30000 for dcEnums, 10000 for alarmEnums.
int modbusBase(Grid grid);

// What an entry becomes: the value to store, or the reason it is refused.
struct Entry {
    std::optional<qint64> stored;
    QString reason;
    bool accepted() const { return stored.has_value(); }
};

// Modbus address: a number is an absolute address (stored with bit 15), "Cyl+n" the
// per-cylinder form; in the alarm grid an empty entry removes the address.
Entry modbusAddressEntry(Grid grid, const QString& text);
// "---", the absolute address, or "Cyl+" and the address of module 0's offset.
QString modbusAddressText(Grid grid, const QVariant& stored);
// The tip of the Modbus address column.
QString modbusAddressColumnTip(Grid grid);

// Producer mask, edited through the column of one bit (0 to 14, 15 = OR).
Entry producerEntry(int bit, qint64 oldMask, const QString& text);
QString producerText(int bit, const QVariant& mask);
// The tip of a producer column "0" to "14" (bit), or of "OR" (bit 15); empty = none.
QString producerTip(Grid grid, int bit, qint64 mask, qint64 modbusAddr);

// The alarm's Name cell warns (red) when an internal criterion has no signal to watch.
bool alarmNameWarning(const QVariant& signalIndexName, const QVariant& criterion);

// The id column an edited alarm name column resets, and the value meaning "not resolved".
struct IdReset {
    QString idField;
    int value = 0;
};
std::optional<IdReset> alarmNameIdReset(const QString& nameField);

// A header click: the same column toggles the direction, another starts ascending.
QString sortOrderAfterClick(int clickedColumn, int sortColumn, const QString& sortOrder);

}  // namespace editCellRules
