#include "dao/recordsetbase.h"

#include "dao/sqlitecore.h"

namespace dao::detail {

RecordsetBase::RecordsetBase(std::shared_ptr<Lease> lease, QStringList names, std::vector<bool> isDate, bool updatable)
    : m_lease(std::move(lease)), m_names(std::move(names)), m_isDate(std::move(isDate)), m_updatable(updatable) {}

void RecordsetBase::check() const {
    if (!m_lease) fail(errObjectInvalid, QStringLiteral("Object invalid or no longer set."));
}

sqlite3* RecordsetBase::db() const {
    check();
    return m_lease->db();
}

void RecordsetBase::requireUpdatable() const {
    check();
    if (!m_updatable) fail(errReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
}

bool RecordsetBase::eof() const {
    check();
    return !m_onDeleted && m_pos >= count();
}

bool RecordsetBase::bof() const {
    check();
    return !m_onDeleted && (m_pos < 0 || count() == 0);
}

int RecordsetBase::RecordCount() const {
    check();
    return count();
}

int RecordsetBase::AbsolutePosition() const {
    check();
    return (m_onDeleted || m_pos < 0 || m_pos >= count()) ? -1 : m_pos;
}

void RecordsetBase::SetAbsolutePosition(int position) {
    check();
    if (position < 0 || position >= count()) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    if (position != m_pos || m_onDeleted) moveTo(position);
}

// Moving away from a row drops an unsaved edit, as DAO did.
void RecordsetBase::moveTo(int pos) {
    m_mode = Mode::None;
    m_onDeleted = false;
    m_pos = pos;
}

void RecordsetBase::MoveFirst() {
    check();
    if (count() == 0) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    moveTo(0);
}

void RecordsetBase::MoveLast() {
    check();
    if (count() == 0) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    moveTo(count() - 1);
}

void RecordsetBase::MoveNext() {
    if (eof()) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    moveTo(m_onDeleted ? m_pos : m_pos + 1);
}

void RecordsetBase::MovePrevious() {
    if (bof()) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    moveTo(m_pos - 1);
}

void RecordsetBase::find(int start, const QString& criterion, const QVariantList& params) {
    check();
    const int found = findFrom(qMax(start, 0), criterion, params);
    m_noMatch = found < 0;
    if (found >= 0) moveTo(found);
}

void RecordsetBase::FindFirst(const QString& criterion, const QVariantList& params) { find(0, criterion, params); }

void RecordsetBase::FindNext(const QString& criterion, const QVariantList& params) {
    find(m_onDeleted ? m_pos : m_pos + 1, criterion, params);
}

void RecordsetBase::Edit() {
    requireUpdatable();
    if (m_onDeleted) fail(errRecordDeleted, QStringLiteral("Record is deleted."));
    if (m_pos < 0 || m_pos >= count()) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    m_buffer = row(m_pos);  // raises when the row has gone meanwhile
    m_changed.assign(m_names.size(), false);
    m_mode = Mode::Edit;
}

void RecordsetBase::AddNew() {
    requireUpdatable();
    m_buffer = QVariantList(m_names.size());
    m_changed.assign(m_names.size(), false);
    m_mode = Mode::AddNew;
}

void RecordsetBase::Update() {
    check();
    if (m_mode == Mode::None) fail(errUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    if (m_mode == Mode::Edit) {
        writeEdit(m_pos, m_buffer, m_changed);
        m_mode = Mode::None;
    } else {
        moveTo(writeNew(m_buffer, m_changed));
    }
}

void RecordsetBase::CancelUpdate() {
    check();
    if (m_mode == Mode::None) fail(errUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    m_mode = Mode::None;
}

void RecordsetBase::Delete() {
    requireUpdatable();
    if (m_onDeleted) fail(errRecordDeleted, QStringLiteral("Record is deleted."));
    if (m_pos < 0 || m_pos >= count()) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    m_mode = Mode::None;
    deleteRow(m_pos);
    m_onDeleted = true;
}

int RecordsetBase::FieldCount() const {
    check();
    return int(m_names.size());
}

QString RecordsetBase::FieldName(int index) const {
    check();
    if (index < 0 || index >= m_names.size()) fail(errItemNotFound, QStringLiteral("Item not found in this collection."));
    return m_names[index];
}

int RecordsetBase::FieldIndex(const QString& name) const {
    check();
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int RecordsetBase::fieldOrFail(const QString& name) const {
    const int i = FieldIndex(name);
    if (i < 0) fail(errItemNotFound, QStringLiteral("Item not found in this collection."));
    return i;
}

QVariant RecordsetBase::Value(int index) const {
    FieldName(index);
    if (m_mode == Mode::AddNew || (m_mode == Mode::Edit && m_changed[index])) return m_buffer[index];
    if (m_onDeleted) fail(errRecordDeleted, QStringLiteral("Record is deleted."));
    if (m_pos < 0 || m_pos >= count()) fail(errNoCurrentRecord, QStringLiteral("No current record."));
    return row(m_pos)[index];
}

QVariant RecordsetBase::Value(const QString& name) const { return Value(fieldOrFail(name)); }

void RecordsetBase::SetValue(int index, const QVariant& v) {
    FieldName(index);
    if (m_mode == Mode::None) fail(errUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    m_buffer[index] = v;
    m_changed[index] = true;
}

void RecordsetBase::SetValue(const QString& name, const QVariant& v) { SetValue(fieldOrFail(name), v); }

void RecordsetBase::Close() {
    releaseSource();
    m_lease.reset();
}

}  // namespace dao::detail
