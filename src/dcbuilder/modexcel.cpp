#include "dcbuilder/modexcel.h"

#include "dcbuilder/frmdcbuilder.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"

namespace modExcel {
namespace {
frmDcBuilder* g_form = nullptr;

Application* app() { return g_form ? g_form->xlsApp.get() : nullptr; }
}  // namespace

void initiateExcel(frmDcBuilder& form) {
    g_form = &form;
    if (!form.xlsApp) form.xlsApp = std::make_unique<Application>();
}

void terminateExcel() {
    if (g_form) g_form->xlsApp.reset();
}

bool openExcelForm(const QString& fileName, bool /*readOnly: the reader never writes*/, const QStringList& sheets) {
    bool opened = false;
    trap("modExcel", "openExcelForm", [&] {
        Application* a = app();
        if (!a) throw RuntimeError(91, QStringLiteral("Object variable or With block variable not set"));
        a->activeSheet = nullptr;
        QString why;
        a->activeWorkbook = excel::Workbook::open(fileName, &why, sheets);
        if (!a->activeWorkbook) throw RuntimeError(1004, why);
        opened = true;
    });
    return opened;
}

bool openExcelSheet(const QString& name) {
    Application* a = app();
    if (!a || !a->activeWorkbook) return false;
    a->activeSheet = a->activeWorkbook->sheet(name);
    return a->activeSheet != nullptr;
}

void closeExcelForm() {
    if (Application* a = app()) {
        a->activeSheet = nullptr;
        a->activeWorkbook.reset();
    }
}

QString readCell(const QString& cellRef, int column, int row) {
    const Application* a = app();
    if (!a || !a->activeSheet) return QString();
    if (!cellRef.isEmpty()) {
        int baseRow = 0, baseColumn = 0;
        if (!excel::parseCellReference(cellRef, baseRow, baseColumn)) return QString();
        row += baseRow;
        column += baseColumn;
    }
    return a->activeSheet->cell(row, column);
}

bool cellHasValue(int column, int row) {
    const Application* a = app();
    return !a || !a->activeSheet || a->activeSheet->hasValue(row, column);
}

}  // namespace modExcel
