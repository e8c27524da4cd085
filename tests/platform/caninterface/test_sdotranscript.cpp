// The SDO state machine from byte transcripts: each frame the client must send, each reply
// of the server, in order, for every kind of transfer and its faults. Object 0x2001 sub 2.
#include "caninterface/sdotransfer.h"

#include <gtest/gtest.h>
#include <deque>
#include <string>
#include <vector>

namespace {

enum Dir {
    Tx,         // the client sends this frame
    TxRefused,  // the client sends this frame and the device refuses it
    Rx,         // the server's reply, taken by the transfer
    Stray,      // a frame on the response COB-ID that the transfer must pass over
    Timeout,    // the wait for the server runs out
};

struct Step {
    Dir dir;
    const char* hex;
};

QByteArray frameOf(const char* hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }
std::string spaced(const QByteArray& f) { return f.toHex(' ').toUpper().toStdString(); }

// Checks each frame the client sends against the next step of the script.
class ScriptLink : public SdoTransfer::Link {
public:
    explicit ScriptLink(const std::vector<Step>& script) : m_steps(script.begin(), script.end()) {}

    bool send(const QByteArray& f) override {
        if (m_steps.empty() || (m_steps.front().dir != Tx && m_steps.front().dir != TxRefused)) {
            ADD_FAILURE() << "the client sent " << spaced(f) << " where none was due";
            return true;
        }
        const Step s = m_steps.front();
        m_steps.pop_front();
        EXPECT_EQ(spaced(f), spaced(frameOf(s.hex))) << "frame sent";
        m_waiting = false;
        return s.dir == Tx;
    }
    void awaitResponse() override { m_waiting = true; }

    std::deque<Step>& steps() { return m_steps; }
    bool waiting() const { return m_waiting; }

private:
    std::deque<Step> m_steps;
    bool m_waiting = false;
};

struct Case {
    const char* name;
    SdoTransfer::Kind kind;
    const char* data;  // to download
    std::vector<Step> script;
    qint64 status;     // 1, or the abort code / CAN status the transfer ends with
    const char* uploaded = "";
};

void play(const Case& c) {
    SCOPED_TRACE(c.name);
    ScriptLink link(c.script);
    SdoTransfer t(link, c.kind, 0x2001, 2, frameOf(c.data));
    t.start();
    while (!link.steps().empty() && !t.finished()) {
        const Step s = link.steps().front();
        if (s.dir == Tx || s.dir == TxRefused) {
            ADD_FAILURE() << "the client did not send " << s.hex;
            return;
        }
        link.steps().pop_front();
        EXPECT_TRUE(link.waiting()) << "the client did not wait for " << (s.hex ? s.hex : "the time-out");
        if (s.dir == Timeout) {
            t.onTimeout();
        } else {
            EXPECT_EQ(t.onFrame(frameOf(s.hex)), s.dir == Rx) << s.hex;
        }
    }
    // What the client sends on its way out (an abort, the last confirmation) is still due.
    for (const Step& s : link.steps()) ADD_FAILURE() << "step not reached: " << (s.hex ? s.hex : "time-out");
    EXPECT_TRUE(t.finished());
    EXPECT_EQ(static_cast<quint32>(t.status()), static_cast<quint32>(c.status));
    const bool upload = c.kind == SdoTransfer::Kind::Upload || c.kind == SdoTransfer::Kind::BlockUpload;
    if (upload && c.status == 1) {
        EXPECT_EQ(spaced(t.data()), spaced(frameOf(c.uploaded)));
    }
}

// Frames that stand in many transcripts.
constexpr const char* kInitiateUpload = "40 01 20 02 00 00 00 00";
constexpr const char* kDownloadInitiated = "60 01 20 02 00 00 00 00";
constexpr const char* kFirstSegmentRequest = "60 00 00 00 00 00 00 00";
constexpr const char* kSecondSegmentRequest = "70 00 00 00 00 00 00 00";
constexpr const char* kInitiateBlockUpload = "A4 01 20 02 7F 15 00 00";
constexpr const char* kStartBlockUpload = "A3 00 00 00 00 00 00 00";
constexpr const char* kBlockEnd = "A1 00 00 00 00 00 00 00";  // both ways

void playAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) play(c);
}

