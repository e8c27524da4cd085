#pragma once
// The workbook operations of the signal-list import. Where the builder once drove a
// spreadsheet program, it now reads the workbook itself: its member `xlsApp` holds the
// open workbook and the selected sheet from initiateExcel to terminateExcel.
#include "excel/workbook.h"

#include <QString>
#include <memory>

class frmDcBuilder;

namespace modExcel {

// What the builder holds while a signal list is read.
struct Application {
    std::unique_ptr<excel::Workbook> activeWorkbook;
    const excel::Sheet* activeSheet = nullptr;
};

// Remembers the window; gives it an application when it has none.
void initiateExcel(frmDcBuilder& form);
// Lets the window's application go.
void terminateExcel();
// Reads the workbook (always read only): the sheets named in `sheets`, every sheet when it
// is empty. False when it cannot be read whole: the reason goes to the central error handler.
bool openExcelForm(const QString& fileName, bool readOnly, const QStringList& sheets = {});
// Selects the first sheet of exactly that name (hidden sheets included).
bool openExcelSheet(const QString& name);
void closeExcelForm();
// The text of a cell of the selected sheet: cellRef ("A1") plus column and row when given,
// else column and row as they are; empty when there is no such cell or sheet.
QString readCell(const QString& cellRef, int column, int row);
// False when the cell (column and row as they are) of the selected sheet holds a formula or
// boolean the workbook gives no value for; readCell reads such a cell as empty.
bool cellHasValue(int column, int row);

}  // namespace modExcel
