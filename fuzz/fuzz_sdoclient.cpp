// The SDO client's state machine fed arbitrary server frames in answer to each kind of
// transfer: no crash, no endless sending, and every transfer ends with a status, at the
// latest at the time-out that follows the last frame.
#include "caninterface/sdotransfer.h"
#include "fuzzsupport.h"

#include <cstdlib>

namespace {

struct CountingLink : SdoTransfer::Link {
    qint64 sent = 0;
    bool send(const QByteArray& frame) override {
        if (frame.size() != 8) std::abort();
        ++sent;
        return true;
    }
    void awaitResponse() override {}
};

}  // namespace

// Input: byte 0 the transfer kind, bytes 1-2 the download length; then records of 9
// bytes: a selector (0xF0 and above: the response time runs out) and a frame of 8 bytes
// (a short last record gives a short frame).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    if (size < 3) return 0;
    const auto kind = static_cast<SdoTransfer::Kind>(data[0] % 4);
    const int length = (data[1] | data[2] << 8) % 4096;
    QByteArray payload(length, '\0');
    for (int i = 0; i < length; ++i) payload[i] = char(i * 7);
    CountingLink link;
    SdoTransfer t(link, kind, 0x1F50, 6, payload);
    t.start();
    size_t pos = 3;
    int records = 0;
    while (!t.finished() && pos < size) {
        const uint8_t selector = data[pos++];
        const size_t n = std::min<size_t>(8, size - pos);
        if (selector >= 0xF0) {
            t.onTimeout();
        } else {
            t.onFrame(QByteArray(reinterpret_cast<const char*>(data + pos), qsizetype(n)));
        }
        pos += n;
        ++records;
        // A block of 127 segments per answer is the most a single frame can set off.
        if (link.sent > qint64(records + 1) * (SdoTransfer::BlockSize + 2)) std::abort();
    }
    if (!t.finished()) t.onTimeout();
    if (!t.finished()) std::abort();
    if (t.status() == 1 && (kind == SdoTransfer::Kind::Upload || kind == SdoTransfer::Kind::BlockUpload) &&
        t.data().size() > SdoTransfer::MaxUpload)
        std::abort();
    return 0;
}
