// Download: expedited (1 to 4 bytes), segmented, and block download with the CRC.
#include "caninterface/sdotransfer.h"

#include "caninterface/canstatus.h"
#include "crclibrary/crclibrary.h"

#include <algorithm>

namespace {
void putU32(QByteArray& f, int at, quint32 v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
}  // namespace

void SdoTransfer::startDownload() {
    const auto n = static_cast<int>(m_data.size());
    m_state = State::DownloadInit;
    if (n >= 1 && n <= 4) {
        QByteArray f = frame(static_cast<quint8>(0x23 | (4 - n) << 2));
        std::copy(m_data.cbegin(), m_data.cend(), f.begin() + 4);
        m_offset = n;
        return sendAndWait(f);
    }
    // Segmented, with the size; an empty value goes as one empty last segment.
    QByteArray f = frame(0x21);
    putU32(f, 4, static_cast<quint32>(n));
    m_offset = 0;
    sendAndWait(f);
}

void SdoTransfer::onDownloadInit(const QByteArray& f) {
    if ((quint8(f[0]) & 0xE0) != 0x60) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 4)) return;
    if (m_offset >= m_data.size() && m_data.size() > 0) return end(CanStatus::Success);  // expedited
    m_toggle = 0;
    sendDownloadSegment();
}

void SdoTransfer::sendDownloadSegment() {
    const auto n = static_cast<int>(m_data.size());
    const int chunk = std::min(7, n - m_offset);
    const bool last = m_offset + chunk >= n;
    QByteArray f(8, '\0');
    f[0] = static_cast<char>(m_toggle << 4 | (7 - chunk) << 1 | (last ? 1 : 0));
    std::copy(m_data.cbegin() + m_offset, m_data.cbegin() + m_offset + chunk, f.begin() + 1);
    m_offset += chunk;
    m_state = State::DownloadSegment;
    sendAndWait(f);
}

void SdoTransfer::onDownloadSegment(const QByteArray& f) {
    const quint8 cmd = static_cast<quint8>(f[0]);
    if ((cmd & 0xE0) != 0x20) return fail(SdoAbort::UnknownCommand);
    if (((cmd >> 4) & 1) != m_toggle) return fail(SdoAbort::ToggleBit);
    if (m_offset >= m_data.size()) return end(CanStatus::Success);
    m_toggle ^= 1;
    sendDownloadSegment();
}

void SdoTransfer::startBlockDownload() {
    const auto n = static_cast<int>(m_data.size());
    QByteArray f = frame(0xC6);  // client CRC support, size indicated
    putU32(f, 4, static_cast<quint32>(n));
    m_segments = std::max(1, (n + 6) / 7);
    m_nextSegment = 0;
    m_state = State::BlockDownloadInit;
    sendAndWait(f);
}

void SdoTransfer::onBlockDownloadInit(const QByteArray& f) {
    const quint8 cmd = static_cast<quint8>(f[0]);
    if ((cmd & 0xE3) != 0xA0) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 5)) return;
    m_crc = (cmd & 0x04) != 0;
    const int blk = quint8(f[4]);
    if (blk < 1 || blk > 127) return fail(SdoAbort::InvalidBlockSize);
    m_blockSize = blk;
    sendSubBlock();
}

void SdoTransfer::sendSubBlock() {
    const auto n = static_cast<int>(m_data.size());
    m_sent = std::min(m_blockSize, m_segments - m_nextSegment);
    for (int i = 0; i < m_sent; ++i) {
        const int seg = m_nextSegment + i;
        const int from = seg * 7, to = std::min(n, from + 7);
        QByteArray f(8, '\0');
        f[0] = static_cast<char>((i + 1) | (seg == m_segments - 1 ? 0x80 : 0));
        std::copy(m_data.cbegin() + from, m_data.cbegin() + to, f.begin() + 1);
        if (!sendOnly(f)) return;
    }
    m_state = State::BlockDownloadAck;
    m_link.awaitResponse();
}

void SdoTransfer::onBlockDownloadAck(const QByteArray& f) {
    if ((quint8(f[0]) & 0xE3) != 0xA2) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 3)) return;
    const int ack = quint8(f[1]), blk = quint8(f[2]);
    if (ack > m_sent) return fail(SdoAbort::InvalidSequence);
    m_repeats = ack == 0 ? m_repeats + 1 : 0;
    if (m_repeats > MaxRepeats) return fail(SdoAbort::General);
    m_nextSegment += ack;
    if (m_nextSegment < m_segments) {
        if (blk < 1 || blk > 127) return fail(SdoAbort::InvalidBlockSize);
        m_blockSize = blk;
        return sendSubBlock();
    }
    const auto n = static_cast<int>(m_data.size());
    QByteArray e(8, '\0');
    e[0] = static_cast<char>(0xC1 | (m_segments * 7 - n) << 2);
    if (m_crc) {
        const quint16 crc = CrcCalculation(m_data.constData(), n, 0);
        e[1] = static_cast<char>(crc & 0xFF);
        e[2] = static_cast<char>(crc >> 8);
    }
    m_state = State::BlockDownloadEnd;
    sendAndWait(e);
}

void SdoTransfer::onBlockDownloadEnd(const QByteArray& f) {
    if ((quint8(f[0]) & 0xE3) != 0xA1) return fail(SdoAbort::UnknownCommand);
    end(CanStatus::Success);
}
