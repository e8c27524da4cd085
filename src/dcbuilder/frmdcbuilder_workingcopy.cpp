// The builder's working copy: opening the builder on a directory, creating and settling
// the copy, the tab switching and the edit command.
#include "dcbuilder/editorlink.h"
#include "desktop/windowfit.h"
#include "dcbuilder/frmdcbuilder.h"

#include "dao/dbfiles.h"
#include "dcdatabase/frmeditdc.h"
#include "desktop/runtimeerror.h"
#include "services/dbupgrade.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <utility>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";

// A file operation that fails is a run-time error for the error handler.
void check(bool ok, const QString& what) {
    if (!ok) throw RuntimeError(75, sprintf("Path/File access error: {*}", what));
}

void removeIfExists(const QString& path) {
    if (QFile::exists(path)) check(QFile::remove(path), path);
}

// Whole versions are written beside their name and renamed into place.
void copySafely(const QString& source, const QString& target) {
    QString error;
    check(dao::CopyFileSafely(source, target, &error), error);
}
}  // namespace

void frmDcBuilder::g_show(const QString& directory) {
    // A command under way (the report serves the event loop) keeps its window as it is.
    if (m_commandRunning) {
        raise();
        activateWindow();
        return;
    }
    bool ok = trap(kObject, "g_show", [&] {
        txtFileDirectory->setText(directory);
        m_dcDirectory = directory;
        m_dcPattern = modFileFct::g_getDcName(
            modFileFct::g_fullName(directory, modGlobal::g_toolTitle + QStringLiteral("-PXM-DC-???.mdb")));
        m_newestDc = modFileFct::g_getHighestFileVersion(m_dcPattern, m_tempDc, m_nextDc);
        // What a killed copy of the working copy or of the next version left beside them.
        for (const QString& target : {m_tempDc, m_nextDc})
            if (!target.isEmpty()) check(dao::RemoveDatabaseFile(dao::PartialName(target)), dao::PartialName(target));
    });
    if (!ok) return;
    if (m_newestDc.isEmpty()) {
        modMsgBox::g_errorMsgBox(sprintf("DataContainer {*} not available!", m_dcPattern));
        unload();
        return;
    }
    m_loaded = true;
    bool created = false;
    if (!trap(kObject, "g_show", [&] { created = createTempDc(); }) || !created) {
        unload();
        return;
    }
    const QString dir = modFileFct::g_filePath(m_tempDc);
    bool headers = true;
    for (const char* h : {"global.h", "library.h", "dataContainer.h"})
        headers = headers && QFileInfo::exists(modFileFct::g_fullName(dir, QString::fromLatin1(h)));
    cmdScanHeader->setEnabled(headers);
    cmdScanSignalList->setEnabled(true);

    bool changed = m_dcModified;
    const bool usable = modDataBase::g_updateDatabase(m_tempDc, changed);
    m_dcModified = changed;
    if (!usable) {
        modMsgBox::g_informationMsgBox(
            QStringLiteral("Opening DC-database is blocked.\r\nTherefore DC Builder is not available."));
        unload();
        return;
    }
    modGlobal::g_registerWindow(this);
    if (tabAction->currentIndex() == 2)
        tabAction_Click();
    else
        tabAction->setCurrentIndex(2);  // runs the tab handling
    lstMessage->clear();
    if (!m_savedLeftover.isEmpty())
        addMessage(QStringLiteral("working copy left by an earlier run saved as ") + std::exchange(m_savedLeftover, {}));
    windowFit::openInside(this);
    show();
}

bool frmDcBuilder::createTempDc() {
    const bool leftover = !m_tempDcOpen && QFileInfo::exists(m_tempDc);
    if (m_tempDcOpen || leftover) {
        // The check opens the copy, which rolls back what a killed run left half written.
        const QString problem = dao::IntegrityProblem(m_tempDc);
        if (!problem.isEmpty()) {
            modMsgBox::g_informationMsgBox(
                sprintf("The working copy {*} is damaged and is not used:\\r{*}\\rDC Builder starts again from {*}.",
                        m_tempDc, problem, modFileFct::g_fileName(m_newestDc)));
            m_tempDcOpen = false;
        } else if (leftover) {
            saveLeftoverWorkingCopy();
        }
    }
    if (!m_tempDcOpen) {
        // A damaged version is never copied; it and the older versions stay as they are.
        const QString problem = dao::IntegrityProblem(m_newestDc);
        if (!problem.isEmpty()) {
            modMsgBox::g_errorMsgBox(
                sprintf("DataContainer {*} is damaged or cannot be read and is not copied:\\r{*}", m_newestDc, problem));
            return false;
        }
        // The journal of a killed run goes with the old copy, or SQLite would play it onto the new one.
        check(dao::RemoveDatabaseFile(m_tempDc), m_tempDc);
        copySafely(m_newestDc, m_tempDc);
        m_tempDcOpen = true;
        m_dcModified = false;
    }
    txtDocumentation[1]->setText(QStringLiteral("\r\n\r\n   ") + modFileFct::g_fileName(m_nextDc));
    return true;
}

