#pragma once
// How the simulated bootloaders behave: where their flash is kept, how long flash
// programming takes, the version they report, and the switches that make chosen modules
// fail a step of the programming. Read from pxm-sim's command line or filled in by a test.
#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace sim {

struct BootFaults {
    bool refuseInfoBlock = false;  // 0x5FFE writes are aborted
    bool badBlockCrc = false;      // every info block fails its block CRC check
    bool refuseData = false;       // 0x1F50 pieces are aborted
    bool badImageCrc = false;      // every image fails its CRC check against the info block
    bool flashNeverEnds = false;   // the loading status stays at "data accepted"
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

    bool faultsHit(int module) const { return (faultModules >> module) & 1; }

    static void addOptions(QCommandLineParser& p);
    // False with an error text for a bad value or a state folder that cannot be made.
    bool read(const QCommandLineParser& p, QString* error);
};

}  // namespace sim
