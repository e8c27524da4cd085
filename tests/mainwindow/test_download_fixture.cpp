#include "test_download_fixture.h"

#include "app/wiring.h"
#include "can/canmessageform.h"
#include "can/frmcanopen.h"
#include "can/links.h"
#include "can/modautodownload.h"
#include "caninterface/caninterface.h"
#include "cansim/cansim.h"
#include "cansim/mainwindowlinks.h"
#include "config/siteconfig.h"
#include "config/updatetexts.h"
#include "desktop/timeservice.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "dcbuilder/loadfileslink.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/srecord.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>

namespace dltest {

namespace {
// One virtualcan port for the whole process: Qt hosts one bus server per process.
QString busUrl() {
    static const quint16 port = testsupport::freePort();
    return testsupport::busUrl(port);
}

enum Symbol : quint16 { symModuleStateRO = 100, symModuleStateRW = 101, symUpdateStateRO = 102, symUpdateFailureRO = 103,
                        symEngStandstill = 104 };

void resetGlobals() {
    using namespace modGlobal;
    cansim::resetModGlobals();
    g_baseAdrDC = g_baseAdrFPGA = g_baseAdrAppl = 0;
    g_canInterfaceVersion = 0;
    g_configDbPath.clear();
}

void writeConfig(const QString& path) {
    auto db = cansim::createConfigDatabase(path);
    const std::pair<const char*, QString> items[] = {
        {"numRequiredCylinders", QStringLiteral("3")},
        // The sections are chosen by each test.
        {"forceFPGAdownload", QStringLiteral("no")},
        {"canInterface_0", busUrl()},
        {"canInterface_1", QStringLiteral("no-such-interface")},
        {"GLB_CAN_MODULE_STATE_RO", QString::number(symModuleStateRO)},
        {"GLB_CAN_MODULE_STATE_RW", QString::number(symModuleStateRW)},
        {"GLB_CAN_SW_UPDATE_STATE_RO", QString::number(symUpdateStateRO)},
        {"GLB_CAN_SW_UPDATE_FAILURE_RO", QString::number(symUpdateFailureRO)},
        {"GLB_ENG_STSTILL", QString::number(symEngStandstill)},
    };
    for (const auto& [k, v] : items)
        db->Execute(QStringLiteral("INSERT INTO miscellaneous (item, value) VALUES (?, ?)"), {QString::fromLatin1(k), v});
    simconfig::addUserTexts(*db, {{4, "Only the spare module is selected. Continue?"},
                                  {5, "The CAN interface is too old for the M-Bus download."},
                                  {7, "Make sure the engine stands still."},
                                  {73, "Updating PXM #{00} ..."}});
    db->Close();
}
}  // namespace

bool waitFor(const std::function<bool()>& pred, int timeoutMs) { return testsupport::waitFor(pred, timeoutMs); }

sim::BootOptions fastBoot() {
    sim::BootOptions b;
    b.flashMs = 50;
    return b;
}

sim::BootOptions faultyBoot(bool sim::BootFaults::*fault, int module) {
    sim::BootOptions b = fastBoot();
    b.faults.*fault = true;
    b.faultModules = quint16(1u << module);
    return b;
}

QByteArray pattern(int size, int seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    return b;
}

void DownloadBusTest::SetUp() {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can.warning=false"));
    ASSERT_TRUE(dir.isValid());
    answers = std::make_unique<testsupport::ScriptedAnswerer>();
    cansim::recordErrors(errors);
    resetGlobals();
    modGlobal::g_configDbPath = dir.filePath(QStringLiteral("KELB-3817 Update Tool-Config.mdb"));
    writeConfig(modGlobal::g_configDbPath);
    ASSERT_TRUE(modGlobal::g_iniGlobals());
    canComponentLink::install(nullptr);
    cansim::resetCanMaster();
    frmCANopen::instance().set_g_blockTransferEnable(false);
    w = std::make_unique<frmMain>();
    wiring::install(*w);
    cansim::recordErrors(errors);
    updaterLink::install(&updater);
}

void DownloadBusTest::TearDown() {
    if (frmMessage2* box = frmMessage2::existing()) box->unload();
    frmCANopen::instance().unload();
    stopModules();
    cansim::resetMainWindowLinks();
    wiring::uninstall();
    w.reset();
    resetGlobals();
    answers.reset();
    ErrPtnr::errorHandlerLink::install(nullptr);
}

void DownloadBusTest::start(sim::Profile p, int cylinders, bool updateMode, const sim::BootOptions& boot,
                            quint16 retryMask) {
    using namespace modGlobal;
    g_qtmMode = p == sim::Profile::Qtm;
    g_bzmMode = p == sim::Profile::Bzm;
    g_updateMode = updateMode;
    g_moduleKind = g_qtmMode ? QStringLiteral("QTM") : g_bzmMode ? QStringLiteral("BZM") : QStringLiteral("PXM");
    g_applicationType = g_qtmMode ? 6 : g_bzmMode ? 7 : 0;
    g_baseAdrAppl = 0x100000;
    g_baseAdrDC = 0x0C0000;
    g_baseAdrFPGA = 0x380000;

    profile.setQuick(p, cylinders);
    profile.sectionMs = 300;
    profile.retryMask = retryMask;
    profile.symbols = cansim::stateSymbols(symModuleStateRO, symModuleStateRW, symUpdateStateRO, symUpdateFailureRO,
                                           symEngStandstill);
    sim::Scenario scenario;
    scenario.busUrl = busUrl();
    ASSERT_NO_FATAL_FAILURE(startModules(scenario, profile, boot));

    double dllVersion = 0;
    const QString bus = p == sim::Profile::MBus ? QStringLiteral("M-Bus") : QStringLiteral("S-Bus");
    ASSERT_TRUE(frmCANopen::instance().g_initialise(CanMessageForm{}, dllVersion, bus, false, 0));
    g_canInterfaceVersion = dllVersion;
    // The bus is shared with the other tests of the run: a slow answer is no failure.
    qint32 status = 0;
    frmCANopen::instance().m_CANInterface->setSdoTimeout(1000, status);

    // The section rows of a PXM installation; QTM and BZM keep their application in row 0.
    static const char* const tags[frmMain::sectionRows] = {"6", "4", "7", "3", "5"};
    for (int pos = 0; pos < frmMain::sectionRows; ++pos)
        vbControls::setTag(w->chkLoadSection[pos], QString::fromLatin1(tags[pos]));
    if (g_qtmMode || g_bzmMode) vbControls::setTag(w->chkLoadSection[0], QStringLiteral("2"));

    // The connection display shows each module in its application (and locks the boxes of
    // the modules that are not there).
    const int count = cylinders + 1;
    ASSERT_TRUE(waitFor([&] {
        for (int m = 0; m < frmMain::moduleCount; ++m) {
            const bool there = m < count;
            if (there != (vbCheck::value(w->chkApplicationRunning[m]) == vbCheck::vbChecked)) return false;
            if (there != vbCheck::enabled(w->chkProgram[m])) return false;
        }
        return true;
    }, 8000)) << "modules up";
}

void DownloadBusTest::bindFile(int pos, const QByteArray& image, qint32 address, const QString& name) {
    const QString path = dir.filePath(name);
    ASSERT_TRUE(modDownload::g_binToSRec(image, address, QStringLiteral("S37"), path));
    vbControls::setTag(w->txtEmh[pos], path);
    w->txtEmh[pos]->setText(path);
}

void DownloadBusTest::select(std::initializer_list<int> ms) {
    for (int m : ms) vbCheck::setValue(w->chkProgram[m], vbCheck::vbChecked);
}

void DownloadBusTest::chooseApplication(const QByteArray& image, qint32 address, const QString& name,
                                        std::initializer_list<int> ms) {
    bindFile(0, image, address, name);
    select(ms);
    selectRow(0);
}

void DownloadBusTest::selectRow(int pos) { vbCheck::setValue(w->chkLoadSection[pos], vbCheck::vbChecked); }

void DownloadBusTest::answerBootloaderQuestion(bool proceed) {
    answers->pushForm([proceed](QDialog* d) {
        auto* box = static_cast<frmMessage2*>(d);
        (proceed ? box->cmdYes : box->cmdNo)->click();
        return -1;
    });
}

QStringList DownloadBusTest::log() const {
    QStringList lines;
    for (int i = 0; w && i < w->lstMessage->count(); ++i) lines << w->lstMessage->item(i)->text();
    return lines;
}

bool DownloadBusTest::lampGreen(int m) const {
    return vbControls::backColor(w->lblDownloadOk[m]) == vbControls::vbGreen && !w->lblDownloadOk[m]->isHidden();
}

bool DownloadBusTest::lampRed(int m) const {
    return vbControls::backColor(w->lblDownloadOk[m]) == vbControls::vbRed && !w->lblDownloadOk[m]->isHidden();
}

}  // namespace dltest
