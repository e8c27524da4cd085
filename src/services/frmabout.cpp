#include "services/frmabout.h"

#include "desktop/desktopservices.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "desktop/twips.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/programinfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr char kObject[] = "frmAbout";
using twips::px;
using twips::twipRect;

constexpr int kClientWidth = 5730, kClientHeight = 3180;
// The splash shows the texts only: 3000 twips of outer height cut the button row off.
constexpr int kSplashHeight = 3000, kFrameHeight = 410;
}  // namespace

frmAbout& frmAbout::instance() {
    static frmAbout* about = new frmAbout;  // lives until the program ends
    return *about;
}

frmAbout::frmAbout() : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                                            | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QString::fromLatin1(kObject));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    auto label = [this](const char* name, QRect r) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(r);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    lblTitle = label("lblTitle", twipRect(240, 240, 5250, 480));
    QFont big = lblTitle->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = label("lblVersion", twipRect(240, 840, 5250, 255));
    lblDLLVersion = label("lblDLLVersion", twipRect(240, 1140, 5250, 255));
    lblDescription = label("lblDescription", twipRect(240, 1500, 5250, 720));
    lblDescription->setWordWrap(true);
    lblDescription->setText(QStringLiteral("Software Updater Tool for PXM-20 Modules."));

    // Two lines, dark over light, drawn as one etched rule.
    line1 = new QFrame(this);
    line1->setGeometry(twipRect(225, 2340, 5280, 15));
    line1->setStyleSheet(QStringLiteral("background: palette(dark);"));
    line2 = new QFrame(this);
    line2->setGeometry(twipRect(225, 2355, 5280, 15));
    line2->setStyleSheet(QStringLiteral("background: palette(light);"));

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipRect(2730, 2640, 1425, 375));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipRect(4305, 2640, 1185, 375));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOk_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    timClose = new KTimer(this);
    timClose->setInterval(5000);
    connect(timClose, &KTimer::timeout, this, &frmAbout::timClose_Timer);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + programInfo::title());
    setWindowIcon(QApplication::windowIcon());
    timClose->setEnabled(false);
    if (const QScreen* s = QApplication::primaryScreen()) move(s->availableGeometry().center() - rect().center());
    m_loaded = true;
    modGlobal::g_registerWindow(this);
}

void frmAbout::unload() {
    timClose->setEnabled(false);
    hide();
    if (m_loaded) {
        m_loaded = false;
        modGlobal::g_unregisterWindow(this);
    }
}

void frmAbout::g_showAbout(bool autoClose) {
    trap(kObject, "g_showAbout", [&] {
        if (!m_loaded) Form_Load();
        lblTitle->setText(programInfo::title());
        lblVersion->setText(QStringLiteral("Version ") + programInfo::versionText());
        lblDLLVersion->setText(QStringLiteral("CANInterface DLL Version: ") + QString::number(modGlobal::g_canInterfaceVersion, 'f', 1));
        // The box follows the latest call: from the menu it stays, whole, until OK.
        setFixedHeight(px(autoClose ? kSplashHeight - kFrameHeight : kClientHeight));
        timClose->setEnabled(autoClose);
        show();
        raise();
    });
}

void frmAbout::cmdOk_Click() {
    trap(kObject, "cmdOk_Click", [&] { unload(); });
}

void frmAbout::timClose_Timer() { cmdOk_Click(); }

void frmAbout::cmdSysInfo_Click() {
    trap(kObject, "cmdSysInfo_Click", [&] { StartSysInfo(); });
}

void frmAbout::StartSysInfo() {
    if (!desktop::startSystemInformation())
        Dialogs::msgBox(QStringLiteral("System Information Is Unavailable At This Time"), Dialogs::vbOKOnly);
}

void frmAbout::closeEvent(QCloseEvent* e) {
    e->accept();
    unload();
}
void frmAbout::reject() { unload(); }
