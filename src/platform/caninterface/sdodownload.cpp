// Download: expedited (1 to 4 bytes), segmented, and block download with the CRC.
#include "caninterface/sdotransfer.h"

#include "caninterface/canstatus.h"
#include "caninterface/sdoprotocol.h"
#include "crclibrary/crclibrary.h"

#include <algorithm>

using namespace Sdo;

void SdoTransfer::startDownload() {
    const auto n = static_cast<int>(m_data.size());
    m_state = State::DownloadInit;
    if (n >= 1 && n <= 4) {
        QByteArray f = frame(command(CcsInitiateDownload, FlagExpedited | FlagSizeIndicated | expeditedUnused(4 - n)));
        std::copy(m_data.cbegin(), m_data.cend(), f.begin() + 4);
        m_offset = n;
        return sendAndWait(f);
    }
    // Segmented, with the size; an empty value goes as one empty last segment.
    QByteArray f = frame(command(CcsInitiateDownload, FlagSizeIndicated));
    putU32(f, 4, static_cast<quint32>(n));
    m_offset = 0;
    sendAndWait(f);
}

void SdoTransfer::onDownloadInit(const QByteArray& f) {
    if (scs(f) != ScsInitiateDownload) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 4)) return;
    if (m_offset >= m_data.size() && m_data.size() > 0) return end(CanStatus::Success);  // expedited
    m_toggle = 0;
    sendDownloadSegment();
}

void SdoTransfer::sendDownloadSegment() {
    const auto n = static_cast<int>(m_data.size());
    const int chunk = std::min(SegmentBytes, n - m_offset);
    const bool last = m_offset + chunk >= n;
    QByteArray f(FrameSize, '\0');
    f[0] = static_cast<char>(command(CcsDownloadSegment, (m_toggle ? FlagToggle : 0) | segmentUnused(SegmentBytes - chunk) |
                                                             (last ? FlagLastSegment : 0)));
    std::copy(m_data.cbegin() + m_offset, m_data.cbegin() + m_offset + chunk, f.begin() + 1);
    m_offset += chunk;
    m_state = State::DownloadSegment;
    sendAndWait(f);
}

void SdoTransfer::onDownloadSegment(const QByteArray& f) {
    if (scs(f) != ScsDownloadSegment) return fail(SdoAbort::UnknownCommand);
    if (toggle(f) != m_toggle) return fail(SdoAbort::ToggleBit);
    if (m_offset >= m_data.size()) return end(CanStatus::Success);
    m_toggle ^= 1;
    sendDownloadSegment();
}

void SdoTransfer::startBlockDownload() {
    const auto n = static_cast<int>(m_data.size());
    QByteArray f = frame(command(CcsBlockDownload, FlagCrc | FlagBlockSize | SubInitiate));
    putU32(f, 4, static_cast<quint32>(n));
    m_segments = std::max(1, (n + SegmentBytes - 1) / SegmentBytes);
    m_nextSegment = 0;
    m_state = State::BlockDownloadInit;
    sendAndWait(f);
}

void SdoTransfer::onBlockDownloadInit(const QByteArray& f) {
    if (scs(f) != ScsBlockDownload || sub(f) != SubInitiate) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 5)) return;
    m_crc = has(f, FlagCrc);
    const int blk = quint8(f[4]);
    if (blk < 1 || blk > MaxBlockSize) return fail(SdoAbort::InvalidBlockSize);
    m_blockSize = blk;
    sendSubBlock();
}

void SdoTransfer::sendSubBlock() {
    const auto n = static_cast<int>(m_data.size());
    m_sent = std::min(m_blockSize, m_segments - m_nextSegment);
    for (int i = 0; i < m_sent; ++i) {
        const int seg = m_nextSegment + i;
        const int from = seg * SegmentBytes, to = std::min(n, from + SegmentBytes);
        QByteArray f(FrameSize, '\0');
        f[0] = static_cast<char>((i + 1) | (seg == m_segments - 1 ? FlagLastBlockSegment : 0));
        std::copy(m_data.cbegin() + from, m_data.cbegin() + to, f.begin() + 1);
        if (!sendOnly(f)) return;
    }
    m_state = State::BlockDownloadAck;
    m_link.awaitResponse();
}

void SdoTransfer::onBlockDownloadAck(const QByteArray& f) {
    if (scs(f) != ScsBlockDownload || sub(f) != SubAck) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 3)) return;
    const int ack = quint8(f[1]), blk = quint8(f[2]);
    if (ack > m_sent) return fail(SdoAbort::InvalidSequence);
    m_repeats = ack == 0 ? m_repeats + 1 : 0;
    if (m_repeats > MaxRepeats) return fail(SdoAbort::General);
    m_nextSegment += ack;
    if (m_nextSegment < m_segments) {
        if (blk < 1 || blk > MaxBlockSize) return fail(SdoAbort::InvalidBlockSize);
        m_blockSize = blk;
        return sendSubBlock();
    }
    const auto n = static_cast<int>(m_data.size());
    QByteArray e(FrameSize, '\0');
    e[0] = static_cast<char>(command(CcsBlockDownload, blockEndUnused(m_segments * SegmentBytes - n) | SubEnd));
    if (m_crc) putU16(e, 1, CrcCalculation(m_data.constData(), n, 0));
    m_state = State::BlockDownloadEnd;
    sendAndWait(e);
}

void SdoTransfer::onBlockDownloadEnd(const QByteArray& f) {
    if (scs(f) != ScsBlockDownload || sub(f) != SubEnd) return fail(SdoAbort::UnknownCommand);
    end(CanStatus::Success);
}
