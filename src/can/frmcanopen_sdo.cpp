// The CAN master's SDO transfer with the block decision, the node search, the version
// readers and the status texts.
#include "can/frmcanopen.h"

#include "can/modautodownload.h"
#include "can/modheartbeatcontrol.h"
#include "can/moduleprotocol.h"
#include "caninterface/caninterface.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QRegularExpression>

using modStringFct::sprintf;

namespace {
constexpr const char* kObject = "frmCANopen";

// The decimal text of the number at the text's start ("07.1 rev B" gives "7.1"), 0 when
// there is none; whatever follows the number is ignored.
QString leadingNumberText(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const auto m = number.match(text);
    if (!m.hasMatch()) return QStringLiteral("0");
    return QString::number(m.captured(1).toDouble(), 'g', 15);
}
}  // namespace

// ---- SDO ----

bool frmCANopen::setSdoTimeout(qint32 ms) {
    if (ms == m_sdoTimeout) return true;
    qint32 status = CanStatus::InterfaceError;
    if (m_CANInterface) m_CANInterface->setSdoTimeout(ms, status);
    m_lastStatus = status;
    if (status == CanStatus::Success) {
        m_sdoTimeout = ms;
        return true;
    }
    canOpenError(status, QStringLiteral("Set SDO Timeout"));
    return false;
}

bool frmCANopen::getSDOBlockTransferMode(quint8 node) {
    using namespace modGlobal;
    qint32 base = g_cobIdBootloader;
    if (g_isMBusConnection && node != g_cobIdBootloader && g_cobIdBootloaderSBus >= 1) base = g_cobIdBootloaderSBus;
    const qint32 module = qint32(node) - base;
    if (module < 0 || module >= moduleProtocol::moduleCount) return false;
    if (!(g_canInterfaceVersion > 1.0)) return false;
    if (m_transferMode[module] == kModeUnknown) {
        const double version = g_getBootLoaderVersion(node);
        m_transferMode[module] = (version >= 3.0 || m_blockTransferEnable) ? kModeBlock : kModeNoBlock;
    }
    return m_transferMode[module] == kModeBlock;
}

bool frmCANopen::g_readSDO(quint8 node_, qint32 index_, quint8 subIndex_, qint32& rxLen_, QByteArray& rxData_,
                           bool recursiveCall_, bool noMessage_, bool noBlockTransfer_) {
    if (m_noCAN) return true;
    bool ok = false;
    trap(kObject, "g_readSDO", [&] {
        const bool block = (!recursiveCall_ && !noBlockTransfer_) ? getSDOBlockTransferMode(node_) : false;
        qint32 status = CanStatus::InterfaceError;
        if (m_CANInterface) m_CANInterface->sdoUpload(node_, index_, subIndex_, rxData_, rxLen_, !block, block, status);
        m_lastStatus = status;
        m_transmitQueueFull = m_transmitQueueFull || status == CanStatus::TransmitQueueFull;
        ok = status == CanStatus::Success;
        if (ok) m_lossBoxShown = false;
        if (!ok && !noMessage_) canOpenError(status, QStringLiteral("Read SDO"), node_, index_, subIndex_);
    });
    return ok;
}

