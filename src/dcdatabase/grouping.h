#pragma once
// The grouping of a freshly scanned symbol table: FIRST_<g> / LAST_<g> marker pairs give
// class <g> (or group and class, for <g> = <varGroup>_<class>) to the unclassed rows
// between their ids, and an enumerator whose comment carries "* n" or "* x" is expanded
// into one row per array element.
#include "dcdatabase/logwindow.h"
#include "dcdatabase/scanrow.h"

#include <QString>
#include <vector>

namespace grouping {

// The name of element k of the array entry named `name` (X_N, A_N_B, X_00, A_00_B, X).
QString elementName(const QString& name, qint64 k);

// Groups and expands the rows. False when a marker pair does not match or an array's
// size cannot be known; the fault is shown and logged, and the rows are then unusable.
bool buildGroup(std::vector<ScanRow>& rows, LogWindow& log);

}  // namespace grouping
