// The CAN master: window states, bus set-up and release, and the NMT start.
#include "can/frmcanopen.h"

#include "can/moduleprotocol.h"

#include "caninterface/caninterface.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "desktop/windowfit.h"
#include "services/errtrap.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
constexpr const char* kObject = "frmCANopen";

QString item(const char* name, const QVariant& defaultValue) {
    return modGlobal::g_getMiscItem(QString::fromLatin1(name), defaultValue);
}
// A node-id base item, its default given in the hexadecimal digits the item holds.
qint16 hexItem(const char* name, qint16 defaultValue) {
    return static_cast<qint16>(modGlobal::hexValue(item(name, QString::number(defaultValue, 16).toUpper())));
}
}  // namespace

frmCANopen& frmCANopen::instance() {
    static frmCANopen* form = new frmCANopen;  // lives for the whole run
    return *form;
}

frmCANopen::frmCANopen() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("frmCANopen"));
    buildControls();
}

frmCANopen::~frmCANopen() = default;

// ---- Window states ----

void frmCANopen::load() {
    if (m_loaded) return;
    m_loaded = true;
    trap(kObject, "Form_Load", [this] { Form_Load(); });
}

void frmCANopen::Form_Load() {
    modGlobal::g_registerWindow(this);
    if (QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance())) setWindowIcon(app->windowIcon());
    m_sdoTimeout = kDefaultSdoTimeout;
    m_initialised = false;
    m_drainBoxOpen = false;
    m_drainFailureShown = 0;
    m_CANInterface = std::make_unique<CANInterface>();
    connect(m_CANInterface.get(), &CANInterface::SignalEvent, this, &frmCANopen::m_CANInterface_SignalEvent);
    connect(m_CANInterface.get(), &CANInterface::ErrorEvent, this, &frmCANopen::m_CANInterface_ErrorEvent);
    connect(m_CANInterface.get(), &CANInterface::ReconnectEvent, this, &frmCANopen::m_CANInterface_ReconnectEvent);
    resetControls();
    timHeartBeatControl->start();
    timPolyDeskHeartBeat->start();
}

void frmCANopen::unload() {
    if (!m_loaded) return;
    trap(kObject, "Form_Unload", [this] { Form_Unload(); });
    timHeartBeatControl->stop();
    timPolyDeskHeartBeat->stop();
    hide();
    m_CANInterface.reset();
    m_initialised = false;
    modGlobal::g_unregisterWindow(this);
    m_loaded = false;
}

void frmCANopen::Form_Unload() { g_releaseCanOpen(false); }

void frmCANopen::g_show() {
    load();
    windowFit::openInside(this);
    show();
    raise();
}

// Closing the test view only hides it: the master, its tick and the PC heartbeat serve
// the whole run, and only the exit procedure unloads them.
void frmCANopen::closeEvent(QCloseEvent* e) {
    e->ignore();
    hide();
}

// ---- Bus set-up ----

void frmCANopen::initSDOTransferMode() { m_transferMode.fill(kModeUnknown); }

void frmCANopen::g_resetSDOTransferMode(qint16 module) {
    if (module >= 0 && module < moduleProtocol::moduleCount) m_transferMode[module] = kModeUnknown;
}

// The plugin and interface of a device number: canInterface_0 and _1 name the two
// converters (any further number follows the same pattern).
void frmCANopen::configureDevice(quint8 deviceNo) {
    const QString plugin = item("canPlugin", QStringLiteral("virtualcan"));
    const QString name = modGlobal::g_getMiscItem(QStringLiteral("canInterface_%1").arg(deviceNo),
                                                  QStringLiteral("can%1").arg(deviceNo));
    m_CANInterface->setDevice(deviceNo, plugin, name);
}

