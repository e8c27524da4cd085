// The steps of the update run: what each does on entry and on its later work ticks.
#include "updater/updaterun.h"
#include "updater/updatetime.h"
#include "updater/updatewindow.h"
#include "mainwindow/vbcontrols.h"

#include <QGroupBox>

#include "can/modapplicationmode.h"
#include "mainwindow/applicationtypelink.h"
#include "can/canmaster.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "services/imagecrc.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

using namespace modGlobal;
using modStringFct::g_toHex;
using moduleProtocol::moduleCount;
using moduleProtocol::Selection;
using modStringFct::sprintf;

const UpdateRun::Step* UpdateRun::findStep(int number) {
    static const Step steps[] = {
        {0, "", nullptr, &UpdateRun::step0},
        {1, "Prepare connection to KELB", nullptr, &UpdateRun::step1},
        {2, "Get System Information", &UpdateRun::step2Entry, &UpdateRun::step2},
        {3, "Evaluate Build", &UpdateRun::step3Entry, nullptr},
        {4, "Detect PXM's", &UpdateRun::step4Entry, &UpdateRun::step4},
        {7, "Download Application Update", &UpdateRun::step7Entry, &UpdateRun::step7},
        {8, "Start Updated Application", &UpdateRun::step8Entry, &UpdateRun::step8},
        {9, "Update Application CRC", &UpdateRun::step9Entry, &UpdateRun::step9},
        {10, "Check Update", nullptr, &UpdateRun::step10},
        {11, "Update done", &UpdateRun::step11Entry, nullptr},
    };
    for (const Step& s : steps)
        if (s.number == number) return &s;
    return nullptr;
}

void UpdateRun::fail(int field, const QString& fieldText, const QStringList& log, const QString& text) {
    m_w.setText(field, fieldText, UpdateWindow::red);
    for (const QString& line : log) addMessageUpdater(line, -1);
    prompt(text, false, true);
    m_updateFailed = true;
    goTo(11);
}

// ---- Step 0: start ----

void UpdateRun::step0() {
    bool ok = false;
    setUserInfo(QStringLiteral("1"), 0, ok, false);
    initialise();
    goTo(1);
}

// ---- Step 1: connect ----

void UpdateRun::step1() {
    m_mBusModuleNo = 0;
    bool ok = false;
    updateModulesLink::get().initConnection(true, false, ok);
    if (!ok)
        return fail(1, QStringLiteral("USB-to-CAN Init. Failed"), {QStringLiteral("   USB-to-CAN initialisation failure.")},
                    message(11));
    if (!canMasterLink::get().g_bootupReceived())
        return fail(1, QStringLiteral("No PXM detected"), {QStringLiteral("   No module detected!")}, message(13));
    if (m_mBusModuleNo != 0)
        return fail(1, QStringLiteral("Wrong PXM detected"),
                    {sprintf(QStringLiteral("   PXM-#{00} detected (Application is running)"), m_mBusModuleNo)},
                    message(12, {m_mBusModuleNo}));
    // A spare left in its bootloader (a bus lost in an earlier run) is started once, as a
    // download's ending starts it; only one whose application does not start ends the run.
    if (!updateModulesLink::get().applicationRunning(0)) {
        addMessageUpdater(QStringLiteral("   PXM-spare in bootloader state detected."), -1);
        if (!updateModulesLink::get().restartAfterDownload(0))
            return fail(1, QStringLiteral("PXM in Bootloader"),
                        {QStringLiteral("   The application of the PXM-spare does not start.")}, message(14));
        addMessageUpdater(QStringLiteral("   Application of the PXM-spare started."), -1);
    }
    addMessageUpdater(QStringLiteral("   CAN-Bus connected to ") +
                          (g_isMBusConnection ? QStringLiteral("M-Bus") : QStringLiteral("S-Bus")),
                      -1);
    updateModulesLink::get().setUserRights();
    m_w.setText(1, QStringLiteral("Connected to KELB"), UpdateWindow::green);
    goTo(2);
}

// ---- Steps 2 and 10: system information ----

void UpdateRun::step2Entry() { updateModulesLink::get().login(); }

void UpdateRun::requestSystemInfo() {
    if (m_tickCounter >= 1 && m_tickCounter <= 3) setServiceBit(1, m_tickCounter);
}

