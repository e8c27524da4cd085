#include "lib/scenario.h"

#include "lib/node.h"
#include "lib/options.h"
#include "lib/simulator.h"

#include <QCommandLineParser>

namespace sim {

namespace {
const QString kBus = QStringLiteral("bus"), kNode = QStringLiteral("node"), kHeartbeat = QStringLiteral("heartbeat"),
              kBitRate = QStringLiteral("bitrate"), kStopAfter = QStringLiteral("stop-after"),
              kWrongToggle = QStringLiteral("wrong-toggle"), kBadCrc = QStringLiteral("bad-crc"),
              kLongSegment = QStringLiteral("long-segment"), kShortFrames = QStringLiteral("short-frames"),
              kDelay = QStringLiteral("delay"), kNoSize = QStringLiteral("no-size"), kNoBlock = QStringLiteral("no-block"),
              kNoCrc = QStringLiteral("no-crc"), kBlockSize = QStringLiteral("block-size"),
              kBusLog = QStringLiteral("bus-log");
}  // namespace

void Scenario::addOptions(QCommandLineParser& p) {
    p.addOption({kBus, "The virtualcan bus to join, e.g. tcp://127.0.0.1:35468/can0.", "url"});
    p.addOption({kNode, "Simulate a node with this id (1-127, decimal or 0x..); may be repeated.", "id"});
    p.addOption({kHeartbeat, "Producer heartbeat time of the nodes in ms (0 = none; default 1000).", "ms"});
    p.addOption({kBitRate, "Model one shared bus at this bit rate: every frame, received or sent, takes it for its bit time (default: no pacing).", "bit/s"});
    p.addOption({kBusLog, "Write every frame on the bus to this file, a line each: the microsecond (monotonic clock) its last bit was on the bus, the identifier and the data, in hex.", "file"});
    p.addOption({kStopAfter, "Fault: fall silent after sending this many frames of each SDO transfer.", "n"});
    p.addOption({kWrongToggle, "Fault: send segment responses with the wrong toggle bit."});
    p.addOption({kBadCrc, "Fault: send a wrong CRC at the end of block uploads."});
    p.addOption({kLongSegment, "Fault: announce one byte less in uploads than is then sent."});
    p.addOption({kShortFrames, "Fault: send SDO responses with only this many bytes (1-7).", "n"});
    p.addOption({kDelay, "Fault: send every SDO response this many ms late.", "ms"});
    p.addOption({kNoSize, "Answer uploads in the forms without size indication."});
    p.addOption({kNoBlock, "Refuse SDO block transfer."});
    p.addOption({kNoCrc, "Do not support the block-transfer CRC."});
    p.addOption({kBlockSize, "Block size offered in block downloads (1-127, default 127).", "n"});
}

bool Scenario::read(const QCommandLineParser& p, QString* error) {
    using options::fail;
    busUrl = p.value(kBus);
    busLog = p.value(kBusLog);
    if (busUrl.isEmpty()) return fail(error, QStringLiteral("--bus is missing."));
    nodes.clear();
    for (const QString& v : p.values(kNode)) {
        qint64 id = 0;
        if (!options::number(v, 1, 127, id))
            return fail(error, QStringLiteral("--node: \"%1\" is not a node id from 1 to 127.").arg(v));
        if (!nodes.contains(quint8(id))) nodes << quint8(id);
    }
    auto intOption = [&](const QString& name, qint64 lo, qint64 hi, int& out) {
        return options::intOption(p, name, lo, hi, out, error);
    };
    if (!intOption(kHeartbeat, 0, 65535, heartbeatMs) || !intOption(kBitRate, 0, 1000000, bitRate) ||
        !intOption(kStopAfter, 0, 1000000, faults.stopAfterFrames) || !intOption(kShortFrames, 1, 7, faults.shortFrames) ||
        !intOption(kDelay, 0, 600000, faults.delayMs) || !intOption(kBlockSize, 1, 127, faults.blockSize))
        return false;
    faults.wrongToggle = p.isSet(kWrongToggle);
    faults.corruptBlockCrc = p.isSet(kBadCrc);
    faults.longSegment = p.isSet(kLongSegment);
    faults.noSizeIndication = p.isSet(kNoSize);
    faults.blockTransfer = !p.isSet(kNoBlock);
    faults.blockCrc = !p.isSet(kNoCrc);
    return true;
}

void Scenario::apply(Simulator& s) const {
    s.setBitRate(bitRate);
    for (quint8 id : nodes) {
        Node* n = s.addNode(id);
        addTestObjects(*n, heartbeatMs);
        n->setFaults(faults);
    }
}

QByteArray testPattern(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

void addTestObjects(Node& n, int heartbeatMs) {
    ObjectDictionary& od = n.od();
    od.addU16(0x1017, 0, quint16(heartbeatMs));
    od.addDomain(0x2000, 0, QByteArray(), Access::ReadWrite, 1 << 20);
    od.addDomain(0x2001, 0, testPattern(8193), Access::ReadOnly);
    od.addDomain(0x2002, 0, QByteArray(), Access::WriteOnly);
}

}  // namespace sim
