#pragma once
// What a column makes of a text written into it, as the database engine converted on
// assignment: a number column takes only a number in its range, a text column only a text
// that fits. SQLite itself would take anything, so the import asks here first.
#include "dao/dao.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace columnValue {

// The value to store; nothing when the column refuses the text.
std::optional<QVariant> of(const dao::FieldDef& field, const QString& text);

}  // namespace columnValue
