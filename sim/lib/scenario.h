#pragma once
// What pxm-sim simulates, read from its command line: the bus, the nodes, the bus pacing
// and the fault switches. Later personalities add their options here.
#include "lib/faults.h"

#include <QList>
#include <QString>

class QCommandLineParser;

namespace sim {

class Simulator;
class Node;

struct Scenario {
    QString busUrl;
    QList<quint8> nodes;
    int heartbeatMs = 1000;
    int bitRate = 0;
    QString busLog;  // where the bus's frames are written; empty for none
    Faults faults;

    static void addOptions(QCommandLineParser& p);
    // False with an error text for a missing bus or a bad value.
    bool read(const QCommandLineParser& p, QString* error);
    // Adds the nodes with their objects to a started simulator.
    void apply(Simulator& s) const;
};

// The objects every simulated node carries for now: device type 0x1000, producer
// heartbeat time 0x1017, and domains for transfer tests (0x2000 read-write, 0x2001
// read-only with 8193 bytes of a counting pattern, 0x2002 write-only).
void addTestObjects(Node& n, int heartbeatMs);
QByteArray testPattern(int size);

}  // namespace sim
