#pragma once
// The walk of a data-container image part over its step table. The step table is the one
// declaration of the layout: writing and reading go through the same walk (same record
// searches, same alignment, same loop arithmetic); only the item codec differs. The walk
// works on tables already read and on an image in memory, so it touches no file and no
// database; the builder window's g_buildBinFile does that around it.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

namespace dcImage {

// One row of a step table (dcBinFile, alarmBinFile), rows in ascending step order.
struct StepRow {
    qint32 step = 0;
    QString content;
    QString value;
    qint32 noOfBytes = 0;
    QString loops;
    qint32 gotoStep = 0;
    QString cls;
    QString varGroup;
};

// One row of the enumeration table (id >= 0, ascending id): its columns by lower-case name.
struct EnumRecord {
    QHash<QString, QVariant> columns;
    QVariant column(const QString& name) const { return columns.value(name.toLower()); }
};

// A sourceScan row of class CONSTANT.
struct Constant {
    QString name;
    qint32 id = 0;
};

enum class Direction { Write, Read };

// A value read into the enumeration table (read mode): record index, column, value, and
// the width of the item it was read from.
struct StoredValue {
    int record = 0;
    QString column;
    qint64 value = 0;
    int width = 0;
};

// A DC_ number item as read (read mode): its alias and its packed BCD bytes.
struct SpecialItem {
    QString alias;
    QByteArray bytes;
};

struct Tables {
    QString enumTable;  // its name, for the messages
    std::vector<StepRow> steps;
    std::vector<EnumRecord> records;
    std::vector<Constant> constants;
};

// What a DC_ item needs of the special entries (write mode): the text or the number text
// of an entry named by its alias; nothing when the entry is missing.
struct SpecialEntries {
    std::function<std::optional<QString>(const QString& alias)> text;
    std::function<std::optional<QString>(const QString& alias)> number;
};

struct WalkResult {
    bool ok = true;
    QString error;                     // names the step that failed
    QStringList debugLines;            // one line per item, stuffing lines before their item
    std::vector<StoredValue> stored;   // read mode: the values for the enumeration table
    std::vector<SpecialItem> specials; // read mode: the DC_ number items
};

// Walks the step table from `position` on: write mode puts the items into `image` (which
// grows as needed), read mode takes them from it. `position` ends after the last item.
// onRow is called once per step row processed (the progress bar). The walk stops at the
// first failure; the image and position then hold what was done up to it.
WalkResult walk(Direction dir, const Tables& tables, const SpecialEntries& special, QByteArray& image,
                qint64& position, const std::function<void()>& onRow = {});

// The packed BCD form of a non-negative whole number in width bytes (digits that do not
// fit are dropped from the front; a 4-byte item takes at most eight); nothing when the
// text is no such number. digitsShown gets the digits kept.
std::optional<QByteArray> packedBcd(const QString& numberText, int width, QString* digitsShown = nullptr);

}  // namespace dcImage
