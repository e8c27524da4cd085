// The repair window: its controls, its opening with the template list, and the control states.
#include "mainwindow/frmhwinfoblockrepair.h"

#include "mainwindow/vbcontrols.h"

#include "can/infoblock.h"
#include "can/canmaster.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>

namespace {
constexpr char kObject[] = "frmHWInfoBlockRepair";
const QString kPrefix = QStringLiteral("HWInfoBlockVersion");
const QString kSuffix = QStringLiteral(".bin");
}  // namespace

frmHWInfoBlockRepair::frmHWInfoBlockRepair() : QWidget(nullptr, Qt::Window) {
    setObjectName(QString::fromLatin1(kObject));
    setWindowTitle(QStringLiteral("Repair HW InfoBlock"));
    auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto edit = [this](const char* name, const char* text, int chars) {
        auto* e = new QLineEdit(QString::fromLatin1(text), this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 12);
        return e;
    };
    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    lblModuleNum = label("lblModuleNum", "Repair PXM #");
    cmbModuleNum = new QComboBox(this);
    cmbModuleNum->setObjectName(QStringLiteral("cmbModuleNum"));
    cmbModuleNum->addItem(QStringLiteral("---"));
    lblHWSerial = label("lblHWSerial", "Ser. No:");
    txtHWSerial = edit("txtHWSerial", "---", 11);
    lblProductionDate = label("lblProductionDate", "Prod. Date:");
    lblProductionDateWeek = label("lblProductionDateWeek", "Week");
    txtProductionDateWeek = edit("txtProductionDateWeek", "01", 3);
    lblProductionDateYear = label("lblProductionDateYear", "Year");
    txtProductionDateYear = edit("txtProductionDateYear", "1980", 5);
    lblHWVersion = label("lblHWVersion", "HW Rev.:");
    CmbHWVersion = new QComboBox(this);
    CmbHWVersion->setObjectName(QStringLiteral("CmbHWVersion"));
    CmbHWVersion->addItem(QStringLiteral("---"));
    cmdDownload = button("cmdDownload", "Download");
    cmdExit = button("cmdExit", "Exit");
    cmdCreateFile = button("cmdCreateFile", "Create File");

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblModuleNum, 0, 0);
    grid->addWidget(cmbModuleNum, 0, 1, 1, 4);
    grid->addWidget(lblHWSerial, 1, 0);
    grid->addWidget(txtHWSerial, 1, 1, 1, 4);
    grid->addWidget(lblProductionDate, 2, 0);
    grid->addWidget(lblProductionDateWeek, 2, 1);
    grid->addWidget(txtProductionDateWeek, 2, 2);
    grid->addWidget(lblProductionDateYear, 2, 3);
    grid->addWidget(txtProductionDateYear, 2, 4);
    grid->addWidget(lblHWVersion, 3, 0);
    grid->addWidget(CmbHWVersion, 3, 1, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCreateFile);
    buttons->addStretch();
    buttons->addWidget(cmdDownload);
    buttons->addWidget(cmdExit);
    grid->addLayout(buttons, 4, 0, 1, 5);
    grid->setRowMinimumHeight(4, 40);

    // A pick in the open list (click or Return) reads the module; stepping through the
    // closed list only shows another entry.
    connect(cmbModuleNum, &QComboBox::activated, this, [this] {
        if (!m_stepping) cmbModuleNum_Click();
    });
    connect(cmbModuleNum, &QComboBox::currentIndexChanged, this, &frmHWInfoBlockRepair::cmbModuleNum_Change);
    cmbModuleNum->installEventFilter(this);
    connect(cmdDownload, &QPushButton::clicked, this, &frmHWInfoBlockRepair::cmdDownload_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmHWInfoBlockRepair::cmdExit_Click);
    connect(cmdCreateFile, &QPushButton::clicked, this, &frmHWInfoBlockRepair::cmdCreateFile_Click);
}

void frmHWInfoBlockRepair::Form_Load() {
    toolWindow::load(this, m_loaded);
}

void frmHWInfoBlockRepair::Form_Unload() {
    hide();
    toolWindow::unload(this, m_loaded);
}

