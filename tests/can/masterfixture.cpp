#include "masterfixture.h"

#include "can/frmcanopen.h"
#include "caninterface/caninterface.h"
#include "cansim/cansim.h"
#include "dao/dao.h"
#include "desktop/timeservice.h"
#include "services/modglobal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>

namespace mastertest {

quint16 busPort() {
    static const quint16 port = testsupport::freePort();
    return port;
}

QString busUrl(int channel) { return testsupport::busUrl(busPort(), channel); }

void FrameLog::add(const sim::Frame& f) {
    QMutexLocker lock(&m_mutex);
    m_frames.push_back(f);
}

std::vector<sim::Frame> FrameLog::frames() const {
    QMutexLocker lock(&m_mutex);
    return m_frames;
}

std::vector<sim::Frame> FrameLog::withId(quint32 id) const {
    QMutexLocker lock(&m_mutex);
    std::vector<sim::Frame> out;
    for (const auto& f : m_frames)
        if (f.id == id) out.push_back(f);
    return out;
}

void FrameLog::clear() {
    QMutexLocker lock(&m_mutex);
    m_frames.clear();
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) { return testsupport::waitFor(pred, timeoutMs); }

bool tickUntil(const std::function<bool()>& pred, int timeoutMs) {
    return testsupport::waitFor(pred, timeoutMs, [] {
        QThread::msleep(8);
        testsupport::advanceClock(200);
    });
}

void settle(int ms) { testsupport::waitFor([] { return false; }, ms); }

QByteArray bytes(std::initializer_list<int> b) {
    QByteArray out;
    for (int v : b) out.append(static_cast<char>(v));
    return out;
}

QByteArray symbolFrame(qint32 key, const QByteArray& value) {
    QByteArray f(8, '\0');
    f[0] = static_cast<char>(key & 0xFF);
    f[1] = static_cast<char>((key >> 8) & 0xFF);
    for (int i = 0; i < 4 && i < value.size(); ++i) f[4 + i] = value[i];
    return f;
}

void MasterTest::SetUp() {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can.warning=false"));
    ASSERT_TRUE(dir.isValid());
    // Timers tick only when a test moves the clock; frames still arrive in real time.
    clock.emplace();
    cansim::recordErrors(errors);
    using namespace modGlobal;
    g_qtmMode = g_bzmMode = false;
    g_updateMode = false;
    g_isMBusConnection = false;
    g_canInterfaceVersion = 2.0;
    g_bootupReceived = false;
    g_symSwInfoEngineType = 0;
    canComponentLink::install(&canComponent);
    config();
    cansim::resetCanMaster();
    frmCANopen::instance().set_g_blockTransferEnable(false);
    symbolSettersLink::install(&setters);
    connectionDisplayLink::install(&display);
}

void MasterTest::TearDown() {
    frmCANopen::instance().unload();
    clock.reset();
    for (auto& s : m_sims) s.reset();
    cansim::resetCanLinks();
    cansim::resetConfigRecordsets();
    canComponentLink::install(nullptr);
    ErrPtnr::errorHandlerLink::install(nullptr);
}

void MasterTest::config(const std::map<QString, QString>& items) {
    using namespace modGlobal;
    cansim::resetConfigRecordsets();
    g_configDbPath = dir.filePath(QStringLiteral("KELB-3817 Update Tool-Config.mdb"));
    QFile::remove(g_configDbPath);
    std::map<QString, QString> all = {
        {"numRequiredCylinders", "3"},
        {"canInterface_0", busUrl(0)},
        {"canInterface_1", busUrl(1)},
        {"GLB_CAN_MODULE_STATE_RO", QString::number(symModuleStateRO)},
        {"GLB_CAN_MODULE_STATE_RW", QString::number(symModuleStateRW)},
        {"GLB_CAN_SW_UPDATE_STATE_RO", QString::number(symUpdateStateRO)},
        {"GLB_CAN_SW_UPDATE_FAILURE_RO", QString::number(symUpdateFailureRO)},
        {"GLB_ENG_STSTILL", QString::number(symEngStandstill)},
        {"PAR_CRC_FIRST_APPLICATION", QString::number(symCrcFirstAppl)},
        {"PAR_TOT_NO_OF_CYL", QString::number(symTotNoOfCyl)},
        {"PAR_SWINFO_BUILD", QString::number(symBuild)},
        {"PAR_SWINFO_DEVELOPER_NO", QString::number(symDeveloper)},
        {"PAR_SWINFO_HULL_NO", QString::number(symHullNo)},
        {"PAR_AUTO_DOWNLD_ACTIVATE", QString::number(symAutoDownload)},
        {"GLB_CRC_VALUE_IMO", QString::number(symCrcValueImo)},
        {"GLB_CRC_LEN_IMO", QString::number(symCrcLenImo)},
        {"GLB_CRC_VALUE_APPLICATION", QString::number(symCrcValueAppl)},
        {"GLB_CRC_LEN_APPLICATION", QString::number(symCrcLenAppl)},
    };
    for (const auto& [k, v] : items) all[k] = v;
    {
        auto db = cansim::createConfigDatabase(g_configDbPath);
        for (const auto& [k, v] : all)
            if (!v.isNull()) db->Execute(QStringLiteral("INSERT INTO miscellaneous (item, value) VALUES (?, ?)"), {k, v});
        db->Close();
    }
    ASSERT_TRUE(g_iniGlobals());
}

sim::Simulator& MasterTest::bus(int channel) {
    auto& s = m_sims[channel];
    if (!s) {
        s = std::make_unique<sim::Simulator>();
        QString error;
        EXPECT_TRUE(s->start(busUrl(channel), &error)) << error.toStdString();
        EXPECT_TRUE(s->waitConnected());
        FrameLog* l = &m_logs[channel];
        s->addFrameListener([l](const sim::Frame& f) { l->add(f); });
    }
    return *s;
}

sim::Node* MasterTest::addNode(int channel, quint8 id, const QByteArray& softwareVersion,
                               const QByteArray& hardwareVersion, int heartbeatMs) {
    sim::Node* n = bus(channel).addNode(id);
    n->od().addDomain(0x1008, 0, QByteArray("KELB-3817 PXM #00"), sim::Access::ReadOnly);
    n->od().addDomain(0x1009, 0, hardwareVersion, sim::Access::ReadOnly);
    n->od().addDomain(0x100A, 0, softwareVersion, sim::Access::ReadOnly);
    n->od().addDomain(0x2000, 0, QByteArray(), sim::Access::ReadWrite);
    if (heartbeatMs > 0) n->od().setU32(0x1017, 0, static_cast<quint32>(heartbeatMs));
    return n;
}

QList<sim::SymbolSpec> MasterTest::stateSymbols() {
    return cansim::stateSymbols(symModuleStateRO, symModuleStateRW, symUpdateStateRO, symUpdateFailureRO,
                                symEngStandstill);
}

void MasterTest::addUserText(qint32 id, const QString& text) { cansim::addUserText(id, text); }

frmCANopen& MasterTest::master() { return frmCANopen::instance(); }

bool MasterTest::initialise(const QString& busName, quint8 deviceNo, bool darvo) {
    const bool ok = master().g_initialise(form.form(), dllVersion, busName, darvo, deviceNo);
    if (!ok) return false;
    if (CANInterface* can = master().m_CANInterface.get()) {  // none without CAN
        qint32 status = 0;
        can->setSdoTimeout(kSdoTimeoutMs, status);
        EXPECT_EQ(status, 1);
    }
    syncBus();
    return true;
}

void MasterTest::deliver(const std::vector<std::pair<quint32, QByteArray>>& frames) {
    static const QByteArray marker = bytes({0xEE, 0xEE, 0xEE, 0xEE});
    for (const auto& [id, data] : frames) bus(0).send(sim::Frame{id, data});
    bus(0).send(sim::Frame{0x411, symbolFrame(symCrcLenAppl, marker)});
    EXPECT_TRUE(waitFor([&] {
        for (const auto& c : setters.calls)
            if (c.value == marker) return true;
        return false;
    })) << "the marker did not reach the master";
    std::erase_if(setters.calls, [](const SetterCall& c) { return c.value == marker; });
}

// A freshly connected device may miss the very first frames the bus server relays: a
// simulator sends probes until one has reached the master's receive queue (read here,
// before any drain runs).
void MasterTest::syncBus() {
    CANInterface* can = master().m_CANInterface.get();
    if (!can) return;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 2000) {
        for (auto& s : m_sims)
            if (s) s->send(sim::Frame{kProbeId, QByteArray(1, '\x01')});
        QThread::msleep(5);
        for (;;) {
            qint32 id = 0, dlc = 0, queued = 0, status = 0;
            QByteArray data;
            can->readMessage(id, dlc, data, queued, status);
            if (status != 1) break;
            if (id == kProbeId) {
                settle(10);
                for (auto& l : m_logs) l.clear();
                return;
            }
        }
    }
}

}  // namespace mastertest
