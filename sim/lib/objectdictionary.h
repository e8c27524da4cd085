#pragma once
// A node's object dictionary: entries by index and sub-index holding bytes, with access
// rights and hooks through which personalities attach behaviour (flash models, status
// sequences). Every member is thread-safe; hooks run without the lock held, in the thread
// that reads or writes (the simulator's thread for SDO transfers), so a hook may use the
// dictionary itself.
#include "lib/sdoabort.h"

#include <QByteArray>
#include <QMutex>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace sim {

enum class Access { ReadOnly, WriteOnly, ReadWrite };

struct Entry {
    QByteArray value;
    Access access = Access::ReadWrite;
    // > 0: a number of this many bytes; writes of another length are refused. 0: a domain.
    int fixedSize = 0;
    // Longest value a domain takes (0 = no limit).
    int maxSize = 0;

    // At the start of each upload, on a copy of the value: may change what is sent, or
    // refuse with an abort code.
    std::function<AbortCode(QByteArray& data)> onRead;
    // At the start of a download, with the announced size (-1 when not indicated).
    std::function<AbortCode(qint64 size)> onWriteBegin;
    // When a download completes, before the value is stored: non-zero refuses it.
    std::function<AbortCode(const QByteArray& data)> onWrite;
};

class ObjectDictionary {
public:
    using ChangeListener = std::function<void(quint16 index, quint8 sub)>;

    // Adds or replaces an entry.
    void add(quint16 index, quint8 sub, Entry e);
    void addU8(quint16 index, quint8 sub, quint8 v, Access a = Access::ReadWrite);
    void addU16(quint16 index, quint8 sub, quint16 v, Access a = Access::ReadWrite);
    void addU32(quint16 index, quint8 sub, quint32 v, Access a = Access::ReadWrite);
    void addDomain(quint16 index, quint8 sub, const QByteArray& v, Access a = Access::ReadWrite, int maxSize = 0);
    void remove(quint16 index, quint8 sub);
    void clear();

    bool contains(quint16 index, quint8 sub) const;
    std::optional<Entry> entry(quint16 index, quint8 sub) const;

    // Direct access for tests and personalities: no rights, no hooks. Setting a missing
    // entry adds a read-write domain.
    QByteArray value(quint16 index, quint8 sub) const;
    quint32 valueU32(quint16 index, quint8 sub) const;  // little-endian, missing bytes 0
    void setValue(quint16 index, quint8 sub, const QByteArray& v);
    void setU32(quint16 index, quint8 sub, quint32 v);  // keeps the entry's size (4 if none)

    void setReadHook(quint16 index, quint8 sub, std::function<AbortCode(QByteArray&)> f);
    void setWriteBeginHook(quint16 index, quint8 sub, std::function<AbortCode(qint64)> f);
    void setWriteHook(quint16 index, quint8 sub, std::function<AbortCode(const QByteArray&)> f);

    // Called after each stored change (add, SDO write, setValue), in the changing thread.
    void addChangeListener(ChangeListener f);

    // The SDO server's side: rights, sizes and hooks.
    AbortCode read(quint16 index, quint8 sub, QByteArray& out) const;
    AbortCode beginWrite(quint16 index, quint8 sub, qint64 size) const;
    // An expedited download without size gives 4 bytes: a number takes the bytes it needs.
    AbortCode write(quint16 index, quint8 sub, QByteArray data, bool sizeIndicated = true);

private:
    using Key = quint32;
    static Key key(quint16 index, quint8 sub) { return (quint32(index) << 8) | sub; }
    AbortCode find(quint16 index, quint8 sub, Entry& out) const;
    void changed(quint16 index, quint8 sub);

    mutable QMutex m_mutex;
    std::map<Key, Entry> m_entries;
    std::vector<ChangeListener> m_listeners;
};

}  // namespace sim
