#include "excel/xlsrecords.h"

#include "excel/workbook.h"

#include <QtEndian>
#include <cstring>
#include <vector>

namespace excel::detail {
namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;

quint16 u16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// The compound document (the container of an .xls): sectors chained through the FAT,
// small streams in 64-byte pieces of the mini stream.
class CompoundFile {
public:
    explicit CompoundFile(const QByteArray& file) : m_file(file) {}

    bool workbookStream(QByteArray& out) {
        if (m_file.size() < 512 || !m_file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return false;
        const quint16 shift = u16(m_file, 0x1E);
        if (shift != 9 && shift != 12) return false;
        m_sector = qsizetype(1) << shift;
        if (!readFat()) return false;
        QByteArray dir;
        if (!chain(u32(m_file, 0x30), m_fat, -1, dir)) return false;
        QByteArray root, miniStream, miniFat;
        for (qsizetype e = 0; e + 128 <= dir.size(); e += 128) {
            const quint8 type = quint8(dir[e + 0x42]);
            const quint16 nameBytes = qMin<quint16>(u16(dir, e + 0x40), 64);
            const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(dir.constData() + e),
                                                    qMax(0, nameBytes / 2 - 1));
            const quint32 start = u32(dir, e + 0x74);
            const qint64 size = u32(dir, e + 0x78);
            if (type == 5 && e == 0 && !chain(start, m_fat, size, miniStream)) return false;
            if (type != 2 || (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) != 0 &&
                              name.compare(QLatin1String("Book"), Qt::CaseInsensitive) != 0))
                continue;
            if (size >= u32(m_file, 0x38)) return chain(start, m_fat, size, out);
            // A small stream lives in the mini stream, chained through the mini FAT.
            if (!chain(u32(m_file, 0x3C), m_fat, -1, miniFat)) return false;
            std::vector<quint32> mini(size_t(miniFat.size() / 4));
            for (size_t i = 0; i < mini.size(); ++i) mini[i] = u32(miniFat, qsizetype(i) * 4);
            return chainIn(miniStream, 64, start, mini, size, out);
        }
        return false;
    }

private:
    bool readFat() {
        std::vector<quint32> fatSectors;
        const quint32 count = u32(m_file, 0x2C);
        // No file holds more FAT sectors than sectors: a larger count (or a DIFAT chain that
        // loops) is damage, not a reason to allocate.
        if (count > quint64(m_file.size() / m_sector)) return false;
        for (int i = 0; i < 109 && fatSectors.size() < count; ++i) fatSectors.push_back(u32(m_file, 0x4C + i * 4));
        quint32 difat = u32(m_file, 0x44);
        for (quint32 hops = 0; fatSectors.size() < count; ++hops) {
            const qsizetype at = (qsizetype(difat) + 1) * m_sector;
            if (difat >= kEndOfChain || hops > u32(m_file, 0x48) || at + m_sector > m_file.size()) return false;
            for (qsizetype i = 0; i + 4 < m_sector && fatSectors.size() < count; i += 4) fatSectors.push_back(u32(m_file, at + i));
            difat = u32(m_file, at + m_sector - 4);
        }
        for (quint32 s : fatSectors) {
            const qsizetype at = (qsizetype(s) + 1) * m_sector;
            if (at + m_sector > m_file.size()) return false;
            for (qsizetype i = 0; i < m_sector; i += 4) m_fat.push_back(u32(m_file, at + i));
        }
        return true;
    }

    // The bytes of a chain of sectors of the file; size -1: the whole chain.
    bool chain(quint32 start, const std::vector<quint32>& table, qint64 size, QByteArray& out) const {
        const QByteArray body = m_file.mid(m_sector);
        return chainIn(body, m_sector, start, table, size, out);
    }

