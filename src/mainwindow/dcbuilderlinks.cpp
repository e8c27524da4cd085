#include "mainwindow/dcbuilderlinks.h"

#include "dcbuilder/editorlink.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/frmdcreconstruction.h"
#include "dcbuilder/mainlog.h"
#include "dcdatabase/frmeditdc.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/frmmain.h"

namespace {

struct DcBuilderAdapter : DcBuilderLink {
    void g_show(const QString& fileDirectory) override { frmDcBuilder::instance().g_show(fileDirectory); }
    bool commandRunning() const override { return frmDcBuilder::existing() && frmDcBuilder::existing()->commandRunning(); }
    bool isLoaded() const override { return frmDcBuilder::existing() && frmDcBuilder::existing()->isLoaded(); }
    void unload() override {
        if (frmDcBuilder* b = frmDcBuilder::existing()) b->unload();
    }
};

struct DcReconstructionAdapter : DcReconstructionLink {
    void g_show() override { frmDcReconstruction::instance().g_show(); }
    void g_createDCTemplate(QString& programFileDir) override {
        frmDcReconstruction::instance().g_createDCTemplate(programFileDir);
    }
    bool isLoaded() const override {
        return frmDcReconstruction::existing() && frmDcReconstruction::existing()->isLoaded();
    }
    void unload() override {
        if (frmDcReconstruction* r = frmDcReconstruction::existing()) r->unload();
    }
};

// The template creation logs into the main window.
struct MainLogAdapter : LogWindow {
    void addMessage(const QString& text) override {
        if (frmMain* m = frmMain::instance()) m->addMessage(text);
    }
    void updateProgress(float value, bool relative) override {
        if (frmMain* m = frmMain::instance()) m->updateProgress(value, relative);
    }
};

struct DcEditorAdapter : DcEditorLink {
    bool g_showForm(const QString& dbName, const QString& kind) override {
        return frmEditDC::instance().g_showForm(dbName, kind);
    }
};

}  // namespace

namespace dcBuilderLinks {

void install() {
    static DcBuilderAdapter builder;
    static DcEditorAdapter editor;
    static DcReconstructionAdapter reconstruction;
    static MainLogAdapter mainLog;
    frmDcBuilderLink::install(&builder);
    frmDcReconstructionLink::install(&reconstruction);
    frmMainLogLink::install(&mainLog);
    dcEditorLink::install(&editor);
}

}  // namespace dcBuilderLinks
