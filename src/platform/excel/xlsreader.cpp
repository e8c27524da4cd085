// The .xls reader over FreeXL: every worksheet with its cells.
#include "excel/workbook.h"

#include <QFile>
#include <freexl.h>

namespace excel::detail {

std::unique_ptr<Workbook> readXls(const QString& path, QString& error) {
    const void* handle = nullptr;
    const int rc = freexl_open(QFile::encodeName(path).constData(), &handle);
    struct Closer {
        const void* h;
        ~Closer() {
            if (h) freexl_close(h);
        }
    } closer{handle};
    if (rc != FREEXL_OK) {
        error = QStringLiteral("%1 is no readable .xls workbook.").arg(path);
        return nullptr;
    }
    unsigned int count = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) count = 0;
    auto book = std::make_unique<Workbook>();
    for (unsigned int s = 0; s < count && s < 65535; ++s) {
        Sheet sheet;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, (unsigned short)s, &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, (unsigned short)s) == FREEXL_OK &&
            freexl_worksheet_dimensions(handle, &rows, &columns) == FREEXL_OK) {
            rows = qMin(rows, (unsigned int)Workbook::maxRows);
            for (unsigned int r = 0; r < rows; ++r)
                for (unsigned short c = 0; c < columns && c < Workbook::maxColumns; ++c) {
                    FreeXL_CellValue v;
                    if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK) continue;
                    QString text;
                    switch (v.type) {
                    case FREEXL_CELL_INT: text = QString::number(v.value.int_value); break;
                    case FREEXL_CELL_DOUBLE: text = numberText(v.value.double_value); break;
                    case FREEXL_CELL_TEXT:
                    case FREEXL_CELL_SST_TEXT:
                    case FREEXL_CELL_DATE:
                    case FREEXL_CELL_DATETIME:
                    case FREEXL_CELL_TIME:
                        text = v.value.text_value ? QString::fromUtf8(v.value.text_value) : QString();
                        break;
                    default: break;
                    }
                    if (!text.isEmpty()) sheet.cells.insert((quint64(r + 1) << 16) | quint64(c + 1), text);
                }
        }
        book->m_sheets.push_back(std::move(sheet));
    }
    return book;
}

}  // namespace excel::detail
