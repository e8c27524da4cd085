#include "cansim.h"

#include "errorlog.h"

#include "can/frmcanopen.h"
#include "can/canmaster.h"
#include "can/links.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "services/modglobal.h"

#include <gtest/gtest.h>

namespace cansim {

void recordErrors(std::vector<ErrPtnr::ErrorInfo>& errors) {
    static testsupport::ErrorsInto recorder;
    recorder.into = &errors;
    ErrPtnr::errorHandlerLink::install(&recorder);
}

void resetConfigRecordsets() {
    using namespace modGlobal;
    g_rsMiscellaneous.reset();
    g_rsAliasSymbolName.reset();
    g_rsMessages.reset();
}

void resetModGlobals() {
    using namespace modGlobal;
    resetConfigRecordsets();
    g_debugMode = g_develop = g_qtmMode = g_bzmMode = g_updateMode = g_bigMem = false;
    g_isMBusConnection = false;
    g_moduleKind.clear();
    g_applicationType = 0;
}

void resetModGlobalsAndPaths() {
    using namespace modGlobal;
    resetModGlobals();
    g_baseAdrDC = g_baseAdrFPGA = g_baseAdrAppl = 0;
    g_appName.clear();
    g_dbDir.clear();
    g_configDbPath.clear();
    g_configDir.clear();
    g_uploadDir.clear();
    g_toolTitle.clear();
}

void resetCanLinks() {
    uninstallAll<symbolSettersLink, connectionDisplayLink, modeChangeMainWindowLink, autoDownloadMainWindowLink,
                 canMasterLink>();
}

void resetCanMaster() {
    frmCANopen& master = frmCANopen::instance();
    master.unload();
    master.set_g_noCAN(false);
    modHeartBeatControl::g_initialise();
    modAutoDownload::g_initialise();
    modConnectionStatus::resetConnectedFlag();
}

std::shared_ptr<dao::Database> createConfigDatabase(const QString& path) {
    auto db = dao::CreateDatabase(path);
    db->Execute(QStringLiteral("CREATE TABLE miscellaneous (item TEXT COLLATE NOCASE, value TEXT COLLATE NOCASE)"));
    db->Execute(QStringLiteral("CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, symbolName TEXT)"));
    db->Execute(QStringLiteral("CREATE TABLE messages (MessageID INTEGER, MessageText TEXT, VEDR_Text TEXT, "
                               "DARVO_Text TEXT, okButton BOOLEAN)"));
    return db;
}

void addUserText(qint32 id, const QString& text) {
    using namespace modGlobal;
    resetConfigRecordsets();
    {
        auto db = dao::OpenDatabase(g_configDbPath, false, false);
        db->Execute(QStringLiteral("INSERT INTO messages (MessageID, MessageText) VALUES (?, ?)"), {id, text});
        db->Close();
    }
    ASSERT_TRUE(g_iniGlobals());
}

QList<sim::SymbolSpec> stateSymbols(quint16 moduleStateRO, quint16 moduleStateRW, quint16 updateStateRO,
                                    quint16 updateFailureRO, quint16 engineStandstill) {
    return {{sim::kSymModuleStateRO, moduleStateRO},     {sim::kSymModuleStateRW, moduleStateRW},
            {sim::kSymUpdateStateRO, updateStateRO},     {sim::kSymUpdateFailureRO, updateFailureRO},
            {sim::kSymEngineStandstill, engineStandstill}};
}

}  // namespace cansim
