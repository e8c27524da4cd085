#include "bytes/bytes.h"

namespace bytes {

namespace {
bool validWidth(int width) { return width >= 1 && width <= 8; }
// Index of the byte that holds bits 8k to 8k + 7 of the number.
qsizetype byteIndex(qsizetype offset, int width, int k, Order order) {
    return order == Order::BigEndian ? offset + width - 1 - k : offset + k;
}
}  // namespace

bool put(QByteArray& buf, qsizetype offset, qint64 value, int width, Order order) {
    if (!validWidth(width) || offset < 0) return false;
    if (buf.size() < offset + width) buf.append(QByteArray(offset + width - buf.size(), '\0'));
    const auto u = static_cast<quint64>(value);
    for (int k = 0; k < width; ++k) buf[byteIndex(offset, width, k, order)] = static_cast<char>((u >> (8 * k)) & 0xFF);
    return true;
}

std::optional<quint64> getUnsigned(const QByteArray& buf, qsizetype offset, int width, Order order) {
    if (!validWidth(width) || offset < 0 || offset + width > buf.size()) return std::nullopt;
    quint64 u = 0;
    for (int k = 0; k < width; ++k)
        u |= static_cast<quint64>(static_cast<quint8>(buf[byteIndex(offset, width, k, order)])) << (8 * k);
    return u;
}

std::optional<qint64> getSigned(const QByteArray& buf, qsizetype offset, int width, Order order) {
    const std::optional<quint64> u = getUnsigned(buf, offset, width, order);
    if (!u) return std::nullopt;
    if (width == 8) return static_cast<qint64>(*u);
    const quint64 sign = quint64(1) << (8 * width - 1);
    return static_cast<qint64>((*u ^ sign)) - static_cast<qint64>(sign);
}

void Writer::raw(const QByteArray& data) {
    if (m_buf.size() < m_pos) m_buf.append(QByteArray(m_pos - m_buf.size(), '\0'));
    if (m_buf.size() < m_pos + data.size()) m_buf.append(QByteArray(m_pos + data.size() - m_buf.size(), '\0'));
    for (qsizetype i = 0; i < data.size(); ++i) m_buf[m_pos + i] = data[i];
    m_pos += data.size();
}

std::optional<quint64> Reader::unsignedNumber(int width) {
    const std::optional<quint64> v = getUnsigned(m_buf, m_pos, width, m_order);
    if (v) m_pos += width;
    return v;
}

std::optional<qint64> Reader::signedNumber(int width) {
    const std::optional<qint64> v = getSigned(m_buf, m_pos, width, m_order);
    if (v) m_pos += width;
    return v;
}

bool Reader::skip(qsizetype n) {
    if (n < 0 || n > remaining()) return false;
    m_pos += n;
    return true;
}

}  // namespace bytes
