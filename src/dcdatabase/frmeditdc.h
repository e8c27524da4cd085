#pragma once
// The grid editor of a data-container database: parameters, variables or alarms in a
// grid bound to the database, filtered by group and "Show Only New", sorted by header
// click. Cells are edited in place and written at once; rows are never added or deleted.
#include "dao/datacontrol.h"

#include <QDialog>
#include <array>
#include <vector>

class DcGridModel;
class DcCellDelegate;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QTableView;

class frmEditDC : public QDialog {
    Q_OBJECT
public:
    static frmEditDC& instance();
    // The editor when it was made, else nullptr; the exit procedure makes none.
    static frmEditDC* existing();
    // Shown: the editor is open on a table (it is modal while it is).
    bool isLoaded() const { return isVisible(); }
    // Lets go of the table and closes the window.
    void unload();

    // Shows the editor modally for "PARAMETER", "VARIABLE" or "ALARM"; true when at least
    // one cell edit went into the database.
    bool g_showForm(const QString& dbPath, const QString& kind);

    void setupTable(const QString& sortColumn);
    void setupFupIdSelection(const QString& dbPath);
    static QString getCrcGroupName(int index);
    static QString getVarGroup(int index, QString& name);

    // The record source of the last setupTable and its bound values (for the log and tests).
    QString recordSource() const { return m_source; }
    QVariantList recordSourceParams() const { return m_sourceParams; }
    QString sortOrder() const { return m_sortOrder; }
    DcGridModel* gridModel(bool alarms) const { return alarms ? m_alarmModel : m_dcModel; }
    QTableView* visibleGrid() const;

    std::array<QGroupBox*, 2> fraGridType{};
    std::array<QRadioButton*, 5> optShowVarCol{};
    std::array<QRadioButton*, 6> optShowLogCol{};
    QComboBox* cboCrcGroup;
    QLabel* lblParaGroup;
    QCheckBox* chkNewLine;
    QTableView* tdbDcEnums;
    QTableView* tdbAlarmEnums;
    QLabel* lblEditInfo;  // why the last entry was refused
    dao::DataControl datDc;

public slots:
    void cboCrcGroup_Click();
    void chkNewLine_Click();
    void optShowVarCol_Click(int Index);
    void optShowLogCol_Click(int Index);
    void HeadClick(int ColIndex);
    void AfterColEdit(const QModelIndex& index);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    frmEditDC();
    void Form_Load();
    void Form_Resize();
    void setHidden(QTableView* grid, int column, bool hidden);
    void reapplyColumns();
    void resetColumns();
    void applyColumnSet(QTableView* grid, const QStringList& hide, const QStringList& show);
    void setColumnShown(QTableView* grid, const QString& field, bool shown);
    int columnOf(QTableView* grid, const QString& field) const;
    DcGridModel* modelOf(QTableView* grid) const;
    bool isDarvo() const;

    QString m_dbPath;
    QString m_kind;
    bool m_loading = false;
    bool m_changed = false;
    QString m_sortOrder = QStringLiteral("ASC");
    int m_sortColumn = -1;
    QString m_source;
    QVariantList m_sourceParams;
    std::array<std::vector<bool>, 2> m_hidden;  // per grid: the hidden columns
    DcGridModel* m_dcModel;
    DcGridModel* m_alarmModel;
    DcCellDelegate* m_dcDelegate;
    DcCellDelegate* m_alarmDelegate;
};
