#pragma once
// The section info blocks of every module as the module-state command read them:
// info[module 0..14][display row 0..5][field column 0..11]; column 0 is the row's section
// name, columns 1 to 11 the fields of the upload. Modules not read keep empty strings.
#include "can/moduleprotocol.h"

#include <QString>
#include <array>

using ModuleInfoRow = std::array<QString, 12>;
using ModuleInfoTable = std::array<std::array<ModuleInfoRow, 6>, moduleProtocol::moduleCount>;
