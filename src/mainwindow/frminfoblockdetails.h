#pragma once
// One info-block field of the module overview for every module, one row per module, and
// the same list in the main log. Opened modal from the overview; it changes nothing.
#include "mainwindow/moduleinfotable.h"
#include "mainwindow/toolwindow.h"

#include <QDialog>
#include <vector>

class QGroupBox;
class QPushButton;
class QTableWidget;

class frmInfoBlockDetails : public QDialog, public OneWindow<frmInfoBlockDetails> {
    Q_OBJECT
    friend class OneWindow<frmInfoBlockDetails>;

public:
    // Keeps the cell (display row, field column), the table, the present flags and the
    // caption, fills grid and log and shows the window modal.
    void g_show(qint16 row, qint16 column, const ModuleInfoTable& info, const moduleProtocol::Selection& present,
                const QString& caption);
    void displayDetailData();
    // The background of a row's cells: the button face for a present module, the darker
    // workspace grey for an absent one.
    quint32 tdbDetailInfo_FetchCellStyle(int bookmark) const;

    bool isLoaded() const { return m_loaded; }
    QString gridValue(int module, int col) const { return m_grid.at(module).at(col); }

    QGroupBox* frmDetails;
    QTableWidget* tdbDetailInfo;
    QPushButton* cmdExit;

public slots:
    void cmdExit_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    frmInfoBlockDetails();
    void Form_Load();
    void Form_Unload();

    bool m_loaded = false;
    qint16 m_selectedRow = 0;
    qint16 m_selectedCol = 0;
    ModuleInfoTable m_info{};
    moduleProtocol::Selection m_present{};
    QString m_caption;
    std::vector<std::vector<QString>> m_grid;
};
