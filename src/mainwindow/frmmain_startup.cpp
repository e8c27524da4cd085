// The start-up: the load handler of the main window and the procedures that serve it.
#include "mainwindow/applicationtypelink.h"
#include "can/canmaster.h"
#include "mainwindow/frmmain.h"
#include "dcbuilder/loadfileslink.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/startupswitches.h"
#include "mainwindow/updaterlink.h"
#include "mainwindow/vbcontrols.h"

#include "desktop/twips.h"
#include "desktop/windowfit.h"
#include "services/configcheck.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

using namespace modGlobal;

namespace {
const QString kToolTitle = QStringLiteral("KELB-3817 Update Tool");

// Ends the program at once: no exit procedure, no unload handlers, no log-off.
void endAtOnce() { ErrPtnr::endProgram(); }

template <class F>
bool step(const char* procedure, F&& f) {
    return trap("frmMain", procedure, std::forward<F>(f));
}
}  // namespace

void frmMain::Form_Load(const QString& commandLine) {
    using startupSwitches::hasSwitch;
    m_loaded = true;
    m_exiting = false;
    if (m_programFile.isEmpty()) m_programFile = QCoreApplication::applicationFilePath();
    g_registerWindow(this);

    // The CAN master's flags are set without loading its window.
    step("Form_Load", [&] { canMasterLink::get().set_g_noCAN(hasSwitch(commandLine, QStringLiteral("/noCan"))); });
    step("Form_Load", [&] {
        const startupSwitches::Modes m = startupSwitches::readModes(commandLine);
        g_debugMode = m.debugMode;
        g_qtmMode = m.qtmMode;
        g_bzmMode = m.bzmMode;
        g_moduleKind = m.moduleKind;
        g_updateMode = m.updateMode;
        g_develop = m.develop;
        if (m.updateMode)
            for (QMenu* menu : {mnuModuleControl, mnuView, mnuDcBuilder, mnuTools, mnuFile, mnuHelp})
                menu->menuAction()->setVisible(false);
    });

    const QString key = m_instanceKey.isEmpty() ? QFileInfo(m_programFile).completeBaseName() : m_instanceKey;
    if (!singleInstance::acquire(key)) {
        modMsgBox::g_errMsgBox(QStringLiteral("PXM Loader is already running!"));
        return endAtOnce();
    }

    bool found = false;
    step("Form_Load", [&] { found = findConfigDatabase(commandLine); });
    if (!found) return endAtOnce();
    // Nothing can run without the configuration's record sets; the reason has been shown.
    bool settings = false;
    step("Form_Load", [&] { settings = g_iniGlobals(); });
    if (!settings) return endAtOnce();

    step("Form_Load", [&] { initWindow(); });
    step("Form_Load", [&] {
        m_bootloaderVersionChange.fill(false);
        m_loadFileNames.assign(sectionRows, QString());
        m_loadFileExists.assign(sectionRows, false);
        lstMessage->clear();
    });

    step("Form_Load", [&] {
        if (g_updateMode) {
            g_applicationType = 0;
            return;
        }
        // The rows still carry their design section numbers here.
        g_checkFileExist(g_moduleKind, false);
        g_applicationType = applicationTypeLink::get().g_checkAppFileType(vbControls::tag(txtEmh[0]));
    });
    step("Form_Load", [&] {
        static const char* const pxm[sectionRows] = {"6", "4", "7", "3", "-1"};
        static const char* const manual[sectionRows] = {"2", "-1", "-1", "1", "-1"};
        for (int pos = 0; pos < sectionRows; ++pos)
            vbControls::setTag(chkLoadSection[pos], QString::fromLatin1(g_updateMode ? pxm[pos] : manual[pos]));
    });
    step("Form_Load", [&] {
        for (int pos = 1; pos < sectionRows; ++pos) {
            const bool offered = vbControls::tag(chkLoadSection[pos]).toInt() > 0;
            for (QWidget* w : {static_cast<QWidget*>(txtVersion[pos]), static_cast<QWidget*>(txtBuild[pos]),
                               static_cast<QWidget*>(txtEmh[pos]), static_cast<QWidget*>(chkLoadSection[pos])})
                w->setVisible(offered);
        }
    });

    if (!g_develop && !g_updateMode) {
        bool yes = false;
        step("Form_Load", [&] {
            // Only a press of Yes goes on: a close by the title bar answers No.
            yes = frmMessage2::instance().questionMsgBox(g_getUserMessage(1), QStringLiteral("Question"),
                                                         QStringLiteral("Yes"), QStringLiteral("No"), true);
        });
        if (!yes) return endAtOnce();
    }

    step("Form_Load", [&] {
        enableAllControls();
        fraEngineRunning->hide();
    });
    step("Form_Load", [&] {
        canMasterLink::get().set_g_blockTransferEnable(
            startupSwitches::truthValue(g_getMiscItem(QStringLiteral("blockTransfer"), 0, false)));
    });
    step("Form_Load", [&] {
        windowFit::fitToContent(this);
        show();
    });

    if (canMasterLink::get().g_noCAN()) {
        step("Form_Load", [&] {
            frmMessage2& box = frmMessage2::instance();
            box.addMessage(QStringLiteral("no CAN initialising ..."));
            box.closeMsgBox(1000);
        });
        // Without CAN no update run starts, so there is none to wait for.
        updateRunEnded();
        return;
    }

    step("Form_Load", [&] { setModuleVisibility(); });
    step("Form_Load", [&] {
        g_bigMem = applicationTypeLink::get().g_getApplStartAddr(vbControls::tag(txtEmh[0])) >= 0x100000;
    });
    setBaseAddresses();
    step("Form_Load", [&] {
        if (g_qtmMode || g_bzmMode)
            setWindowTitle(kToolTitle + QStringLiteral("     for ") + g_moduleKind);
        else if (g_updateMode)
            chkLoadSection[3]->setEnabled(!g_isMBusConnection);
    });
    step("Form_Load", [&] {
        if (g_updateMode) {
            showUpdater();
        } else {
            bool ok = false;
            initConnection(false, false, ok);
            setUserRights();
        }
    });
    step("Form_Load", [&] {
        if (frmMessage2* box = frmMessage2::existing(); box && box->isLoaded()) box->unload();
    });
}

