#include "mainwindow/frminfoblockdetails.h"

#include "mainwindow/toollog.h"
#include "mainwindow/vbcontrols.h"

#include "desktop/dialogs.h"
#include "services/errtrap.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

namespace {
constexpr char kObject[] = "frmInfoBlockDetails";

}  // namespace

frmInfoBlockDetails::frmInfoBlockDetails() : QDialog(nullptr) {
    std::tie(frmDetails, tdbDetailInfo, cmdExit) =
        toolWindow::buildGridWindow(this, kObject, QStringLiteral("All Modules"), "frmDetails",
                                    QStringLiteral("Info Block Details"), "tdbDetailInfo");
    tdbDetailInfo->setColumnCount(2);
    connect(cmdExit, &QPushButton::clicked, this, &frmInfoBlockDetails::cmdExit_Click);
}

void frmInfoBlockDetails::Form_Load() {
    toolWindow::load(this, m_loaded);
}

void frmInfoBlockDetails::Form_Unload() {
    if (isVisible()) done(QDialog::Accepted);
    toolWindow::unload(this, m_loaded);
}

void frmInfoBlockDetails::g_show(qint16 row, qint16 column, const ModuleInfoTable& info,
                                 const moduleProtocol::Selection& present, const QString& caption) {
    trap(kObject, "g_show", [&] {
        if (!m_loaded) Form_Load();
        m_selectedRow = row;
        m_selectedCol = column;
        m_info = info;
        m_present = present;
        m_caption = caption;
        displayDetailData();
    });
    trap(kObject, "g_show", [&] { Dialogs::showModal(this); });
}

void frmInfoBlockDetails::displayDetailData() {
    trap(kObject, "displayDetailData", [&] {
        const int moduleBound = int(m_info.size()) - 1;
        m_grid.assign(moduleBound + 1, std::vector<QString>(2));
        for (int m = 0; m <= moduleBound; ++m) {
            m_grid[m][0] = QString::number(m);
            m_grid[m][1] = m_present[m] ? m_info[m].at(m_selectedRow).at(m_selectedCol) : QStringLiteral("---");
        }
        tdbDetailInfo->clearContents();
        tdbDetailInfo->setRowCount(moduleBound + 1);
        tdbDetailInfo->setHorizontalHeaderLabels({QStringLiteral("Module"), m_caption});
        for (int m = 0; m <= moduleBound; ++m) {
            for (int c = 0; c < 2; ++c) {
                auto* item = new QTableWidgetItem(m_grid[m][c]);
                item->setBackground(vbControls::toQColor(tdbDetailInfo_FetchCellStyle(m)));
                tdbDetailInfo->setItem(m, c, item);
            }
        }
        tdbDetailInfo->resizeColumnsToContents();
        tdbDetailInfo->resizeRowsToContents();
        tdbDetailInfo->horizontalHeader()->setStretchLastSection(true);
        const int height = tdbDetailInfo->verticalHeader()->length() + tdbDetailInfo->horizontalHeader()->height() +
                           2 * tdbDetailInfo->frameWidth();
        tdbDetailInfo->setMinimumHeight(height);
        adjustSize();

        toolLog::add(toolLog::ruler(QStringLiteral("INFO BLOCK ")));
        toolLog::add(QStringLiteral("Info Block Details:"));
        toolLog::add(QStringLiteral("   Module     ") + m_caption);
        for (int m = 0; m <= moduleBound; ++m)
            toolLog::add(QString::number(m).rightJustified(7, QLatin1Char(' ')) + QString(7, QLatin1Char(' ')) + m_grid[m][1]);
        toolLog::add(toolLog::ruler());
    });
}

quint32 frmInfoBlockDetails::tdbDetailInfo_FetchCellStyle(int bookmark) const {
    return m_present.at(bookmark) ? vbControls::vbButtonFace : vbControls::vbApplicationWorkspace;
}

void frmInfoBlockDetails::cmdExit_Click() {
    trap(kObject, "cmdExit_Click", [&] { Form_Unload(); });
}

void frmInfoBlockDetails::closeEvent(QCloseEvent* e) { toolWindow::closeAsExit(*this, e); }

void frmInfoBlockDetails::reject() { cmdExit_Click(); }
