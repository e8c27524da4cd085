// The CAN master's test view "CANopen Test": read standard objects of a node, set its
// heartbeat time, start the network, show the board information, release the master.
#include "can/frmcanopen.h"

#include "can/modconnectionstatus.h"
#include "can/moduleprotocol.h"

#include "bytes/bytes.h"
#include "caninterface/caninterface.h"
#include "desktop/dialogs.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using modStringFct::sprintf;
using namespace moduleProtocol;

namespace {
constexpr const char* kObject = "frmCANopen";
constexpr qint32 kExpectedLength = 20;

struct SdoEntry {
    const char* text;
    qint32 number;  // index * 10 + sub-index
};
constexpr qint32 entry(qint32 index, qint32 subIndex = 0) { return index * 10 + subIndex; }
constexpr SdoEntry kSdoEntries[] = {
    {"device type", entry(idxDeviceType)},
    {"error register", entry(idxErrorRegister)},
    {"COB-ID sync", entry(idxCobIdSync)},
    {"manufacturer name", entry(idxDeviceName)},
    {"hardware version", entry(idxHardwareVersion)},
    {"software version", entry(idxSoftwareVersion)},
    {"producer heartbeat time", entry(idxHeartbeatTime)},
    {"vendor id", entry(idxIdentity, 1)},
    {"product code", entry(idxIdentity, 2)},
    {"revision no", entry(idxIdentity, 3)},
    {"serial no", entry(idxIdentity, 4)},
};

// VB's Val of a text.
qint64 decimal(const QString& text) { return modGlobal::decimalValue(text); }

// One field of the received bytes; empty when the bytes end before it.
int available(const QByteArray& data, int offset, int width) { return std::clamp(int(data.size()) - offset, 0, width); }
QString decField(const QByteArray& data, int offset, int width) {
    const int n = available(data, offset, width);
    return n ? modStringFct::g_byteToDezValStr(n, offset, data) : QString();
}
QString textField(const QByteArray& data, int offset, int width) {
    const int n = available(data, offset, width);
    return n ? modStringFct::g_byteToStr(n, offset, data) : QString();
}
QString hexField(const QByteArray& data, int offset, int width) {
    const int n = available(data, offset, width);
    return n ? modStringFct::g_byteToHexValStr(n, offset, data, true, QStringLiteral("&H")) : QString();
}
}  // namespace