bool frmCANopen::g_initialise(const CanMessageForm& messageForm_, double& dllVersion_, const QString& busName_,
                              bool darvo_, quint8 deviceNo_) {
    initSDOTransferMode();
    if (m_noCAN) return true;

    load();
    setCursor(Qt::WaitCursor);
    m_messageForm = messageForm_;
    const qint32 boardType = getBoardType(item("canDevice", QStringLiteral("USBCompact")));

    using namespace modGlobal;
    using namespace moduleProtocol;
    g_isMBusConnection = !(g_qtmMode || g_bzmMode) && busName_.left(1).toUpper() == QLatin1String("M");
    g_cobIdBootloaderSBus = 0;
    qint32 baudRate = 0;
    if (g_qtmMode) {
        baudRate = decimalValue(item("baudrateMBus", 125));
        g_cobIdBootloader = hexItem("cobIdBootlQTM", qtmNodes.bootloader);
        g_cobIdApplication = hexItem("cobIdApplQTM", qtmNodes.application);
    } else if (g_bzmMode) {
        baudRate = decimalValue(item("baudrateMBus", 125));
        g_cobIdBootloader = hexItem("cobIdBootlBZM", bzmNodes.bootloader);
        g_cobIdApplication = hexItem("cobIdApplBZM", bzmNodes.application);
    } else if (darvo_) {
        baudRate = decimalValue(item("baudrateSBus", 500));
        g_cobIdBootloader = hexItem("cobIdBootloader_Sbus_DARVO", sBusDarvoNodes.bootloader);
        g_cobIdApplication = hexItem("cobIdApplication_Sbus_DARVO", sBusDarvoNodes.application);
    } else if (!g_isMBusConnection) {
        baudRate = decimalValue(item("baudrateSBus", 500));
        g_cobIdBootloader = hexItem("cobIdBootloader_Sbus", sBusNodes.bootloader);
        g_cobIdApplication = hexItem("cobIdApplication_Sbus", sBusNodes.application);
    } else {
        baudRate = decimalValue(item("baudrateMBus", 125));
        g_cobIdBootloaderSBus = hexItem("cobIdBootloader_Sbus", sBusNodes.bootloader);
        g_cobIdBootloader = hexItem("cobIdBootloader_Mbus", mBusNodes.bootloader);
        g_cobIdApplication = hexItem("cobIdApplication_Mbus", mBusNodes.application);
    }

    const bool deviceGiven = deviceNo_ != 255;
    quint8 deviceNo = deviceNo_;
    if (!deviceGiven) {
        const qint32 configured = decimalValue(item("deviceNo", 0));
        if (configured < 0 || configured > 255) throw RuntimeError(6, QStringLiteral("Overflow"));
        deviceNo = static_cast<quint8>(configured);
    }

    if (m_messageForm.addMessage)
        m_messageForm.addMessage(deviceGiven ? QStringLiteral("   Initialising USB-to-CAN %1").arg(deviceNo_)
                                             : QStringLiteral("   Initialising CAN-Interface"));

    qint32 status = 0;
    // Opening a board closes the one open before: from here the master runs only if this
    // set-up succeeds.
    m_initialised = false;
    m_busLost = false;
    m_lossBoxShown = false;
    configureDevice(deviceNo);
    m_CANInterface->initBoard(boardType, deviceNo, baudRate, 48891, status);
    m_lastStatus = status;
    bool ok = status == CanStatus::Success;
    // Which plugin and interface, or why not: what the engineer checks first at a real converter.
    const auto logOpening = [this] {
        if (m_messageForm.addMessage) m_messageForm.addMessage(QStringLiteral("   ") + m_CANInterface->openReport());
    };
    logOpening();

    // From here on a run-time error is ignored: the set-up goes on with its next step.
    auto ignoring = [](auto&& step) {
        try {
            step();
        } catch (...) {
        }
    };
    dllVersion_ = 1.0;
    ignoring([&] { dllVersion_ = CANInterfaceVersion().version(); });

    // A configured 255 has no next number.
    if (!deviceGiven && !ok && deviceNo < 255) {
        ignoring([&] {
            ++deviceNo;
            configureDevice(deviceNo);
            m_CANInterface->initBoard(boardType, deviceNo, baudRate, 48891, status);
            m_lastStatus = status;
            ok = status == CanStatus::Success;
            logOpening();
        });
    }
    if (ok) {
        ignoring([&] {
            qint32 ignored = 0;
            m_CANInterface->setMasterOption3(800, ignored);
            m_CANInterface->setMasterOption1(40, ignored);
            m_CANInterface->setMasterOption2(50, ignored);
        });
    }

    // Only an opened board is started, and the master counts as initialised only once
    // the board runs.
    if (ok) {
        ignoring([&] {
            m_CANInterface->startCan(status);
            m_lastStatus = status;
            ok = status == CanStatus::Success;
        });
        if (ok) {
            m_initialised = true;
            ignoring([&] { cmdInitCOP->setText(QStringLiteral("&Get Board Information")); });
            // The view tells that the bus works; "not initialized" stays for a master without one.
            ignoring([&] { lblMasterState->setText(QStringLiteral("initialized")); });
            unsetCursor();
        } else {
            if (!deviceGiven) {
                ignoring([&] { canOpenError(status, QStringLiteral("Start CAN")); });
                ignoring([&] { if (m_messageForm.errorSignal) m_messageForm.errorSignal(true); });
            }
            ignoring([&] { g_releaseCanOpen(true); });
        }
    } else if (deviceGiven) {
        // The caller tries converter after converter: it sees False and goes on.
        unsetCursor();
    } else {
        ignoring([&] {
            const QString text = canOpenError(status, QStringLiteral("Init board"), 255, -1, 255, true);
            if (m_messageForm.addMessage) m_messageForm.addMessage(text);
        });
        ignoring([&] { if (m_messageForm.errorSignal) m_messageForm.errorSignal(true); });
        m_noCAN = true;
        unsetCursor();
    }
    return ok;
}

void frmCANopen::g_releaseCanOpen(bool onlyHW_) {
    load();
    // Each step on its own: a target field that cannot be read must not keep the board running.
    trap(kObject, "g_releaseCanOpen", [&] {
        qint32 status = 0;
        if (!onlyHW_ && m_initialised && m_CANInterface) m_CANInterface->releaseNode(getNodeNo(), status);
    });
    trap(kObject, "g_releaseCanOpen", [&] {
        qint32 status = 0;
        if (m_CANInterface) m_CANInterface->stopCan(status);
        m_lastStatus = status;
    });
    m_initialised = false;
    trap(kObject, "g_releaseCanOpen", [&] {
        lblMasterState->setText(QStringLiteral("not initialized"));
        lblMasterState->repaint();
        cmdInitCOP->setText(QStringLiteral("Init CANInterface"));
        txtStatusQueue->clear();
        unsetCursor();
    });
}

bool frmCANopen::g_setOperational(quint8 node_, bool noMessage_) {
    if (m_noCAN) return true;
    bool ok = false;
    trap(kObject, "g_setOperational", [&] {
        qint32 status = CanStatus::InterfaceError;
        if (m_CANInterface) m_CANInterface->startRemoteNode(node_, status);
        m_lastStatus = status;
        ok = status == CanStatus::Success;
        if (!ok && !noMessage_) {
            canOpenError(status, QStringLiteral("Set operational"), node_);
            if (m_messageForm.errorSignal) m_messageForm.errorSignal(true);
        }
    });
    return ok;
}

