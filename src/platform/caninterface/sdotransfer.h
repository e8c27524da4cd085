#pragma once
// One SDO transfer of the client (CiA 301): expedited, segmented and block, download and
// upload. It is a pure state machine: frames from the server come in through onFrame, the
// caller's clock through onTimeout, and everything it does goes out through its Link. It
// knows nothing of the bus device or of threads.
#include <QByteArray>
#include <QtGlobal>

class SdoTransfer {
public:
    enum class Kind { Download, BlockDownload, Upload, BlockUpload };

    class Link {
    public:
        virtual ~Link() = default;
        // Sends 8 bytes to the server; false when the device refused them.
        virtual bool send(const QByteArray& frame) = 0;
        // Starts the wait for the server's next frame, counted from the moment the frames
        // sent so far have left.
        virtual void awaitResponse() = 0;
    };

    // Largest upload taken; a longer one is refused.
    static constexpr qint64 MaxUpload = 16 * 1024 * 1024;
    // Block upload: segments per sub-block we ask for, and the protocol-switch threshold
    // (the server may fall back to a plain upload for objects up to this many bytes: up to
    // three segments, segmented transfer needs fewer frames than block transfer).
    static constexpr int BlockSize = 127;
    static constexpr int SwitchThreshold = 21;
    // Acknowledgements in a row that move the transfer no further before we give up.
    static constexpr int MaxRepeats = 8;

    SdoTransfer(Link& link, Kind kind, quint16 index, quint8 subIndex, const QByteArray& data = {});

    // Each of these may end the transfer; the owner asks finished() after each call.
    void start();
    // False when the frame is not this transfer's (a late answer to an earlier one): it is
    // passed over and the wait for the server's answer goes on.
    bool onFrame(const QByteArray& frame);
    void onTimeout();

    bool finished() const { return m_state == State::Done; }
    qint32 status() const { return m_status; }
    // The bytes uploaded (valid once finished with status 1).
    const QByteArray& data() const { return m_data; }

private:
    enum class State {
        DownloadInit, DownloadSegment,
        BlockDownloadInit, BlockDownloadAck, BlockDownloadEnd,
        UploadInit, UploadSegment,
        BlockUploadInit, BlockUploadData, BlockUploadEnd,
        Done,
    };

    // sdotransfer.cpp: frames, aborts, the end
    void dispatch(const QByteArray& f);
    QByteArray frame(quint8 command, bool withIndex = true) const;
    void sendAndWait(const QByteArray& f);
    bool sendOnly(const QByteArray& f);
    void fail(quint32 abortCode);       // aborts towards the server and ends
    void end(qint32 status);
    bool awaitsInitiateResponse() const;
    bool belongs(const QByteArray& f) const;
    bool need(const QByteArray& f, int bytes);

    // sdodownload.cpp
    void startDownload();
    void onDownloadInit(const QByteArray& f);
    void sendDownloadSegment();
    void onDownloadSegment(const QByteArray& f);
    void startBlockDownload();
    void onBlockDownloadInit(const QByteArray& f);
    void sendSubBlock();
    void onBlockDownloadAck(const QByteArray& f);
    void onBlockDownloadEnd(const QByteArray& f);

    // sdoupload.cpp
    void startUpload();
    void onUploadInit(const QByteArray& f);
    void onUploadSegment(const QByteArray& f);
    void startBlockUpload();
    void onBlockUploadInit(const QByteArray& f);
    void onBlockUploadData(const QByteArray& f);
    void onBlockUploadEnd(const QByteArray& f);
    bool checkSize(qint64 received, bool complete);

    Link& m_link;
    const Kind m_kind;
    const quint16 m_index;
    const quint8 m_sub;
    State m_state = State::Done;
    qint32 m_status = 0;
    QByteArray m_data;       // to send, or received so far

    qint64 m_size = -1;      // size the server announced for an upload, -1 = none
    int m_offset = 0;        // download: bytes sent and confirmed
    quint8 m_toggle = 0;
    bool m_crc = false;      // both sides use the block CRC
    int m_blockSize = 0;     // segments in the current sub-block
    int m_segments = 0;      // block download: segments of the whole transfer
    int m_nextSegment = 0;   // block download: first segment of the current sub-block
    int m_sent = 0;          // block download: segments sent in the current sub-block
    int m_lastSeq = 0;       // block upload: last sequence number received in order
    bool m_lastReceived = false;  // block upload: the segment with c = 1 is in
    int m_repeats = 0;
};
