#include "lib/bootoptions.h"

#include "lib/options.h"

#include <QCommandLineParser>
#include <QDir>

namespace sim {

namespace {
const QString kState = QStringLiteral("state"), kFlash = QStringLiteral("flash-ms"),
              kVersion = QStringLiteral("boot-version"), kFault = QStringLiteral("boot-fault"),
              kFaultModules = QStringLiteral("boot-fault-modules"), kDiffer = QStringLiteral("differ");
}  // namespace

QStringList BootFaults::names() {
    return {QStringLiteral("refuse-info"),   QStringLiteral("block-crc"),     QStringLiteral("refuse-data"),
            QStringLiteral("image-crc"),     QStringLiteral("flash"),         QStringLiteral("refuse-status"),
            QStringLiteral("refuse-start"),  QStringLiteral("refuse-reboot"), QStringLiteral("refuse-upload"),
            QStringLiteral("idle-after-flash")};
}

bool BootFaults::set(const QString& name) {
    bool* flags[] = {&refuseInfoBlock, &badBlockCrc, &refuseData, &badImageCrc, &flashNeverEnds,
                     &refuseStatus,    &refuseStart, &refuseReboot, &refuseUpload, &idleAfterFlash};
    const int i = int(names().indexOf(name));
    if (i < 0) return false;
    *flags[i] = true;
    return true;
}

void BootOptions::addOptions(QCommandLineParser& p) {
    p.addOption({kState, "Keep each module's flash sections as files in this folder (read at start).", "dir"});
    p.addOption({kFlash, "Time flash programming of a section takes in ms (default 500).", "ms"});
    p.addOption({kVersion, "Bootloader version text of 0x100A (default 3.10).", "text"});
    p.addOption({kFault, "Fault of the bootloaders: " + BootFaults::names().join(QStringLiteral(", ")) +
                             "; may be repeated.", "name"});
    p.addOption({kFaultModules, "Mask of the modules the --boot-fault switches hit (default all).", "mask"});
    p.addOption({kDiffer, "Module M leaves the factory with other contents in section S than the other modules; "
                          "may be repeated.", "M:S"});
}

bool BootOptions::read(const QCommandLineParser& p, QString* error) {
    using options::fail;
    if (!options::intOption(p, kFlash, 1, 600000, flashMs, error) ||
        !options::intOption(p, kFaultModules, 0, 0x7FFF, faultModules, error))
        return false;
    if (p.isSet(kVersion)) version = p.value(kVersion);
    faults = BootFaults();
    for (const QString& name : p.values(kFault))
        if (!faults.set(name))
            return fail(error, QStringLiteral("--boot-fault: \"%1\" is none of %2.").arg(name, BootFaults::names().join(QStringLiteral(", "))));
    differing.clear();
    for (const QString& v : p.values(kDiffer)) {
        const QStringList parts = v.split(QLatin1Char(':'));
        qint64 m = 0, s = 0;
        if (parts.size() != 2 || !options::number(parts[0], 0, 14, m) || !options::number(parts[1], 1, 9, s))
            return fail(error, QStringLiteral("--differ: \"%1\" is no module 0 to 14 and section 1 to 9 as M:S.").arg(v));
        differing.append({int(m), int(s)});
    }
    stateDir = p.value(kState);
    if (!stateDir.isEmpty() && !QDir().mkpath(stateDir))
        return fail(error, QStringLiteral("--state: cannot make the folder \"%1\".").arg(stateDir));
    return true;
}

}  // namespace sim
