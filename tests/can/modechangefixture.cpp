#include "modechangefixture.h"

#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "cansim/cansim.h"
#include "dao/dao.h"
#include "desktop/timeservice.h"
#include "services/modglobal.h"

namespace modechangetest {

Selection select(std::initializer_list<int> modules) {
    Selection s{};
    for (int m : modules) s[m] = true;
    return s;
}

void ModeChangeTest::SetUp() {
    MasterTest::SetUp();
    m_start = TimeService::elapsedMs();
    m_due.fill(-1);
    modGlobal::g_moduleKind = QStringLiteral("PXM");
    modGlobal::g_debugMode = false;
    modGlobal::g_updateMode = true;  // a PXM run is an update run; the tests of the question say otherwise
    sBus();

    // The bus-loss check, the lamps' refresh flag and the rest go to the master.
    m_bus.fallback = &frmCANopen::instance();
    m_bus.onWriteSDO = [this](quint8 node, qint32 index, quint8 sub, const QByteArray& data, qint32 timeout) {
        const QString text = QString::asprintf("sdo %02X %04X/%d %s t%d", node, index, sub, qPrintable(hex(data)), timeout);
        if (index == 0) {
            probes.push_back(text);
            return false;  // nobody answers on node 0
        }
        events.push_back({now(), text});
        if (index == 0x1F51 && data.size() == 1) {
            const bool startApp = sub == (modGlobal::g_qtmMode ? 2 : 6);
            const int value = quint8(data[0]);
            const int base = startApp || value == 2 ? modGlobal::g_cobIdBootloader : modGlobal::g_cobIdApplication;
            schedule(node - base, startApp ? app : boot);
        }
        return true;
    };
    m_bus.onSetOperational = [this](quint8 node) {
        EXPECT_EQ(node, 0);
        ++nmtStarts;
        return true;
    };
    m_bus.onSearchNode = [this](qint16 module, quint8 base) {
        apply();
        refreshAtSearch.push_back(modHeartBeatControl::g_heartBeatRefresh);
        const int count = ++searches[module];
        if (onSearch) onSearch(module, count);
        const moduleProtocol::ModuleState state = modConnectionStatus::g_getModuleStatus(module);
        return state == (base == modGlobal::g_cobIdBootloader ? moduleProtocol::ModuleState::bootloader
                                                              : moduleProtocol::ModuleState::application);
    };
    m_bus.onResetSDOTransferMode = [this](qint16 module) { events.push_back({now(), QStringLiteral("reset %1").arg(module)}); };
    m_bus.onSetUserLevel = [this](quint8 level) {
        events.push_back({now(), QStringLiteral("login %1").arg(level)});
        return true;
    };
    m_bus.onSetServiceBit = [](qint32, quint8) { return true; };
    m_bus.onReadSDO = [](quint8, qint32, quint8, QByteArray&) { return false; };
    m_bus.onWriteSymbol = [this](qint32 symbol, qint16 cyl, const QByteArray& value) {
        if (symbol != modGlobal::g_symModuleStateRW || cyl != 0) return true;
        events.push_back({now(), QStringLiteral("cmd ") + hex(value)});
        if (!commandAccepted) return false;
        const int mask = quint8(value[0]) | quint8(value[1]) << 8;
        const int word = quint8(value[2]) | quint8(value[3]) << 8;
        for (int m = 1; m < moduleCount; ++m)
            if (mask & (1 << m) && (word == 1 || word == 2)) schedule(m, word == 1 ? boot : app);
        m_commandEcho = true;
        return true;
    };
    canMasterLink::install(&m_bus);
    modeChangeMainWindowLink::install(&main);
}

void ModeChangeTest::TearDown() {
    for (const auto& e : errors) ADD_FAILURE() << "run-time error in " << e.procedure.toStdString() << ": " << e.description.toStdString();
    cansim::resetCanLinks();
    modGlobal::g_qtmMode = false;
    modGlobal::g_debugMode = false;
    modGlobal::g_isMBusConnection = false;
    MasterTest::TearDown();
}

void ModeChangeTest::sBus() {
    modGlobal::g_isMBusConnection = false;
    modGlobal::g_cobIdBootloader = 0x70;
    modGlobal::g_cobIdApplication = 0x20;
    modGlobal::g_cobIdBootloaderSBus = 0;
}

void ModeChangeTest::mBus() {
    modGlobal::g_isMBusConnection = true;
    modGlobal::g_cobIdBootloader = 0x7F;
    modGlobal::g_cobIdApplication = 0x11;
    modGlobal::g_cobIdBootloaderSBus = 0x70;
}

void ModeChangeTest::qtm() {
    sBus();
    modGlobal::g_qtmMode = true;
    modGlobal::g_moduleKind = QStringLiteral("QTM");
    modGlobal::g_cobIdBootloader = 0x40;
    modGlobal::g_cobIdApplication = 0x50;
}

void ModeChangeTest::set(int module, Mode mode) {
    m_mode[module] = mode;
    m_due[module] = -1;
    report();
}

void ModeChangeTest::drop(int module) {
    m_mode[module] = off;
    m_due[module] = -1;
    modHeartBeatControl::g_initialise();
    report();
}

qint64 ModeChangeTest::now() const { return TimeService::elapsedMs() - m_start; }

QStringList ModeChangeTest::program() const {
    QStringList l;
    for (const auto& e : events) l << e.what;
    return l;
}

void ModeChangeTest::schedule(int module, Mode target) {
    // A module already on its way takes no further command.
    if (module < 0 || module >= moduleCount || m_delay[module] == never || m_due[module] >= 0) return;
    m_due[module] = TimeService::elapsedMs() + m_delay[module];
    m_target[module] = target;
}

// What the drain would do between two pauses: the switches that are due happen, the
// modules report their states, module 0 publishes its empty command register.
void ModeChangeTest::apply() {
    for (int m = 0; m < moduleCount; ++m) {
        if (m_due[m] >= 0 && m_due[m] <= TimeService::elapsedMs()) {
            m_mode[m] = m_target[m];
            m_due[m] = -1;
        }
    }
    if (m_commandEcho) {
        modAutoDownload::g_setCommandStatus(QByteArray(4, '\0'));
        m_commandEcho = false;
    }
    report();
}

void ModeChangeTest::report() {
    using namespace modGlobal;
    const int heartbeats = g_isMBusConnection ? 1 : moduleCount;
    for (int m = 0; m < heartbeats; ++m) {
        if (m_mode[m] == app) modHeartBeatControl::g_receiveHeartBeat(0x700 + g_cobIdApplication + m);
        if (m_mode[m] == boot) modHeartBeatControl::g_receiveHeartBeat(0x700 + g_cobIdBootloader + m);
    }
    modHeartBeatControl::g_heartBeatControl_Update();
    if (!g_isMBusConnection) return;
    int appMask = 0, bootMask = 0;
    for (int m = 1; m < moduleCount; ++m) {
        if (m_mode[m] == app) appMask |= 1 << m;
        if (m_mode[m] == boot) bootMask |= 1 << m;
    }
    modAutoDownload::g_setModuleStatus(mastertest::bytes({appMask & 0xFF, appMask >> 8, bootMask & 0xFF, bootMask >> 8}));
}

QString ModeChangeTest::hex(const QByteArray& b) const {
    QStringList parts;
    for (char c : b) parts << QString::asprintf("%02X", quint8(c));
    return parts.join(QLatin1Char(' '));
}

}  // namespace modechangetest
