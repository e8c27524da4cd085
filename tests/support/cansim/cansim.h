#pragma once
// Set-up shared by the fixtures that run the CAN master in process: the global state put
// back between tests, the configuration database, and the simulated modules' symbols.
#include "dao/dao.h"
#include "lib/profileoptions.h"
#include "services/errtrap.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

namespace cansim {

// Every trapped run-time error goes into `errors` and the procedure goes on; the caller
// removes the handler again before `errors` goes.
void recordErrors(std::vector<ErrPtnr::ErrorInfo>& errors);

// Drops the configuration's recordsets so that the next g_iniGlobals reads them afresh.
void resetConfigRecordsets();
// The recordsets, the mode flags, the bus kind, the module kind and the application type.
void resetModGlobals();
// resetModGlobals, and the base addresses and the folders, file names and title as well.
void resetModGlobalsAndPaths();
// The CAN master unloaded and usable again, the heartbeat supervision, the auto-download
// state and the connected flag as after start-up.
void resetCanMaster();
// Every seam slot of the CAN part (can/links.h, can/canmaster.h) back to its default.
void resetCanLinks();

// A new configuration database with the three tables the master reads, still open.
std::shared_ptr<dao::Database> createConfigDatabase(const QString& path);
// A row in the configuration's `messages` table, then the configuration read again.
void addUserText(qint32 id, const QString& text);

// The symbol numbers the simulated modules use for their states and the standstill.
QList<sim::SymbolSpec> stateSymbols(quint16 moduleStateRO, quint16 moduleStateRW, quint16 updateStateRO,
                                    quint16 updateFailureRO, quint16 engineStandstill);

}  // namespace cansim
