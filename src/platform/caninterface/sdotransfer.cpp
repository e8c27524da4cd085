#include "caninterface/sdotransfer.h"

#include "caninterface/canstatus.h"

SdoTransfer::SdoTransfer(Link& link, Kind kind, quint16 index, quint8 subIndex, const QByteArray& data)
    : m_link(link), m_kind(kind), m_index(index), m_sub(subIndex), m_data(data) {}

void SdoTransfer::start() {
    switch (m_kind) {
    case Kind::Download: startDownload(); break;
    case Kind::BlockDownload: startBlockDownload(); break;
    case Kind::Upload: startUpload(); break;
    case Kind::BlockUpload: startBlockUpload(); break;
    }
}

bool SdoTransfer::onFrame(const QByteArray& f) {
    if (finished() || !belongs(f)) return false;
    dispatch(f);
    return true;
}

void SdoTransfer::dispatch(const QByteArray& f) {
    if (f.isEmpty()) return fail(SdoAbort::UnknownCommand);
    const quint8 cmd = static_cast<quint8>(f[0]);
    if (cmd == 0x80) {
        // The server aborted. A code that would read as success or "queue empty" must
        // still be a failure for the caller.
        quint32 code = SdoAbort::General;
        if (f.size() >= 8) {
            code = quint32(quint8(f[4])) | quint32(quint8(f[5])) << 8 | quint32(quint8(f[6])) << 16 |
                   quint32(quint8(f[7])) << 24;
            if (code == 0 || code == quint32(CanStatus::Success) || code == quint32(CanStatus::QueueEmpty))
                code = SdoAbort::General;
        }
        return end(static_cast<qint32>(code));
    }
    switch (m_state) {
    case State::DownloadInit: return onDownloadInit(f);
    case State::DownloadSegment: return onDownloadSegment(f);
    case State::BlockDownloadInit: return onBlockDownloadInit(f);
    case State::BlockDownloadAck: return onBlockDownloadAck(f);
    case State::BlockDownloadEnd: return onBlockDownloadEnd(f);
    case State::UploadInit: return onUploadInit(f);
    case State::UploadSegment: return onUploadSegment(f);
    case State::BlockUploadInit: return onBlockUploadInit(f);
    case State::BlockUploadData: return onBlockUploadData(f);
    case State::BlockUploadEnd: return onBlockUploadEnd(f);
    case State::Done: return;
    }
}

void SdoTransfer::onTimeout() {
    if (!finished()) fail(SdoAbort::TimedOut);
}

QByteArray SdoTransfer::frame(quint8 command, bool withIndex) const {
    QByteArray f(8, '\0');
    f[0] = static_cast<char>(command);
    if (withIndex) {
        f[1] = static_cast<char>(m_index & 0xFF);
        f[2] = static_cast<char>(m_index >> 8);
        f[3] = static_cast<char>(m_sub);
    }
    return f;
}

bool SdoTransfer::sendOnly(const QByteArray& f) {
    if (m_link.send(f)) return true;
    end(CanStatus::TransmissionError);
    return false;
}

void SdoTransfer::sendAndWait(const QByteArray& f) {
    if (sendOnly(f)) m_link.awaitResponse();
}

void SdoTransfer::fail(quint32 abortCode) {
    QByteArray f = frame(0x80);
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<char>((abortCode >> (8 * i)) & 0xFF);
    m_link.send(f);  // the transfer fails with this code whether or not the abort got out
    end(static_cast<qint32>(abortCode));
}

void SdoTransfer::end(qint32 status) {
    m_state = State::Done;
    m_status = status;
}

bool SdoTransfer::need(const QByteArray& f, int bytes) {
    if (f.size() >= bytes) return true;
    fail(SdoAbort::UnknownCommand);
    return false;
}

bool SdoTransfer::awaitsInitiateResponse() const {
    return m_state == State::DownloadInit || m_state == State::BlockDownloadInit || m_state == State::UploadInit ||
           m_state == State::BlockUploadInit;
}

bool SdoTransfer::belongs(const QByteArray& f) const {
    // Until the server has answered the initiate, anything else on our response COB-ID may be
    // the late answer to a transfer that timed out. The answer to an initiate, and an abort,
    // carry index and sub-index; segment, sub-block and end responses carry none, so they
    // cannot be it. Frames too short to tell are the running transfer's, to be refused.
    if (!awaitsInitiateResponse() || f.size() < 4) return true;
    const quint8 cmd = static_cast<quint8>(f[0]);
    const bool carriesIndex = cmd == 0x80 || (cmd & 0xC0) == 0x40 || (cmd & 0xE3) == 0xA0 || (cmd & 0xE1) == 0xC0;
    const quint16 index = static_cast<quint16>(quint8(f[1]) | quint8(f[2]) << 8);
    return carriesIndex && index == m_index && quint8(f[3]) == m_sub;
}
