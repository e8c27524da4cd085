// pxm-sim: simulated modules on a virtualcan bus, until SIGTERM or SIGINT.
#include "lib/bootoptions.h"
#include "lib/buslog.h"
#include "lib/profileoptions.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "lib/scenario.h"
#include "lib/simulator.h"
#include "quitonsignal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pxm-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulates CANopen modules on a virtualcan bus until stopped."));
    parser.addHelpOption();
    sim::Scenario::addOptions(parser);
    sim::ProfileOptions::addOptions(parser);
    sim::BootOptions::addOptions(parser);
    parser.process(app);

    sim::Scenario scenario;
    QString error;
    if (!scenario.read(parser, &error)) {
        std::fprintf(stderr, "pxm-sim: %s\n", qPrintable(error));
        return 2;
    }
    sim::ProfileOptions profile;
    if (!profile.read(parser, &error)) {
        std::fprintf(stderr, "pxm-sim: %s\n", qPrintable(error));
        return 2;
    }
    sim::BootOptions boot;
    if (!boot.read(parser, &error)) {
        std::fprintf(stderr, "pxm-sim: %s\n", qPrintable(error));
        return 2;
    }
    quitOnSignals();

    sim::BusLog busLog;  // outlives the simulator that writes to it
    sim::Simulator simulator;
    if (!scenario.busLog.isEmpty()) {
        if (!busLog.open(scenario.busLog, &error)) {
            std::fprintf(stderr, "pxm-sim: --bus-log: %s\n", qPrintable(error));
            return 2;
        }
        simulator.setBusRecorder([&busLog](const sim::Frame& f, qint64 us) { busLog.record(f, us); });
    }
    if (!simulator.start(scenario.busUrl, &error)) {
        std::fprintf(stderr, "pxm-sim: %s\n", qPrintable(error));
        return 1;
    }
    scenario.apply(simulator);
    sim::PxmModules modules(simulator, profile, scenario.faults);
    sim::PxmBootloaders bootloaders(simulator, modules, profile, boot, scenario.faults);
    // Says once when the bus is reached, for whoever started the program.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!simulator.isConnected()) return;
        poll.stop();
        std::printf("pxm-sim: on %s\n", qPrintable(scenario.busUrl));
        std::fflush(stdout);
    });
    poll.start(20);
    const int rc = app.exec();
    simulator.stop();
    simulator.setBusRecorder(nullptr);
    if (!busLog.commit(&error)) {
        std::fprintf(stderr, "pxm-sim: --bus-log: %s\n", qPrintable(error));
        return rc == 0 ? 1 : rc;
    }
    return rc;
}
