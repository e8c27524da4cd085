// The main window's public operations that other windows and modules use.
#include "mainwindow/frmmain.h"
#include "dcbuilder/loadfileslink.h"
#include "can/canmaster.h"
#include "mainwindow/updaterlink.h"
#include "mainwindow/vbcontrols.h"

#include "can/systemsymbols.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/loglines.h"
#include "services/modglobal.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>

namespace {
// A module or row number outside its array is a run-time error, as an array index was.
int checkedIndex(int index, int count) {
    if (index < 0 || index >= count) throw RuntimeError(9, QStringLiteral("Subscript out of range"));
    return index;
}
}  // namespace

void frmMain::addMessage(const QString& text) {
    trap("frmMain", "addMessage", [&] {
        for (const QString& line : logLines::split(text)) {
            lstMessage->addItem(line);
            lstMessage->setCurrentRow(lstMessage->count() - 1);
            lstMessage->scrollToItem(lstMessage->currentItem());
        }
        // Long commands block the event loop between their lines: show the log now.
        repaint();
    });
}

void frmMain::updateProgress(double progress_, bool valueAdd_) {
    trap("frmMain", "updateProgress", [&] {
        double value = valueAdd_ ? prgProgress->fraction() + progress_ : progress_;
        if (value < 0) value = 0;
        if (value > 1) value = 1;
        prgProgress->setFraction(value);
        if (modGlobal::g_updateMode) updaterLink::get().setProgressLoad(prgProgress->fraction());
    });
}

bool frmMain::g_downloadStatusOk(int module_) {
    bool ok = false;
    trap("frmMain", "g_downloadStatusOk", [&] {
        ok = vbControls::backColor(lblDownloadOk[checkedIndex(module_, moduleCount)]) == vbControls::vbGreen;
    });
    return ok;
}

bool frmMain::g_getBootloaderVersionChange(int module) {
    bool changed = false;
    trap("frmMain", "g_getBootloaderVersionChange", [&] {
        changed = m_bootloaderVersionChange[checkedIndex(module, moduleCount)];
    });
    return changed;
}

void frmMain::g_resetBootloaderVersionChange(int module) {
    trap("frmMain", "g_resetBootloaderVersionChange", [&] {
        m_bootloaderVersionChange[checkedIndex(module, moduleCount)] = false;
    });
}

void frmMain::g_checkFileExist(const QString& kind, bool quiet) {
    trap("frmMain", "g_checkFileExist", [&] { loadFilesLink::get().g_checkFileExist(kind, quiet); });
}

moduleProtocol::Selection frmMain::g_getUserSelection() {
    moduleProtocol::Selection states{};
    trap("frmMain", "g_getUserSelection", [&] {
        for (int i = 0; i < moduleCount; ++i) states[i] = chkProgram[i]->checkState() == Qt::Checked;
    });
    return states;
}

void frmMain::g_restoreUserSelection(const moduleProtocol::Selection& states_) {
    trap("frmMain", "g_restoreUserSelection", [&] {
        // Only checks: a module that no longer answers is not selected again.
        for (int i = 0; i < moduleCount; ++i)
            if (states_[i] && canMasterLink::get().moduleState(i) != moduleProtocol::ModuleState::none)
                chkProgram[i]->setCheckState(Qt::Checked);
    });
}

// ---- The update run's members ----

void frmMain::setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32& key) {
    trap("frmMain", row.setter, [&] { updaterLink::get().setSystemValue(row, value, key); });
}

void frmMain::notConnectedToSpare(int module) {
    trap("frmMain", "notConnectedToSpare", [&] { updaterLink::get().notConnectedToSpare(module); });
}

void frmMain::downloadFinished() {
    trap("frmMain", "downloadFinished", [&] { updaterLink::get().downloadFinished(); });
}

void frmMain::addMessageUpdater(const QString& text, int reportLine) {
    trap("frmMain", "addMessageUpdater", [&] { updaterLink::get().addMessageUpdater(text, reportLine); });
}

bool frmMain::errorSignal(bool flag) {
    bool failed = false;
    trap("frmMain", "errorSignal", [&] { failed = updaterLink::get().errorSignal(flag); });
    return failed;
}

void frmMain::setUserInfo(const QString& text, int delay, bool& okButton, int exitButton, bool& shown) {
    trap("frmMain", "setUserInfo", [&] { updaterLink::get().setUserInfo(text, delay, okButton, exitButton, shown); });
}

void frmMain::writeReport() {
    trap("frmMain", "writeReport", [&] { updaterLink::get().writeReport(); });
}
