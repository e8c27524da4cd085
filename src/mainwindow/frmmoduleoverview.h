#pragma once
// The module overview: one row per section, one column per info-block field, the values
// of a reference module, and every field that differs between the modules marked. The
// same table goes to the main log; a click on a field shows it for every module.
#include "mainwindow/moduleinfotable.h"
#include "mainwindow/toolwindow.h"

#include <QWidget>
#include <vector>

class QGroupBox;
class QPushButton;
class QTableWidget;

class frmModuleOverview : public QWidget, public OneWindow<frmModuleOverview> {
    Q_OBJECT
    friend class OneWindow<frmModuleOverview>;

public:
    // Copies the table, fills the grid, writes the table to the main log and shows the window.
    void g_show(const moduleProtocol::Selection& present, const ModuleInfoTable& info);

    // Width and caption of a column in the log; 0 and "" for a column not written there.
    static qint16 reportColumnWidth(qint16 column);
    static QString reportColumnCaption(qint16 column);
    // The grid's column caption.
    static QString gridColumnCaption(int column);

    // Opens the detail window for the selected cell; column 0 opens nothing.
    void showDetailView();
    // The background of a cell as a 0x00BBGGRR value or a system colour.
    quint32 tdbModuleInfo_FetchCellStyle(int bookmark, int col) const;

    bool isLoaded() const { return m_loaded; }
    // The shown value of a cell (without the log's mark) and whether it is the same on
    // every compared module.
    QString gridValue(int row, int col) const { return m_grid.at(row).at(col); }
    bool equalityMark(int row, int col) const { return m_equal.at(row).at(col); }
    int referenceModule() const { return m_reference; }
    int connectedCount() const { return m_connected; }

    QGroupBox* frmModuleInfo;
    QTableWidget* tdbModuleInfo;
    QPushButton* cmdExit;

public slots:
    void tdbModuleInfo_RowColChange();
    void cmdExit_Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    frmModuleOverview();
    void Form_Load();
    void Form_Unload();
    void fillTable();
    void writeLog();
    void bindGrid();

    bool m_loaded = false;
    bool m_binding = false;  // the grid is being filled or reset: no cell choice
    moduleProtocol::Selection m_present{};
    ModuleInfoTable m_info{};
    qint16 m_connected = 0;
    qint16 m_reference = 0;
    std::vector<std::vector<QString>> m_grid;
    std::vector<std::vector<bool>> m_equal;
    qint16 m_selectedRow = 0;
    qint16 m_selectedCol = 0;
};