void frmCANopen::buildControls() {
    setWindowTitle(QStringLiteral("CANopen Test"));
    auto* top = new QVBoxLayout(this);

    fraCanOpen = new QGroupBox(QStringLiteral("CANopen"), this);
    auto* target = new QGridLayout(fraCanOpen);
    optTargetMode[0] = new QRadioButton(QStringLiteral("Application:"), fraCanOpen);
    optTargetMode[1] = new QRadioButton(QStringLiteral("Bootloader:"), fraCanOpen);
    lblCylNo = new QLabel(QStringLiteral("Cyl.No.:"), fraCanOpen);
    txtCylNo = new QLineEdit(fraCanOpen);
    cmdStopStartNode = new QPushButton(QStringLiteral("Stop && Start Node"), fraCanOpen);
    target->addWidget(optTargetMode[0], 0, 0);
    target->addWidget(optTargetMode[1], 1, 0);
    target->addWidget(lblCylNo, 0, 1);
    target->addWidget(txtCylNo, 0, 2);
    target->addWidget(cmdStopStartNode, 1, 2);
    top->addWidget(fraCanOpen);

    fraReadSDO = new QGroupBox(QStringLiteral("Read SDO"), this);
    auto* read = new QGridLayout(fraReadSDO);
    cboSDO = new QComboBox(fraReadSDO);
    for (const SdoEntry& e : kSdoEntries) cboSDO->addItem(QString::fromLatin1(e.text), e.number);
    fraIndex = new QGroupBox(fraReadSDO);
    auto* index = new QGridLayout(fraIndex);
    lblIndex = new QLabel(QStringLiteral("Index (Hex):"), fraIndex);
    txtIndex = new QLineEdit(fraIndex);
    lblSubIndex = new QLabel(QStringLiteral("Subindex:"), fraIndex);
    txtSubindex = new QLineEdit(fraIndex);
    index->addWidget(lblIndex, 0, 0);
    index->addWidget(txtIndex, 0, 1);
    index->addWidget(lblSubIndex, 1, 0);
    index->addWidget(txtSubindex, 1, 1);
    cmdReadSDO = new QPushButton(QStringLiteral("Read"), fraReadSDO);
    lblResult = new QLabel(QStringLiteral("Result:"), fraReadSDO);
    txtResult = new QPlainTextEdit(fraReadSDO);
    read->addWidget(cboSDO, 0, 0);
    read->addWidget(fraIndex, 1, 0);
    read->addWidget(cmdReadSDO, 0, 1);
    read->addWidget(lblResult, 2, 0, 1, 2);
    read->addWidget(txtResult, 3, 0, 1, 2);
    top->addWidget(fraReadSDO);

    fraHeartBeat = new QGroupBox(QStringLiteral("Heart Beat"), this);
    auto* beat = new QHBoxLayout(fraHeartBeat);
    lblHeartBeatTime = new QLabel(QStringLiteral("Time (ms):"), fraHeartBeat);
    txtHeartBeatTime = new QLineEdit(fraHeartBeat);
    cmdSetHeartBeat = new QPushButton(QStringLiteral("Set Heart Beat"), fraHeartBeat);
    beat->addWidget(lblHeartBeatTime);
    beat->addWidget(txtHeartBeatTime);
    beat->addWidget(cmdSetHeartBeat);
    top->addWidget(fraHeartBeat);

    grpStatusQueue = new QGroupBox(QStringLiteral("Status Queue"), this);
    auto* queue = new QVBoxLayout(grpStatusQueue);
    txtStatusQueue = new QPlainTextEdit(grpStatusQueue);
    txtStatusQueue->setReadOnly(true);
    queue->addWidget(txtStatusQueue);
    top->addWidget(grpStatusQueue);

    auto* master = new QHBoxLayout;
    cmdInitCOP = new QPushButton(this);
    cmdResetCOP = new QPushButton(QStringLiteral("Release CANopen-Master"), this);
    Label1 = new QLabel(QStringLiteral("Master State :"), this);
    lblMasterState = new QLabel(this);
    master->addWidget(cmdInitCOP);
    master->addWidget(cmdResetCOP);
    master->addWidget(Label1);
    master->addWidget(lblMasterState);
    top->addLayout(master);

    timHeartBeatControl = new KTimer(this);
    timHeartBeatControl->setInterval(200);
    timPolyDeskHeartBeat = new KTimer(this);
    timPolyDeskHeartBeat->setInterval(500);

    cboSDO->installEventFilter(this);
    connect(cboSDO, &QComboBox::activated, this, &frmCANopen::cboSDO_Click);
    connect(cmdReadSDO, &QPushButton::clicked, this, &frmCANopen::cmdReadSDO_Click);
    connect(cmdSetHeartBeat, &QPushButton::clicked, this, &frmCANopen::cmdSetHeartBeat_Click);
    connect(cmdInitCOP, &QPushButton::clicked, this, &frmCANopen::cmdInitCOP_Click);
    connect(cmdResetCOP, &QPushButton::clicked, this, &frmCANopen::cmdResetCOP_Click);
    connect(cmdStopStartNode, &QPushButton::clicked, this, &frmCANopen::cmdStopStartNode_Click);
    connect(timHeartBeatControl, &KTimer::timeout, this, &frmCANopen::timHeartBeatControl_Timer);
    connect(timPolyDeskHeartBeat, &KTimer::timeout, this, &frmCANopen::timPolyDeskHeartBeat_Timer);
    resetControls();
}

// The controls as the window's design has them, and the first entry of cboSDO chosen.
void frmCANopen::resetControls() {
    optTargetMode[0]->setChecked(true);
    txtCylNo->setText(QStringLiteral("1"));
    txtIndex->setText(QStringLiteral("1000"));
    txtSubindex->setText(QStringLiteral("0"));
    txtResult->clear();
    lblResult->setText(QStringLiteral("Result:"));
    txtHeartBeatTime->setText(QStringLiteral("0"));
    txtStatusQueue->clear();
    cmdInitCOP->setText(QStringLiteral("Init CANopen-Master"));
    lblMasterState->setText(QStringLiteral("not initialized"));
    cboSDO->setCurrentIndex(0);
    fraIndex->setVisible(true);
}

bool frmCANopen::eventFilter(QObject* watched, QEvent* e) {
    if (watched == cboSDO && e->type() == QEvent::FocusIn) cboSDO_GotFocus();
    return QWidget::eventFilter(watched, e);
}

quint8 frmCANopen::getNodeNo() const {
    const qint64 base = optTargetMode[0]->isChecked() ? modGlobal::g_cobIdApplication : modGlobal::g_cobIdBootloader;
    const qint64 node = decimal(txtCylNo->text()) + base;
    if (node < 0 || node > 255) throw RuntimeError(6, QStringLiteral("Overflow"));
    return static_cast<quint8>(node);
}

