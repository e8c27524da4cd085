#include "mainwindow/dcbuilderlinks.h"

#include "dcbuilder/editorlink.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcdatabase/frmeditdc.h"
#include "mainwindow/dcbuilderlink.h"

namespace {

struct DcBuilderAdapter : DcBuilderLink {
    void g_show(const QString& fileDirectory) override { frmDcBuilder::instance().g_show(fileDirectory); }
    bool isLoaded() const override { return frmDcBuilder::existing() && frmDcBuilder::existing()->isLoaded(); }
    void unload() override {
        if (frmDcBuilder* b = frmDcBuilder::existing()) b->unload();
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
    frmDcBuilderLink::install(&builder);
    dcEditorLink::install(&editor);
}

}  // namespace dcBuilderLinks