void UpdateRun::decideEngineType() {
    if (m_info.developerNo <= 0 || m_info.engineTypeSymbols != SystemInfo::notDecided) return;
    const bool longType = m_info.developerNo % 1000 >= 311;
    const int symbols = longType ? 8 : 4;
    const QString item = longType ? QStringLiteral("PAR_SWINFO_ENGINE_TYPE_LONG") : QStringLiteral("PAR_SWINFO_ENGINE_TYPE");
    bool isNumber = false;
    const qint32 first = g_getMiscItem(item, QString()).trimmed().toInt(&isNumber);
    g_symSwInfoEngineType = isNumber ? first : 0;
    m_info.decideEngineType(symbols);
    for (int i = 0; i < symbols; ++i) canMasterLink::get().g_setServiceBit(g_symSwInfoEngineType + i, 1);
}

void UpdateRun::step2() {
    requestSystemInfo();
    decideEngineType();
    if (m_info.complete()) {
        // Shown done like every other step that succeeded, not left as running.
        m_w.setText(2, QString(), UpdateWindow::green);
        goTo(3);
    } else if (timeOut(20)) {
        // Only a read that did not complete on this tick has timed out.
        setServiceBit(0, 0);
        m_w.setText(2, QString(), UpdateWindow::red);
        prompt(message(21), false, true);
        m_updateFailed = true;
        goTo(11);
    }
    if (m_step != 2) logSystemInfo(false);
}

void UpdateRun::step10() {
    requestSystemInfo();
    if (m_info.complete()) {
        logSystemInfo(true);
        // The modules' own CRC proves which application they run: it must be the build's,
        // not merely the value the run wrote in step 9.
        const qint32 installed = m_info.crcValueAppl & 0xFFFF;
        if (installed != m_expectedApplCrc)
            return fail(10, QStringLiteral("Wrong Application"),
                        {sprintf(QStringLiteral("   Application CRC {*} after the update is not the CRC {*} of build {*}!"),
                                 g_toHex(installed), g_toHex(m_expectedApplCrc), m_build)},
                        message(102, {g_toHex(installed), g_toHex(m_expectedApplCrc)}));
        m_w.setText(10, QString(), UpdateWindow::green);
        goTo(11);
    } else if (timeOut(20)) {
        m_w.setText(10, QString(), UpdateWindow::red);
        addMessageUpdater(QStringLiteral("   Application could not be checked!"), -1);
        goTo(11);
        setServiceBit(0, 0);
        prompt(message(101), true, true);
        // Values that could not be read again do not make a successful update.
        m_updateFailed = true;
    }
}

void UpdateRun::logSystemInfo(bool afterUpdate) {
    const SystemInfo& i = m_info;
    const QString failed = QStringLiteral("reading failed");
    auto val = [&](bool received, const QVariant& v) { return afterUpdate || received ? v : QVariant(failed); };
    const QString suffix = afterUpdate ? QStringLiteral("   after  update") : QStringLiteral("   before update");
    auto line = [&](const char* format, QVariantList values, int beforeLine, int afterLine = -1) {
        addMessageUpdater(modStringFct::sprintfv(QString::fromLatin1(format), values), afterUpdate ? afterLine : beforeLine);
    };
    if (!afterUpdate) line("  Date/Time: {*}", {updateTime::nowText()}, -1);
    line("  Hull-Number: {*}", {val(i.hullNumber.parts >= 4, i.hullNumber.text)}, 1);
    line("  Engine Type: {*}", {val(i.engineType.parts >= i.engineTypeSymbols, i.engineType.text.trimmed())}, 2);
    line("  Application Build: {*}", {val(i.buildNo >= 1, i.buildNo)}, 3);
    line("  Application Developer: {*}", {val(i.developerNo >= 1, i.developerNo)}, 4);
    line("  Number of Cylinders: {*}", {val(i.noOfCyl >= 1, i.noOfCyl)}, 5);
    addMessageUpdater(modStringFct::sprintfv(QStringLiteral("  Appl-CRC: {*}   / Len: {*}"),
                                             {val(i.crcValueAppl >= 0, g_toHex(i.crcValueAppl)), val(i.crcLenAppl >= 1, i.crcLenAppl)}) +
                          suffix,
                      afterUpdate ? 7 : 6);
    addMessageUpdater(modStringFct::sprintfv(QStringLiteral("  IMO-CRC:  {*}   / Len: {*}"),
                                             {val(i.crcValueImo >= 0, g_toHex(i.crcValueImo)), val(i.crcLenImo >= 1, i.crcLenImo)}) +
                          suffix,
                      afterUpdate ? 9 : 8);
    const QString ad = i.autoDownload >= 1 ? QStringLiteral("ON") : i.autoDownload == 0 ? QStringLiteral("OFF") : failed;
    line("  Auto-Download: {*}", {ad}, -1);
}