using K = SdoTransfer::Kind;

}  // namespace

TEST(SdoTranscript, Uploads) {
    playAll({
        {"expedited, four bytes", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "43 01 20 02 01 02 03 04"}}, 1, "01 02 03 04"},
        {"expedited, two bytes", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "4B 01 20 02 AA BB 00 00"}}, 1, "AA BB"},
        {"expedited, no size: all four bytes", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "42 01 20 02 AA BB CC DD"}}, 1, "AA BB CC DD"},
        {"segmented with the size", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "41 01 20 02 0A 00 00 00"}, {Tx, kFirstSegmentRequest},
          {Rx, "00 01 02 03 04 05 06 07"}, {Tx, kSecondSegmentRequest}, {Rx, "19 08 09 0A 00 00 00 00"}},
         1, "01 02 03 04 05 06 07 08 09 0A"},
        {"segmented without the size", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "40 01 20 02 00 00 00 00"}, {Tx, kFirstSegmentRequest},
          {Rx, "0B 01 02 00 00 00 00 00"}}, 1, "01 02"},
        {"a late answer to another object is passed over", K::Upload, "",
         {{Tx, kInitiateUpload}, {Stray, "43 00 20 00 09 09 09 09"}, {Stray, "20 00 00 00 00 00 00 00"},
          {Rx, "4F 01 20 02 07 00 00 00"}}, 1, "07"},
    });
}

TEST(SdoTranscript, Downloads) {
    playAll({
        {"expedited, three bytes", K::Download, "01 02 03",
         {{Tx, "27 01 20 02 01 02 03 00"}, {Rx, kDownloadInitiated}}, 1},
        {"expedited, four bytes", K::Download, "01 02 03 04",
         {{Tx, "23 01 20 02 01 02 03 04"}, {Rx, kDownloadInitiated}}, 1},
        {"segmented", K::Download, "01 02 03 04 05 06 07 08 09 0A",
         {{Tx, "21 01 20 02 0A 00 00 00"}, {Rx, kDownloadInitiated}, {Tx, "00 01 02 03 04 05 06 07"},
          {Rx, "20 00 00 00 00 00 00 00"}, {Tx, "19 08 09 0A 00 00 00 00"}, {Rx, "30 00 00 00 00 00 00 00"}}, 1},
        {"empty: one empty last segment", K::Download, "",
         {{Tx, "21 01 20 02 00 00 00 00"}, {Rx, kDownloadInitiated}, {Tx, "0F 00 00 00 00 00 00 00"},
          {Rx, "20 00 00 00 00 00 00 00"}}, 1},
    });
}

