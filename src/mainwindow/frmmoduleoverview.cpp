#include "mainwindow/frmmoduleoverview.h"

#include "desktop/windowfit.h"
#include "mainwindow/frminfoblockdetails.h"
#include "mainwindow/toollog.h"
#include "mainwindow/vbcontrols.h"

#include "can/modupload.h"
#include "services/errtrap.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

namespace {
constexpr char kObject[] = "frmModuleOverview";

struct Column {
    const char* grid;
    const char* log;
    qint16 width;
};
// Column 4 (the date) stays out of the log.
constexpr Column kColumns[] = {
    {"Section", "Section", 16},         {"Size", "Size", 6},
    {"Name", "Name", 10},               {"Version", "Version", 10},
    {"Date", "", 0},                    {"Code Start", "Code start", 14},
    {"Code Length", "Code Length", 14}, {"Code CRC", "Code CRC", 14},
    {"InfoBlock CRC", "InfoBlock CRC", 14}, {"Serial", "Serial", 12},
    {"RAM", "RAM", 8},                  {"Flash", "Flash", 8},
};
constexpr int kKnownColumns = int(std::size(kColumns));
constexpr int kInfoBlockCrcColumn = 8, kFirstHardwareColumn = 9;
const QString kHidden = QStringLiteral("***");
const QString kUnread = QStringLiteral("---");


// The value followed by blanks up to the width; a longer value stands as it is.
QString padded(const QString& value, int width) { return value.leftJustified(width, QLatin1Char(' ')); }
}  // namespace

frmModuleOverview::frmModuleOverview() : QWidget(nullptr, Qt::Window) {
    std::tie(frmModuleInfo, tdbModuleInfo, cmdExit) =
        toolWindow::buildGridWindow(this, kObject, QStringLiteral("Module Overview"), "frmModuleInfo",
                                    QStringLiteral("Module Info"), "tdbModuleInfo");
    connect(cmdExit, &QPushButton::clicked, this, &frmModuleOverview::cmdExit_Click);
    connect(tdbModuleInfo, &QTableWidget::currentCellChanged, this, [this] {
        if (!m_binding) tdbModuleInfo_RowColChange();
    });
}

void frmModuleOverview::Form_Load() {
    toolWindow::load(this, m_loaded);
}

void frmModuleOverview::Form_Unload() {
    hide();
    toolWindow::unload(this, m_loaded);
}

qint16 frmModuleOverview::reportColumnWidth(qint16 column) {
    return column >= 0 && column < kKnownColumns ? kColumns[column].width : 0;
}

QString frmModuleOverview::reportColumnCaption(qint16 column) {
    return column >= 0 && column < kKnownColumns ? QString::fromLatin1(kColumns[column].log) : QString();
}

QString frmModuleOverview::gridColumnCaption(int column) {
    return column >= 0 && column < kKnownColumns ? QString::fromLatin1(kColumns[column].grid) : QString();
}

void frmModuleOverview::g_show(const moduleProtocol::Selection& present, const ModuleInfoTable& info) {
    trap(kObject, "g_show", [&] {
        if (!m_loaded) Form_Load();
        m_present = present;
        m_info = info;
        fillTable();
        writeLog();
        bindGrid();
        toolLog::add(toolLog::ruler());
        windowFit::openInside(this);
        show();
        raise();
    });
}

void frmModuleOverview::fillTable() {
    const int moduleBound = int(m_info.size()) - 1;
    const int rowBound = int(m_info[0].size()) - 1;
    const int colBound = int(m_info[0][0].size()) - 1;
    // The reference is the lowest connected cylinder module, else the spare.
    m_connected = m_present[0] ? 1 : 0;
    m_reference = 0;
    for (int m = moduleBound; m >= 1; --m) {
        if (!m_present[m]) continue;
        m_reference = qint16(m);
        ++m_connected;
    }
    m_grid.assign(rowBound + 1, std::vector<QString>(colBound + 1));
    m_equal.assign(rowBound + 1, std::vector<bool>(colBound + 1, true));
    const auto& ref = m_info[m_reference];
    for (int r = 0; r <= rowBound; ++r) {
        for (int c = 0; c <= colBound; ++c) {
            // Fields that differ by nature are hidden once there is more than one module.
            const bool hidden = m_connected >= 2 && (c == kInfoBlockCrcColumn ||
                                                     (c >= kFirstHardwareColumn && ref[r][0] == QLatin1String("Hardware")));
            m_grid[r][c] = hidden ? kHidden : ref[r][c];
            // The spare is never compared: its software may lag behind on purpose.
            for (int m = 1; m <= moduleBound; ++m) {
                if (m_present[m] && m_info[m][r][c] != ref[r][c]) {
                    m_equal[r][c] = false;
                    break;
                }
            }
        }
    }
}

