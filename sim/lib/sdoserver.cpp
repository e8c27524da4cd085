#include "lib/sdoserver.h"

#include "lib/crc16.h"

#include <algorithm>

namespace sim {

namespace {
constexpr int kFrame = 8;

quint32 u32At(const QByteArray& r, int pos) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) v |= quint32(quint8(r[pos + i])) << (8 * i);
    return v;
}

quint16 indexOf(const QByteArray& r) { return quint16(quint8(r[1]) | (quint8(r[2]) << 8)); }

void putU32(QByteArray& f, int pos, quint32 v) {
    for (int i = 0; i < 4; ++i) f[pos + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray plain(quint8 cmd) {
    QByteArray f(kFrame, '\0');
    f[0] = char(cmd);
    return f;
}

// Segment frame: command byte, up to 7 data bytes, zero padding.
QByteArray segment(quint8 cmd, const QByteArray& chunk) {
    QByteArray f = plain(cmd);
    f.replace(1, chunk.size(), chunk);
    return f;
}
}  // namespace

SdoServer::SdoServer(ObjectDictionary& od, Output out, FaultSource faults)
    : m_od(od), m_out(std::move(out)), m_faultSource(std::move(faults)) {}

void SdoServer::reset() {
    m_mode = Mode::Idle;
    m_silent = false;
    m_data.clear();
}

bool SdoServer::startsTransfer(quint8 cmd) const {
    switch (cmd >> 5) {
    case 1:
    case 2: return true;
    case 5: return (cmd & 0x03) == 0;
    case 6: return (cmd & 0x01) == 0;
    default: return false;
    }
}

void SdoServer::handle(const QByteArray& r) {
    if (r.isEmpty()) return;
    m_faults = m_faultSource ? m_faultSource() : Faults();
    const quint8 cmd = quint8(r[0]);
    if (m_silent) {
        if (!startsTransfer(cmd)) return;
        m_mode = Mode::Idle;
    }
    // Inside a sub-block every frame is a segment; only an abort stands out (seqno 0).
    if (m_mode == Mode::BlockDownload) {
        if (r.size() < kFrame) return;
        if (cmd == 0x80) return reset();
        return blockSegment(r);
    }
    switch (cmd >> 5) {
    case 0: return downloadSegment(r);
    case 1: return initiateDownload(r);
    case 2: return initiateUpload(r);
    case 3: return uploadSegment(r);
    case 4:
        if (r.size() >= kFrame) reset();
        return;
    case 5:
        switch (cmd & 0x03) {
        case 0: return initiateBlockUpload(r);
        case 2: return blockUploadAck(r);
        case 3:
            if (m_mode != Mode::BlockUploadStart) return sendAbort(abort::UnknownCommand);
            return sendSubBlock();
        default:  // 0xA1: the client's end response
            if (m_mode != Mode::BlockUploadEnd) return sendAbort(abort::UnknownCommand);
            m_mode = Mode::Idle;
            return;
        }
    case 6:
        if (cmd & 0x01) return endBlockDownload(r);
        return initiateBlockDownload(r);
    default: return sendAbort(abort::UnknownCommand);
    }
}

void SdoServer::begin(quint16 index, quint8 sub) {
    m_mode = Mode::Idle;
    m_silent = false;
    m_index = index;
    m_sub = sub;
    m_framesSent = 0;
    m_data.clear();
    m_size = -1;
    m_offset = 0;
    m_toggle = 0;
    const auto e = m_od.entry(index, sub);
    m_maxSize = e ? e->maxSize : 0;
}

QByteArray SdoServer::header(quint8 cmd) const {
    QByteArray f = plain(cmd);
    f[1] = char(m_index & 0xFF);
    f[2] = char(m_index >> 8);
    f[3] = char(m_sub);
    return f;
}

void SdoServer::send(QByteArray data) {
    if (m_silent) return;
    if (m_faults.stopAfterFrames >= 0 && m_framesSent >= m_faults.stopAfterFrames) {
        m_silent = true;
        return;
    }
    ++m_framesSent;
    if (m_faults.shortFrames > 0 && m_faults.shortFrames < data.size()) data.truncate(m_faults.shortFrames);
    m_out(data, m_faults.delayMs);
}

void SdoServer::sendAbort(AbortCode code) {
    m_mode = Mode::Idle;
    m_data.clear();
    QByteArray f = header(0x80);
    putU32(f, 4, code);
    send(f);
}

AbortCode SdoServer::store() { return m_od.write(m_index, m_sub, m_data, true); }

// ---- download -------------------------------------------------------------------------

void SdoServer::initiateDownload(const QByteArray& r) {
    const quint8 cmd = quint8(r[0]);
    const bool expedited = cmd & 0x02, sized = cmd & 0x01;
    const int unused = (cmd >> 2) & 0x03;
    const int needed = expedited ? (sized ? kFrame - unused : kFrame) : (sized ? kFrame : 4);
    if (r.size() < needed) return;
    begin(indexOf(r), quint8(r[3]));
    if (expedited) {
        const QByteArray data = r.mid(4, sized ? 4 - unused : 4);
        AbortCode a = m_od.beginWrite(m_index, m_sub, sized ? data.size() : -1);
        if (!a) a = m_od.write(m_index, m_sub, data, sized);
        if (a) return sendAbort(a);
        return send(header(0x60));
    }
    m_size = sized ? qint64(u32At(r, 4)) : -1;
    if (AbortCode a = m_od.beginWrite(m_index, m_sub, m_size)) return sendAbort(a);
    m_mode = Mode::Download;
    send(header(0x60));
}

void SdoServer::downloadSegment(const QByteArray& r) {
    const quint8 cmd = quint8(r[0]);
    const int used = 7 - ((cmd >> 1) & 0x07);
    const bool last = cmd & 0x01;
    const quint8 toggle = (cmd >> 4) & 0x01;
    if (r.size() < 1 + used) return;
    if (m_mode != Mode::Download) return sendAbort(abort::UnknownCommand);
    if (toggle != m_toggle) return sendAbort(abort::ToggleBit);
    m_data += r.mid(1, used);
    if ((m_size >= 0 && m_data.size() > m_size) || (m_maxSize > 0 && m_data.size() > m_maxSize))
        return sendAbort(abort::LengthTooHigh);
    const quint8 reply = 0x20 | quint8((toggle ^ quint8(m_faults.wrongToggle)) << 4);
    m_toggle ^= 1;
    if (last) {
        if (m_size >= 0 && m_data.size() < m_size) return sendAbort(abort::LengthTooLow);
        if (AbortCode a = store()) return sendAbort(a);
        m_mode = Mode::Idle;
    }
    send(plain(reply));
}

// ---- upload ---------------------------------------------------------------------------

void SdoServer::initiateUpload(const QByteArray& r) {
    if (r.size() < 4) return;
    begin(indexOf(r), quint8(r[3]));
    QByteArray data;
    if (AbortCode a = m_od.read(m_index, m_sub, data)) return sendAbort(a);
    answerUpload(data);
}

// The plain initiate upload response: expedited up to 4 bytes, else segmented.
void SdoServer::answerUpload(const QByteArray& data) {
    m_data = data;
    const int size = int(data.size());
    if (size >= 1 && size <= 4) {
        const quint8 cmd = (m_faults.noSizeIndication && size == 4) ? 0x42 : quint8(0x43 | ((4 - size) << 2));
        QByteArray f = header(cmd);
        f.replace(4, size, data);
        m_mode = Mode::Idle;
        return send(f);
    }
    QByteArray f = header(m_faults.noSizeIndication ? 0x40 : 0x41);
    if (!m_faults.noSizeIndication) putU32(f, 4, quint32(m_faults.longSegment ? std::max(size - 1, 0) : size));
    m_mode = Mode::Upload;
    m_offset = 0;
    m_toggle = 0;
    send(f);
}

void SdoServer::uploadSegment(const QByteArray& r) {
    if (m_mode != Mode::Upload) return sendAbort(abort::UnknownCommand);
    const quint8 toggle = (quint8(r[0]) >> 4) & 0x01;
    if (toggle != m_toggle) return sendAbort(abort::ToggleBit);
    const QByteArray chunk = m_data.mid(m_offset, 7);
    m_offset += int(chunk.size());
    const bool last = m_offset >= m_data.size();
    const quint8 cmd = quint8(((toggle ^ quint8(m_faults.wrongToggle)) << 4) | ((7 - chunk.size()) << 1) | (last ? 1 : 0));
    m_toggle ^= 1;
    if (last) m_mode = Mode::Idle;
    send(segment(cmd, chunk));
}

// ---- block download -------------------------------------------------------------------

void SdoServer::initiateBlockDownload(const QByteArray& r) {
    const quint8 cmd = quint8(r[0]);
    const bool clientCrc = cmd & 0x04, sized = cmd & 0x02;
    if (r.size() < (sized ? kFrame : 4)) return;
    begin(indexOf(r), quint8(r[3]));
    if (!m_faults.blockTransfer) return sendAbort(abort::UnknownCommand);
    m_size = sized ? qint64(u32At(r, 4)) : -1;
    if (AbortCode a = m_od.beginWrite(m_index, m_sub, m_size)) return sendAbort(a);
    m_crc = clientCrc && m_faults.blockCrc;
    m_blockSize = std::clamp(m_faults.blockSize, 1, 127);
    m_lastSeq = 0;
    m_gap = false;
    m_lastSegment = false;
    m_mode = Mode::BlockDownload;
    QByteArray f = header(quint8(0xA0 | (m_faults.blockCrc ? 0x04 : 0)));
    f[4] = char(m_blockSize);
    send(f);
}

void SdoServer::blockSegment(const QByteArray& r) {
    const quint8 cmd = quint8(r[0]);
    const int seq = cmd & 0x7F;
    const bool last = cmd & 0x80;
    if (seq == 0 || seq > m_blockSize) return sendAbort(abort::InvalidSequence);
    // Segments after a lost one are dropped; the acknowledgement makes the client resend them.
    if (!m_gap && seq == m_lastSeq + 1) {
        m_data += r.mid(1, 7);
        m_lastSeq = seq;
        m_lastSegment = last;
        // Whole segments arrive: more of them than the limit needs is too long.
        const qint64 limit = m_size >= 0 ? m_size : (m_maxSize > 0 ? m_maxSize : -1);
        if (limit >= 0 && m_data.size() / 7 > std::max<qint64>(1, (limit + 6) / 7)) return sendAbort(abort::LengthTooHigh);
    } else {
        m_gap = true;
    }
    if (seq != m_blockSize && !last) return;
    QByteArray ack = plain(0xA2);
    ack[1] = char(m_lastSeq);
    ack[2] = char(m_blockSize);
    if (m_lastSegment) m_mode = Mode::BlockDownloadEnd;
    m_lastSeq = 0;
    m_gap = false;
    send(ack);
}

void SdoServer::endBlockDownload(const QByteArray& r) {
    if (r.size() < 3) return;
    if (m_mode != Mode::BlockDownloadEnd) return sendAbort(abort::UnknownCommand);
    const int unused = (quint8(r[0]) >> 2) & 0x07;
    m_data.chop(unused);
    if (m_size >= 0 && m_data.size() != m_size)
        return sendAbort(m_data.size() > m_size ? abort::LengthTooHigh : abort::LengthTooLow);
    if (m_maxSize > 0 && m_data.size() > m_maxSize) return sendAbort(abort::LengthTooHigh);
    const quint16 crc = quint16(quint8(r[1]) | (quint8(r[2]) << 8));
    if (m_crc && crc != blockCrc(m_data)) return sendAbort(abort::CrcError);
    if (AbortCode a = store()) return sendAbort(a);
    m_mode = Mode::Idle;
    send(plain(0xA1));
}

// ---- block upload ---------------------------------------------------------------------

void SdoServer::initiateBlockUpload(const QByteArray& r) {
    if (r.size() < 6) return;
    begin(indexOf(r), quint8(r[3]));
    if (!m_faults.blockTransfer) return sendAbort(abort::UnknownCommand);
    const bool clientCrc = quint8(r[0]) & 0x04;
    const int blockSize = quint8(r[4]);
    const int pst = quint8(r[5]);
    if (blockSize < 1 || blockSize > 127) return sendAbort(abort::InvalidBlockSize);
    QByteArray data;
    if (AbortCode a = m_od.read(m_index, m_sub, data)) return sendAbort(a);
    if (pst > 0 && data.size() <= pst) return answerUpload(data);
    m_data = data;
    m_crc = clientCrc && m_faults.blockCrc;
    m_blockSize = blockSize;
    m_offset = 0;
    const int size = int(data.size());
    QByteArray f = header(quint8(0xC0 | (m_faults.blockCrc ? 0x04 : 0) | (m_faults.noSizeIndication ? 0 : 0x02)));
    if (!m_faults.noSizeIndication) putU32(f, 4, quint32(m_faults.longSegment ? std::max(size - 1, 0) : size));
    m_mode = Mode::BlockUploadStart;
    send(f);
}

void SdoServer::sendSubBlock() {
    m_mode = Mode::BlockUploadAck;
    m_subBlockStart = m_offset;
    m_subBlockSegments = 0;
    m_lastSegment = false;
    int pos = m_offset;
    for (int seq = 1; seq <= m_blockSize && !m_lastSegment; ++seq) {
        const QByteArray chunk = m_data.mid(pos, 7);
        pos += 7;
        m_lastSegment = pos >= m_data.size();
        m_subBlockSegments = seq;
        send(segment(quint8((m_lastSegment ? 0x80 : 0) | seq), chunk));
    }
}

void SdoServer::blockUploadAck(const QByteArray& r) {
    if (r.size() < 3) return;
    if (m_mode != Mode::BlockUploadAck) return sendAbort(abort::UnknownCommand);
    const int ackSeq = quint8(r[1]);
    const int blockSize = quint8(r[2]);
    if (ackSeq > m_subBlockSegments) return sendAbort(abort::InvalidSequence);
    if (blockSize < 1 || blockSize > 127) return sendAbort(abort::InvalidBlockSize);
    m_offset = std::min(int(m_data.size()), m_subBlockStart + 7 * ackSeq);
    if (m_lastSegment && ackSeq == m_subBlockSegments) {
        const int size = int(m_data.size());
        const int lastUsed = size == 0 ? 0 : size - 7 * ((size - 1) / 7);
        quint16 crc = blockCrc(m_data);
        if (m_faults.corruptBlockCrc) crc ^= 0xA5A5;
        QByteArray f = plain(quint8(0xC1 | ((7 - lastUsed) << 2)));
        f[1] = char(crc & 0xFF);
        f[2] = char(crc >> 8);
        m_mode = Mode::BlockUploadEnd;
        return send(f);
    }
    m_blockSize = blockSize;
    sendSubBlock();
}

}  // namespace sim
