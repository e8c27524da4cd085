// The builder window: its controls, its log and progress bar, and its single instance.
#include "dcbuilder/frmdcbuilder.h"

#include "dcbuilder/loglist.h"

#include "dcdatabase/builderlog.h"
#include "desktop/twips.h"
#include "desktop/windowfit.h"
#include "services/dbupgrade.h"
#include "services/errtrap.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>

namespace {
using twips::px;
using twips::placed;
using twips::twipRect;

frmDcBuilder* g_builder = nullptr;

// Window and frame geometry in twips.
constexpr int kWidth = 9000, kHeight = 8700;
constexpr int kFrameLeft = 120, kFrameTop = 1080, kFrameWidth = 8760, kFrameHeight = 3120;


QLabel* caption(QWidget* parent, const char* text, int left, int top, int width) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setGeometry(twipRect(left, top + 30, width, 255));
    return l;
}
}  // namespace

frmDcBuilder& frmDcBuilder::instance() {
    if (!g_builder) {
        g_builder = new frmDcBuilder;
        frmDcBuilderLogLink::install(g_builder);
        // The database upgrade takes an old plantInfo table over into the working copy.
        static struct : PlantInfoCopier {
            bool g_copyPlantInfosToDcEnums() override { return frmDcBuilder::instance().g_copyPlantInfosToDcEnums(); }
        } copier;
        plantInfoCopierLink::install(&copier);
    }
    return *g_builder;
}

frmDcBuilder* frmDcBuilder::existing() { return g_builder; }

frmDcBuilder::frmDcBuilder() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("frmDcBuilder"));
    setWindowTitle(QStringLiteral("Data Container Builder"));
    // The controls keep their places on a page that scrolls when the window is made smaller.
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    page->setFixedSize(px(kWidth), px(kHeight));
    windowFit::fillWithPage(this, page);

    caption(page, "Source File Directory:", 120, 120, 2160);
    txtFileDirectory = placed(new QLineEdit, page, "txtFileDirectory", 2280, 120, 6600, 315);
    txtFileDirectory->setReadOnly(true);

    buildTabs(page);

    lstMessage = placed(new QListWidget, page, "lstMessage", 120, 4320, 8760, 3360);
    lstMessage->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    prgProgress = placed(new QProgressBar, page, "prgProgress", 120, 7800, 7320, 255);
    prgProgress->setRange(0, logList::kProgressScale);
    prgProgress->setTextVisible(false);
    cmdExit = placed(new QPushButton(QStringLiteral("Exit")), page, "cmdExit", 7560, 7740, 1320, 375);
    connect(cmdExit, &QPushButton::clicked, this, [this] { trap("frmDcBuilder", "cmdExit_Click", [&] { cmdExit_Click(); }); });
}

void frmDcBuilder::buildTabs(QWidget* page) {
    tabAction = placed(new QTabBar, page, "tabAction", 120, 600, 8760, 435);
    tabAction->setExpanding(false);
    const struct {
        const char* caption;
        const char* key;
        const char* tip;
    } tabs[] = {
        {"Edit DC", "edit", "Edit values and attributes"},
        {"Set Infos", "info", "Set informations"},
        {"Build Download-File", "build", "Build S19-file for downloading"},
        {"Scan Source", "scan", "Scan all variables, parameters and constants from source"},
    };
    for (const auto& t : tabs) {
        const int i = tabAction->addTab(QString::fromLatin1(t.caption));
        tabAction->setTabData(i, QString::fromLatin1(t.key));
        tabAction->setTabToolTip(i, QString::fromLatin1(t.tip));
    }
    for (int i = 1; i <= 4; ++i) {
        fraAction[std::size_t(i)] = new QFrame(page);
        fraAction[std::size_t(i)]->setObjectName(QStringLiteral("fraAction%1").arg(i));
        fraAction[std::size_t(i)]->setFrameShape(QFrame::StyledPanel);
        fraAction[std::size_t(i)]->setGeometry(twipRect(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight));
    }
    buildEditFrame(fraAction[1]);
    buildInfoFrame(fraAction[2]);
    buildBuildFrame(fraAction[3]);
    buildScanFrame(fraAction[4]);
    connect(tabAction, &QTabBar::currentChanged, this,
            [this](int) { trap("frmDcBuilder", "tabAction_Click", [&] { tabAction_Click(); }); });
}

void frmDcBuilder::buildEditFrame(QFrame* f) {
    const struct {
        const char* caption;
        const char* tag;
    } buttons[] = {{"Edit Parameters", "PARAMETER"}, {"Edit Variables", "VARIABLE"}, {"Edit Logs", "ALARM"}};
    for (int i = 0; i < 3; ++i) {
        auto* b = placed(new QPushButton(QString::fromLatin1(buttons[i].caption)), f, "cmdEdit", 360 + i * 2760, 1200,
                         2400, 495);
        b->setProperty("tag", QString::fromLatin1(buttons[i].tag));
        cmdEdit[std::size_t(i)] = b;
        connect(b, &QPushButton::clicked, this, [this, i] { trap("frmDcBuilder", "cmdEdit_Click", [&] { cmdEdit_Click(i); }); });
    }
}

