#include "lib/profileoptions.h"

#include "lib/options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace sim {

namespace {
const QString kProfile = QStringLiteral("profile"), kCylinders = QStringLiteral("cylinders"),
              kAppName = QStringLiteral("app-name"), kSpareId = QStringLiteral("spare-id"),
              kSymbol = QStringLiteral("symbol"), kPublish = QStringLiteral("publish-ms"),
              kMinLevel = QStringLiteral("min-user-level"), kEngine = QStringLiteral("engine"),
              kSwitch = QStringLiteral("adl-switch-ms"), kSection = QStringLiteral("adl-section-ms"),
              kFail = QStringLiteral("adl-fail"), kRetry = QStringLiteral("adl-retry"),
              kStall = QStringLiteral("adl-stall"), kDeafToAbort = QStringLiteral("adl-deaf-to-abort"),
              kSpareDrops = QStringLiteral("adl-spare-drops"),
              kWithhold = QStringLiteral("withhold"), kUnknownBuild = QStringLiteral("unknown-build"),
              kAutoDownloadOff = QStringLiteral("auto-download-off"), kAbsent = QStringLiteral("absent"),
              kWrongEcho = QStringLiteral("wrong-crc-echo"), kSilentAfter = QStringLiteral("silent-after-update"),
              kHeartbeat = QStringLiteral("heartbeat");  // the core's option, shared
}  // namespace

quint8 applicationBase(Profile p, int module) {
    switch (p) {
    case Profile::MBus: return module == 0 ? 0x11 : 0x20;  // cylinders answer at their S-Bus ids
    case Profile::SBus: return 0x20;
    case Profile::Qtm: return 0x50;
    case Profile::Bzm: return 0x30;
    case Profile::None: break;
    }
    return 0;
}

bool announced(Profile p, int module) { return p != Profile::MBus || module == 0; }

QString defaultAppName(Profile p) {
    switch (p) {
    case Profile::Qtm: return QStringLiteral("QTM-20");
    case Profile::Bzm: return QStringLiteral("BZM-20");
    default: return QStringLiteral("KELB-3817 PXM-20");
    }
}

QByteArray deviceName(const ProfileOptions& o, int module, const QString& program) {
    const int id = module == 0 ? o.spareId : module;
    return (o.applicationName() + program + QStringLiteral(" #%1").arg(id, 2, 10, QLatin1Char('0'))).toLatin1();
}

QString ProfileOptions::applicationName() const { return appName.isEmpty() ? defaultAppName(profile) : appName; }

quint16 ProfileOptions::symbolNumber(const QString& name) const {
    for (const SymbolSpec& s : symbols)
        if (s.name == name) return s.number;
    return 0;
}

void ProfileOptions::setQuick(Profile p, int cylinderModules) {
    profile = p;
    cylinders = cylinderModules;
    heartbeatMs = publishMs = switchMs = 50;
}

void ProfileOptions::addOptions(QCommandLineParser& p) {
    p.addOption({kProfile, "Simulate the modules of a bus: mbus, sbus, qtm or bzm.", "profile"});
    p.addOption({kCylinders, "Number of cylinder modules beside module 0 (0-14, default 0).", "n"});
    p.addOption({kAppName, "Device name (0x1008) before \" #NN\" (default by profile).", "text"});
    p.addOption({kSpareId, "Module number in module 0's device name (a cylinder module in its place).", "n"});
    p.addOption({kSymbol, "A symbol of the modules: NAME=NUMBER or NAME=NUMBER:VALUE; may be repeated.", "spec"});
    p.addOption({kPublish, "Period of published symbols in ms (default 200).", "ms"});
    p.addOption({kMinLevel, "Ignore service bits and symbol writes below this user level (default 0).", "n"});
    p.addOption({kEngine, "Engine standstill signal: standstill, running or silent (default standstill).", "state"});
    p.addOption({kSwitch, "Auto-download: time a mode switch of the cylinders takes in ms (default 300).", "ms"});
    p.addOption({kSection, "Auto-download: time one section takes per module in ms (default 1000).", "ms"});
    p.addOption({kFail, "Auto-download: mask of modules whose every attempt fails.", "mask"});
    p.addOption({kRetry, "Auto-download: mask of modules whose first attempt fails.", "mask"});
    p.addOption({kWithhold, "Fault: the modules never publish this named symbol on request; may be repeated.", "name"});
    p.addOption({kUnknownBuild, "Fault: the modules' factory application is of a build the site does not know."});
    p.addOption({kAutoDownloadOff, "Fault: module 0's auto-download is not activated (PAR_AUTO_DOWNLD_ACTIVATE 0)."});
    p.addOption({kAbsent, "Fault: mask of modules that are not there (no answer, in no state mask).", "mask"});
    p.addOption({kWrongEcho, "Fault: writes of PAR_CRC_FIRST_APPLICATION are refused; the echo keeps the old value."});
    p.addOption({kSilentAfter, "Fault: once its application was replaced, a module publishes nothing on request "
                                     "but its auto-download state."});
    p.addOption({kStall, "Auto-download: mask of modules whose transfer stops half-way until an abort.", "mask"});
    p.addOption({kDeafToAbort, "Auto-download: module 0 takes no abort while it is busy."});
    p.addOption({kSpareDrops, "Auto-download: module 0 falls back into its bootloader after loading a cylinder."});
}

