// The alarm link columns, brought in line by the data-container database's own resolver.
#include "dcbuilder/frmdcbuilder.h"

int frmDcBuilder::alarmLinks(const QString& db, const QString& column) {
    Q_UNUSED(db);
    Q_UNUSED(column);
    return 0;
}