    static bool chainIn(const QByteArray& area, qsizetype unit, quint32 start, const std::vector<quint32>& table,
                        qint64 size, QByteArray& out) {
        out.clear();
        for (quint32 s = start; s != kEndOfChain && (size < 0 || out.size() < size); s = table[s]) {
            // A chain longer than the table has a loop.
            if (s >= table.size() || out.size() > qsizetype(table.size()) * unit) return false;
            const qsizetype at = qsizetype(s) * unit;
            if (at + unit > area.size()) return false;
            out.append(area.constData() + at, unit);
        }
        if (size < 0) return true;
        if (out.size() < size) return false;
        out.truncate(qsizetype(size));
        return true;
    }

    const QByteArray& m_file;
    qsizetype m_sector = 512;
    std::vector<quint32> m_fat;
};

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kSheet = 0x0085, kFormula = 0x0006, kString = 0x0207,
                  kBoolErr = 0x0205, kSst = 0x00FC, kContinue = 0x003C;

// The shared-string table over its record and the CONTINUE records after it. A text's
// characters may break at a record's end, and go on behind one byte of flags.
class SstReader {
public:
    explicit SstReader(std::vector<QByteArray> pieces) : m_pieces(std::move(pieces)) {}

    qsizetype longest() {
        if (!skip(4)) return -1;
        quint32 count = 0;
        if (!take(4, &count)) return -1;
        qsizetype most = 0;
        for (quint32 i = 0; i < count; ++i) {
            quint32 chars = 0, flags = 0, runs = 0, ext = 0;
            if (!take(2, &chars) || !take(1, &flags)) return -1;
            if ((flags & 0x08) && !take(2, &runs)) return -1;
            if ((flags & 0x04) && !take(4, &ext)) return -1;
            if (!skipChars(chars, flags & 1) || !skip(qsizetype(runs) * 4 + ext)) return -1;
            most = qMax(most, qsizetype(chars));
        }
        return most;
    }

private:
    bool nextPiece() {
        if (++m_piece >= m_pieces.size()) return false;
        m_at = 0;
        return true;
    }
    bool take(int bytes, quint32* value) {
        *value = 0;
        for (int i = 0; i < bytes; ++i) {
            while (m_piece < m_pieces.size() && m_at >= m_pieces[m_piece].size())
                if (!nextPiece()) return false;
            if (m_piece >= m_pieces.size()) return false;
            *value |= quint32(quint8(m_pieces[m_piece][m_at++])) << (8 * i);
        }
        return true;
    }
    bool skip(qsizetype bytes) {
        quint32 ignored;
        for (; bytes > 0; --bytes)
            if (!take(1, &ignored)) return false;
        return true;
    }
    bool skipChars(quint32 chars, bool wide) {
        while (chars > 0) {
            if (m_piece >= m_pieces.size()) return false;
            if (m_at >= m_pieces[m_piece].size()) {
                quint32 flags = 0;
                if (!nextPiece() || !take(1, &flags)) return false;
                wide = flags & 1;
            }
            const qsizetype unit = wide ? 2 : 1;
            const qsizetype n = qMin<qsizetype>(chars, (m_pieces[m_piece].size() - m_at) / unit);
            if (n == 0) return false;
            m_at += n * unit;
            chars -= quint32(n);
        }
        return true;
    }

    std::vector<QByteArray> m_pieces;
    size_t m_piece = 0;
    qsizetype m_at = 0;
};

// The text of a STRING record (the result of the formula before it), BIFF8 only.
std::optional<QString> stringRecord(const QByteArray& d, bool biff8) {
    if (!biff8 || d.size() < 3) return std::nullopt;
    const qsizetype chars = u16(d, 0);
    const bool wide = d[2] & 1;
    if (3 + chars * (wide ? 2 : 1) > d.size()) return std::nullopt;  // continued: not read here
    if (!wide) return QString::fromLatin1(d.constData() + 3, chars);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(d.constData() + 3), chars);
}