void frmDcBuilder::buildInfoFrame(QFrame* f) {
    const struct {
        QLineEdit** box;
        const char* name;
        const char* label;
    } boxes[] = {
        {&txtEngineType, "txtEngineType", "EngineType:"},   {&txtManufacNo, "txtManufacNo", "Manufacturer Number:"},
        {&txtHullNo, "txtHullNo", "Hull Number:"},          {&txtEpiDbNo, "txtEpiDbNo", "EPI DB No.:"},
        {&txtImoSwNo, "txtImoSwNo", "IMO SW No.:"},         {&txtSwVersion, "txtSwVersion", "SW Version:"},
        {&txtBuild, "txtBuild", "Build:"},                  {&txtDeveloperNo, "txtDeveloperNo", "Developer.No:"},
        {&txtBootloader, "txtBootloader", "Bootloader Version:"},
    };
    // Texts in the left column, numbers in the right one.
    for (int i = 0; i < 9; ++i) {
        const bool left = i < 5;
        const int x = left ? 240 : 4800;
        const int y = 240 + (left ? i : i - 5) * 480;
        caption(f, boxes[i].label, x, y, left ? 2100 : 1860);
        *boxes[i].box = placed(new QLineEdit, f, boxes[i].name, x + (left ? 2160 : 1920), y, left ? 2160 : 1200, 315);
        (*boxes[i].box)->installEventFilter(this);
    }
    txtEngineType->setMaxLength(32);
}

void frmDcBuilder::buildBuildFrame(QFrame* f) {
    caption(f, "Source DC-Database:", 240, 180, 2400);
    filSourceDC = placed(new QListWidget, f, "filSourceDC", 240, 480, 5400, 2400);
    caption(f, "Start-Adr (HEX):", 5880, 480, 1500);
    txtStartAdr = placed(new QLineEdit(QStringLiteral("C0000")), f, "txtStartAdr", 7440, 480, 1080, 315);
    cmdBuild = placed(new QPushButton(QStringLiteral("Build")), f, "cmdBuild", 5880, 1200, 2640, 495);
    cmdReport = placed(new QPushButton(QStringLiteral("Report")), f, "cmdReport", 5880, 1800, 2640, 495);
    txtDocumentation[4] = placed(new QLabel(QStringLiteral("   PXM_Data.S19")), f, "txtDocumentation", 5880, 2460, 2640, 315);
    connect(cmdBuild, &QPushButton::clicked, this, [this] { cmdBuild_Click(); });
    connect(cmdReport, &QPushButton::clicked, this, [this] { cmdReport_Click(); });
}

void frmDcBuilder::buildScanFrame(QFrame* f) {
    const char* inputs[] = {"   global.h", "   datacontainer.h", "   library.h"};
    for (int i = 0; i < 3; ++i)
        txtDocumentation[std::size_t(i == 0 ? 0 : i + 1)] =
            placed(new QLabel(QString::fromLatin1(inputs[i])), f, "txtDocumentation", 240, 300 + i * 360, 2640, 315);
    caption(f, "Result:", 240, 1500, 1200);
    txtDocumentation[1] = placed(new QLabel(QStringLiteral("   <plant>-PXM-DC.mdb")), f, "txtDocumentation", 240, 1740, 5400, 900);
    txtDocumentation[1]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdScanHeader = placed(new QPushButton(QStringLiteral("Scan Header-Files")), f, "cmdScanHeader", 5880, 480, 2640, 495);
    cmdScanSignalList =
        placed(new QPushButton(QStringLiteral("Scan Signal-List")), f, "cmdScanSignalList", 5880, 1200, 2640, 495);
    connect(cmdScanHeader, &QPushButton::clicked, this, [this] { cmdScanHeader_Click(); });
    connect(cmdScanSignalList, &QPushButton::clicked, this, [this] { cmdScanSignalList_Click(); });
}

void frmDcBuilder::addMessage(const QString& text) {
    if (!m_muted) logList::append(lstMessage, text);
}

void frmDcBuilder::updateProgress(float value, bool relative) {
    m_progress = logList::move(prgProgress, m_progress, value, relative);
}

frmDcBuilder::CommandLock::CommandLock(frmDcBuilder& builder) : m_builder(&builder) {
    for (QWidget* w : std::initializer_list<QWidget*>{builder.cmdScanSignalList, builder.cmdScanHeader, builder.cmdExit,
                                                      builder.tabAction, builder.cmdBuild, builder.cmdReport,
                                                      builder.filSourceDC}) {
        m_enabled.emplace_back(w, w->isEnabled());
        w->setEnabled(false);
    }
    builder.m_commandRunning = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void frmDcBuilder::CommandLock::release() {
    if (!m_builder) return;
    for (const auto& [w, enabled] : m_enabled) w->setEnabled(enabled);
    m_builder->m_commandRunning = false;
    m_builder = nullptr;
    QApplication::restoreOverrideCursor();
}

void frmDcBuilder::closeEvent(QCloseEvent* e) {
    // The command under way still works on the window's files: it ends first.
    if (m_commandRunning) return e->ignore();
    if (m_loaded) trap("frmDcBuilder", "Form_Unload", [&] { Form_Unload(); });
    e->accept();
}

void frmDcBuilder::unload() {
    if (m_loaded) trap("frmDcBuilder", "Form_Unload", [&] { Form_Unload(); });
    hide();
}
