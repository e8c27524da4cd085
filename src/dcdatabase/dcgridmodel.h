#pragma once
// The table model behind the editor's grids: the columns of one grid over the data
// control's record set. Cells are read by row number; an accepted edit is written to the
// database at once, a refused one leaves the database untouched and says why.
#include "dao/datacontrol.h"
#include "dcdatabase/editcolumns.h"

#include <QAbstractTableModel>
#include <vector>

class DcGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DcGridModel(editCellRules::Grid grid, dao::DataControl& control, QObject* parent = nullptr);

    const std::vector<editColumns::Column>& columns() const { return m_columns; }
    editCellRules::Grid grid() const { return m_grid; }
    // The "Value" column is read-only in the VARIABLE view.
    void setValueLocked(bool locked);

    // Rebinds to the control's current record set (the control calls it on a new query).
    void reload();

    // What the entry would store in that cell, or why it is refused.
    editCellRules::Entry check(const QModelIndex& index, const QString& text, QVariant& stored) const;
    // The cell's stored value.
    QVariant storedValue(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void refused(const QString& reason);

private:
    QVariant fieldValue(int row, const QString& field) const;
    QString displayText(int row, int column) const;
    QString tip(int row, int column) const;
    bool isLocked(int column) const;

    editCellRules::Grid m_grid;
    dao::DataControl& m_control;
    std::vector<editColumns::Column> m_columns;
    std::vector<int> m_fieldIndex;  // per column, -1 when the table lacks the field
    int m_rows = 0;
    bool m_valueLocked = false;
};