TEST(SdoTranscript, BlockTransfers) {
    playAll({
        {"block download with the CRC", K::BlockDownload, "01 02 03 04 05 06 07 08 09 0A",
         {{Tx, "C6 01 20 02 0A 00 00 00"}, {Rx, "A4 01 20 02 7F 00 00 00"}, {Tx, "01 01 02 03 04 05 06 07"},
          {Tx, "82 08 09 0A 00 00 00 00"}, {Rx, "A2 02 7F 00 00 00 00 00"}, {Tx, "D1 4B CD 00 00 00 00 00"},
          {Rx, kBlockEnd}}, 1},
        {"block download without the CRC, a segment repeated", K::BlockDownload,
         "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14",
         {{Tx, "C6 01 20 02 14 00 00 00"}, {Rx, "A0 01 20 02 02 00 00 00"}, {Tx, "01 01 02 03 04 05 06 07"},
          {Tx, "02 08 09 0A 0B 0C 0D 0E"}, {Rx, "A2 01 02 00 00 00 00 00"}, {Tx, "01 08 09 0A 0B 0C 0D 0E"},
          {Tx, "82 0F 10 11 12 13 14 00"}, {Rx, "A2 02 02 00 00 00 00 00"}, {Tx, "C5 00 00 00 00 00 00 00"},
          {Rx, kBlockEnd}}, 1},
        {"block upload with the CRC", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "C6 01 20 02 0A 00 00 00"}, {Tx, kStartBlockUpload},
          {Rx, "01 01 02 03 04 05 06 07"}, {Rx, "82 08 09 0A 00 00 00 00"}, {Tx, "A2 02 7F 00 00 00 00 00"},
          {Rx, "D1 4B CD 00 00 00 00 00"}, {Tx, kBlockEnd}}, 1, "01 02 03 04 05 06 07 08 09 0A"},
        {"block upload, a lost segment repeated", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "C0 01 20 02 00 00 00 00"}, {Tx, kStartBlockUpload},
          {Rx, "01 01 02 03 04 05 06 07"}, {Rx, "83 0F 10 11 12 13 14 00"}, {Tx, "A2 01 7F 00 00 00 00 00"},
          {Rx, "01 08 09 0A 0B 0C 0D 0E"}, {Rx, "82 0F 10 11 12 13 14 00"}, {Tx, "A2 02 7F 00 00 00 00 00"},
          {Rx, "C5 00 00 00 00 00 00 00"}, {Tx, kBlockEnd}},
         1, "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14"},
        {"block upload switched to an expedited upload", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "43 01 20 02 01 02 03 04"}}, 1, "01 02 03 04"},
        {"block upload switched to a segmented upload", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "41 01 20 02 05 00 00 00"}, {Tx, kFirstSegmentRequest},
          {Rx, "05 01 02 03 04 05 00 00"}}, 1, "01 02 03 04 05"},
    });
}

