#pragma once
// The columns of the editor's two grids, their value lists, the column set of each view
// option, and the name tables of the group selection.
#include "dcdatabase/editcellrules.h"

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace editColumns {

enum class Display { Text, Number, ValueList, ModbusAddress, ProducerBit };

struct Column {
    QString caption;
    QString field;
    bool shownAtStart = true;
    bool locked = false;
    Display display = Display::Text;
    std::vector<std::pair<qint64, QString>> valueList;  // stored number -> shown word
    int bit = -1;            // producer columns: 0 to 14, 15 for "OR"
    bool neverShown = false;
    int maxLength = 255;     // text columns 255, number columns 11
};

std::vector<Column> dcEnumsColumns();
std::vector<Column> alarmEnumsColumns();

// The word a value list shows for a stored number, or the number itself.
QString listText(const Column& column, const QVariant& stored);
// A typed word of the value list as its number (the number itself is taken as typed).
QString listEntry(const Column& column, const QString& text);

// The fields whose visibility an option sets: first the fields hidden, then those shown.
// "producer" stands for the whole block of bit columns.
struct ColumnSet {
    QStringList hide;
    QStringList show;
};
ColumnSet varColumnSet(int index);  // optShowVarCol
ColumnSet logColumnSet(int index);  // optShowLogCol

// CRC group names by list position (crcGroup = position + 1); "" ends the list.
QString crcGroupName(int index, bool darvo);
// Variable group code by index (its name through the second argument); "" ends the list.
QString varGroup(int index, QString& name, bool darvo);
// The label of a function-group prefix in the VARIABLE view, e.g. ": COM/CYL-General".
QString functionGroupLabel(const QString& prefix);

}  // namespace editColumns
