#include "updater/systeminfo.h"

void SystemInfo::reset(bool keepEngineCount) {
    for (const SystemSymbol& row : systemSymbols) {
        if (row.text) (this->*row.text).clear();
        else if (row.asked > 0) this->*row.number = row.notReceived;
    }
    if (!keepEngineCount) engineTypeSymbols = notDecided;
}

void SystemInfo::decideEngineType(int symbols) {
    engineTypeSymbols = symbols;
    engineType.clear(4 * symbols);
}

bool SystemInfo::complete() const {
    for (const SystemSymbol& row : systemSymbols)
        if (row.number && row.asked > 0 && this->*row.number < row.receivedFrom) return false;
    // The engine type has as many parts as the run decided; until then it is never complete.
    return hullNumber.parts >= 4 && engineType.parts >= engineTypeSymbols;
}