namespace {
// A field in fault shows a light red ground until it is taken again.
void markField(QLineEdit* field, bool fault) {
    if (!fault) {
        field->setPalette(QPalette());
        return;
    }
    QPalette p = field->palette();
    p.setColor(QPalette::Base, QColor(255, 128, 128));
    field->setPalette(p);
}
}  // namespace

std::optional<qint64> frmCANopen::fieldValue(QLineEdit* field, const QString& name, int base, qint64 high,
                                             const QString& takes, bool emptyIsZero) {
    const QString text = field->text().trimmed();
    bool ok = emptyIsZero && text.isEmpty();
    const qint64 value = ok ? 0 : text.toLongLong(&ok, base);
    if (ok && value >= 0 && value <= high) {
        markField(field, false);
        return value;
    }
    markField(field, true);
    modMsgBox::g_errorMsgBox(sprintf(QStringLiteral("{*}: \"{*}\" cannot be used. The field takes {*}."), name,
                                     field->text(), takes),
                             QStringLiteral("CANopen Test"));
    field->setFocus();
    field->selectAll();
    return std::nullopt;
}

std::optional<quint8> frmCANopen::targetNode() {
    const std::optional<qint64> module = fieldValue(txtCylNo, QStringLiteral("Cyl.No."), 10, moduleProtocol::moduleCount - 1,
                                                    sprintf(QStringLiteral("a module number from 0 to {*}"), moduleProtocol::moduleCount - 1));
    if (!module) return std::nullopt;
    return getNodeNo();
}

QString frmCANopen::failureCause(qint32 status) const {
    QStringList cause;
    const QString abort = sdoAbortText(status);
    if (!abort.isEmpty()) cause << abort;
    // A module that runs the other program answers at the other node.
    const qint16 module = qint16(decimal(txtCylNo->text()));
    const moduleProtocol::ModuleState state = modConnectionStatus::g_getModuleStatus(module);
    const bool application = optTargetMode[0]->isChecked();
    if (state == moduleProtocol::ModuleState::bootloader && application)
        cause << sprintf(QStringLiteral("PXM #{*} runs its bootloader: choose \"Bootloader:\" to reach it."), module);
    else if (state == moduleProtocol::ModuleState::application && !application)
        cause << sprintf(QStringLiteral("PXM #{*} runs its application: choose \"Application:\" to reach it."), module);
    else if (state != moduleProtocol::ModuleState::bootloader && state != moduleProtocol::ModuleState::application)
        cause << sprintf(QStringLiteral("PXM #{*} sends no heartbeat: it is not connected or not powered."), module);
    return cause.join(QStringLiteral("\r\n"));
}

void frmCANopen::cboSDO_GotFocus() { fraIndex->setVisible(false); }

void frmCANopen::cboSDO_Click() {
    trap(kObject, "cboSDO_Click", [this] {
        const qint32 number = cboSDO->currentData().toInt();
        txtIndex->setText(QString::number(number / 10, 16).toUpper());
        txtSubindex->setText(QString::number(number % 10));
        fraIndex->setVisible(true);
    });
}

void frmCANopen::cmdReadSDO_Click() {
    trap(kObject, "cmdReadSDO_Click", [this] {
        const std::optional<quint8> node = targetNode();
        if (!node) return;
        const std::optional<qint64> index =
            fieldValue(txtIndex, QStringLiteral("Index (Hex)"), 16, 0xFFFF, QStringLiteral("a hexadecimal number from 0 to FFFF"));
        if (!index) return;
        const std::optional<qint64> sub =
            fieldValue(txtSubindex, QStringLiteral("Subindex"), 16, 0xFF, QStringLiteral("a hexadecimal number from 0 to FF"));
        if (!sub) return;
        QByteArray data;
        qint32 length = kExpectedLength, status = CanStatus::InterfaceError;
        if (m_CANInterface)
            m_CANInterface->sdoUpload(*node, qint32(*index), quint8(*sub), data, length, true, false, status);
        m_lastStatus = status;
        if (status == CanStatus::Success) showReadResult(qint32(*index), qint32(*sub), data.left(length));
        else canOpenError(status, QStringLiteral("Read SDO"), *node, qint32(*index), qint32(*sub), false, failureCause(status));
    });
}

