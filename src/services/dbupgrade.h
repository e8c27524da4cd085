#pragma once
// The upgrade of a data-container database to the running program's layout. Every such
// database carries a `version` table, a history of the program versions that touched it;
// the upgrade creates it where missing, refuses a database a newer program has changed,
// and otherwise brings the layout up in fixed steps, one history row per step.
#include "services/link.h"

#include <QString>

namespace modDataBase {

// True when the database may be used by this program: it was current, it has been
// brought up to date, or only newer versions without layout changes have touched it.
// False when it is refused or the user declined. `changed` is set for each step written
// and never cleared here.
bool g_updateDatabase(const QString& dbName, bool& changed);

}  // namespace modDataBase

// The builder copies the plant information of the database it has open into `dcEnums`
// and registers that copier when it is created; the result tells whether it copied.
// Until then the copier copies nothing and answers false.
class PlantInfoCopier {
public:
    virtual ~PlantInfoCopier() = default;
    virtual bool g_copyPlantInfosToDcEnums() { return false; }
};
using plantInfoCopierLink = Link<PlantInfoCopier, PlantInfoCopier>;
