#pragma once
// The SDO server of one node (CiA 301): expedited, segmented, block download and block
// upload with the protocol switch, aborts both ways, and the fault switches. It knows
// nothing of the bus: requests come in as frame data, responses leave through Output.
#include "lib/faults.h"
#include "lib/objectdictionary.h"

#include <QByteArray>
#include <functional>

namespace sim {

class SdoServer {
public:
    using Output = std::function<void(const QByteArray& data, int delayMs)>;
    using FaultSource = std::function<Faults()>;

    SdoServer(ObjectDictionary& od, Output out, FaultSource faults);

    // One frame from the client (COB-ID 0x600 + node).
    void handle(const QByteArray& request);
    // Drops a running transfer without a word (NMT reset, node stopped).
    void reset();

private:
    enum class Mode {
        Idle,
        Download,          // segmented download, waiting for segments
        Upload,            // segmented upload, waiting for segment requests
        BlockDownload,     // receiving a sub-block
        BlockDownloadEnd,  // all segments in, waiting for the end frame
        BlockUploadStart,  // initiate answered, waiting for 0xA3
        BlockUploadAck,    // sub-block sent, waiting for the acknowledgement
        BlockUploadEnd,    // end frame sent, waiting for 0xA1
    };

    bool startsTransfer(quint8 cmd) const;
    void initiateDownload(const QByteArray& r);
    void downloadSegment(const QByteArray& r);
    void initiateUpload(const QByteArray& r);
    void answerUpload(const QByteArray& data);
    void uploadSegment(const QByteArray& r);
    void initiateBlockDownload(const QByteArray& r);
    void blockSegment(const QByteArray& r);
    void endBlockDownload(const QByteArray& r);
    void initiateBlockUpload(const QByteArray& r);
    void blockUploadAck(const QByteArray& r);
    void sendSubBlock();

    QByteArray header(quint8 cmd) const;  // cmd, index, sub-index, zeros
    void send(QByteArray data);
    void sendAbort(AbortCode code);
    AbortCode store();
    void begin(quint16 index, quint8 sub);

    ObjectDictionary& m_od;
    Output m_out;
    FaultSource m_faultSource;
    Faults m_faults;  // as of the frame being handled

    Mode m_mode = Mode::Idle;
    quint16 m_index = 0;
    quint8 m_sub = 0;
    int m_framesSent = 0;     // in this transfer, for stopAfterFrames
    bool m_silent = false;    // stopAfterFrames struck: deaf up to the next initiate
    QByteArray m_data;        // collected (download) or to send (upload)
    qint64 m_size = -1;       // announced size of a download, -1 = none
    int m_maxSize = 0;
    int m_offset = 0;         // upload: bytes acknowledged or sent
    quint8 m_toggle = 0;
    bool m_crc = false;       // both sides support the block CRC
    int m_blockSize = 0;
    int m_lastSeq = 0;        // block download: last sequence number in order
    bool m_gap = false;       // block download: a segment of this sub-block was lost
    bool m_lastSegment = false;
    int m_subBlockStart = 0;  // block upload: offset of the sub-block's first byte
    int m_subBlockSegments = 0;
};

}  // namespace sim
