#include "dcbuilder/groupcheck.h"

#include "crclibrary/crclibrary.h"
#include "dcbuilder/dcnumber.h"
#include "dcbuilder/groupcrc.h"
#include "services/modstringfct.h"

#include <map>
#include <optional>

namespace groupCrc {

using modStringFct::sprintf;

namespace {

constexpr int kGroups = 7;

// Packed BCD digits as a number; nothing when a half-byte is no decimal digit.
std::optional<qint64> bcdValue(const QByteArray& bytes) {
    qint64 n = 0;
    for (const char c : bytes) {
        const int hi = uchar(c) >> 4, lo = uchar(c) & 0x0F;
        if (hi > 9 || lo > 9) return std::nullopt;
        n = n * 100 + hi * 10 + lo;
    }
    return n;
}

bool sameName(const QVariant& a, const QString& b) { return a.toString().compare(b, Qt::CaseInsensitive) == 0; }

class Check {
public:
    Check(const dcImage::Tables& t, const dcImage::WalkResult& read) : m_t(t), m_read(read) {
        // The last value read into each record's value column is the one stored.
        for (const dcImage::StoredValue& s : read.stored)
            if (s.column.compare(QLatin1String("value"), Qt::CaseInsensitive) == 0) m_value[s.record] = &s;
    }

    // The CRC of the group's values as read; nothing when the group is empty or the image
    // does not give each of its values whole.
    std::optional<quint16> crcOf(int group) const {
        std::vector<qint32> values;
        for (std::size_t i = 0; i < m_t.records.size(); ++i) {
            if (dcNumber::whole32(m_t.records[i].column(QStringLiteral("crcGroup"))) != group) continue;
            const auto it = m_value.find(int(i));
            if (it == m_value.end() || it->second->width != 4) return std::nullopt;
            values.push_back(qint32(it->second->value));
        }
        if (values.empty()) return std::nullopt;
        const QByteArray buf = buffer(values);
        return CrcCalculation(buf.constData(), qint32(buf.size()), 0);
    }

    QString bcdItems(int group, quint16 crc) const {
        const QString alias = QStringLiteral("DC_CRC_FIRST_GROUP") + QString::number(group);
        for (const dcImage::SpecialItem& item : m_read.specials) {
            if (item.alias.compare(alias, Qt::CaseInsensitive) != 0) continue;
            qint64 modulus = 1;
            for (int i = 0; i < item.bytes.size(); ++i) modulus *= 100;
            if (bcdValue(item.bytes) != crc % modulus)
                return mismatch(group, crc, sprintf("item {*} holds &H{*}", alias, QString::fromLatin1(item.bytes.toHex().toUpper())));
        }
        return QString();
    }

    QString entryRow(int group, quint16 crc, const QString& symbol) const {
        for (std::size_t i = 0; i < m_t.records.size(); ++i) {
            const dcImage::EnumRecord& r = m_t.records[i];
            if (!sameName(r.column(QStringLiteral("name")), symbol)) continue;
            // An entry inside its own group cannot hold the CRC of itself.
            if (dcNumber::whole32(r.column(QStringLiteral("crcGroup"))) == group) continue;
            const auto it = m_value.find(int(i));
            if (it == m_value.end()) continue;
            const quint64 mask = (quint64(1) << (8 * it->second->width)) - 1;
            if ((quint64(it->second->value) & mask) != (crc & mask))
                return mismatch(group, crc, sprintf("entry {*} holds {*}", symbol, it->second->value));
        }
        return QString();
    }

private:
    static QString mismatch(int group, quint16 crc, const QString& carried) {
        return sprintf("the values of CRC group {*} read from the image give the CRC {*}, but its {*}: "
                       "the image is damaged or does not fit this template",
                       group, crc, carried);
    }

    const dcImage::Tables& m_t;
    const dcImage::WalkResult& m_read;
    std::map<int, const dcImage::StoredValue*> m_value;
};

}  // namespace

QString verifyRead(const dcImage::Tables& dcTables, const dcImage::WalkResult& read,
                   const std::function<QString(int group)>& symbolOf) {
    const Check check(dcTables, read);
    for (int g = 1; g <= kGroups; ++g) {
        const std::optional<quint16> crc = check.crcOf(g);
        if (!crc) continue;
        QString error = check.bcdItems(g, *crc);
        if (error.isEmpty() && symbolOf) {
            const QString symbol = symbolOf(g);
            if (!symbol.isEmpty()) error = check.entryRow(g, *crc, symbol);
        }
        if (!error.isEmpty()) return error;
    }
    return QString();
}

}  // namespace groupCrc
