// pxm-sim-config: writes the tool's configuration database and load files for a simulated
// site, or prints the pxm-sim arguments of the same site.
#include "config/loadfiles.h"
#include "config/siteconfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pxm-sim-config"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Writes pxmloader-Config.mdb and the load files for the modules pxm-sim simulates."));
    p.addHelpOption();
    p.addOption({"dir", "Folder to write into (made when missing).", "dir"});
    p.addOption({"bus", "The simulator's bus, e.g. tcp://127.0.0.1:35468/can0.", "url"});
    p.addOption({"profile", "mbus, sbus, qtm or bzm, as given to pxm-sim (default mbus).", "profile"});
    p.addOption({"cylinders", "Cylinder modules beside module 0 (0-14, default 3).", "n"});
    p.addOption({"symbol", "A symbol NAME=NUMBER or NAME=NUMBER:VALUE in place of the fixed table's; may be repeated.",
                 "spec"});
    p.addOption({"sim-args", "Print pxm-sim's arguments for the same site, one a line, and write nothing."});
    p.process(app);

    auto fail = [](const QString& text) {
        std::fprintf(stderr, "pxm-sim-config: %s\n", qPrintable(text));
        return 2;
    };
    simconfig::Site site;
    site.busUrl = p.value("bus");
    if (p.isSet("profile")) site.profile = p.value("profile").toLower();
    if (p.isSet("cylinders")) {
        bool ok = false;
        site.cylinders = p.value("cylinders").toInt(&ok);
        if (!ok || site.cylinders < 0 || site.cylinders > 14) return fail(QStringLiteral("--cylinders: 0 to 14."));
    }
    site.symbols = simconfig::standardSymbols(site.cylinders);
    QString error;
    for (const QString& spec : p.values("symbol"))
        if (!simconfig::applySymbolSpec(site.symbols, spec, &error)) return fail(QStringLiteral("--symbol: ") + error);
    if (simconfig::moduleKind(site.profile).isEmpty()) return fail(QStringLiteral("--profile: mbus, sbus, qtm or bzm."));
    if (site.busUrl.isEmpty()) return fail(QStringLiteral("--bus is missing."));

    if (p.isSet("sim-args")) {
        for (const QString& a : simconfig::simulatorArguments(site)) std::printf("%s\n", qPrintable(a));
        return 0;
    }
    if (!p.isSet("dir")) return fail(QStringLiteral("--dir is missing."));
    const QString dir = QDir(p.value("dir")).absolutePath();
    if (!simconfig::writeSite(dir, site, &error)) return fail(error);

    const auto items = simconfig::miscellaneousItems(site);
    std::printf("pxm-sim-config: wrote %s\n", qPrintable(QDir(dir).filePath(simconfig::configDbName())));
    std::printf("    %d miscellaneous items; the bus: canPlugin=virtualcan, canInterface_0=%s\n", int(items.size()),
                qPrintable(site.busUrl));
    for (const simconfig::LoadFile& f : simconfig::loadFiles(simconfig::moduleKind(site.profile)))
        std::printf("    loadFiles %s section %d: %s, %d bytes at 0x%X\n", qPrintable(f.module), f.section,
                    qPrintable(f.fileName), f.size, f.address);
    return 0;
}
