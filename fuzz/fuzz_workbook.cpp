// The workbook readers on any file: no crash, no hang, every cell inside Excel's grid.
// Built twice: for the .xlsx reader and, with KELB_FUZZ_XLS, for the .xls reader.
#include "excel/workbook.h"
#include "excel/xlsrecords.h"
#include "fuzzsupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    QString error;
#ifdef KELB_FUZZ_XLS
    // The record reading of our own runs here too, in this process, where the sanitizers
    // see it; in the reading child a fault of it would pass as the library's.
    const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    excel::detail::RecordCells records;
    excel::detail::readFormulaCells(file, records);
    excel::detail::longestSharedText(file);
    const auto book = excel::detail::readXls(fuzzsupport::writeInput(data, size, QStringLiteral(".xls")), error);
#else
    const auto book = excel::detail::readXlsx(fuzzsupport::writeInput(data, size, QStringLiteral(".xlsx")), error);
#endif
    if (!book) return 0;
    const auto inGrid = [](quint64 key) {
        const quint64 row = key >> 16, column = key & 0xFFFF;
        return row >= 1 && row <= quint64(excel::Workbook::maxRows) && column >= 1 &&
               column <= quint64(excel::Workbook::maxColumns);
    };
    for (const auto& sheet : book->sheets()) {
        for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it)
            if (!inGrid(it.key())) std::abort();
        for (quint64 key : sheet.withoutValue)
            if (!inGrid(key) || sheet.cells.contains(key)) std::abort();
    }
    return 0;
}
