#include "runfixture.h"

#include "can/modapplicationmode.h"
#include "cansim/cansim.h"
#include "cansim/mainwindowlinks.h"
#include "crclibrary/crclibrary.h"
#include "desktop/timeservice.h"
#include "mainwindow/vbcontrols.h"
#include "services/modglobal.h"
#include "services/srecord.h"
#include "app/wiring.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace modGlobal;

namespace runtest {

QByteArray le32(qint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}

QByteArray text4(const char* s) { return QByteArray(s, 4); }

const SystemSymbol& setter(const char* name) {
    for (const SystemSymbol& row : systemSymbols)
        if (QLatin1String(row.setter) == QLatin1String(name)) return row;
    throw std::invalid_argument(name);
}

qint32 FakeApplicationType::g_checkAppFileType(const QString& f) { return modApplicationMode::g_checkAppFileType(f); }

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeLoadFile(const QString& path, const QByteArray& marker, quint16 crc) {
    QByteArray image = marker + QByteArray(1, '\0');
    while (image.size() < 254) image += char(image.size() * 7);
    // Two last bytes give the image the application CRC the build table names.
    const quint16 running = CrcCalculation(image.constData(), qint32(image.size()), 0);
    for (int tail = 0; tail <= 0xFFFF; ++tail) {
        const char bytes[2] = {char(tail >> 8), char(tail & 0xFF)};
        if (CrcCalculation(bytes, 2, running) != crc) continue;
        image.append(bytes, 2);
        break;
    }
    ASSERT_EQ(image.size(), 256);
    ASSERT_TRUE(modDownload::g_binToSRec(image, 0x30000, "S28", path));
}

FakeSite::FakeSite() {
    // A site of three cylinders on build B7, everything in its application.
    for (int i = 0; i <= 3; ++i) app[i] = true;
    published[symHull + 0] = text4("HULL");
    published[symHull + 1] = text4("-NO-");
    published[symHull + 2] = text4("4711");
    published[symHull + 3] = text4("    ");
    published[symEngine + 0] = text4("8RT-");
    published[symEngine + 1] = text4("flex");
    published[symEngine + 2] = text4("50  ");
    published[symEngine + 3] = text4("    ");
    published[symBuild] = le32(7);
    published[symDeveloper] = le32(2105);
    published[symCylinders] = le32(3);
    published[symAutoDownload] = le32(1);
    published[symCrcImo] = le32(0xABCD);
    published[symCrcLenImo] = le32(512);
    published[symCrcAppl] = le32(oldCrc);
    published[symCrcLenAppl] = le32(65536);
}

void FakeSite::download(const moduleProtocol::Selection& modules, moduleProtocol::Selection& done) {
    calls << "download";
    downloaded = modules;
    if (duringDownload) duringDownload();
    for (int i = 0; i < moduleProtocol::moduleCount; ++i) {
        if (!modules[i]) continue;
        // The manual download restarts the applications of the modules it loaded.
        if (!downloadFails.count(i)) done[i] = true;
        boot[i] = downloadFails.count(i) > 0;
        app[i] = !boot[i] && !startFails.count(i);
    }
    published[symCrcAppl] = le32(installedCrc);
}

void FakeSite::startApplication(const moduleProtocol::Selection& modules) {
    calls << "startApplication";
    for (int i = 0; i < moduleProtocol::moduleCount; ++i) {
        if (!modules[i] || startFails.count(i)) continue;
        app[i] = true;
        boot[i] = false;
    }
}

void FakeSite::initConnection(bool, bool, bool& ok) {
    ++connects;
    ok = busUp;
    if (busUp && modulesAnswer) canMasterLink::get().set_g_bootupReceived(true);
    if (duringSetUp) duringSetUp();
}

void FakeSite::setServiceBit(qint32 key, int value) {
    serviceBits.push_back({key, value});
    if (value != 1 || silentKeys.count(key)) return;
    if (const auto own = publishedByKey.find(key); own != publishedByKey.end()) {
        pending.push_back({key, own->second});
        return;
    }
    const auto it = published.find(moduleProtocol::symbolOfKey(key));
    if (it != published.end()) pending.push_back({key, it->second});
}

void FakeSite::writeSymbol(qint32 symbol, int kind, const QByteArray& value) {
    writes.push_back({symbol, value});
    if (symbol == symFirstCrc && !silentEcho) published[symFirstCrc] = echo ? le32(*echo) : value;
}

void RunTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    answers = std::make_unique<testsupport::ScriptedAnswerer>();
    cansim::recordErrors(errors);
    cansim::resetModGlobalsAndPaths();
    g_isMBusConnection = true;
    g_symSwInfoEngineType = 0;
    g_toolTitle = QStringLiteral("KELB-3817 Update Tool");
    site.programFolder = dir.path();
    updateModulesLink::install(&site);
    applicationTypeLink::install(&appType);
    master.onSetServiceBit = [this](qint32 key, quint8 state) {
        site.setServiceBit(key, state);
        return true;
    };
    master.onWriteSymbol = [this](qint32 key, qint16 cylNo, const QByteArray& value) {
        site.writeSymbol(key, cylNo, value);
        return true;
    };
    // Only the info block is read through the bootloader's node; any other object fails.
    master.onReadSDO = [this](quint8 node, qint32 index, quint8 section, QByteArray& data) {
        return index == moduleProtocol::idxInfoBlock && site.readInfoBlock(node - g_cobIdBootloader, section, data);
    };
    canMasterLink::install(&master);
}