bool frmCANopen::g_writeSDO(quint8 node_, qint32 index_, quint8 subIndex_, qint32 txLen_, const QByteArray& txData_,
                            bool noMessage_, qint32 timeout_) {
    if (m_noCAN) return true;
    bool ok = false;
    trap(kObject, "g_writeSDO", [&] {
        bool block = false, noBlock = false;
        if (!modGlobal::g_qtmMode && !modGlobal::g_bzmMode) {
            // The mode is settled first, so a short write to a bootloader of unknown mode
            // still reads its version.
            block = getSDOBlockTransferMode(node_) && txLen_ >= 256;
            noBlock = !block;
        }
        if (timeout_ > 0) setSdoTimeout(timeout_);
        qint32 status = CanStatus::InterfaceError;
        if (m_CANInterface) m_CANInterface->sdoDownload(node_, index_, subIndex_, txData_, noBlock, block, status);
        m_lastStatus = status;
        m_transmitQueueFull = m_transmitQueueFull || status == CanStatus::TransmitQueueFull;
        ok = status == CanStatus::Success;
        if (ok) m_lossBoxShown = false;
        if (!ok && !noMessage_) canOpenError(status, QStringLiteral("Write SDO"), node_, index_, subIndex_);
        if (timeout_ > 0) setSdoTimeout(kDefaultSdoTimeout);
    });
    // A section goes out in many writes without a pass of the event loop between them:
    // what the modules published meanwhile is served now, before the queue can fill. The
    // write's own status stays the last one.
    const qint32 status = m_lastStatus;
    g_forceHeartBeatCheck();
    m_lastStatus = status;
    return ok;
}

bool frmCANopen::g_searchNode(qint16 moduleID_, quint8 cobIDoffset_, bool noMessage_, qint32& returnVal_) {
    if (m_noCAN) return true;
    bool found = false;
    trap(kObject, "g_searchNode", [&] {
        g_forceHeartBeatCheck();
        const moduleProtocol::ModuleState state = (moduleID_ > 0 && modGlobal::g_isMBusConnection)
                                                      ? modAutoDownload::g_getModuleStatusADL(moduleID_)
                                                      : modHeartBeatControl::g_getModuleStatusHB(moduleID_);
        found = cobIDoffset_ == modGlobal::g_cobIdBootloader ? state == moduleProtocol::ModuleState::bootloader
                                                              : state == moduleProtocol::ModuleState::application;
        returnVal_ = m_lastStatus;
    });
    return found;
}

double frmCANopen::g_getBootLoaderVersion(quint8 node_) {
    double version = 0;
    trap(kObject, "g_getBootLoaderVersion", [&] {
        qint32 len = 0;
        QByteArray data;
        if (!g_readSDO(node_, moduleProtocol::idxSoftwareVersion, 0, len, data, true, true, false)) return;
        if (data.size() < 4) return;
        const int d1 = quint8(data[0]) - 48;
        if (d1 < 1 || d1 > 9 || data[1] != '.') return;
        version = d1 + (quint8(data[2]) - 48) / 10.0 + (quint8(data[3]) - 48) / 100.0;
    });
    return version;
}

QString frmCANopen::g_getHardwareVersion(qint16 cylNo_, bool isInBootloader_) {
    QString result = QStringLiteral("?");
    trap(kObject, "g_getHardwareVersion", [&] {
        using namespace moduleProtocol;
        qint32 node = 0;
        // On the M-Bus the fixed bases, whatever the configuration says.
        if (modGlobal::g_isMBusConnection) {
            if (cylNo_ == 0) node = isInBootloader_ ? mBusNodes.bootloader : mBusNodes.application;
            else node = cylNo_ + (isInBootloader_ ? sBusNodes.bootloader : sBusNodes.application);
        } else {
            node = cylNo_ + (isInBootloader_ ? modGlobal::g_cobIdBootloader : modGlobal::g_cobIdApplication);
        }
        if (node < 0 || node > 255) throw RuntimeError(6, QStringLiteral("Overflow"));
        qint32 len = 0;
        QByteArray data;
        if (!g_readSDO(static_cast<quint8>(node), idxHardwareVersion, 0, len, data, true, true, false)) return;
        const int end = data.indexOf('\0');
        const QString text = modStringFct::fromAnsi(end < 0 ? data : data.left(end));
        if (text.isEmpty()) {
            result = QStringLiteral("X");
            return;
        }
        result = leadingNumberText(text);
    });
    return result;
}

// ---- Texts ----

