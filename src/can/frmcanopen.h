#pragma once
// The program's CANopen master: the one holder of the CAN interface component. Every other
// part reaches the buses through its public operations: bus set-up on a board, release,
// NMT start, SDO read and write with the choice of block transfer, node search, the raw
// symbol, service-bit and user-level messages, and the version readers. Its received-
// message drain feeds heartbeat supervision, the auto-download state and the main
// window's setters. It is also a small test window, "CANopen Test".
//
// One object for the whole run (instance()); its window is loaded on the first bus set-up
// that finds CAN available, on showing the test view, or on the first release. A load
// creates the component and starts the 200 ms heartbeat-control tick and the 500 ms PC
// heartbeat; an unload (the exit procedure's) releases the master and stops both.
// Closing the test view only hides it.
#include "can/canmaster.h"
#include "can/canmessageform.h"
#include "can/moduleprotocol.h"

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <optional>
#include <array>
#include <memory>
#include <utility>

class CANInterface;
class KTimer;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class frmCANopen : public QWidget, public CanMaster {
    Q_OBJECT
public:
    static frmCANopen& instance();
    ~frmCANopen() override;

    // ---- Flags (see CanMaster) ----
    bool g_noCAN() const override { return m_noCAN; }
    void set_g_noCAN(bool on) override { m_noCAN = on; }
    bool g_blockTransferEnable() const override { return m_blockTransferEnable; }
    void set_g_blockTransferEnable(bool on) override { m_blockTransferEnable = on; }
    bool g_bootupReceived() const override;
    void set_g_bootupReceived(bool on) override;
    bool g_heartBeatRefresh() const override;
    void set_g_heartBeatRefresh(bool on) override;

    // The component; exists while the window is loaded.
    std::unique_ptr<CANInterface> m_CANInterface;

    // ---- Bus set-up, release, network management ----
    // Sets up the bus named busName_ ("M..." is the M-Bus) on device deviceNo_; 255 takes
    // the device from the configuration, with one retry on the next number. dllVersion_
    // receives the component's version.
    bool g_initialise(const CanMessageForm& messageForm_, double& dllVersion_, const QString& busName_, bool darvo_,
                      quint8 deviceNo_) override;
    void g_releaseCanOpen(bool onlyHW_) override;
    // NMT start; node 0 starts all nodes.
    bool g_setOperational(quint8 node_, bool noMessage_ = false) override;

    // ---- SDO ----
    // rxLen_ returns the number of bytes received.
    bool g_readSDO(quint8 node_, qint32 index_, quint8 subIndex_, qint32& rxLen_, QByteArray& rxData_,
                   bool recursiveCall_ = false, bool noMessage_ = false, bool noBlockTransfer_ = false) override;
    // txLen_ only serves the block decision; the data give the length. timeout_ > 0 is the
    // SDO time-out for this write only (200 ms afterwards).
    bool g_writeSDO(quint8 node_, qint32 index_, quint8 subIndex_, qint32 txLen_, const QByteArray& txData_,
                    bool noMessage_ = false, qint32 timeout_ = 0) override;
    // Whether the module runs the program that cobIDoffset_ (a node-id base) names.
    bool g_searchNode(qint16 moduleID_, quint8 cobIDoffset_, bool noMessage_, qint32& returnVal_) override;
    // The bootloader version from 0x100A ("3.10" gives 3.1); 0 when unreadable.
    double g_getBootLoaderVersion(quint8 node_) override;
    // The hardware version number from 0x1009 as decimal text; "X" for an empty text, "?"
    // when unreadable.
    QString g_getHardwareVersion(qint16 cylNo_, bool isInBootloader_) override;
    // The next transfer asks the module's bootloader version again.
    void g_resetSDOTransferMode(qint16 module) override;

    // ---- Received messages and raw symbol messages ----
    // Drains the received messages now.
    void g_forceHeartBeatCheck() override;
    // Switches the publication of a symbol on (1) or off (0); only while initialised.
    bool g_setServiceBit(qint32 idAndCyl_, quint8 state_) override;
    bool g_setUserLevel(quint8 level_) override;
    // Writes a symbol value (four bytes) to cylinder cylNo_.
    bool g_writeSymbol(qint32 idAndCyl_, qint16 cylNo_, const QByteArray& value_) override;

    // ---- What the CAN part knows of the modules (see CanMaster) ----
    moduleProtocol::ModuleStates heartBeatStates() override;
    moduleProtocol::ModuleStates connectionStates() override;
    moduleProtocol::ModuleState moduleState(int module) override;
    moduleProtocol::ModuleStates shownStates() override;
    bool oldBootloaderDetectedOnMBus() override;
    void checkMBusModuleID(bool inBootloader) override;
    qint32 engineStandStillStatus() override;
    bool enoughCylindersToRunEngine() override;

    // ---- Window states ----
    bool isLoaded() const override { return m_loaded; }
    // Loads the window when it is not loaded.
    void load();
    // Releases the master, closes the window and stops its timers.
    void unload() override;
    // Shows the test view (loads the window first).
    void g_show() override;