// The cells of one sheet's FORMULA and BOOLERR records, from its BOF to its EOF.
bool readSheet(const QByteArray& s, qsizetype at, bool biff8, QHash<quint64, std::optional<QString>>& cells) {
    if (at < 0 || at + 4 > s.size() || u16(s, at) != kBof) return false;
    int depth = 0;
    quint64 pendingString = 0;  // the formula cell whose result the next STRING record holds
    for (qsizetype p = at; p + 4 <= s.size();) {
        const quint16 id = u16(s, p), len = u16(s, p + 2);
        if (p + 4 + len > s.size()) return false;
        const QByteArray d = s.mid(p + 4, len);
        p += 4 + len;
        if (id == kBof) ++depth;
        else if (id == kEof && --depth == 0) return true;
        if (depth != 1) continue;
        if (id == kString && pendingString) {
            cells.insert(pendingString, stringRecord(d, biff8));
            pendingString = 0;
        }
        if ((id != kFormula && id != kBoolErr) || len < 8) continue;
        if (u16(d, 2) >= Workbook::maxColumns) return false;
        const quint64 key = Sheet::key(u16(d, 0) + 1, u16(d, 2) + 1);
        if (id == kBoolErr) {
            cells.insert(key, d[7] ? QString() : d[6] ? QStringLiteral("True") : QStringLiteral("False"));
        } else if (id == kFormula && len >= 14) {
            if (quint8(d[12]) != 0xFF || quint8(d[13]) != 0xFF) {
                const quint64 bits = qFromLittleEndian<quint64>(d.constData() + 6);
                double v;
                std::memcpy(&v, &bits, sizeof v);
                cells.insert(key, numberText(v));
                continue;
            }
            switch (quint8(d[6])) {
            case 0: cells.insert(key, std::nullopt); pendingString = key; break;  // the STRING record follows
            case 1: cells.insert(key, d[8] ? QStringLiteral("True") : QStringLiteral("False")); break;
            case 2:
            case 3: cells.insert(key, QString()); break;  // an error value, an empty text
            default: cells.insert(key, std::nullopt); break;
            }
        }
    }
    return false;
}

}  // namespace

bool readFormulaCells(const QByteArray& file, RecordCells& sheets) {
    QByteArray s;
    if (!CompoundFile(file).workbookStream(s) || s.size() < 8 || u16(s, 0) != kBof) return false;
    const bool biff8 = u16(s, 4) == 0x0600;
    for (qsizetype p = 0; p + 4 <= s.size();) {
        const quint16 id = u16(s, p), len = u16(s, p + 2);
        if (p + 4 + len > s.size()) return false;
        const QByteArray d = s.mid(p + 4, len);
        p += 4 + len;
        if (id == kEof) return true;
        if (id != kSheet || len < 8) continue;
        const qsizetype chars = quint8(d[6]);
        QString name;
        if (!biff8) name = QString::fromLatin1(d.constData() + 7, qMin(chars, d.size() - 7));
        else if (d[7] & 1 && 8 + 2 * chars <= d.size()) name = QString::fromUtf16(reinterpret_cast<const char16_t*>(d.constData() + 8), chars);
        else if (!(d[7] & 1) && 8 + chars <= d.size()) name = QString::fromLatin1(d.constData() + 8, chars);
        else return false;
        const qsizetype at = u32(d, 0);
        auto& cells = sheets[name];  // a chart or macro sheet has none
        if (quint8(d[5]) == 0 && !readSheet(s, at, biff8, cells)) return false;
    }
    return false;
}

qsizetype longestSharedText(const QByteArray& file) {
    QByteArray s;
    if (!CompoundFile(file).workbookStream(s) || s.size() < 8 || u16(s, 0) != kBof || u16(s, 4) != 0x0600) return -1;
    for (qsizetype p = 0; p + 4 <= s.size();) {
        const quint16 id = u16(s, p), len = u16(s, p + 2);
        if (p + 4 + len > s.size()) return -1;
        if (id == kEof) return 0;  // a workbook without texts
        p += 4 + len;
        if (id != kSst) continue;
        std::vector<QByteArray> pieces{s.mid(p - len, len)};
        while (p + 4 <= s.size() && u16(s, p) == kContinue) {
            const quint16 more = u16(s, p + 2);
            if (p + 4 + more > s.size()) return -1;
            pieces.push_back(s.mid(p + 4, more));
            p += 4 + more;
        }
        return SstReader(std::move(pieces)).longest();
    }
    return -1;
}

}  // namespace excel::detail
