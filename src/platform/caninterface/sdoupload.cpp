// Upload: expedited, segmented (with or without the size), and block upload with the
// CRC and the server's switch to a plain upload.
#include "caninterface/sdotransfer.h"

#include "caninterface/canstatus.h"
#include "crclibrary/crclibrary.h"

namespace {
quint32 u32(const QByteArray& f, int at) {
    return quint32(quint8(f[at])) | quint32(quint8(f[at + 1])) << 8 | quint32(quint8(f[at + 2])) << 16 |
           quint32(quint8(f[at + 3])) << 24;
}
}  // namespace

void SdoTransfer::startUpload() {
    m_data.clear();
    m_state = State::UploadInit;
    sendAndWait(frame(0x40));
}

void SdoTransfer::onUploadInit(const QByteArray& f) {
    const quint8 cmd = static_cast<quint8>(f[0]);
    if ((cmd & 0xE0) != 0x40) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 4)) return;
    const bool expedited = cmd & 0x02, sized = cmd & 0x01;
    if (expedited) {
        const int len = sized ? 4 - ((cmd >> 2) & 3) : 4;
        if (!need(f, 4 + len)) return;
        m_data = f.mid(4, len);
        return end(CanStatus::Success);
    }
    m_size = -1;
    if (sized) {
        if (!need(f, 8)) return;
        m_size = u32(f, 4);
        if (m_size > MaxUpload) return fail(SdoAbort::OutOfMemory);
    }
    m_data.clear();
    m_toggle = 0;
    m_state = State::UploadSegment;
    sendAndWait(frame(0x60, false));
}

void SdoTransfer::onUploadSegment(const QByteArray& f) {
    const quint8 cmd = static_cast<quint8>(f[0]);
    if ((cmd & 0xE0) != 0x00) return fail(SdoAbort::UnknownCommand);
    if (((cmd >> 4) & 1) != m_toggle) return fail(SdoAbort::ToggleBit);
    const int used = 7 - ((cmd >> 1) & 7);
    if (!need(f, 1 + used)) return;
    m_data += f.mid(1, used);
    const bool last = cmd & 0x01;
    if (!checkSize(m_data.size(), last)) return;
    if (last) return end(CanStatus::Success);
    m_toggle ^= 1;
    sendAndWait(frame(static_cast<quint8>(0x60 | m_toggle << 4), false));
}

bool SdoTransfer::checkSize(qint64 received, bool complete) {
    if (received > MaxUpload) {
        fail(SdoAbort::OutOfMemory);
        return false;
    }
    if (m_size >= 0 && received > m_size) {
        fail(SdoAbort::LengthTooHigh);
        return false;
    }
    if (m_size >= 0 && complete && received < m_size) {
        fail(SdoAbort::LengthTooLow);
        return false;
    }
    return true;
}

void SdoTransfer::startBlockUpload() {
    QByteArray f = frame(0xA4);  // client CRC support
    f[4] = static_cast<char>(BlockSize);
    f[5] = static_cast<char>(SwitchThreshold);
    m_data.clear();
    m_state = State::BlockUploadInit;
    sendAndWait(f);
}

void SdoTransfer::onBlockUploadInit(const QByteArray& f) {
    const quint8 cmd = static_cast<quint8>(f[0]);
    if ((cmd & 0xE0) == 0x40) return onUploadInit(f);  // the server switched protocol
    if ((cmd & 0xE1) != 0xC0) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 4)) return;
    m_crc = (cmd & 0x04) != 0;
    m_size = -1;
    if (cmd & 0x02) {
        if (!need(f, 8)) return;
        m_size = u32(f, 4);
        if (m_size > MaxUpload) return fail(SdoAbort::OutOfMemory);
    }
    m_blockSize = BlockSize;
    m_lastSeq = 0;
    m_lastReceived = false;
    m_state = State::BlockUploadData;
    sendAndWait(frame(0xA3, false));
}

void SdoTransfer::onBlockUploadData(const QByteArray& f) {
    if (!need(f, 8)) return;
    const quint8 cmd = static_cast<quint8>(f[0]);
    const int seq = cmd & 0x7F;
    const bool last = cmd & 0x80;
    if (seq == 0 || seq > m_blockSize) return fail(SdoAbort::InvalidSequence);
    const bool inOrder = seq == m_lastSeq + 1;
    if (inOrder) {
        m_data += f.mid(1, 7);
        m_lastSeq = seq;
        m_lastReceived = last;
        // The last segment's padding is known only from the end frame.
        if (!last && !checkSize(m_data.size(), false)) return;
    }
    if (!last && seq != m_blockSize) return m_link.awaitResponse();
    // End of the sub-block: acknowledge what came in order; the server repeats the rest.
    m_repeats = m_lastSeq == 0 ? m_repeats + 1 : 0;
    if (m_repeats > MaxRepeats) return fail(SdoAbort::General);
    QByteArray ack = frame(0xA2, false);
    ack[1] = static_cast<char>(m_lastSeq);
    ack[2] = static_cast<char>(BlockSize);
    m_lastSeq = 0;
    if (m_lastReceived) m_state = State::BlockUploadEnd;
    sendAndWait(ack);
}

void SdoTransfer::onBlockUploadEnd(const QByteArray& f) {
    const quint8 cmd = static_cast<quint8>(f[0]);
    if ((cmd & 0xE3) != 0xC1) return fail(SdoAbort::UnknownCommand);
    if (m_crc && !need(f, 3)) return;
    m_data.chop((cmd >> 2) & 7);
    if (!checkSize(m_data.size(), true)) return;
    if (m_crc) {
        const quint16 crc = static_cast<quint16>(quint8(f[1]) | quint8(f[2]) << 8);
        if (crc != CrcCalculation(m_data.constData(), static_cast<qint32>(m_data.size()), 0))
            return fail(SdoAbort::CrcError);
    }
    if (sendOnly(frame(0xA1, false))) end(CanStatus::Success);
}