    // ---- The master's own helpers, open to diagnostics ----
    static qint32 getBoardType(const QString& name);
    static QString getErrorText(qint32 status);
    // Builds the short text operation + ": " + status text (the result) and, unless
    // noMessage, shows it with node, index and sub-index in the "CANopen ERROR" box. An
    // absent node, index or sub-index is 255, -1 and 255.
    QString canOpenError(qint32 status, const QString& operation, qint32 node = 255, qint32 index = -1,
                         qint32 subIndex = 255, bool noMessage = false, const QString& cause = QString());
    // What an SDO abort code says (empty for a status that is no abort code).
    static QString sdoAbortText(qint32 status);
    // Whether a transfer with the node may use block transfer.
    bool getSDOBlockTransferMode(quint8 node);
    bool isInitialised() const { return m_initialised; }
    // A bus is set up and its adapter has not lost it since.
    bool busUp() const override { return !m_noCAN && m_initialised && !m_busLost; }
    // The adapter reported the bus of the running set-up lost.
    bool busLost() const override { return m_initialised && m_busLost; }
    // How often the adapter lost its bus since the program started; a command compares.
    int busLosses() const override { return m_busLosses; }
    qint32 lastStatus() const { return m_lastStatus; }
    // Whether an SDO transfer failed on a converter that took no frames since the last ask.
    bool takeTransmitQueueFull() override { return std::exchange(m_transmitQueueFull, false); }

    // ---- Controls of the test view ----
    QGroupBox* fraCanOpen;
    std::array<QRadioButton*, 2> optTargetMode;
    QLineEdit* txtCylNo;
    QLabel* lblCylNo;
    QPushButton* cmdStopStartNode;
    QGroupBox* fraReadSDO;
    QComboBox* cboSDO;
    QGroupBox* fraIndex;
    QLineEdit* txtIndex;
    QLineEdit* txtSubindex;
    QLabel* lblIndex;
    QLabel* lblSubIndex;
    QPushButton* cmdReadSDO;
    QLabel* lblResult;
    QPlainTextEdit* txtResult;
    QGroupBox* fraHeartBeat;
    QLineEdit* txtHeartBeatTime;
    QLabel* lblHeartBeatTime;
    QPushButton* cmdSetHeartBeat;
    QGroupBox* grpStatusQueue;
    QPlainTextEdit* txtStatusQueue;
    QPushButton* cmdInitCOP;
    QPushButton* cmdResetCOP;
    QLabel* Label1;
    QLabel* lblMasterState;
    KTimer* timHeartBeatControl;
    KTimer* timPolyDeskHeartBeat;

public slots:
    void cboSDO_GotFocus();
    void cboSDO_Click();
    void cmdReadSDO_Click();
    void cmdSetHeartBeat_Click();
    void cmdInitCOP_Click();
    void cmdResetCOP_Click();
    void cmdStopStartNode_Click() {}
    void timHeartBeatControl_Timer();
    void timPolyDeskHeartBeat_Timer();

private slots:
    void m_CANInterface_SignalEvent();
    void m_CANInterface_ErrorEvent(qint32 id_, qint32 errorCode_, const QString& errorMessage_);
    void m_CANInterface_ReconnectEvent(qint32 id_, const QString& message_);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    frmCANopen();
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void resetControls();

    bool setSdoTimeout(qint32 ms);
    void initSDOTransferMode();
    void configureDevice(quint8 deviceNo);
    quint8 getNodeNo() const;
    // The view's own fields as its buttons take them: a text the field cannot take is
    // refused with a box naming the field and what it takes, and the field is marked.
    std::optional<quint8> targetNode();
    std::optional<qint64> fieldValue(QLineEdit* field, const QString& name, int base, qint64 high, const QString& takes,
                                     bool emptyIsZero = false);
    // Why the view's transfer with the node failed, as far as the view can tell.
    QString failureCause(qint32 status) const;
    void showBoardInfo();
    void showReadResult(qint32 index, qint32 subIndex, const QByteArray& data);

    void pdoCallback();
    bool readOneMessage();
    void dispatchSymbol(const QByteArray& data);
    void statusCallback(quint8 state, quint8 node);
    void reportDrainFailure(qint32 status, qint32 cobId);
    bool sendRaw(qint32 cobId, const QByteArray& data);

    static constexpr qint32 kDefaultSdoTimeout = 200;
    // Per-module SDO transfer mode.
    static constexpr qint32 kModeBlock = 0, kModeNoBlock = 1, kModeUnknown = 2;

    bool m_blockTransferEnable = false;
    bool m_noCAN = false;
    bool m_loaded = false;
    bool m_initialised = false;
    bool m_busLost = false;  // the adapter reported its bus lost after the set-up
    int m_busLosses = 0;
    // The box of a lost bus was shown: the failures that follow stay quiet until a module
    // answers a transfer again, so a dead bus gives one box, not one per call.
    bool m_lossBoxShown = false;
    qint32 m_lastStatus = 0;
    bool m_transmitQueueFull = false;
    qint32 m_sdoTimeout = kDefaultSdoTimeout;
    CanMessageForm m_messageForm;
    std::array<qint32, moduleProtocol::moduleCount> m_transferMode = [] {
        std::array<qint32, moduleProtocol::moduleCount> a;
        a.fill(kModeUnknown);
        return a;
    }();
    // Set by nothing: the component's error events are kept quiet.
    bool m_showErrorEvents = false;
    // A drain's failure box is open: drains that run meanwhile show none of their own.
    bool m_drainBoxOpen = false;
    // The failure last shown by the drain; the same failure is not shown again until the
    // queue is found empty, so a persistent bus fault gives one box, not one per tick.
    qint32 m_drainFailureShown = 0;
};
