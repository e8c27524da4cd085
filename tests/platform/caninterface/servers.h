#pragma once
// Small scripted SDO servers for the tests, each with switches for the faults a client
// must survive. They are the other side of the protocol written for the test, not a
// simulator: one object, no dictionary.
#include "scriptedpeer.h"

#include <QMutex>
#include <memory>

namespace cantest {

struct UploadServer {
    QByteArray value;
    bool sized = true;          // announce the size
    qint64 announced = -1;      // size announced; -1 = the value's
    bool wrongToggle = false;   // segments carry the toggle bit inverted
    bool blockCrc = true;       // block: the server's CRC support
    bool corruptCrc = false;    // block: wrong CRC in the end frame
    bool plainForBlock = false; // block request answered as a plain upload (protocol switch)
    int dropSeqOnce = 0;        // block: this sequence number of the first sub-block goes missing once
    int silentAfter = -1;       // stops answering after this many responses
    int delayMs = 0;            // every response this late
};
ScriptedPeer::Script uploadServer(const UploadServer& cfg);

// What a download server received, read once the transfer is over.
struct Stored {
    QMutex mutex;
    QByteArray value;
    bool complete = false;
    bool crcChecked = false;
};

struct DownloadServer {
    int blockSize = 127;
    bool blockCrc = true;
    int partialAckOnce = 0;   // block: acknowledges only this many segments of the first sub-block
};
ScriptedPeer::Script downloadServer(std::shared_ptr<Stored> stored, const DownloadServer& cfg = {});

}  // namespace cantest
