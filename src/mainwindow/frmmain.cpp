#include "mainwindow/frmmain.h"

#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"

#include "desktop/twips.h"
#include "desktop/windowfit.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>

namespace {
using twips::px;

void place(QWidget* w, int left, int top, int width, int height) { w->setGeometry(twips::twipRect(left, top, width, height)); }

QLabel* label(QWidget* parent, const QString& caption, int left, int top, int width, int height = 255) {
    auto* l = new QLabel(caption, parent);
    place(l, left, top, width, height);
    return l;
}

QPixmap engineImage(const QColor& colour) {
    QPixmap pm(px(480), px(480));
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::black);
    p.drawEllipse(pm.rect().adjusted(1, 1, -2, -2));
    return pm;
}
}  // namespace

namespace frmMainLayout {
// Module rows inside fraModuleState: element 0 at moduleLeft, each further one 360 right.
constexpr int moduleLeft = 1680, moduleStep = 360, moduleWidth = 300;
constexpr int rowNumber = 240, rowHW = 480, rowBootloader = 720, rowApplication = 960, rowProgram = 1200, rowLamp = 1470;
// Section rows: position pos at sectionTop + pos * sectionStep.
constexpr int sectionTop = 2280, sectionStep = 330;
}  // namespace frmMainLayout

static frmMain* s_instance = nullptr;
frmMain* frmMain::instance() { return s_instance; }
void frmMain::setInstance(frmMain* w) { s_instance = w; }

frmMain::frmMain() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("KELB-3817 Update Tool"));
    // The controls keep their places on a page that scrolls when the window is made smaller.
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    m_client = client;
    setCentralWidget(windowFit::scrollingPage(client, this));
    QFont f = font();
    f.setPointSize(8);
    setFont(f);
    buildMenus();
    buildModuleRows();
    buildSectionRows();
    buildLowerPart();
    connectSelectionControls();
    connectLoadFileControls();
    connectMenuCommands();
    client->setFixedSize(px(11400), px(8580));
    m_loadFileNames.assign(sectionRows, QString());
    m_loadFileExists.assign(sectionRows, false);
}

frmMain::~frmMain() {
    if (s_instance == this) s_instance = nullptr;
}

void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuSelectFileDir = mnuFile->addAction(QStringLiteral("&Select File Dir"));
    mnuExit = mnuFile->addAction(QStringLiteral("&Exit"));
    mnuModuleControl = bar->addMenu(QStringLiteral("&Module Control"));
    mnuStartBootloader = mnuModuleControl->addAction(QStringLiteral("Start &Bootloader"));
    mnuStartApplication = mnuModuleControl->addAction(QStringLiteral("Start &Application"));
    mnuUploadFromSpare = mnuModuleControl->addAction(QStringLiteral("&Upload From Spare"));
    mnuView = bar->addMenu(QStringLiteral("&View"));
    mnuShowDetailedModulInfos = mnuView->addAction(QStringLiteral("Show Detailed &Modul-Infos"));
    mnuShowCanOpen = mnuView->addAction(QStringLiteral("Show &CANopen"));
    mnuDcBuilder = bar->addMenu(QStringLiteral("&DC Builder"));
    mnuBuildDC = mnuDcBuilder->addAction(QStringLiteral("&Build DataContainer"));
    mnuTools = bar->addMenu(QStringLiteral("&Tools"));
    mnuCreateTemplate = mnuTools->addAction(QStringLiteral("&Create DataContainer Template"));
    mnuReconstructDC = mnuTools->addAction(QStringLiteral("&Reconstruct DataContainer"));
    mnuRepairHWInfoBlock = mnuTools->addAction(QStringLiteral("&Repair HW InfoBlock"));
    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About..."));
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
}