// ---- Step 3: build ----

void UpdateRun::step3Entry() {
    const QString crcText = g_toHex(m_info.crcValueAppl);
    const QString entry = g_getMiscItem(crcText, QString());
    m_info.firstApplCrc = -1;
    m_expectedApplCrc = -1;
    if (entry.isEmpty()) {
        m_w.setText(3, QStringLiteral("Unknown Build"), UpdateWindow::red);
        addMessageUpdater(sprintf(QStringLiteral("   Build of Application with CRC={*} is unknown!"), crcText), -1);
        prompt(message(32), false, false);
        m_w.cmdExitUpdater->show();
        m_updateFailed = true;
        return goTo(11);
    }
    QString build;
    if (entry.startsWith(QLatin1String("new"))) {
        build = entry.mid(3);
        m_w.setText(3, sprintf(QStringLiteral("Build {*} Evaluated"), build), UpdateWindow::green);
        addMessageUpdater(sprintf(QStringLiteral("   Update is already installed for build {*} (CRC={*})"), build, crcText), -1);
        m_info.firstApplCrc = m_info.crcValueAppl;
        m_expectedApplCrc = m_info.crcValueAppl & 0xFFFF;
        m_updateNotNecessary = true;
    } else {
        build = entry;
        m_w.setText(3, sprintf(QStringLiteral("Build {*} Evaluated"), build), UpdateWindow::green);
        addMessageUpdater(sprintf(QStringLiteral("   Build {*} detected ( CRC={*} / Len={*} )"), build, crcText, m_info.crcLenAppl), -1);
        const QString newest = g_getMiscItemRev(QStringLiteral("new") + build, -1).trimmed().toUpper();
        bool ok = false;
        const qint32 crc = newest.startsWith(QLatin1String("0X")) ? qint32(newest.mid(2).toUInt(&ok, 16)) : newest.toInt(&ok);
        m_info.firstApplCrc = ok ? crc : -1;
        // Without a newest row the look-up gives -1: no CRC is known.
        m_expectedApplCrc = m_info.firstApplCrc >= 0 ? m_info.firstApplCrc & 0xFFFF : -1;
    }
    goTo(4);
    takeBuild(build);
}

void UpdateRun::takeBuild(const QString& build) {
    m_build = build;
    const QString name = g_getMiscItem(QStringLiteral("appl_") + build, QString());
    // An installed program keeps its load files beside the configuration database.
    const QString programFile = QDir(updateModulesLink::get().programDir()).filePath(name);
    const QString configFile = QDir(g_configDir).filePath(name);
    m_applFile = name.isEmpty() ? QString()
                 : QFileInfo::exists(programFile) || !QFileInfo::exists(configFile) ? programFile
                                                                                    : configFile;
    updateModulesLink::get().setApplicationFile(m_applFile);
}

// The memory layout follows the file's start address; read only from a file that converted,
// so that a damaged one is refused by the check, not by the error handler.
void UpdateRun::takeMemoryLayout(const QString& file) {
    g_bigMem = applicationTypeLink::get().g_getApplStartAddr(file) >= 0x100000;
    g_baseAdrAppl = hexValue(g_getMiscItem(QStringLiteral("baseAdrAppl_") + (g_bigMem ? "bigMem" : "smallMem"), 0));
    if (g_baseAdrAppl == 0) g_baseAdrAppl = g_bigMem ? 0x100000 : 0x30000;
}

QStringList UpdateRun::loadFileFault(const QString& file) const {
    using namespace modApplicationMode;
    if (file.isEmpty()) return {sprintf(QStringLiteral("   No application load file is named for build {*}!"), m_build)};
    const QString name = QDir::toNativeSeparators(file);
    if (!QFileInfo(file).isFile()) return {sprintf(QStringLiteral("   Application load file {*} not found!"), name)};
    const ImageCrc image = imageCrc(file);
    if (!image.read)
        return {sprintf(QStringLiteral("   Application load file {*} is damaged (no S-record image)!"), name),
                QStringLiteral("      ") + image.error};
    ApplicationTypeLink& types = applicationTypeLink::get();
    const qint32 fileType = types.g_checkAppFileType(file);
    const qint32 modules = types.g_checkAppConnectionType();
    if (modules == appNone || modules == appNotDetermined)
        return {QStringLiteral("   Application type of the modules could not be read!")};
    if (fileType != modules)
        return {sprintf(QStringLiteral("   Application load file {*} is a {*} application, the modules run {*}!"), name,
                        typeName(fileType), typeName(modules))};
    // The file must be the build's newest application, as the check after the update
    // would find too late, with the modules flashed.
    if (m_expectedApplCrc >= 0 && image.crc != m_expectedApplCrc)
        return {sprintf(QStringLiteral("   Application load file {*} has the application CRC {*}, not the newest CRC {*} of build {*}!"),
                        name, g_toHex(image.crc), g_toHex(m_expectedApplCrc), m_build)};
    return {};
}