void frmCANopen::showReadResult(qint32 index, qint32 subIndex, const QByteArray& data) {
    const int n = static_cast<int>(data.size());
    const QString hexText = modStringFct::g_byteToHexValStr(n, 0, data, true, QStringLiteral("&H"));
    const QString plainText = modStringFct::g_byteToStr(n, 0, data);
    QString name, value = hexText;
    switch (index) {
    case idxDeviceType: name = QStringLiteral("device type"); break;
    case idxErrorRegister: name = QStringLiteral("error register"); break;
    case idxCobIdSync: name = QStringLiteral("COB-ID sync"); break;
    case idxDeviceName: name = QStringLiteral("manufacturer name"); value = plainText; break;
    case idxHardwareVersion: name = QStringLiteral("hardware version"); value = plainText; break;
    case idxSoftwareVersion: name = QStringLiteral("software version"); value = plainText; break;
    case idxHeartbeatTime: name = QStringLiteral("producer heartbeat time"); break;
    case idxIdentity: {
        static const char* const parts[] = {"no of elements", "vendor id", "product code", "revision no", "serial no"};
        name = QStringLiteral("identity object / ") +
               (subIndex >= 0 && subIndex <= 4 ? QString::fromLatin1(parts[subIndex]) : QStringLiteral("-----"));
        const int n = ibNumberBytes;
        if (subIndex == 0) {
            value = decField(data, 0, n);
        } else {
            // The sub-indices of the identity read as a section info block.
            const QStringList lines = {
                QStringLiteral("Size: ") + decField(data, ibSize, n),
                QStringLiteral("ID: ") + textField(data, ibIdentification, ibIdentificationBytes),
                QStringLiteral("Version: ") + decField(data, ibVersion, n),
                QStringLiteral("Date: ") + textField(data, ibDate, ibDateBytes),
                QStringLiteral("Code Start: ") + hexField(data, ibStartAddress, n),
                QStringLiteral("Code Length: ") + hexField(data, ibDataLength(infoBlockSize), n),
                QStringLiteral("Code Checksum: ") + hexField(data, ibDataCrc(infoBlockSize), n),
                QStringLiteral("Info Block Checksum: ") + hexField(data, ibBlockCrc(infoBlockSize), n),
            };
            value = lines.join(QStringLiteral("\r\n"));
        }
        break;
    }
    default: name = QStringLiteral("-------"); break;
    }
    lblResult->setText(name);
    txtResult->setPlainText(value);
}

void frmCANopen::cmdSetHeartBeat_Click() {
    trap(kObject, "cmdSetHeartBeat_Click", [this] {
        const std::optional<quint8> node = targetNode();
        if (!node) return;
        const std::optional<qint64> ms = fieldValue(txtHeartBeatTime, QStringLiteral("Time (ms)"), 10, 65535,
                                                    QStringLiteral("a whole number of milliseconds from 0 to 65535"), true);
        if (!ms) return;
        QByteArray value;
        bytes::put(value, 0, *ms, 2, bytes::Order::LittleEndian);
        g_writeSDO(*node, idxHeartbeatTime, 0, 2, value, false, 0);
    });
}

void frmCANopen::cmdInitCOP_Click() {
    trap(kObject, "cmdInitCOP_Click", [this] {
        if (m_initialised) {
            showBoardInfo();
            return;
        }
        Dialogs::msgBox(QStringLiteral("this debug function has been disabled"));
        if (m_messageForm.addMessage) m_messageForm.addMessage(QStringLiteral("   Set net operational"));
        if (g_setOperational(0, false)) lblMasterState->setText(QStringLiteral("Net is operational"));
        else g_releaseCanOpen(true);
    });
}

void frmCANopen::showBoardInfo() {
    qint32 hw = 0, fw = 0, api = 0, segment = 0, irq = 0, status = CanStatus::InterfaceError;
    QString name, serial;
    if (m_CANInterface) m_CANInterface->getBoardInfo(hw, fw, api, segment, irq, name, serial, status);
    m_lastStatus = status;
    if (status != CanStatus::Success) return;
    auto high = [](qint32 v) { return QString::number((v >> 8) & 0xFF, 16).toUpper(); };
    auto low = [](qint32 v) { return QString::number(v & 0xFF, 16).toUpper(); };
    QString text = QStringLiteral("Information about used CAN board:\n\n");
    text += sprintf(QStringLiteral("Hardware version:\\t\\t{*}.{*}\\n"), high(hw), low(hw));
    text += sprintf(QStringLiteral("Firmware version:\\t\\t{*}.{*}\\n"), high(fw), low(fw));
    text += sprintf(QStringLiteral("CANopen API version:\\t{*}.{*}\\n"), high(api), low(api));
    text += sprintf(QStringLiteral("Board segment (hex):\\t{*}\\n"), QString::number(segment, 16).toUpper());
    text += sprintf(QStringLiteral("Interrupt:\\t\\t{*}\\n"), irq);
    text += sprintf(QStringLiteral("Hardware name:\\t\\t{*}\\n"), name);
    text += sprintf(QStringLiteral("Serial number:\\t\\t{*}"), serial);
    modMsgBox::g_informationMsgBox(text);
}

void frmCANopen::cmdResetCOP_Click() { g_releaseCanOpen(false); }
