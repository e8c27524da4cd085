#include "sitefixture.h"

#include "can/frmcanopen.h"
#include "cansim/cansim.h"
#include "desktop/timeservice.h"
#include "app/wiring.h"
#include "mainwindow/singleinstance.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

#include <QCommandLineParser>
#include <QDir>
#include <QListWidget>
#include <QLoggingCategory>
#include <QUuid>

namespace e2e {

QString busUrl() {
    static const quint16 port = testsupport::freePort();
    return testsupport::busUrl(port);
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) { return testsupport::waitFor(pred, timeoutMs); }

void SiteTest::SetUp() {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can.warning=false"));
    ASSERT_TRUE(dir.isValid());
    answers = std::make_unique<testsupport::ScriptedAnswerer>();
    processEndLink::install(&endCounter);
    cansim::recordErrors(errors);
    cansim::resetModGlobalsAndPaths();
    cansim::resetCanMaster();
}

void SiteTest::TearDown() {
    if (frmMessage2* box = frmMessage2::existing()) box->unload();
    frmCANopen::instance().unload();
    wiring::uninstall();
    w.reset();
    stopModules();
    singleInstance::release();
    cansim::resetModGlobalsAndPaths();
    answers.reset();
    ErrPtnr::errorHandlerLink::install(nullptr);
    processEndLink::install(nullptr);
}

void SiteTest::startSite(const QString& profileName, int cylinders, const QStringList& simArgs) {
    site.profile = profileName;
    site.busUrl = busUrl();
    site.cylinders = cylinders;
    QString error;
    ASSERT_TRUE(simconfig::writeSite(dir.path(), site, &error)) << error.toStdString();

    // The simulator reads the same arguments as pxm-sim does in the demo.
    QCommandLineParser p;
    sim::Scenario::addOptions(p);
    sim::ProfileOptions::addOptions(p);
    sim::BootOptions::addOptions(p);
    ASSERT_TRUE(p.parse(QStringList{QStringLiteral("pxm-sim")} + simconfig::simulatorArguments(site) + simArgs))
        << p.errorText().toStdString();
    sim::Scenario scenario;
    ASSERT_TRUE(scenario.read(p, &error)) << error.toStdString();
    ASSERT_TRUE(profile.read(p, &error)) << error.toStdString();
    ASSERT_TRUE(boot.read(p, &error)) << error.toStdString();
    startModules(scenario, profile, boot);
}

void SiteTest::formLoad(const QString& switches) {
    w = std::make_unique<frmMain>();
    w->setProgramFile(QDir(dir.path()).filePath(QString::fromLatin1(simconfig::kProgramName)));
    w->setInstanceKey(QStringLiteral("kelb-e2e-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    // Wired as main() wires it; the test keeps its own error record.
    wiring::install(*w);
    cansim::recordErrors(errors);
    if (standInForTheRun) updaterLink::install(&updater);
    w->Form_Load(switches + QStringLiteral(" /db=") + dir.path());
}

QString SiteTest::filePath(const QString& name) const { return QDir(dir.path()).filePath(name); }

void SiteTest::writeSiteBesideTemplates(const QString& root, QString& siteDir) {
    siteDir = QDir(root).filePath(QStringLiteral("site"));
    ASSERT_TRUE(QDir().mkpath(siteDir));
    QString error;
    ASSERT_TRUE(simconfig::writeSite(siteDir, site, &error)) << error.toStdString();
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("PXM_Templates")));
    ASSERT_TRUE(testsupport::writeFile(QDir(root).filePath(QStringLiteral("PXM_Templates/HWInfoBlockVersion07.bin")),
                                       QByteArray(312, '\0')));
}

QStringList SiteTest::logLines() const {
    QStringList lines;
    for (int i = 0; w && i < w->lstMessage->count(); ++i) lines << w->lstMessage->item(i)->text();
    return lines;
}

}  // namespace e2e
