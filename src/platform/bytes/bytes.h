#pragma once
// Numbers in byte arrays, big- or little-endian: one reader and one writer, so that no
// caller packs or unpacks a number byte by byte. Widths are 1 to 8 bytes; a number is
// written as its low width × 8 bits (two's complement for negative values).
#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace bytes {

enum class Order { BigEndian, LittleEndian };

// Writes the number at buf[offset]; the array grows with zero bytes when the field ends
// beyond it. False (nothing written) for a width outside 1 to 8 or a negative offset.
bool put(QByteArray& buf, qsizetype offset, qint64 value, int width, Order order);

// The field at buf[offset] as an unsigned number, or nothing when it does not lie wholly
// inside the array (or the width is outside 1 to 8).
std::optional<quint64> getUnsigned(const QByteArray& buf, qsizetype offset, int width, Order order);
// The same field read as a signed number of width × 8 bits.
std::optional<qint64> getSigned(const QByteArray& buf, qsizetype offset, int width, Order order);

// Writes fields one after the other from a running position.
class Writer {
public:
    explicit Writer(QByteArray& buf, Order order, qsizetype position = 0)
        : m_buf(buf), m_order(order), m_pos(position) {}
    void number(qint64 value, int width) { put(m_buf, m_pos, value, width, m_order); m_pos += width; }
    // Raw bytes, e.g. a text field; the position moves on by their count.
    void raw(const QByteArray& data);
    void zeros(qsizetype n) { raw(QByteArray(n, '\0')); }
    qsizetype position() const { return m_pos; }

private:
    QByteArray& m_buf;
    Order m_order;
    qsizetype m_pos;
};

// Reads fields one after the other from a running position. A field that would run past
// the end gives nothing and leaves the position where it was.
class Reader {
public:
    explicit Reader(const QByteArray& buf, Order order, qsizetype position = 0)
        : m_buf(buf), m_order(order), m_pos(position) {}
    std::optional<quint64> unsignedNumber(int width);
    std::optional<qint64> signedNumber(int width);
    // Moves on by n bytes; false (position kept) when that passes the end.
    bool skip(qsizetype n);
    qsizetype position() const { return m_pos; }
    qsizetype remaining() const { return m_buf.size() - m_pos; }

private:
    const QByteArray& m_buf;
    Order m_order;
    qsizetype m_pos;
};

}  // namespace bytes