void frmMain::updateRunEnded() {
    // The developer's windows may start and stop modules: never beside a running update.
    step("updateRunEnded", [&] {
        if (!g_updateMode || !g_develop) return;
        mnuDcBuilder->menuAction()->setVisible(true);
        mnuTools->menuAction()->setVisible(true);
    });
}

bool frmMain::findConfigDatabase(const QString& commandLine) {
    using startupSwitches::hasSwitch;
    bool usable = false;
    step("findConfigDatabase", [&] {
        const QFileInfo program(m_programFile);
        g_appName = hasSwitch(commandLine, QStringLiteral("/IDE")) ? kToolTitle : program.completeBaseName();
        g_dbDir = startupSwitches::configDbDir(commandLine, program.absolutePath());
        g_configDbPath = g_dbDir + g_appName + QStringLiteral("-Config.mdb");
        // Checked before anything opens it for writing: a refused file stays as it was.
        usable = configCheck::g_checkConfigDatabase(g_configDbPath) &&
                 modFileFct::g_checkFile(g_configDbPath, true, true) == modFileFct::checkFileOk;
    });
    if (!usable) return false;

    step("findConfigDatabase", [&] {
        g_configDir = g_configDbPath.left(g_configDbPath.lastIndexOf(QDir::separator()));
        g_uploadDir = g_configDir + QDir::separator() + QStringLiteral("Upload");
    });
    step("findConfigDatabase", [&] {
        const QDir dir(g_configDir);
        for (const QString& name : dir.entryList({QStringLiteral("*.rep")}, QDir::Files | QDir::Hidden | QDir::System))
            QFile::remove(dir.filePath(name));
    });
    step("findConfigDatabase", [&] {
        txtFileDirectory->setText(g_configDir);
        txtFileDirectory->setCursorPosition(txtFileDirectory->text().size());
    });
    step("findConfigDatabase", [&] { g_toolTitle = kToolTitle; });
    return true;
}

