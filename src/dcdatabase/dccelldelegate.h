#pragma once
// The in-place editor of the data-container grids: a line edit (a pick list for the CRC
// group and the alarm criterion). An entry the cell rules refuse keeps the editor open
// with the typed text, and the reason is told.
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class DcGridModel;

class DcCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    DcCellDelegate(DcGridModel& model, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

signals:
    void refused(const QString& reason);
    // A cell edit went into the database.
    void edited(const QModelIndex& index);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    static QString editorText(QWidget* editor);

    DcGridModel& m_model;
    mutable QPersistentModelIndex m_editing;
};