void RunTest::TearDown() {
    run.reset();
    w.reset();
    updateModulesLink::install(nullptr);
    cansim::resetMainWindowLinks();
    cansim::resetModGlobalsAndPaths();
    g_symSwInfoEngineType = 0;
    answers.reset();
    ErrPtnr::errorHandlerLink::install(nullptr);
}

void RunTest::makeConfig(const std::set<int>& okTexts, const std::map<QString, QString>& extra) {
    const QString config = QDir(dir.path()).filePath("config");
    QDir().mkpath(config);
    g_configDbPath = QDir(config).filePath("pxmloader-Config.mdb");
    g_configDir = config;
    auto db = cansim::createConfigDatabase(g_configDbPath);
    std::map<QString, QString> items = {
        {"numRequiredCylinders", "3"},
        {"PAR_CRC_FIRST_APPLICATION", QString::number(symFirstCrc)},
        {"PAR_TOT_NO_OF_CYL", QString::number(symCylinders)},
        {"PAR_SWINFO_BUILD", QString::number(symBuild)},
        {"PAR_SWINFO_DEVELOPER_NO", QString::number(symDeveloper)},
        {"PAR_SWINFO_HULL_NO", QString::number(symHull)},
        {"PAR_AUTO_DOWNLD_ACTIVATE", QString::number(symAutoDownload)},
        {"GLB_CRC_VALUE_IMO", QString::number(symCrcImo)},
        {"GLB_CRC_LEN_IMO", QString::number(symCrcLenImo)},
        {"GLB_CRC_VALUE_APPLICATION", QString::number(symCrcAppl)},
        {"GLB_CRC_LEN_APPLICATION", QString::number(symCrcLenAppl)},
        {"PAR_SWINFO_ENGINE_TYPE", QString::number(symEngine)},
        {"PAR_SWINFO_ENGINE_TYPE_LONG", QString::number(symEngineLong)},
        {"0x1111", "B7"},
        {"0x2222", "newB7"},
        {"appl_B7", "PXM_application.s19"},
    };
    for (const auto& [k, v] : extra) items[k] = v;
    for (const auto& [k, v] : items)
        if (!v.isNull()) db->Execute("INSERT INTO miscellaneous (item, value) VALUES (?, ?)", {k, v});
    QList<int> ids = {1, 11, 12, 13, 14, 21, 31, 32, 41, 42, 43, 44, 61, 63, 71, 72, 73, 81, 91, 101, 102, 111, 112};
    for (int step : {1, 2, 3, 4, 7, 8, 9, 10, 11}) ids << 10 * step;
    for (int id : ids) {
        if (textsMissing.count(id)) continue;
        QString text = QStringLiteral("T%1").arg(id);
        if (id == 12 || id == 43 || id == 44 || id == 72) text += QStringLiteral(" {*}");
        if (id == 102) text += QStringLiteral(" {*}|{*}");
        if (id == 61 || id == 111) text += QStringLiteral(" {*}|{*}|{*}|{*}|{*}|{*}|{*}|{*}");
        if (id == 63) text += QStringLiteral(" {*}|{*}|{*}|{*}|{*}|{*}|{*}|{*} in bootloader: {*}");
        db->Execute("INSERT INTO messages (MessageID, MessageText, okButton) VALUES (?, ?, ?)",
                    {id, text, okTexts.count(id) ? -1 : 0});
    }
    db->Close();
    ASSERT_TRUE(g_iniGlobals());
    writeLoadFile(loadFilePath());
}

