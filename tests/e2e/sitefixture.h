#pragma once
// The fixture of the end-to-end runs: a simulated site on the process's private virtual
// bus (the modules of a profile, started from the same arguments pxm-sim gets in the demo),
// the tool's configuration database and load files for it in a folder of the test's own,
// and the main window started on that folder with the program's own links.
#include "can/systemsymbols.h"
#include "config/siteconfig.h"
#include "cansim/simulatedmodules.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/updaterlink.h"
#include "services/errtrap.h"
#include "errorlog.h"
#include "testsupport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace e2e {

// One virtualcan port for the whole process: Qt hosts one bus server per process.
QString busUrl();

// Waits in real time with the event loop running until pred() holds.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 3000);

// A stand-in for the update run that records what the receive drain hands it.
struct RecordingUpdater : UpdaterStub {
    std::vector<std::pair<QString, QByteArray>> values;
    // Named as the setter without its "g_set".
    void setSystemValue(const SystemSymbol& row, const QByteArray& v, qint32&) override {
        values.push_back({QString::fromLatin1(row.setter).mid(5), v});
    }
};

class SiteTest : public ::testing::Test, protected cansim::SimulatedModules {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the site's configuration into dir and starts its modules on the bus, with
    // pxm-sim's arguments for the site and simArgs after them.
    void startSite(const QString& profile, int cylinders, const QStringList& simArgs = {});
    // Loads the main window with the command line, "/db=" and the folder added.
    void formLoad(const QString& switches);
    QString filePath(const QString& name) const;
    // The site written again into root/site with the repair's templates beside it, in
    // root/PXM_Templates; siteDir is root/site.
    void writeSiteBesideTemplates(const QString& root, QString& siteDir);
    // The main window's log so far.
    QStringList logLines() const;

    // The update run's stand-in takes the run's place after the program's wiring; an update
    // run test keeps the program's own run.
    bool standInForTheRun = true;

    QTemporaryDir dir;
    simconfig::Site site;
    sim::ProfileOptions profile;  // as pxm-sim reads them from the site's arguments
    sim::BootOptions boot;
    std::unique_ptr<testsupport::ScriptedAnswerer> answers;
    std::vector<ErrPtnr::ErrorInfo> errors;
    int ends = 0;
    testsupport::EndCounter endCounter{ends};
    RecordingUpdater updater;
    std::unique_ptr<frmMain> w;
};

}  // namespace e2e