void frmMain::initWindow() {
    step("initWindow", [&] {
        fraModuleState->hide();
        mnuView->menuAction()->setVisible(g_debugMode);
    });
    step("initWindow", [&] {
        const int dx = twips::px(360);
        auto rows = [&](auto& family, bool isNumber, bool isLamp) {
            for (int i = 1; i < moduleCount; ++i) {
                auto* w = family[i];
                w->setText(isNumber ? QString::number(i) : QString());
                const QRect prev = family[i - 1]->geometry();
                w->setGeometry(prev.x() + dx, prev.y(), prev.width(), prev.height());
                w->lower();
                if (isLamp) {
                    w->hide();
                    vbControls::setBackColor(w, vbControls::vbGreen);
                } else {
                    w->show();
                }
            }
        };
        rows(lblCylinderNumber, true, false);
        rows(lblHW, false, false);
        rows(chkBootLoaderRunning, false, false);
        rows(chkApplicationRunning, false, false);
        rows(chkProgram, false, false);
        rows(lblDownloadOk, false, true);
        lblCylinderNumber[0]->setText(QStringLiteral("Sp"));
        // A module is chosen only once it answers: the connection display enables its box.
        for (QCheckBox* box : chkProgram) box->setEnabled(false);
        vbControls::setBackColor(lblDownloadOk[0], vbControls::vbGreen);
    });
    step("initWindow", [&] {
        // New elements take element 0's place and size at their row's height; the
        // start-up decides afterwards which rows are shown.
        for (int pos = 1; pos < sectionRows; ++pos) {
            const int top = chkLoadSection[pos]->y();
            for (QLineEdit* e : {txtVersion[pos], txtBuild[pos], txtEmh[pos]}) {
                QLineEdit* first = e == txtVersion[pos] ? txtVersion[0] : e == txtBuild[pos] ? txtBuild[0] : txtEmh[0];
                e->setGeometry(first->x(), top, first->width(), first->height());
                e->raise();
            }
        }
    });
    step("initWindow", [&] {
        // The developer keeps the builder, the tools, the upload and the overview.
        if ((g_qtmMode || g_bzmMode) && !g_develop) {
            mnuUploadFromSpare->setVisible(false);
            mnuTools->menuAction()->setVisible(false);
            mnuDcBuilder->menuAction()->setVisible(false);
            cmdModuleState->setVisible(false);
        }
    });
}

void frmMain::setModuleVisibility() {
    step("setModuleVisibility", [&] {
        for (int i = 0; i < moduleCount; ++i) {
            lblCylinderNumber[i]->show();
            chkBootLoaderRunning[i]->show();
            chkApplicationRunning[i]->show();
            chkProgram[i]->show();
            lblDownloadOk[i]->hide();
        }
        fraModuleState->show();
    });
}

void frmMain::setBaseAddresses() {
    const auto item = [](const QString& name) { return g_getMiscItem(name, 0, false); };
    // Each address on its own, so that one unreadable item leaves the others set.
    step("Form_Load", [&] { g_baseAdrDC = startupSwitches::baseAddress(QStringLiteral("baseAdrDC_"), g_bigMem, item); });
    step("Form_Load", [&] { g_baseAdrFPGA = startupSwitches::baseAddress(QStringLiteral("baseAdrFPGA_"), g_bigMem, item); });
    step("Form_Load", [&] { g_baseAdrAppl = startupSwitches::baseAddress(QStringLiteral("baseAdrAppl_"), g_bigMem, item); });
}

void frmMain::showUpdater() {
    step("showUpdater", [&] { updaterLink::get().showUpdater(); });
}
