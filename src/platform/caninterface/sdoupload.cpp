// Upload: expedited, segmented (with or without the size), and block upload with the
// CRC and the server's switch to a plain upload.
#include "caninterface/sdotransfer.h"

#include "caninterface/canstatus.h"
#include "caninterface/sdoprotocol.h"
#include "crclibrary/crclibrary.h"

using namespace Sdo;

void SdoTransfer::startUpload() {
    m_data.clear();
    m_state = State::UploadInit;
    sendAndWait(frame(command(CcsInitiateUpload)));
}

void SdoTransfer::onUploadInit(const QByteArray& f) {
    if (scs(f) != ScsInitiateUpload) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 4)) return;
    const bool sized = has(f, FlagSizeIndicated);
    if (has(f, FlagExpedited)) {
        const int len = sized ? 4 - expeditedUnused(f) : 4;
        if (!need(f, 4 + len)) return;
        m_data = f.mid(4, len);
        return end(CanStatus::Success);
    }
    m_size = -1;
    if (sized) {
        if (!need(f, FrameSize)) return;
        m_size = u32(f, 4);
        if (m_size > MaxUpload) return fail(SdoAbort::OutOfMemory);
    }
    m_data.clear();
    m_toggle = 0;
    m_state = State::UploadSegment;
    sendAndWait(frame(command(CcsUploadSegment), false));
}

void SdoTransfer::onUploadSegment(const QByteArray& f) {
    if (scs(f) != ScsUploadSegment) return fail(SdoAbort::UnknownCommand);
    if (toggle(f) != m_toggle) return fail(SdoAbort::ToggleBit);
    const int used = SegmentBytes - segmentUnused(f);
    if (!need(f, 1 + used)) return;
    m_data += f.mid(1, used);
    const bool last = has(f, FlagLastSegment);
    if (!checkSize(m_data.size(), last)) return;
    if (last) return end(CanStatus::Success);
    m_toggle ^= 1;
    sendAndWait(frame(command(CcsUploadSegment, m_toggle ? FlagToggle : 0), false));
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
    QByteArray f = frame(command(CcsBlockUpload, FlagCrc | SubInitiate));
    f[4] = static_cast<char>(BlockSize);
    f[5] = static_cast<char>(SwitchThreshold);
    m_data.clear();
    m_state = State::BlockUploadInit;
    sendAndWait(f);
}

void SdoTransfer::onBlockUploadInit(const QByteArray& f) {
    if (scs(f) == ScsInitiateUpload) return onUploadInit(f);  // the server switched protocol
    if (scs(f) != ScsBlockUpload || sub(f) != SubInitiate) return fail(SdoAbort::UnknownCommand);
    if (!need(f, 4)) return;
    m_crc = has(f, FlagCrc);
    m_size = -1;
    if (has(f, FlagBlockSize)) {
        if (!need(f, FrameSize)) return;
        m_size = u32(f, 4);
        if (m_size > MaxUpload) return fail(SdoAbort::OutOfMemory);
    }
    m_blockSize = BlockSize;
    m_lastSeq = 0;
    m_lastReceived = false;
    m_state = State::BlockUploadData;
    sendAndWait(frame(command(CcsBlockUpload, SubStart), false));
}

void SdoTransfer::onBlockUploadData(const QByteArray& f) {
    if (!need(f, FrameSize)) return;
    const int seq = cmd(f) & SequenceMask;
    const bool last = has(f, FlagLastBlockSegment);
    if (seq == 0 || seq > m_blockSize) return fail(SdoAbort::InvalidSequence);
    const bool inOrder = seq == m_lastSeq + 1;
    if (inOrder) {
        m_data += f.mid(1, SegmentBytes);
        m_lastSeq = seq;
        m_lastReceived = last;
        // The last segment's padding is known only from the end frame.
        if (!last && !checkSize(m_data.size(), false)) return;
    }
    if (!last && seq != m_blockSize) return m_link.awaitResponse();
    // End of the sub-block: acknowledge what came in order; the server repeats the rest.
    m_repeats = m_lastSeq == 0 ? m_repeats + 1 : 0;
    if (m_repeats > MaxRepeats) return fail(SdoAbort::General);
    QByteArray ack = frame(command(CcsBlockUpload, SubAck), false);
    ack[1] = static_cast<char>(m_lastSeq);
    ack[2] = static_cast<char>(BlockSize);
    m_lastSeq = 0;
    if (m_lastReceived) m_state = State::BlockUploadEnd;
    sendAndWait(ack);
}

void SdoTransfer::onBlockUploadEnd(const QByteArray& f) {
    if (scs(f) != ScsBlockUpload || sub(f) != SubEnd || has(f, FlagBlockEndReserved))
        return fail(SdoAbort::UnknownCommand);
    if (m_crc && !need(f, 3)) return;
    m_data.chop(blockEndUnused(f));
    if (!checkSize(m_data.size(), true)) return;
    if (m_crc && u16(f, 1) != CrcCalculation(m_data.constData(), static_cast<qint32>(m_data.size()), 0))
        return fail(SdoAbort::CrcError);
    if (sendOnly(frame(command(CcsBlockUpload, SubEnd), false))) end(CanStatus::Success);
}