void RunTest::exitWithFailedReport() {
    pressExit();
    tick();
    EXPECT_TRUE(reportText().contains("KELB-3817 Software update failed. Find more details in the report below."));
    EXPECT_FALSE(reportText().contains("KELB-3817 Software is successfully updated."));
}

QString RunTest::loadFilePath() const { return QDir(dir.path()).filePath("PXM_application.s19"); }

void RunTest::start() {
    w = std::make_unique<UpdateWindow>();
    run = std::make_unique<UpdateRun>(*w);
    run->showUpdater();
}

void RunTest::drain(UpdateRun& r) {
    auto pending = std::move(site.pending);
    site.pending.clear();
    for (auto& [key, v] : pending) {
        qint32 k = key;
        if (const SystemSymbol* row = systemSymbolOf(moduleProtocol::symbolOfKey(k))) r.setSystemValue(*row, v, k);
    }
}

bool RunTest::tick() {
    if (!w->timCyclic.isEnabled()) return false;
    drain();
    run->tick();
    return true;
}

bool RunTest::promptShown() const { return !w->cmdOk->isHidden() || !w->cmdExitUpdater->isHidden(); }

void RunTest::pressOk() { w->cmdOk->click(); }
void RunTest::pressExit() { w->cmdExitUpdater->click(); }

bool RunTest::tickUntil(const std::function<bool()>& pred, int max, bool pressOk) {
    for (int i = 0; i < max; ++i) {
        if (pred()) return true;
        if (!w->timCyclic.isEnabled()) {
            if (!pressOk || w->cmdOk->isHidden()) return pred();
            w->cmdOk->click();
        }
        tick();
    }
    return pred();
}

bool RunTest::reachWork(int step, bool pressOk) {
    // The step's entry ran once the counter has moved past 1 in that step.
    return tickUntil([&] { return run->step() == step && run->inStepWork(); }, 400, pressOk);
}

QString RunTest::userText() const { return w->txtUserInfo->toPlainText(); }

QStringList RunTest::log() const {
    QStringList lines;
    for (int i = 0; i < w->lstMessageUpdater->count(); ++i) lines << w->lstMessageUpdater->item(i)->text();
    return lines;
}

quint32 RunTest::fieldColour(int step) const { return vbControls::backColor(w->txtStep[step]); }

QString RunTest::reportText() const {
    QFile f(UpdateRun::reportPath(site.programFolder));
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLatin1(f.readAll());
}

void WiredRunTest::SetUp() {
    RunTest::SetUp();
    makeConfig({61});
    main = std::make_unique<frmMain>();
    main->setProgramFile(QDir(dir.path()).filePath("pxmloader"));
    wired = &wiring::install(*main);
    // The program's own main window of the run places the window; the modules and the error
    // record are the test's.
    updateModulesLink::install(nullptr);
    wired->showUpdater();
    updateModulesLink::install(&site);
    cansim::recordErrors(errors);
}

void WiredRunTest::TearDown() {
    wiring::uninstall();
    main.reset();
    RunTest::TearDown();
}

bool WiredRunTest::runUntil(const std::function<bool()>& pred, int max) {
    UpdateWindow& v = wired->window();
    for (int i = 0; i < max && !pred(); ++i) {
        if (!v.timCyclic.isEnabled()) {
            if (v.cmdOk->isHidden()) break;
            v.cmdOk->click();
        }
        drain(*wired);
        wired->tick();
    }
    return pred();
}

}  // namespace runtest
