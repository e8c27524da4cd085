// The CAN master's received-message drain (heartbeats, boot-ups and published symbol
// values), the raw symbol, service-bit and user-level messages, and the two timers.
#include "can/frmcanopen.h"

#include "can/links.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "can/moduleprotocol.h"
#include "can/systemsymbols.h"
#include "bytes/bytes.h"
#include "caninterface/caninterface.h"
#include "caninterface/canopenids.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace {
constexpr const char* kObject = "frmCANopen";
using namespace moduleProtocol;
constexpr int kSymbolFrameLength = 8;

bool isKey(qint64 key) { return key >= 0 && key <= 0xFFFF; }

QByteArray keyFrame(qint32 key, quint8 kind) {
    QByteArray f(8, '\0');
    bytes::put(f, 0, key, 2, bytes::Order::LittleEndian);
    f[3] = static_cast<char>(kind);
    return f;
}
}  // namespace

// ---- Drain ----

void frmCANopen::g_forceHeartBeatCheck() { pdoCallback(); }

void frmCANopen::m_CANInterface_SignalEvent() { pdoCallback(); }

void frmCANopen::pdoCallback() {
    trap(kObject, "pdoCallback", [this] {
        while (readOneMessage()) {
        }
    });
}

// One message: false when the pass ends (not initialised, queue empty or a failure).
bool frmCANopen::readOneMessage() {
    if (!m_initialised || !m_CANInterface) return false;
    qint32 cobId = 0, dlc = 0, queued = 0, status = 0;
    QByteArray data;
    m_CANInterface->readMessage(cobId, dlc, data, queued, status);
    if (status != CanStatus::Success) {
        if (status == CanStatus::QueueEmpty) m_drainFailureShown = 0;
        else reportDrainFailure(status, cobId);
        return false;
    }
    // A frame shorter than what is read from it is no message of these kinds.
    if (CanOpen::isHeartbeatId(cobId)) {
        if (!data.isEmpty()) {
            statusCallback(quint8(data[0]), quint8(CanOpen::heartbeatNode(cobId)));
            modHeartBeatControl::g_receiveHeartBeat(cobId);
        }
    } else if (cobId == cobIdSymbolValue && data.size() >= kSymbolFrameLength) {
        dispatchSymbol(data);
    }
    return queued > 0;
}

// A fault that persists would otherwise open a box on every tick, each inside the last.
void frmCANopen::reportDrainFailure(qint32 status, qint32 cobId) {
    if (m_drainBoxOpen || status == m_drainFailureShown) return;
    m_drainFailureShown = status;
    m_drainBoxOpen = true;
    canOpenError(status, QStringLiteral("Read PDO %1").arg(cobId), 0);
    m_drainBoxOpen = false;
}

void frmCANopen::dispatchSymbol(const QByteArray& data) {
    using namespace modGlobal;
    qint32 key = static_cast<qint32>(bytes::getUnsigned(data, 0, 2, bytes::Order::LittleEndian).value_or(0));
    const QByteArray value = data.mid(4, 4);
    const qint32 symbol = symbolOfKey(key);
    if (symbol == g_symModuleStateRO) modAutoDownload::g_setModuleStatus(value);
    else if (symbol == g_symSwUpdateStateRO) modAutoDownload::g_setUpdateStatus(value);
    else if (symbol == g_symSwUpdateFailureRO) modAutoDownload::g_setUpdateFailure(value);
    else if (symbol == g_symModuleStateRW) modAutoDownload::g_setCommandStatus(value);
    else if (symbol == g_symEngStandstill) modAutoDownload::g_setEngineStandStill(value);
    else if (const SystemSymbol* row = systemSymbolOf(symbol)) symbolSettersLink::get().setSystemValue(*row, value, key);
}

void frmCANopen::statusCallback(quint8 state, quint8 node) {
    if (state != CanOpen::StateBootUp) return;
    g_setOperational(0, false);
    modGlobal::g_bootupReceived = true;
    QString text = txtStatusQueue->toPlainText();
    text += QStringLiteral("Network-Event: ") + QStringLiteral("Bootup message received") +
            QStringLiteral("   Node-No: ") + QString::number(node, 16).toUpper() + QStringLiteral("\r\n");
    txtStatusQueue->setPlainText(text);
    QTextCursor caret = txtStatusQueue->textCursor();
    caret.setPosition(std::max(0, static_cast<int>(txtStatusQueue->document()->characterCount()) - 2));
    txtStatusQueue->setTextCursor(caret);
}