TEST(SdoTranscript, Faults) {
    playAll({
        {"the server aborts", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "80 01 20 02 00 00 02 06"}}, 0x06020000},
        {"an abort code that reads as success is a general error", K::Download, "01",
         {{Tx, "2F 01 20 02 01 00 00 00"}, {Rx, "80 01 20 02 01 00 00 00"}}, 0x08000000},
        {"an abort without its code is a general error", K::BlockDownload, "01",
         {{Tx, "C6 01 20 02 01 00 00 00"}, {Rx, "80 01 20 02"}}, 0x08000000},
        {"no answer", K::Upload, "",
         {{Tx, kInitiateUpload}, {Timeout, nullptr}, {Tx, "80 01 20 02 00 00 04 05"}}, 0x05040000},
        {"the device refuses the request", K::Upload, "", {{TxRefused, kInitiateUpload}}, -6},
        {"the device refuses a sub-block segment", K::BlockDownload, "01 02 03 04 05 06 07 08",
         {{Tx, "C6 01 20 02 08 00 00 00"}, {Rx, "A0 01 20 02 7F 00 00 00"}, {Tx, "01 01 02 03 04 05 06 07"},
          {TxRefused, "82 08 00 00 00 00 00 00"}}, -6},
        {"an upload answer to a download", K::Download, "01 02 03 04 05",
         {{Tx, "21 01 20 02 05 00 00 00"}, {Rx, "43 01 20 02 00 00 00 00"}, {Tx, "80 01 20 02 01 00 04 05"}},
         0x05040001},
        {"the server's toggle bit is wrong", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "41 01 20 02 0A 00 00 00"}, {Tx, kFirstSegmentRequest},
          {Rx, "10 01 02 03 04 05 06 07"}, {Tx, "80 01 20 02 00 00 03 05"}}, 0x05030000},
        {"a frame too short for its command", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "43 01 20"}, {Tx, "80 01 20 02 01 00 04 05"}}, 0x05040001},
        {"the download's confirmation toggles wrong", K::Download, "01 02 03 04 05",
         {{Tx, "21 01 20 02 05 00 00 00"}, {Rx, kDownloadInitiated}, {Tx, "05 01 02 03 04 05 00 00"},
          {Rx, "30 00 00 00 00 00 00 00"}, {Tx, "80 01 20 02 00 00 03 05"}}, 0x05030000},
        {"an announced size past 16 MiB", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "41 01 20 02 01 00 00 01"}, {Tx, "80 01 20 02 05 00 04 05"}}, 0x05040005},
        {"more data than announced", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "41 01 20 02 03 00 00 00"}, {Tx, kFirstSegmentRequest},
          {Rx, "00 01 02 03 04 05 06 07"}, {Tx, "80 01 20 02 12 00 07 06"}}, 0x06070012},
        {"less data than announced", K::Upload, "",
         {{Tx, kInitiateUpload}, {Rx, "41 01 20 02 0A 00 00 00"}, {Tx, kFirstSegmentRequest},
          {Rx, "0B 01 02 00 00 00 00 00"}, {Tx, "80 01 20 02 13 00 07 06"}}, 0x06070013},
        {"more segments acknowledged than sent", K::BlockDownload, "01 02",
         {{Tx, "C6 01 20 02 02 00 00 00"}, {Rx, "A0 01 20 02 7F 00 00 00"}, {Tx, "81 01 02 00 00 00 00 00"},
          {Rx, "A2 02 7F 00 00 00 00 00"}, {Tx, "80 01 20 02 03 00 04 05"}}, 0x05040003},
        {"the block upload's CRC is wrong", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "C6 01 20 02 0A 00 00 00"}, {Tx, kStartBlockUpload},
          {Rx, "01 01 02 03 04 05 06 07"}, {Rx, "82 08 09 0A 00 00 00 00"}, {Tx, "A2 02 7F 00 00 00 00 00"},
          {Rx, "D1 4B CE 00 00 00 00 00"}, {Tx, "80 01 20 02 04 00 04 05"}}, 0x05040004},
        {"a block segment numbered 0", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "C4 01 20 02 00 00 00 00"}, {Tx, kStartBlockUpload},
          {Rx, "00 01 02 03 04 05 06 07"}, {Tx, "80 01 20 02 03 00 04 05"}}, 0x05040003},
        {"a block upload's end frame with its reserved bit set", K::BlockUpload, "",
         {{Tx, kInitiateBlockUpload}, {Rx, "C0 01 20 02 00 00 00 00"}, {Tx, kStartBlockUpload},
          {Rx, "81 01 00 00 00 00 00 00"}, {Tx, "A2 01 7F 00 00 00 00 00"}, {Rx, "DB 00 00 00 00 00 00 00"},
          {Tx, "80 01 20 02 01 00 04 05"}}, 0x05040001},
        {"a block size of 0", K::BlockDownload, "01",
         {{Tx, "C6 01 20 02 01 00 00 00"}, {Rx, "A0 01 20 02 00 00 00 00"}, {Tx, "80 01 20 02 02 00 04 05"}},
         0x05040002},
    });
}

TEST(SdoTranscript, ABlockDownloadThatNeverMovesOnIsGivenUp) {
    // Each acknowledgement of no segment makes the client send the sub-block again; after
    // MaxRepeats of them in a row it aborts.
    std::vector<Step> script = {{Tx, "C6 01 20 02 01 00 00 00"}, {Rx, "A0 01 20 02 7F 00 00 00"}};
    for (int i = 0; i <= SdoTransfer::MaxRepeats; ++i) {
        script.push_back({Tx, "81 01 00 00 00 00 00 00"});
        script.push_back({Rx, "A2 00 7F 00 00 00 00 00"});
    }
    script.push_back({Tx, "80 01 20 02 00 00 00 08"});
    play({"no progress", K::BlockDownload, "01", script, 0x08000000});
}