qint32 frmCANopen::getBoardType(const QString& name) {
    static const struct {
        const char* name;
        qint32 type;
    } types[] = {
        {"SELECT", -1},
        {"IPCI165", 0x01010000},
        {"IPCI320", 0x01010100},
        {"TINCAN", 0x01040300},
        {"IPCI165_PCI", 0x01020600},
        {"IPCI320_PCI", 0x01020700},
        {"USB2CAN", 0x01050A00},
        {"USB2CANII", 0x01051300},
        {"USBCOMPACT", 0x01050F00},
    };
    const QString upper = name.toUpper();
    for (const auto& t : types)
        if (upper == QLatin1String(t.name)) return t.type;
    return 0;
}

QString frmCANopen::getErrorText(qint32 status) {
    switch (status) {
    case CanStatus::Success: return QStringLiteral("Success");
    case CanStatus::GeneralError: return QStringLiteral("VCI General Error");
    case CanStatus::HardwareError: return QStringLiteral("VCI Hardware / Software Error");
    case CanStatus::ParameterError: return QStringLiteral("VCI Parameter Error");
    case CanStatus::ResourceError: return QStringLiteral("VCI Resource Error");
    case CanStatus::QueueOverrun: return QStringLiteral("VCI Que Overrun");
    case CanStatus::TransmissionError: return QStringLiteral("VCI Transmission Error");
    case CanStatus::TransmitQueueFull: return QStringLiteral("transmit queue of the converter full");
    case CanStatus::AlreadyStarted: return QStringLiteral("CAN Interface has already been started");
    case CanStatus::PassiveMode: return QStringLiteral("Device is in passive mode");
    case CanStatus::InterfaceError: return QStringLiteral("CAN-Interface General Error");
    default: return QStringLiteral("Unknown failure");
    }
}

QString frmCANopen::sdoAbortText(qint32 status) {
    // The abort codes a module or this side gives most; others are named by their number.
    static const struct {
        quint32 code;
        const char* text;
    } known[] = {
        {0x05030000, "toggle bit not alternated"},
        {0x05040000, "no answer in time (SDO protocol timed out)"},
        {0x05040001, "command specifier not valid or unknown"},
        {0x05040004, "CRC error"},
        {0x06010000, "unsupported access to the object"},
        {0x06010001, "the object can only be written"},
        {0x06010002, "the object can only be read"},
        {0x06020000, "the object does not exist in the node"},
        {0x06070010, "data type or length does not match"},
        {0x06090011, "the sub-index does not exist in the node"},
        {0x08000000, "general error"},
        {0x08000020, "the data cannot be transferred or stored"},
        {0x08000022, "the data cannot be transferred or stored in the node's present state"},
    };
    const quint32 code = quint32(status);
    // Abort codes carry an error class in their top byte (5, 6 or 8).
    const quint32 errorClass = code >> 24;
    if (errorClass != 0x05 && errorClass != 0x06 && errorClass != 0x08) return QString();
    const QString number = QStringLiteral("0x") + QString::number(code, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    for (const auto& k : known)
        if (k.code == code) return QStringLiteral("SDO abort ") + number + QStringLiteral(": ") + QString::fromLatin1(k.text);
    return QStringLiteral("SDO abort ") + number;
}

QString frmCANopen::canOpenError(qint32 status, const QString& operation, qint32 node, qint32 index, qint32 subIndex,
                                 bool noMessage, const QString& cause) {
    const QString text = operation + QStringLiteral(": ") + getErrorText(status);
    if (noMessage || m_lossBoxShown) return text;
    if (status == CanStatus::HardwareError || m_busLost) m_lossBoxShown = true;
    QString box = text;
    if (node < 255) box += sprintf(QStringLiteral("\\nNode: {*}"), node);
    if (index >= 0) box += sprintf(QStringLiteral(" Index: 0x{*} "), QString::number(index, 16).toUpper());
    if (subIndex < 255) box += sprintf(QStringLiteral(" Sub-Index: 0x{*}"), QString::number(subIndex, 16).toUpper());
    if (!cause.isEmpty()) box += QStringLiteral("\r\n") + cause;
    modMsgBox::g_errorMsgBox(box, QStringLiteral("CANopen ERROR"));
    return text;
}
