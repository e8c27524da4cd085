#include "dcdatabase/dcgridmodel.h"

#include "services/errtrap.h"
#include "services/modstringfct.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QPalette>
#include <cmath>

using editColumns::Column;
using Shown = editColumns::Display;  // not "Display": the X11 headers take that name
namespace rules = editCellRules;

DcGridModel::DcGridModel(rules::Grid grid, dao::DataControl& control, QObject* parent)
    : QAbstractTableModel(parent),
      m_grid(grid),
      m_control(control),
      m_columns(grid == rules::Grid::DcEnums ? editColumns::dcEnumsColumns() : editColumns::alarmEnumsColumns()) {
    m_fieldIndex.assign(m_columns.size(), -1);
}

void DcGridModel::setValueLocked(bool locked) { m_valueLocked = locked; }

void DcGridModel::reload() {
    beginResetModel();
    m_fieldIndex.assign(m_columns.size(), -1);
    m_rows = 0;
    if (auto rs = m_control.Recordset()) {
        trap("frmEditDC", "setupTable", [&] {
            m_rows = rs->RecordCount();
            for (size_t c = 0; c < m_columns.size(); ++c) m_fieldIndex[c] = rs->FieldIndex(m_columns[c].field);
        });
    }
    endResetModel();
}

int DcGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }
int DcGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant DcGridModel::storedValue(int row, int column) const {
    auto rs = m_control.Recordset();
    const int f = m_fieldIndex[size_t(column)];
    if (!rs || f < 0 || row < 0 || row >= m_rows) return {};
    QVariant v;
    trap("frmEditDC", "FormatText", [&] {
        rs->SetAbsolutePosition(row);
        v = rs->Value(f);
    });
    return v;
}

QVariant DcGridModel::fieldValue(int row, const QString& field) const {
    for (size_t c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].field.compare(field, Qt::CaseInsensitive) == 0) return storedValue(row, int(c));
    return {};
}

QString DcGridModel::displayText(int row, int column) const {
    const Column& col = m_columns[size_t(column)];
    const QVariant v = storedValue(row, column);
    switch (col.display) {
    case Shown::ValueList: return editColumns::listText(col, v);
    case Shown::ModbusAddress: return rules::modbusAddressText(m_grid, v);
    case Shown::ProducerBit: return rules::producerText(col.bit, v);
    case Shown::Number: return modStringFct::sprintf(QStringLiteral("{*}"), v);  // as the formatter shows values
    case Shown::Text: break;
    }
    return v.toString();
}

QString DcGridModel::tip(int row, int column) const {
    const Column& col = m_columns[size_t(column)];
    if (col.display == Shown::ModbusAddress) return rules::modbusAddressColumnTip(m_grid);
    if (col.display == Shown::ProducerBit)
        return rules::producerTip(m_grid, col.bit, fieldValue(row, QStringLiteral("producerMask")).toLongLong(),
                                  fieldValue(row, QStringLiteral("modbusAddr")).toLongLong());
    return QString();
}

bool DcGridModel::isLocked(int column) const {
    const Column& col = m_columns[size_t(column)];
    if (col.locked || col.neverShown || m_fieldIndex[size_t(column)] < 0) return true;
    return m_valueLocked && col.field == QLatin1String("value");
}

QVariant DcGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row(), column = index.column();
    const Column& col = m_columns[size_t(column)];
    switch (role) {
    case Qt::DisplayRole: return displayText(row, column);
    case Qt::EditRole:
        if (col.display == Shown::ModbusAddress && storedValue(row, column).toLongLong() == 0) return QString();
        return displayText(row, column);
    case Qt::ToolTipRole: {
        const QString t = tip(row, column);
        return t.isEmpty() ? QVariant() : QVariant(t);
    }
    case Qt::BackgroundRole:
        if (m_grid == rules::Grid::AlarmEnums && col.field == QLatin1String("name"))
            return rules::alarmNameWarning(fieldValue(row, QStringLiteral("signalIndexName")),
                                           fieldValue(row, QStringLiteral("criterion")))
                       ? QBrush(QColor(255, 0, 0))
                       : QApplication::palette().brush(QPalette::Button);
        if (m_valueLocked && col.field == QLatin1String("value")) return QApplication::palette().brush(QPalette::Button);
        return {};
    case Qt::TextAlignmentRole:
        if (col.display == Shown::ProducerBit) return int(Qt::AlignCenter);
        return {};
    default: return {};
    }
}

QVariant DcGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return m_columns[size_t(section)].caption;
    return QVariant();
}

Qt::ItemFlags DcGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!isLocked(index.column())) f |= Qt::ItemIsEditable;
    return f;
}

rules::Entry DcGridModel::check(const QModelIndex& index, const QString& text, QVariant& stored) const {
    const Column& col = m_columns[size_t(index.column())];
    if (isLocked(index.column())) return rules::Entry{std::nullopt, QStringLiteral("This column cannot be edited.")};
    if (text.size() > col.maxLength)
        return rules::Entry{std::nullopt, QStringLiteral("At most %1 characters.").arg(col.maxLength)};
    rules::Entry e;
    switch (col.display) {
    case Shown::ModbusAddress: e = rules::modbusAddressEntry(m_grid, text); break;
    case Shown::ProducerBit:
        e = rules::producerEntry(col.bit, storedValue(index.row(), index.column()).toLongLong(), text);
        break;
    case Shown::ValueList:
    case Shown::Number: {
        const QString t = col.display == Shown::ValueList ? editColumns::listEntry(col, text) : text;
        bool ok = false;
        const double d = t.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(d)) return rules::Entry{std::nullopt, QStringLiteral("Enter a number.")};
        stored = (d == std::floor(d) && std::fabs(d) < 1e15) ? QVariant(qint64(d)) : QVariant(d);
        return rules::Entry{0, {}};
    }
    case Shown::Text: stored = text; return rules::Entry{0, {}};
    }
    if (e.accepted()) stored = *e.stored;
    return e;
}

bool DcGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    QVariant stored;
    const rules::Entry e = check(index, value.toString(), stored);
    if (!e.accepted()) {
        emit refused(e.reason);
        return false;
    }
    auto rs = m_control.Recordset();
    if (!rs) return false;
    const Column& col = m_columns[size_t(index.column())];
    const bool written = trap("frmEditDC", "BeforeColUpdate", [&] {
        rs->SetAbsolutePosition(index.row());
        rs->Edit();
        rs->SetValue(m_fieldIndex[size_t(index.column())], stored);
        // A new signal name is resolved to its id again by the alarm-index build.
        if (m_grid == rules::Grid::AlarmEnums)
            if (const auto reset = rules::alarmNameIdReset(col.field); reset && rs->FieldIndex(reset->idField) >= 0)
                rs->SetValue(reset->idField, reset->value);
        rs->Update();
    });
    if (written) emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return written;
}
