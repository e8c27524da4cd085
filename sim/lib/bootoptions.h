#pragma once
// How the simulated bootloaders behave: where their flash is kept, how long flash
// programming takes, the version they report, and the switches that make chosen modules
// fail a step of the programming. Read from pxm-sim's command line or filled in by a test.
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class QCommandLineParser;

namespace sim {

struct BootFaults {
    bool refuseInfoBlock = false;  // 0x5FFE writes are aborted
    bool badBlockCrc = false;      // every info block fails its block CRC check
    bool refuseData = false;       // 0x1F50 pieces are aborted
    bool badImageCrc = false;      // every image fails its CRC check against the info block
    bool flashNeverEnds = false;   // flashing (an image or the hardware block) never ends
    bool refuseStatus = false;     // 0x5FFF reads are aborted
    bool refuseStart = false;      // the application start is aborted, image or not
    bool refuseReboot = false;     // the application refuses to hand over to the bootloader
    bool refuseUpload = false;     // 0x1F50 reads are aborted
    bool idleAfterFlash = false;   // a programmed flash reads 255 (idle) instead of 0

    // The names of the command line, in the order of the members.
    static QStringList names();
    // False for an unknown name.
    bool set(const QString& name);
};

struct BootOptions {
    QString stateDir;                   // empty: the flash lives in memory
    int flashMs = 500;                  // simulated flash programming time
    QString version = QStringLiteral("3.10");  // 0x100A of the bootloaders
    BootFaults faults;
    quint16 faultModules = 0x7FFF;      // modules the fault switches hit
    // (module, section): the module leaves the factory with other contents in that section
    // than the rest, so that its code CRC stands out. Otherwise all modules hold the same.
    QList<std::pair<int, int>> differing;

    bool faultsHit(int module) const { return (faultModules >> module) & 1; }
    bool differs(int module, int section) const { return differing.contains(std::pair{module, section}); }

    static void addOptions(QCommandLineParser& p);
    // False with an error text for a bad value or a state folder that cannot be made.
    bool read(const QCommandLineParser& p, QString* error);
};

}  // namespace sim
