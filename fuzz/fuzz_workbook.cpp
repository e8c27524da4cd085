// The workbook readers on any file: no crash, no hang, every cell inside Excel's grid.
// Built twice: for the .xlsx reader and, with KELB_FUZZ_XLS, for the .xls reader.
#include "excel/workbook.h"
#include "fuzzsupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    QString error;
#ifdef KELB_FUZZ_XLS
    const auto book = excel::detail::readXls(fuzzsupport::writeInput(data, size, QStringLiteral(".xls")), error);
#else
    const auto book = excel::detail::readXlsx(fuzzsupport::writeInput(data, size, QStringLiteral(".xlsx")), error);
#endif
    if (!book) return 0;
    for (const auto& sheet : book->sheets())
        for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it) {
            const quint64 row = it.key() >> 16, column = it.key() & 0xFFFF;
            if (row < 1 || row > quint64(excel::Workbook::maxRows) || column < 1 ||
                column > quint64(excel::Workbook::maxColumns))
                std::abort();
        }
    return 0;
}
