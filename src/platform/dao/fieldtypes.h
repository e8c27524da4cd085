#pragma once
// The SQLite declared types that stand for the DAO field-type codes, both ways, so a
// table created from field definitions reports the same codes back.
#include "dao/dao.h"

namespace dao::detail {

// The declared type for a field ("TEXT(16)", "DATETIME", ...).
QString declaredType(const FieldDef& f);
// The column definition used when creating a table: text columns compare without regard to case.
QString columnDefinition(const FieldDef& f);
// The field definition of a column of the given declared type.
FieldDef fieldFromDeclared(const QString& name, const QString& declType);
// True when values of this declared type are text (SQLite's text affinity).
bool isTextDeclared(const QString& declType);

}  // namespace dao::detail
