#pragma once
// What every record set of the layer shares: the position among its fixed rows, the
// field list, the edit buffer and the search. The row source (a key set of row ids or a
// snapshot of values) is the subclass's.
#include "dao/dao.h"
#include "dao/openfile.h"

namespace dao::detail {

// Opens a record set: a key set for a query on one table, a read-only snapshot otherwise.
std::shared_ptr<Recordset> openRecordset(std::shared_ptr<Lease> lease, bool readOnly, const QString& sql,
                                         const QVariantList& params);

class RecordsetBase : public Recordset {
public:
    RecordsetBase(std::shared_ptr<Lease> lease, QStringList names, std::vector<bool> isDate, bool updatable);

    bool eof() const override;
    bool bof() const override;
    void MoveFirst() override;
    void MoveLast() override;
    void MoveNext() override;
    void MovePrevious() override;
    int RecordCount() const override;
    int AbsolutePosition() const override;
    void SetAbsolutePosition(int position) override;

    void FindFirst(const QString& criterion, const QVariantList& params = {}) override;
    void FindNext(const QString& criterion, const QVariantList& params = {}) override;
    bool NoMatch() const override { return m_noMatch; }

    void Edit() override;
    void AddNew() override;
    void Update() override;
    void CancelUpdate() override;
    void Delete() override;

    int FieldCount() const override;
    QString FieldName(int index) const override;
    int FieldIndex(const QString& name) const override;
    QVariant Value(int index) const override;
    QVariant Value(const QString& name) const override;
    void SetValue(int index, const QVariant& v) override;
    void SetValue(const QString& name, const QVariant& v) override;

    void Close() override;
    bool IsOpen() const override { return m_lease != nullptr; }

protected:
    enum class Mode { None, Edit, AddNew };
    sqlite3* db() const;
    const std::vector<bool>& dateFields() const { return m_isDate; }
    int position() const { return m_pos; }

    virtual int count() const = 0;
    // The values of row i; raises 3167 when the row is gone.
    virtual const QVariantList& row(int i) const = 0;
    // The first row from start on that meets the criterion, or -1.
    virtual int findFrom(int start, const QString& criterion, const QVariantList& params) const = 0;
    // Write the buffer's changed fields (changed[i]) to row i / as a new row; a new row
    // joins the set and its index is returned.
    virtual void writeEdit(int i, const QVariantList& values, const std::vector<bool>& changed) { }
    virtual int writeNew(const QVariantList& values, const std::vector<bool>& changed) { return -1; }
    virtual void deleteRow(int i) { }
    virtual void releaseSource() {}

private:
    void check() const;
    void requireUpdatable() const;
    int fieldOrFail(const QString& name) const;
    void moveTo(int pos);
    void find(int start, const QString& criterion, const QVariantList& params);

    std::shared_ptr<Lease> m_lease;
    QStringList m_names;
    std::vector<bool> m_isDate;
    bool m_updatable;
    int m_pos = 0;            // -1 before the first row, count() after the last
    bool m_onDeleted = false; // the current row was deleted here; m_pos is the row after it
    bool m_noMatch = false;
    Mode m_mode = Mode::None;
    QVariantList m_buffer;
    std::vector<bool> m_changed;
};

}  // namespace dao::detail