void frmModuleOverview::writeLog() {
    toolLog::add(toolLog::ruler());
    toolLog::add(QStringLiteral("Infoblock values:"));
    toolLog::add(QStringLiteral("      * = value is not equal on all Modules"));
    const int colBound = int(m_grid.front().size()) - 1;
    QString captions = QStringLiteral("   ");
    for (int c = 0; c <= colBound; ++c) captions += padded(reportColumnCaption(qint16(c)), reportColumnWidth(qint16(c)));
    toolLog::add(captions);
    for (size_t r = 0; r < m_grid.size(); ++r) {
        QString line = QStringLiteral("   ");
        for (int c = 0; c <= colBound; ++c) {
            QString shown = m_grid[r][c];
            if (!m_equal[r][c] && shown != kHidden) shown += QLatin1Char('*');
            const int width = reportColumnWidth(qint16(c));
            if (width > 0) line += padded(shown, width);
        }
        toolLog::add(line);
    }
}

quint32 frmModuleOverview::tdbModuleInfo_FetchCellStyle(int bookmark, int col) const {
    const QString& value = m_grid.at(bookmark).at(col);
    if (col == 0) return vbControls::vbButtonFace;
    if (value == kUnread) return vbControls::vbApplicationWorkspace;
    if (value == kHidden || m_equal[bookmark][col]) return vbControls::vbButtonFace;
    // The bootloader 1 and hardware rows differ between hardware generations without harm.
    if (bookmark == modUpload::getDisplayIndex(moduleProtocol::sectionBootloader1) ||
        bookmark == modUpload::getDisplayIndex(moduleProtocol::sectionHwInfoBlock))
        return vbControls::vbApplicationWorkspace;
    return vbControls::vbRed;
}

void frmModuleOverview::bindGrid() {
    m_binding = true;
    const int rows = int(m_grid.size()), cols = int(m_grid.front().size());
    tdbModuleInfo->clear();
    tdbModuleInfo->setRowCount(rows);
    tdbModuleInfo->setColumnCount(cols);
    QStringList captions;
    for (int c = 0; c < cols; ++c) captions << gridColumnCaption(c);
    tdbModuleInfo->setHorizontalHeaderLabels(captions);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            auto* item = new QTableWidgetItem(m_grid[r][c]);
            item->setBackground(vbControls::toQColor(tdbModuleInfo_FetchCellStyle(r, c)));
            tdbModuleInfo->setItem(r, c, item);
        }
    }
    tdbModuleInfo->resizeColumnsToContents();
    tdbModuleInfo->resizeRowsToContents();
    tdbModuleInfo->setCurrentCell(0, 0);
    m_binding = false;
    // The whole table in view without scrolling.
    const int width = tdbModuleInfo->horizontalHeader()->length() + 2 * tdbModuleInfo->frameWidth();
    const int height = tdbModuleInfo->verticalHeader()->length() + tdbModuleInfo->horizontalHeader()->height() +
                       2 * tdbModuleInfo->frameWidth();
    // The whole table in view where the work area has room for it (less the window's frame,
    // its frame box and the Exit row), else it scrolls.
    const QSize room = windowFit::workArea(this).size() - QSize(120, 160);
    tdbModuleInfo->setMinimumSize(std::min(width, room.width()), std::min(height, room.height()));
    tdbModuleInfo->setMaximumHeight(height);
    windowFit::fitToContent(this);
}

void frmModuleOverview::tdbModuleInfo_RowColChange() {
    trap(kObject, "tdbModuleInfo_RowColChange", [&] {
        m_selectedRow = qint16(tdbModuleInfo->currentRow());
        m_selectedCol = qint16(tdbModuleInfo->currentColumn());
        if (m_selectedRow < 0 || m_selectedCol < 0) return;
        showDetailView();
        // Back to the first cell, so that choosing the same cell again opens it again.
        m_binding = true;
        tdbModuleInfo->setCurrentCell(0, 0);
        tdbModuleInfo->scrollToTop();
        m_binding = false;
    });
}

void frmModuleOverview::showDetailView() {
    trap(kObject, "showDetailView", [&] {
        const QString caption = m_grid.at(m_selectedRow).at(0) + QStringLiteral(" : ") + gridColumnCaption(m_selectedCol);
        if (m_selectedCol > 0)
            frmInfoBlockDetails::instance().g_show(m_selectedRow, m_selectedCol, m_info, m_present, caption);
    });
}

void frmModuleOverview::cmdExit_Click() {
    trap(kObject, "cmdExit_Click", [&] { Form_Unload(); });
}

void frmModuleOverview::closeEvent(QCloseEvent* e) { toolWindow::closeAsExit(*this, e); }
