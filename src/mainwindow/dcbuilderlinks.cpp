#include "mainwindow/dcbuilderlinks.h"

#include "dcbuilder/frmdcbuilder.h"
#include "mainwindow/dcbuilderlink.h"

namespace {

struct DcBuilderAdapter : DcBuilderLink {
    void g_show(const QString& fileDirectory) override { frmDcBuilder::instance().g_show(fileDirectory); }
    bool isLoaded() const override { return frmDcBuilder::existing() && frmDcBuilder::existing()->isLoaded(); }
    void unload() override {
        if (frmDcBuilder* b = frmDcBuilder::existing()) b->unload();
    }
};

}  // namespace

namespace dcBuilderLinks {

void install() {
    static DcBuilderAdapter builder;
    frmDcBuilderLink::install(&builder);
}

}  // namespace dcBuilderLinks