void frmMain::buildModuleRows() {
    using namespace frmMainLayout;
    QWidget* client = m_client;
    fraModuleState = new QGroupBox(client);
    place(fraModuleState, 120, 60, 7800, 1740);
    QWidget* fr = fraModuleState;
    lblHardware = label(fr, QStringLiteral("HW-Version"), 120, rowHW, 1500);
    lblBootLoaderRunning = label(fr, QStringLiteral("Bootloader"), 120, rowBootloader, 1500);
    lblApplicationRunning = label(fr, QStringLiteral("Application"), 120, rowApplication, 1500);
    lblProgram = label(fr, QStringLiteral("To program"), 120, rowProgram, 1500);
    // Element 0 of each row is part of the design; the start-up places the others.
    for (int i = 0; i < moduleCount; ++i) {
        const int left = moduleLeft;
        lblCylinderNumber[i] = label(fr, QString(), left, rowNumber, moduleWidth);
        lblCylinderNumber[i]->setAlignment(Qt::AlignCenter);
        lblHW[i] = label(fr, QString(), left, rowHW, moduleWidth);
        lblHW[i]->setAlignment(Qt::AlignCenter);
        vbControls::setBackColor(lblHW[i], vbControls::vbButtonFace);
        chkBootLoaderRunning[i] = new QCheckBox(fr);
        place(chkBootLoaderRunning[i], left + 30, rowBootloader, 270, 255);
        chkApplicationRunning[i] = new QCheckBox(fr);
        place(chkApplicationRunning[i], left + 30, rowApplication, 270, 255);
        chkProgram[i] = new QCheckBox(fr);
        place(chkProgram[i], left + 30, rowProgram, 270, 255);
        lblDownloadOk[i] = label(fr, QString(), left, rowLamp, moduleWidth, 120);
        lblDownloadOk[i]->hide();
        // The state lamps show, the user does not set them.
        chkBootLoaderRunning[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        chkApplicationRunning[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        chkBootLoaderRunning[i]->setFocusPolicy(Qt::NoFocus);
        chkApplicationRunning[i]->setFocusPolicy(Qt::NoFocus);
        if (i > 0) {
            for (QWidget* w : {static_cast<QWidget*>(lblCylinderNumber[i]), static_cast<QWidget*>(lblHW[i]),
                               static_cast<QWidget*>(chkBootLoaderRunning[i]), static_cast<QWidget*>(chkApplicationRunning[i]),
                               static_cast<QWidget*>(chkProgram[i]), static_cast<QWidget*>(lblDownloadOk[i])})
                w->hide();
        }
    }
    chkProgramAllModules = new VbCheckBox(QStringLiteral("All"), fr);
    place(chkProgramAllModules, 7080, rowProgram, 660, 255);

    fraEngineRunning = new QGroupBox(client);
    place(fraEngineRunning, 8040, 60, 1800, 1740);
    lblEngineRunning = label(fraEngineRunning, QStringLiteral("Engine Running"), 120, 240, 1560);
    lblEngineRunning->setAlignment(Qt::AlignCenter);
    imgEngineRunning = label(fraEngineRunning, QString(), 660, 720, 480, 480);
    imgEngineRunning->setPixmap(engineImage(QColor(0, 200, 0)));
    imgEngineStStill = label(fraEngineRunning, QString(), 660, 720, 480, 480);
    imgEngineStStill->setPixmap(engineImage(QColor(160, 160, 160)));
    imgEngineStStill->hide();

    cmdDownload = new QPushButton(QStringLiteral("Do&wnload"), client);
    place(cmdDownload, 9960, 120, 1320, 375);
    cmdModuleState = new QPushButton(QStringLiteral("&Overview"), client);
    place(cmdModuleState, 9960, 540, 1320, 375);
    cmdAbort = new QPushButton(QStringLiteral("&Abort"), client);
    place(cmdAbort, 9960, 960, 1320, 375);
    cmdExit = new QPushButton(QStringLiteral("E&xit"), client);
    place(cmdExit, 9960, 1425, 1320, 375);
    connect(cmdDownload, &QPushButton::clicked, this, &frmMain::cmdDownload_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
}

void frmMain::buildSectionRows() {
    using namespace frmMainLayout;
    QWidget* client = m_client;
    lblEmhLQM = label(client, QStringLiteral("Name:"), 1800, 1980, 1200);
    lblVersionLQM = label(client, QStringLiteral("Date:"), 8160, 1980, 1200);
    lblBuildLQM = label(client, QStringLiteral("Time:"), 9720, 1980, 1200);
    static const char* const captions[sectionRows] = {"Application", "DataCont.", "FPGA", "BL2", "QTM Appl."};
    static const char* const tags[sectionRows] = {"6", "4", "7", "3", "5"};
    for (int pos = 0; pos < sectionRows; ++pos) {
        const int top = sectionTop + pos * sectionStep;
        chkLoadSection[pos] = new QCheckBox(QString::fromLatin1(captions[pos]), client);
        place(chkLoadSection[pos], 120, top, 1560, 300);
        vbControls::setTag(chkLoadSection[pos], QString::fromLatin1(tags[pos]));
        txtEmh[pos] = new QLineEdit(client);
        txtVersion[pos] = new QLineEdit(client);
        txtBuild[pos] = new QLineEdit(client);
        place(txtEmh[pos], 1800, top, 6240, 300);
        place(txtVersion[pos], 8160, top, 1440, 300);
        place(txtBuild[pos], 9720, top, 1560, 300);
        for (QLineEdit* e : {txtEmh[pos], txtVersion[pos], txtBuild[pos]}) {
            e->setReadOnly(true);
            e->setFocusPolicy(Qt::NoFocus);
            // Only element 0 is designed; the start-up creates the others.
            if (pos > 0) e->hide();
        }
    }
    chkProgramAllSections = new VbCheckBox(QStringLiteral("All"), client);
    place(chkProgramAllSections, 120, sectionTop + sectionRows * sectionStep + 30, 1560, 300);
    chkSectionNew = new QCheckBox(QStringLiteral("New"), client);
    place(chkSectionNew, 1800, sectionTop + sectionRows * sectionStep + 30, 1200, 300);
}

void frmMain::buildLowerPart() {
    QWidget* client = m_client;
    lblProgramFileDir = label(client, QStringLiteral("Program File Directory:"), 120, 4485, 2160);
    txtFileDirectory = new QLineEdit(client);
    place(txtFileDirectory, 2280, 4440, 9000, 300);
    lblMessage = label(client, QStringLiteral("Program Message"), 120, 4860, 2400);
    lstMessage = new QListWidget(client);
    place(lstMessage, 120, 5100, 11160, 3000);
    prgProgress = new FractionBar(client);
    place(prgProgress, 120, 8220, 11160, 240);
}
