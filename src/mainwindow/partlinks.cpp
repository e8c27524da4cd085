// The main window's slots into the parts below it, served by those parts' own code.
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/dceditorlink.h"
#include "mainwindow/frmhwinfoblockrepair.h"
#include "mainwindow/frminfoblockdetails.h"
#include "mainwindow/frmmoduleoverview.h"
#include "mainwindow/toolwindowlinks.h"

#include "can/modapplicationmode.h"
#include "can/modautodownload.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/frmdcreconstruction.h"
#include "dcdatabase/frmeditdc.h"

qint32 ApplicationTypeOfFiles::g_checkAppFileType(const QString& f) { return modApplicationMode::g_checkAppFileType(f); }
qint32 ApplicationTypeOfFiles::g_getApplStartAddr(const QString& f) { return modApplicationMode::g_getApplStartAddr(f); }
qint32 ApplicationTypeOfFiles::g_checkAppConnectionType() { return modApplicationMode::g_checkAppConnectionType(); }

void AutoDownloadLogoff::g_logoff() { modAutoDownload::g_logoff(); }

void DcBuilderWindow::g_show(const QString& fileDirectory) { frmDcBuilder::instance().g_show(fileDirectory); }
bool DcBuilderWindow::commandRunning() const { return frmDcBuilder::existing() && frmDcBuilder::existing()->commandRunning(); }
bool DcBuilderWindow::isLoaded() const { return frmDcBuilder::existing() && frmDcBuilder::existing()->isLoaded(); }
void DcBuilderWindow::unload() {
    if (frmDcBuilder* b = frmDcBuilder::existing()) b->unload();
}

void DcReconstructionWindow::g_show() { frmDcReconstruction::instance().g_show(); }
void DcReconstructionWindow::g_createDCTemplate(QString& programFileDir) {
    frmDcReconstruction::instance().g_createDCTemplate(programFileDir);
}
bool DcReconstructionWindow::isLoaded() const {
    return frmDcReconstruction::existing() && frmDcReconstruction::existing()->isLoaded();
}
void DcReconstructionWindow::unload() {
    if (frmDcReconstruction* r = frmDcReconstruction::existing()) r->unload();
}

bool EditorWindow::isLoaded() const { return frmEditDC::existing() && frmEditDC::existing()->isLoaded(); }
void EditorWindow::unload() {
    if (frmEditDC* e = frmEditDC::existing()) e->unload();
}

template <class Form>
bool ToolWindow<Form>::isLoaded() const {
    return Form::existing() && Form::existing()->isLoaded();
}
template <class Form>
void ToolWindow<Form>::unload() {
    if (Form* f = Form::existing()) f->cmdExit_Click();
}
template class ToolWindow<frmModuleOverview>;
template class ToolWindow<frmInfoBlockDetails>;
template class ToolWindow<frmHWInfoBlockRepair>;