void frmCANopen::m_CANInterface_ErrorEvent(qint32 id_, qint32 errorCode_, const QString& errorMessage_) {
    // A bus that goes away while set up is told to the engineer once; the next set-up
    // clears it.
    if (errorCode_ == CanStatus::HardwareError && m_initialised && !m_busLost) {
        m_busLost = true;
        ++m_busLosses;
        connectionDisplayLink::get().busLost(QStringLiteral("CAN: ") + errorMessage_);
    }
    if (!m_showErrorEvents) return;
    modMsgBox::g_errorMsgBox(QString::number(errorCode_) + QStringLiteral(" :") + errorMessage_,
                             QStringLiteral("CANOpen Error Event"));
}

// The adapter opened its converter again: the waits of the running command may use it.
void frmCANopen::m_CANInterface_ReconnectEvent(qint32 id_, const QString& message_) {
    if (!m_initialised || !m_busLost) return;
    m_busLost = false;
    connectionDisplayLink::get().busBack(QStringLiteral("CAN: ") + message_);
}

// ---- Raw messages ----

bool frmCANopen::sendRaw(qint32 cobId, const QByteArray& data) {
    qint32 status = CanStatus::InterfaceError;
    if (m_CANInterface) m_CANInterface->sendMessage(cobId, data, status);
    m_lastStatus = status;
    return status == CanStatus::Success;
}

bool frmCANopen::g_setServiceBit(qint32 idAndCyl_, quint8 state_) {
    bool ok = false;
    trap(kObject, "g_setServiceBit", [&] {
        if (!m_initialised || !isKey(idAndCyl_)) return;
        QByteArray f = keyFrame(idAndCyl_, 0x85);
        f[4] = static_cast<char>(state_);
        ok = sendRaw(cobIdSymbolWrite, f);
    });
    return ok;
}

bool frmCANopen::g_setUserLevel(quint8 level_) {
    if (m_noCAN) return false;
    bool ok = false;
    trap(kObject, "g_setUserLevel", [&] {
        QByteArray f(8, '\0');
        f[0] = static_cast<char>(level_ | 0x80);
        ok = sendRaw(cobIdUserLevel, f);
    });
    return ok;
}

bool frmCANopen::g_writeSymbol(qint32 idAndCyl_, qint16 cylNo_, const QByteArray& value_) {
    if (m_noCAN) return false;
    bool ok = false;
    trap(kObject, "g_writeSymbol", [&] {
        const qint64 key = qint64(idAndCyl_) + qint64(cylNo_) * symbolKeyModuleStep;
        if (!isKey(key)) return;
        QByteArray f = keyFrame(static_cast<qint32>(key), 0x80);
        for (int i = 0; i < 4 && i < value_.size(); ++i) f[4 + i] = value_[i];
        ok = sendRaw(cobIdSymbolWrite, f);
    });
    return ok;
}

// ---- Timers ----

void frmCANopen::timHeartBeatControl_Timer() {
    trap(kObject, "timHeartBeatControl_Timer", [] { modHeartBeatControl::g_heartBeatControl_Update(); });
    trap(kObject, "timHeartBeatControl_Timer",
         [this] { modAutoDownload::g_checkEngineStandStillTimeout(timHeartBeatControl->interval()); });
    // Between commands only: no question may mix into a command's traffic.
    trap(kObject, "timHeartBeatControl_Timer", [] { modConnectionStatus::g_checkKeptCylinders(); });
}

void frmCANopen::timPolyDeskHeartBeat_Timer() {
    trap(kObject, "timPolyDeskHeartBeat_Timer", [this] {
        if (!modGlobal::g_isMBusConnection || !m_CANInterface) return;
        qint32 ignored = 0;
        m_CANInterface->sendHeartBeat(pcNode, CanOpen::StateOperational, ignored);
    });
}