// Before the update prompt: a load file that cannot go to these modules ends the run while
// every module still runs its application.
bool UpdateRun::loadFileFits() {
    const QString file = m_applFile.isEmpty() ? QString() : updateModulesLink::get().sentFile(m_applFile);
    const QStringList fault = loadFileFault(file);
    if (fault.isEmpty()) {
        if (m_expectedApplCrc < 0)
            addMessageUpdater(sprintf(QStringLiteral("   The build table names no newest application CRC for build {*}: "
                                                     "the load file was not checked against it."),
                                      m_build),
                              -1);
        takeMemoryLayout(file);
        return true;
    }
    QStringList shown;
    for (const QString& line : fault) shown << line.trimmed();
    fail(4, QStringLiteral("Load File Rejected"), fault, message(44, {shown.join(QLatin1Char(' '))}));
    return false;
}

// ---- Step 4: modules ----

void UpdateRun::step4Entry() {
    if (m_info.autoDownload == 0) {
        prompt(message(41), false, false);
        addMessageUpdater(QStringLiteral("   Autodownload is not activated yet!"), -1);
        writeAutoDownload(-1);
        m_autoDownloadWritten = true;
        return;
    }
    checkModules();
}

void UpdateRun::step4() {
    if (m_askingCylinders) {
        if (cylinderCrcsIn() || timeOut(15)) selectOutdatedModules();
        return;
    }
    // Once written, the activation needs a restart of the system whatever the modules
    // publish meanwhile, so the wait always ends.
    if (!m_autoDownloadWritten || !timeOut(15)) return;
    m_w.setText(4, QString(), UpdateWindow::red);
    prompt(message(42), false, true);
    addMessageUpdater(QStringLiteral("   Autodownload-Activation done --> reboot of KELB necessary."), -1);
    m_updateFailed = true;
    goTo(11);
}

void UpdateRun::checkModules() {
    UpdateModulesLink& link = updateModulesLink::get();
    std::vector<int> missing;
    int present = 0;
    // A cylinder count beyond the last module names modules that cannot be there.
    for (int i = 0; i <= m_info.noOfCyl; ++i) {
        if (i < moduleCount && (link.applicationRunning(i) || link.bootloaderRunning(i)))
            ++present;
        else
            missing.push_back(i);
    }
    if (!missing.empty()) {
        const QString list = moduleList(missing);
        return fail(4, QString(),
                    {sprintf(QStringLiteral("   Not all PXM's detected (only {*} of {*})!"), present, m_info.noOfCyl + 1),
                     sprintf(QStringLiteral("   Following PXM's are missing: {*}!"), list)},
                    message(43, {list}));
    }
    m_w.setText(4, QStringLiteral("All PXM Detected"), UpdateWindow::green);
    addMessageUpdater(sprintf(QStringLiteral("  All PXM's detected (Total {*} + 1 spare)"), m_info.noOfCyl), -1);
    m_selection.fill(false);
    // Module 0's CRC says nothing of a cylinder an earlier run left with its old program.
    if (m_updateNotNecessary) return askCylinderCrcs();
    if (!loadFileFits()) return;
    for (int i = 0; i < moduleCount; ++i) m_selection[i] = link.moduleSelectable(i);
    m_w.cmdOk->setText(QStringLiteral("Update"));
    prompt(message(61, eightValues()), true, true);
    goTo(7);
}

// ---- Step 7: download ----

void UpdateRun::step7Entry() {
    for (int i = 0; i < moduleCount; ++i) m_moduleDone[i] = !m_selection[i];
    m_w.prgProgressLoad->setFraction(0);
    m_w.frmProgressPxm->show();
    updateModulesLink::get().download(m_selection, m_moduleDone);
}

