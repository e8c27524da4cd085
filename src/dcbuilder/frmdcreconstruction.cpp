// The reconstruction window: its controls, its log and progress bar, opening and closing,
// and the hull number of a data-container database.
#include "dcbuilder/frmdcreconstruction.h"

#include "dcbuilder/dcnumber.h"
#include "dcbuilder/dctemplate.h"
#include "dcbuilder/loglist.h"
#include "dcbuilder/openset.h"
#include "desktop/runtimeerror.h"
#include "desktop/twips.h"
#include "desktop/windowfit.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

using modStringFct::sprintf;

namespace {
using twips::px;
using twips::placed;

constexpr char kObject[] = "frmDcReconstruction";
frmDcReconstruction* g_window = nullptr;

constexpr int kWidth = 11640, kHeight = 7200;


// The proposed result name: the plant's data-container name up to "-PXM-DC", then "-Upload.mdb".
QString proposedResultName() {
    const QStringList dcs = QDir(modGlobal::g_configDir)
                                .entryList({QStringLiteral("*-PXM-DC*.mdb")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (dcs.isEmpty()) return modGlobal::g_toolTitle + QStringLiteral("-PXM-DC-Upload.mdb");
    const QString& first = dcs.first();
    const QString marker = QStringLiteral("-PXM-DC");
    return first.left(first.indexOf(marker, 0, Qt::CaseInsensitive) + marker.size()) + QStringLiteral("-Upload.mdb");
}
}  // namespace

frmDcReconstruction& frmDcReconstruction::instance() {
    if (!g_window) g_window = new frmDcReconstruction;
    return *g_window;
}

frmDcReconstruction* frmDcReconstruction::existing() { return g_window; }

frmDcReconstruction::frmDcReconstruction() : QWidget(nullptr, Qt::Window) {
    setObjectName(QString::fromLatin1(kObject));
    setWindowTitle(QStringLiteral("Data Container Builder"));
    setFixedSize(px(kWidth), px(kHeight));

    lblProgramFileDir = placed(new QLabel(QStringLiteral("Upload File Directory:")), this, "lblProgramFileDir", 120, 150, 2160, 255);
    txtFileDirectory = placed(new QLineEdit, this, "txtFileDirectory", 2280, 120, 9240, 315);
    txtFileDirectory->setReadOnly(true);

    fraAction = placed(new QFrame, this, "fraAction", 120, 600, 11400, 1800);
    fraAction->setFrameShape(QFrame::StyledPanel);
    placed(new QLabel(QStringLiteral("Result Database:")), fraAction, "lblResult", 240, 330, 1920, 255);
    txtReconstructDCResult = placed(new QLineEdit, fraAction, "txtReconstructDCResult", 2160, 300, 6360, 315);
    cmdReconstructDC = placed(new QPushButton(QStringLiteral("Reconstruct")), fraAction, "cmdReconstructDC", 8880, 240, 2280, 495);
    txtDocumentation = placed(new QLabel, fraAction, "txtDocumentation", 240, 900, 10920, 720);
    txtDocumentation->setWordWrap(true);
    txtDocumentation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    txtDocumentation->setText(QStringLiteral(
        "Input:   PXM_Data.S19 in the upload folder, as uploaded from the spare module.\n"
        "Result:  the database rebuilt by way of the template of the image's build, in the upload folder."));
    filDCTemplate = placed(new QListWidget, fraAction, "filDCTemplate", 0, 0, 0, 0);
    filDCTemplate->hide();

    lstMessage = placed(new QListWidget, this, "lstMessage", 120, 2520, 11400, 3960);
    QFont courier(QStringLiteral("Courier New"), 9);
    courier.setStyleHint(QFont::Monospace);
    lstMessage->setFont(courier);
    prgProgress = placed(new QProgressBar, this, "prgProgress", 120, 6660, 9960, 255);
    prgProgress->setRange(0, logList::kProgressScale);
    prgProgress->setTextVisible(false);
    cmdExit = placed(new QPushButton(QStringLiteral("Exit")), this, "cmdExit", 10200, 6600, 1320, 375);

    connect(cmdReconstructDC, &QPushButton::clicked, this, [this] { cmdReconstructDC_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { trap(kObject, "cmdExit_Click", [&] { cmdExit_Click(); }); });
}

void frmDcReconstruction::Form_Load() {
    m_loaded = true;
    modGlobal::g_registerWindow(this);
}

void frmDcReconstruction::Form_Unload() {
    m_loaded = false;
    modGlobal::g_unregisterWindow(this);
    lstMessage->clear();
    filDCTemplate->clear();
    updateProgress(0, false);
    cmdReconstructDC->setEnabled(true);
}

void frmDcReconstruction::unload() {
    if (m_loaded) Form_Unload();
    hide();
}

void frmDcReconstruction::closeEvent(QCloseEvent* e) {
    if (m_loaded) trap(kObject, "Form_Unload", [&] { Form_Unload(); });
    e->accept();
}

void frmDcReconstruction::g_show() {
    trap(kObject, "g_show", [&] {
        if (!m_loaded) Form_Load();
        const QString upload = modGlobal::g_uploadDir;
        txtFileDirectory->setText(upload);
        txtReconstructDCResult->setText(proposedResultName());
        lstMessage->clear();
        cmdReconstructDC->setEnabled(true);
        const QString templates = dcTemplate::g_templateDirectory();
        if (!QFileInfo::exists(modFileFct::g_fullName(upload, QStringLiteral("PXM_DATA.S19")))) {
            addMessage(QStringLiteral("Cannot Reconstruct DataContainter: S19 file has to be uploaded first!"));
            cmdReconstructDC->setEnabled(false);
        } else if (QDir(templates).entryList(QDir::Files).isEmpty()) {
            addMessage(QStringLiteral("DC Reconstruction disabled because template directory does not exist."));
            if (modGlobal::g_debugMode) addMessage(QStringLiteral("debug information: template path = ") + templates);
            cmdReconstructDC->setEnabled(false);
        }
        windowFit::openInside(this);
        show();
    });
}

void frmDcReconstruction::addMessage(const QString& text) {
    trap(kObject, "addMessage", [&] { logList::append(lstMessage, text); });
}

void frmDcReconstruction::updateProgress(float value, bool relative) {
    trap(kObject, "updateProgress", [&] { m_progress = logList::move(prgProgress, m_progress, value, relative); });
}

QString frmDcReconstruction::getHullNo(const QString& dbName) {
    QString hull;
    const bool ok = trap(kObject, "getHullNo", [&] {
        OpenSet set;
        if (!set.open(dbName, QStringLiteral("SELECT * FROM dcEnums ORDER BY id"))) return;
        dao::Recordset& rs = *set.rs;
        rs.FindFirst(QStringLiteral("name=?"), {modGlobal::g_getSymbolName(QStringLiteral("DC_SWINFO_HULL_NO_")) + QLatin1Char('1')});
        if (rs.NoMatch()) return;
        for (int i = 0; i < 4 && !rs.eof(); ++i, rs.MoveNext()) {
            const std::optional<qint32> v = dcNumber::whole32(rs.Value(QStringLiteral("value")));
            if (!v) throw RuntimeError(13, sprintf("Type mismatch: value of {*} is no 32-bit number", rs.Value(QStringLiteral("name"))));
            hull += modStringFct::g_lngToAscii(*v);
        }
    });
    return ok ? hull : QString();
}
