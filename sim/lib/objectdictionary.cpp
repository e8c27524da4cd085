#include "lib/objectdictionary.h"

#include <QMutexLocker>

namespace sim {

namespace {
QByteArray littleEndian(quint32 v, int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

Entry number(quint32 v, int size, Access a) {
    Entry e;
    e.value = littleEndian(v, size);
    e.access = a;
    e.fixedSize = size;
    return e;
}
}  // namespace

void ObjectDictionary::add(quint16 index, quint8 sub, Entry e) {
    {
        QMutexLocker lock(&m_mutex);
        m_entries[key(index, sub)] = std::move(e);
    }
    changed(index, sub);
}

void ObjectDictionary::addU8(quint16 index, quint8 sub, quint8 v, Access a) { add(index, sub, number(v, 1, a)); }
void ObjectDictionary::addU16(quint16 index, quint8 sub, quint16 v, Access a) { add(index, sub, number(v, 2, a)); }
void ObjectDictionary::addU32(quint16 index, quint8 sub, quint32 v, Access a) { add(index, sub, number(v, 4, a)); }

void ObjectDictionary::addDomain(quint16 index, quint8 sub, const QByteArray& v, Access a, int maxSize) {
    Entry e;
    e.value = v;
    e.access = a;
    e.maxSize = maxSize;
    add(index, sub, std::move(e));
}

void ObjectDictionary::remove(quint16 index, quint8 sub) {
    QMutexLocker lock(&m_mutex);
    m_entries.erase(key(index, sub));
}

void ObjectDictionary::clear() {
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

bool ObjectDictionary::contains(quint16 index, quint8 sub) const {
    QMutexLocker lock(&m_mutex);
    return m_entries.count(key(index, sub)) > 0;
}

std::optional<Entry> ObjectDictionary::entry(quint16 index, quint8 sub) const {
    QMutexLocker lock(&m_mutex);
    auto it = m_entries.find(key(index, sub));
    if (it == m_entries.end()) return std::nullopt;
    return it->second;
}

QByteArray ObjectDictionary::value(quint16 index, quint8 sub) const {
    QMutexLocker lock(&m_mutex);
    auto it = m_entries.find(key(index, sub));
    return it == m_entries.end() ? QByteArray() : it->second.value;
}

quint32 ObjectDictionary::valueU32(quint16 index, quint8 sub) const {
    const QByteArray b = value(index, sub);
    quint32 v = 0;
    for (int i = 0; i < 4 && i < b.size(); ++i) v |= quint32(quint8(b[i])) << (8 * i);
    return v;
}

void ObjectDictionary::setValue(quint16 index, quint8 sub, const QByteArray& v) {
    {
        QMutexLocker lock(&m_mutex);
        m_entries[key(index, sub)].value = v;
    }
    changed(index, sub);
}

void ObjectDictionary::setU32(quint16 index, quint8 sub, quint32 v) {
    {
        QMutexLocker lock(&m_mutex);
        Entry& e = m_entries[key(index, sub)];
        const int size = e.fixedSize > 0 ? e.fixedSize : (e.value.isEmpty() ? 4 : int(e.value.size()));
        e.value = littleEndian(v, qMin(size, 4));
    }
    changed(index, sub);
}

void ObjectDictionary::setReadHook(quint16 index, quint8 sub, std::function<AbortCode(QByteArray&)> f) {
    QMutexLocker lock(&m_mutex);
    m_entries[key(index, sub)].onRead = std::move(f);
}

void ObjectDictionary::setWriteBeginHook(quint16 index, quint8 sub, std::function<AbortCode(qint64)> f) {
    QMutexLocker lock(&m_mutex);
    m_entries[key(index, sub)].onWriteBegin = std::move(f);
}

void ObjectDictionary::setWriteHook(quint16 index, quint8 sub, std::function<AbortCode(const QByteArray&)> f) {
    QMutexLocker lock(&m_mutex);
    m_entries[key(index, sub)].onWrite = std::move(f);
}

void ObjectDictionary::addChangeListener(ChangeListener f) {
    QMutexLocker lock(&m_mutex);
    m_listeners.push_back(std::move(f));
}

AbortCode ObjectDictionary::find(quint16 index, quint8 sub, Entry& out) const {
    QMutexLocker lock(&m_mutex);
    auto it = m_entries.find(key(index, sub));
    if (it != m_entries.end()) {
        out = it->second;
        return abort::None;
    }
    auto first = m_entries.lower_bound(key(index, 0));
    const bool indexExists = first != m_entries.end() && (first->first >> 8) == index;
    return indexExists ? abort::NoSubIndex : abort::NoObject;
}

AbortCode ObjectDictionary::read(quint16 index, quint8 sub, QByteArray& out) const {
    Entry e;
    if (AbortCode a = find(index, sub, e)) return a;
    if (e.access == Access::WriteOnly) return abort::WriteOnly;
    out = e.value;
    return e.onRead ? e.onRead(out) : abort::None;
}

AbortCode ObjectDictionary::beginWrite(quint16 index, quint8 sub, qint64 size) const {
    Entry e;
    if (AbortCode a = find(index, sub, e)) return a;
    if (e.access == Access::ReadOnly) return abort::ReadOnly;
    if (size >= 0 && e.fixedSize > 0 && size != e.fixedSize)
        return size > e.fixedSize ? abort::LengthTooHigh : abort::LengthTooLow;
    if (size >= 0 && e.maxSize > 0 && size > e.maxSize) return abort::LengthTooHigh;
    return e.onWriteBegin ? e.onWriteBegin(size) : abort::None;
}

AbortCode ObjectDictionary::write(quint16 index, quint8 sub, QByteArray data, bool sizeIndicated) {
    Entry e;
    if (AbortCode a = find(index, sub, e)) return a;
    if (e.access == Access::ReadOnly) return abort::ReadOnly;
    if (!sizeIndicated && e.fixedSize > 0 && e.fixedSize < data.size()) data.truncate(e.fixedSize);
    if (e.fixedSize > 0 && data.size() != e.fixedSize)
        return data.size() > e.fixedSize ? abort::LengthTooHigh : abort::LengthTooLow;
    if (e.maxSize > 0 && data.size() > e.maxSize) return abort::LengthTooHigh;
    if (e.onWrite)
        if (AbortCode a = e.onWrite(data)) return a;
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_entries.find(key(index, sub));
        if (it == m_entries.end()) return abort::NoObject;  // removed by the hook
        it->second.value = data;
    }
    changed(index, sub);
    return abort::None;
}

void ObjectDictionary::changed(quint16 index, quint8 sub) {
    std::vector<ChangeListener> ls;
    {
        QMutexLocker lock(&m_mutex);
        ls = m_listeners;
    }
    for (const auto& l : ls) l(index, sub);
}

}  // namespace sim