void UpdateRun::step7() {
    if (m_stepEntry || !timeOut(2)) return;
    m_w.frmProgressPxm->hide();
    std::vector<int> failed;
    for (int i = 0; i <= m_info.noOfCyl && i < moduleCount; ++i)
        if (!m_moduleDone[i]) failed.push_back(i);
    if (failed.empty()) {
        addMessageUpdater(QStringLiteral("   Application Update for all PXM's successfully downloaded."), -1);
        m_w.setText(7, QString(), UpdateWindow::green);
        return goTo(8);
    }
    const QString list = moduleList(failed);
    if (m_moduleDone[0]) {
        prompt(message(72, {list}), false, true);
        m_w.cmdOpenReport->setText(QStringLiteral("Open Instruction"));
        m_w.cmdOpenReport->show();
        addMessageUpdater(QStringLiteral("   Not all PXM's successfully downloaded."), -1);
        addMessageUpdater(sprintf(QStringLiteral("   Following PXM's failed: {*}!"), list), -1);
    } else {
        prompt(message(71), false, true);
        addMessageUpdater(QStringLiteral("   Spare-PXM is not downloaded!"), -1);
    }
    m_w.setText(7, QString(), UpdateWindow::red);
    m_updateFailed = true;
    goTo(11);
}

// ---- Step 8: start ----

void UpdateRun::step8Entry() {
    Selection all{};
    for (int i = 0; i <= m_info.noOfCyl && i < moduleCount; ++i) all[i] = true;
    updateModulesLink::get().startApplication(all);
}

void UpdateRun::step8() {
    std::vector<int> stopped;
    for (int i = 0; i <= m_info.noOfCyl && i < moduleCount; ++i)
        if (!updateModulesLink::get().applicationRunning(i)) stopped.push_back(i);
    if (stopped.empty()) {
        m_w.setText(8, QStringLiteral("Application started"), UpdateWindow::green);
        addMessageUpdater(QStringLiteral("  KELB started."), -1);
        return goTo(m_info.firstApplCrc == -1 || m_updateNotNecessary || m_updateCanceled ? 11 : 9);
    }
    if (!timeOut(5)) return;
    m_w.setText(8, QString(), UpdateWindow::red);
    prompt(message(81), false, true);
    addMessageUpdater(QStringLiteral("   Not all PXM's started application."), -1);
    addMessageUpdater(sprintf(QStringLiteral("   Following PXM's did not start: {*}!"), moduleList(stopped)), -1);
    // A module left without its application is no successful update.
    m_updateFailed = true;
    goTo(11);
}

// ---- Step 9: application CRC ----

void UpdateRun::step9Entry() {
    updateModulesLink::get().login();
    writeApplicationCrc(m_info.firstApplCrc);
    m_info.crcValueAppl = m_info.firstApplCrc;
    m_info.firstApplCrc = -1;
    canMasterLink::get().g_setServiceBit(g_symCrcFirstApplication, 1);
}

void UpdateRun::step9() {
    if (m_info.firstApplCrc >= 0) {
        if (m_info.firstApplCrc == m_info.crcValueAppl) {
            m_w.setText(9, QString(), UpdateWindow::green);
            addMessageUpdater(QStringLiteral("   Appl CRC set"), -1);
            return goTo(m_updateNotNecessary ? 11 : 10);
        }
        m_tickCounter = 100;
    }
    if (!timeOut(10)) return;
    m_w.setText(9, QString(), UpdateWindow::red);
    addMessageUpdater(QStringLiteral("   Appl CRC not set!"), -1);
    goTo(10);
    canMasterLink::get().g_setServiceBit(g_symCrcFirstApplication, 0);
    prompt(message(91), true, true);
    // An application CRC that the modules did not confirm is no successful update.
    m_updateFailed = true;
}

// ---- Step 11: done ----

void UpdateRun::step11Entry() {
    m_finished = true;
    // A failure decides first: a run that failed after finding the update installed
    // must not read as "not necessary".
    if (m_updateFailed) {
        addMessageUpdater(QStringLiteral("  Update failed"), -1);
        // After OK at a failed CRC write or check no prompt offers a way out: this does.
        m_w.cmdExitUpdater->show();
    } else if (m_updateNotNecessary) {
        m_w.setText(11, QStringLiteral("Update not necessary"), UpdateWindow::green);
        addMessageUpdater(QStringLiteral("  Application is Up-To-Date (Update is already done)"), -1);
        prompt(message(31), false, true);
    } else if (m_updateCanceled) {
        addMessageUpdater(QStringLiteral("  Update canceled"), -1);
        prompt(message(112), false, true);
    } else {
        prompt(message(111, eightValues()), false, true);
        m_w.setText(11, QString(), UpdateWindow::green);
    }
    m_w.cmdExitUpdater->setText(QStringLiteral("Finish"));
    m_w.cmdOpenReport->show();
    m_w.timCyclic.setEnabled(false);
}