bool ProfileOptions::read(const QCommandLineParser& p, QString* error) {
    auto fail = [error](const QString& text) { return options::fail(error, text); };
    auto intOption = [&](const QString& name, qint64 lo, qint64 hi, auto& out) {
        return options::intOption(p, name, lo, hi, out, error);
    };
    profile = Profile::None;
    if (p.isSet(kProfile)) {
        const QString v = p.value(kProfile).toLower();
        if (v == QLatin1String("mbus")) profile = Profile::MBus;
        else if (v == QLatin1String("sbus")) profile = Profile::SBus;
        else if (v == QLatin1String("qtm")) profile = Profile::Qtm;
        else if (v == QLatin1String("bzm")) profile = Profile::Bzm;
        else return fail(QStringLiteral("--profile: \"%1\" is none of mbus, sbus, qtm, bzm.").arg(p.value(kProfile)));
    }
    if (!intOption(kCylinders, 0, 14, cylinders) || !intOption(kSpareId, 0, 99, spareId) ||
        !intOption(kHeartbeat, 0, 65535, heartbeatMs) || !intOption(kPublish, 10, 60000, publishMs) ||
        !intOption(kMinLevel, 0, 127, minUserLevel) || !intOption(kSwitch, 0, 600000, switchMs) ||
        !intOption(kSection, 10, 600000, sectionMs) || !intOption(kFail, 0, 0x7FFF, failMask) ||
        !intOption(kRetry, 0, 0x7FFF, retryMask) || !intOption(kStall, 0, 0x7FFF, stallMask) ||
        !intOption(kAbsent, 0, 0x7FFF, absentMask))
        return false;
    deafToAbort = p.isSet(kDeafToAbort);
    spareDropsAfterLoad = p.isSet(kSpareDrops);
    withheld = p.values(kWithhold);
    foreignBuild = p.isSet(kUnknownBuild);
    autoDownloadOff = p.isSet(kAutoDownloadOff);
    refuseCrcWrite = p.isSet(kWrongEcho);
    silentAfterUpdate = p.isSet(kSilentAfter);
    if (p.isSet(kAppName)) appName = p.value(kAppName);
    if (p.isSet(kEngine)) {
        const QString v = p.value(kEngine).toLower();
        if (v == QLatin1String("standstill")) engine = Engine::Standstill;
        else if (v == QLatin1String("running")) engine = Engine::Running;
        else if (v == QLatin1String("silent")) engine = Engine::Silent;
        else return fail(QStringLiteral("--engine: \"%1\" is none of standstill, running, silent.").arg(p.value(kEngine)));
    }
    symbols.clear();
    static const QRegularExpression spec(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)=([^:]+)(?::(.+))?$"));
    for (const QString& v : p.values(kSymbol)) {
        const auto m = spec.match(v);
        qint64 num = 0, value = 0;
        if (!m.hasMatch() || !options::number(m.captured(2), 1, 4095, num) ||
            (m.hasCaptured(3) && !options::number(m.captured(3), 0, 0xFFFFFFFFLL, value)))
            return fail(QStringLiteral("--symbol: \"%1\" is not NAME=NUMBER (1-4095) or NAME=NUMBER:VALUE.").arg(v));
        symbols << SymbolSpec{m.captured(1), quint16(num), quint32(value)};
    }
    for (const QString& name : withheld)
        if (symbolNumber(name) == 0) return fail(QStringLiteral("--withhold: \"%1\" is no --symbol.").arg(name));
    return true;
}

}  // namespace sim
