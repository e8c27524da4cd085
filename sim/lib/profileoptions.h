#pragma once
// What the simulated control system looks like: the bus profile, the number of cylinder
// modules, their device names, the symbol numbers and values (which must match the tool's
// configuration database) and the behaviour of module 0's auto-download. Read from
// pxm-sim's command line or filled in directly by a test.
#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace sim {

enum class Profile { None, MBus, SBus, Qtm, Bzm };

// The symbols the simulator itself gives meaning to; any other named symbol is plain data.
inline constexpr const char* kSymModuleStateRO = "GLB_CAN_MODULE_STATE_RO";
inline constexpr const char* kSymModuleStateRW = "GLB_CAN_MODULE_STATE_RW";
inline constexpr const char* kSymUpdateStateRO = "GLB_CAN_SW_UPDATE_STATE_RO";
inline constexpr const char* kSymUpdateFailureRO = "GLB_CAN_SW_UPDATE_FAILURE_RO";
inline constexpr const char* kSymEngineStandstill = "GLB_ENG_STSTILL";
inline constexpr const char* kSymCrcFirstApplication = "PAR_CRC_FIRST_APPLICATION";
inline constexpr const char* kSymAutoDownloadActivate = "PAR_AUTO_DOWNLD_ACTIVATE";
inline constexpr const char* kSymCrcValueApplication = "GLB_CRC_VALUE_APPLICATION";
inline constexpr const char* kSymCrcLenApplication = "GLB_CRC_LEN_APPLICATION";
inline constexpr const char* kSymCrcValueImo = "GLB_CRC_VALUE_IMO";
inline constexpr const char* kSymCrcLenImo = "GLB_CRC_LEN_IMO";

struct SymbolSpec {
    QString name;
    quint16 number = 0;  // 1 to 4095
    quint32 value = 0;   // sent little-endian in bytes 4-7
};

enum class Engine { Standstill, Running, Silent };

struct ProfileOptions {
    Profile profile = Profile::None;
    int cylinders = 0;          // cylinder modules 1..cylinders beside module 0
    QString appName;            // device-name text before " #NN"; empty: the profile's own
    int spareId = 0;            // the number after "#" in module 0's device name
    int heartbeatMs = 1000;     // of the modules that send heartbeats
    QList<SymbolSpec> symbols;
    int publishMs = 200;        // period of the symbols whose publication is on
    int minUserLevel = 0;       // service bits and symbol writes below this level are ignored
    Engine engine = Engine::Standstill;
    // Module 0's auto-download: time a mode switch takes, time a section takes per module
    // and attempt, modules whose every attempt fails, modules whose first attempt fails,
    // modules whose transfer stops half-way and stays there, a module 0 that takes no abort
    // while it is busy.
    int switchMs = 300;
    int sectionMs = 1000;
    quint16 failMask = 0;
    quint16 retryMask = 0;
    quint16 stallMask = 0;
    bool deafToAbort = false;
    // Module 0 falls back into its bootloader once it has loaded a cylinder.
    bool spareDropsAfterLoad = false;
    // What can go wrong in an update: symbols the modules never publish on request, a
    // factory application of a build the site does not know, auto-download switched off,
    // modules that are not there, a first-application CRC the module does not take, and
    // modules that publish nothing on request once their application was replaced.
    QStringList withheld;
    bool foreignBuild = false;
    bool autoDownloadOff = false;
    quint16 absentMask = 0;
    bool refuseCrcWrite = false;
    bool silentAfterUpdate = false;

    // The number of a named symbol, 0 when the scenario has none.
    quint16 symbolNumber(const QString& name) const;
    // appName, or the profile's own when it is empty.
    QString applicationName() const;

    // The profile and its cylinders at the short periods the tests run the modules with:
    // heartbeats, publications and auto-download mode switches every 50 ms. The rest stays.
    void setQuick(Profile p, int cylinderModules);

    static void addOptions(QCommandLineParser& p);
    // False with an error text for a bad value. Without --profile nothing is simulated.
    bool read(const QCommandLineParser& p, QString* error);
};

// Node-id base of the modules' applications on the profile's bus.
quint8 applicationBase(Profile p, int module);
// Whether the module's nodes show themselves with boot-up and heartbeat frames: on the
// M-Bus only module 0 does, the cylinders are watched through it (and a cylinder's
// bootloader at 0x71 would pass for an old bootloader of module 0).
bool announced(Profile p, int module);
QString defaultAppName(Profile p);
// The device name (0x1008) of a module's program: the application name, then program
// (" Bootloader" or nothing), then " #NN" with the module's number (module 0: spareId).
QByteArray deviceName(const ProfileOptions& o, int module, const QString& program = QString());

}  // namespace sim