void frmHWInfoBlockRepair::g_show() {
    trap(kObject, "g_show", [&] {
        if (!m_loaded) Form_Load();
        createModuleList();
        // Opened again, the list shows no module until one is chosen.
        cmbModuleNum->setCurrentIndex(0);
        // The parent of the configuration's folder.
        m_templateDir = modFileFct::g_fullName(modFileFct::g_filePath(modGlobal::g_configDir), QStringLiteral("PXM_Templates")) +
                        QDir::separator();
        CmbHWVersion->clear();
        CmbHWVersion->addItem(QStringLiteral("---"));
        const QStringList files = QDir(m_templateDir).entryList({kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files, QDir::Name);
        for (const QString& f : files) CmbHWVersion->addItem(f.mid(kPrefix.size(), f.size() - kPrefix.size() - kSuffix.size()));
        if (files.isEmpty()) {
            modMsgBox::g_errorMsgBox(QStringLiteral("Error: No HW info block data files available."), QString(), true);
            return;
        }
        cmdCreateFile->setVisible(modGlobal::g_develop);
        // Opened again after a repair, the window starts as at its first opening.
        setColor(white);
        forgetRead();
        m_applWasRunning = false;
        m_stoppedFromApplication.fill(false);
        enableControls(true);
        show();
        raise();
    });
}

void frmHWInfoBlockRepair::createModuleList() {
    QStringList entries{QStringLiteral("---")};
    for (qint16 m = 0; m < moduleProtocol::moduleCount; ++m)
        if (canMasterLink::get().moduleState(m) != moduleProtocol::ModuleState::none) entries << QString::number(m);
    QStringList now;
    for (int i = 0; i < cmbModuleNum->count(); ++i) now << cmbModuleNum->itemText(i);
    // An unchanged list stays as it is, so that a pick on its way is not lost.
    if (now == entries) return;
    const QSignalBlocker quiet(cmbModuleNum);
    cmbModuleNum->clear();
    cmbModuleNum->addItems(entries);
}

void frmHWInfoBlockRepair::cmbModuleNum_GotFocus() {
    // While a module is read or repaired the list names it: its data are on screen.
    if (m_working) return;
    trap(kObject, "cmbModuleNum_GotFocus", [&] {
        const QString shown = cmbModuleNum->currentText();
        {
            const QSignalBlocker quiet(cmbModuleNum);
            createModuleList();
            cmbModuleNum->setCurrentIndex(qMax(0, cmbModuleNum->findText(shown, Qt::MatchExactly)));
        }
        cmbModuleNum_Change();
    });
}

void frmHWInfoBlockRepair::cmbModuleNum_Change() {
    if (m_working || m_readModule < 0) return;
    if (cmbModuleNum->currentIndex() > 0 && cmbModuleNum->currentText().toShort() == m_readModule) return;
    trap(kObject, "cmbModuleNum_Change", [&] {
        setColor(white);
        forgetRead();
    });
}

bool frmHWInfoBlockRepair::eventFilter(QObject* watched, QEvent* e) {
    if (watched != cmbModuleNum || !cmbModuleNum->isEnabled()) return QWidget::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::FocusIn:
        // Coming back from its own open list, the list is the one the pick was made in.
        if (static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason) cmbModuleNum_GotFocus();
        break;
    case QEvent::KeyPress:
        if (const int key = static_cast<QKeyEvent*>(e)->key(); key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Return chooses the module the closed list shows.
            cmbModuleNum_Click();
            return true;
        }
        [[fallthrough]];
    case QEvent::Wheel: {
        // Keys and the wheel step through the closed list without choosing.
        const QScopedValueRollback stepping(m_stepping, true);
        static_cast<QObject*>(cmbModuleNum)->event(e);
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, e);
}

std::array<QWidget*, 6> frmHWInfoBlockRepair::entryControls() const {
    return {cmdDownload, CmbHWVersion, txtHWSerial, txtProductionDateWeek, txtProductionDateYear, cmdCreateFile};
}

void frmHWInfoBlockRepair::disableControls(bool all) {
    for (QWidget* w : entryControls()) w->setEnabled(false);
    if (!all) return;
    cmdExit->setEnabled(false);
    cmbModuleNum->setEnabled(false);
}

void frmHWInfoBlockRepair::enableControls(bool navigationOnly) {
    cmdExit->setEnabled(true);
    cmbModuleNum->setEnabled(true);
    if (navigationOnly) return;
    for (QWidget* w : entryControls()) w->setEnabled(true);
}

void frmHWInfoBlockRepair::setColor(quint32 color) { vbControls::setBackColor(txtHWSerial, color); }

// The mark of a refused entry goes with the next try or the next module; the serial box's
// result colour is setColor's.
void frmHWInfoBlockRepair::clearFaultMark() {
    if (m_faultField && m_faultField != txtHWSerial) vbControls::setBackColor(m_faultField, white);
    m_faultField = nullptr;
}

void frmHWInfoBlockRepair::forgetRead() {
    disableControls(false);
    m_serialPresent = false;
    m_readModule = -1;
    resetInputFields();
}

void frmHWInfoBlockRepair::resetInputFields() {
    clearFaultMark();
    txtProductionDateWeek->setText(QStringLiteral("01"));
    txtProductionDateYear->setText(QStringLiteral("1980"));
    txtHWSerial->setText(QStringLiteral("---"));
    CmbHWVersion->setCurrentIndex(0);
}

quint8 frmHWInfoBlockRepair::nodeId() const { return modDownload::bootloaderNodeId(m_moduleNum); }

void frmHWInfoBlockRepair::cmdExit_Click() {
    trap(kObject, "cmdExit_Click", [&] { Form_Unload(); });
}

void frmHWInfoBlockRepair::closeEvent(QCloseEvent* e) { toolWindow::closeAsExit(*this, e); }
