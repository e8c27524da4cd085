#include "dcdatabase/dccelldelegate.h"

#include "dcdatabase/dcgridmodel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// The lists offered for picking while a cell is edited, with their row counts.
bool picksFromList(const editColumns::Column& c) {
    return c.field == QLatin1String("crcGroup") || c.field == QLatin1String("criterion");
}

}  // namespace

DcCellDelegate::DcCellDelegate(DcGridModel& model, QObject* parent) : QStyledItemDelegate(parent), m_model(model) {}

QWidget* DcCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const {
    m_editing = index;
    const auto& col = m_model.columns()[size_t(index.column())];
    if (picksFromList(col)) {
        auto* box = new QComboBox(parent);
        for (const auto& [n, word] : col.valueList) box->addItem(word, n);
        box->setMaxVisibleItems(int(col.valueList.size()));
        return box;
    }
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(col.maxLength);
    return edit;
}

void DcCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        const int i = box->findText(text);
        if (i < 0) box->addItem(text);
        box->setCurrentIndex(i < 0 ? box->count() - 1 : i);
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
    }
}

QString DcCellDelegate::editorText(QWidget* editor) {
    if (auto* box = qobject_cast<QComboBox*>(editor)) return box->currentText();
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) return edit->text();
    return QString();
}

void DcCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    const QString text = editorText(editor);
    if (text == index.data(Qt::EditRole).toString()) return;  // nothing typed: no edit
    if (model->setData(index, text, Qt::EditRole)) emit const_cast<DcCellDelegate*>(this)->edited(index);
}

bool DcCellDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress && m_editing.isValid()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            const QString text = editorText(editor);
            QVariant stored;
            const auto entry = m_model.check(m_editing, text, stored);
            if (text != m_editing.data(Qt::EditRole).toString() && !entry.accepted()) {
                emit refused(entry.reason);
                return true;  // the editor stays open with the typed text
            }
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