void frmDcBuilder::saveLeftoverWorkingCopy() {
    bool same = false;
    try {
        same = dao::SameTableRows(m_tempDc, m_newestDc);
    } catch (const RuntimeError&) {
        // A newest version that cannot be read is no reason to lose the copy's work.
    }
    if (same) return;
    if (m_nextDc.isEmpty()) throw RuntimeError(75, sprintf("No further version number for {*}", m_dcPattern));
    QString error;
    check(dao::RenameIntoPlace(m_tempDc, m_nextDc, &error), error);
    m_savedLeftover = modFileFct::g_fileName(m_nextDc);
    m_newestDc = modFileFct::g_getHighestFileVersion(m_dcPattern, m_tempDc, m_nextDc);
}

void frmDcBuilder::closeTempDc() {
    if (m_tempDcOpen) {
        if (m_dcModified) {
            if (m_nextDc.isEmpty()) throw RuntimeError(75, sprintf("No further version number for {*}", m_dcPattern));
            QString error;
            check(dao::RenameIntoPlace(m_tempDc, m_nextDc, &error), error);
            check(dao::RemoveDatabaseFile(m_tempDc), m_tempDc);
            addMessage(QStringLiteral("Result saved in new DC-Version ") + modFileFct::g_fileName(m_nextDc));
        } else {
            check(dao::RemoveDatabaseFile(m_tempDc), m_tempDc);
        }
        m_tempDcOpen = false;
        m_dcModified = false;
    }
    m_newestDc = modFileFct::g_getHighestFileVersion(m_dcPattern, m_tempDc, m_nextDc);
}

void frmDcBuilder::Form_Unload() {
    m_loaded = false;
    modGlobal::g_unregisterWindow(this);
    trap(kObject, "Form_Unload", [&] { closeTempDc(); });
    trap(kObject, "Form_Unload", [&] {
        QDir dir(modGlobal::g_configDir);
        for (const QString& rep : dir.entryList({QStringLiteral("*.rep")}, QDir::Files))
            removeIfExists(dir.filePath(rep));
    });
    // Report databases beside versions in other directories are this session's too.
    for (const QString& rep : std::exchange(m_reports, {}))
        trap(kObject, "Form_Unload", [&] { removeIfExists(rep); });
}

void frmDcBuilder::cmdEdit_Click(int index) {
    const QString kind = cmdEdit[std::size_t(index)]->property("tag").toString();
    if (dcEditorLink::get().g_showForm(m_tempDc, kind)) m_dcModified = true;
}

void frmDcBuilder::tabAction_Click() {
    const int selected = tabAction->currentIndex() + 1;
    for (int i = 1; i <= 4; ++i) fraAction[std::size_t(i)]->setVisible(i == selected);
    if (selected == 2) fillInfoBoxes();
    if (selected == 3) {
        txtStartAdr->setText(QString::number(quint32(modGlobal::g_baseAdrDC), 16).toUpper());
        if (m_dcModified && m_tempDcOpen) {
            // The build tab's list offers the changed data at once, as the next version.
            copySafely(m_tempDc, m_nextDc);
        }
    }
    txtFileDirectory->setText(m_dcDirectory);
    refreshSourceList();
}

void frmDcBuilder::refreshSourceList() {
    filSourceDC->clear();
    const QDir dir(txtFileDirectory->text());
    const QStringList names = dir.entryList({modGlobal::g_toolTitle + QStringLiteral("*-DC*.MDB")}, QDir::Files,
                                            QDir::Name | QDir::IgnoreCase);
    filSourceDC->addItems(names);
    if (filSourceDC->count() > 0) filSourceDC->setCurrentRow(filSourceDC->count() - 1);
}

bool DcEditorWindow::g_showForm(const QString& dbName, const QString& kind) {
    return frmEditDC::instance().g_showForm(dbName, kind);
}
