// End to end: the program's start-up on a folder written for a simulated site, and the CAN
// master on that site's bus, in real time.
#include "sitefixture.h"

#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/modapplicationmode.h"
#include "can/modconnectionstatus.h"
#include "config/loadfiles.h"
#include "dao/dao.h"
#include "lib/pxmmodules.h"
#include "mainwindow/vbcontrols.h"
#include "services/modglobal.h"
#include "services/srecord.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace e2e;
using moduleProtocol::ModuleState;

namespace {

QStringList rowTags(const frmMain& w) {
    QStringList tags;
    for (auto* c : w.chkLoadSection) tags << vbControls::tag(c);
    return tags;
}

QList<bool> rowsShown(const frmMain& w) {
    QList<bool> shown;
    for (int pos = 0; pos < frmMain::sectionRows; ++pos)
        shown << (w.chkLoadSection[pos]->isVisibleTo(&w) && w.txtEmh[pos]->isVisibleTo(&w));
    return shown;
}

// The `loadFiles` rows of a kind, read the way the look-up reads them.
struct Row {
    int section;
    QString fileName;
};
std::vector<Row> loadFileRows(const QString& kind) {
    auto db = dao::OpenDatabase(modGlobal::g_configDbPath, false, true);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM loadFiles WHERE module=? AND fileType='OUT' ORDER BY section"),
                                {kind});
    std::vector<Row> rows;
    for (; !rs->eof(); rs->MoveNext()) rows.push_back({rs->Value("section").toInt(), rs->Value("fileName").toString()});
    return rows;
}

}  // namespace

// The update start-up on the written folder finds the database, takes the simulator's
// symbol numbers and the base addresses of the load files' layout, and shows its rows.
TEST_F(SiteTest, UpdateStartUpTakesTheSiteConfiguration) {
    startSite("mbus", 3);
    formLoad(QString());
    using namespace modGlobal;
    EXPECT_TRUE(errors.empty()) << errors.front().description.toStdString();
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
    EXPECT_TRUE(w->isVisible());

    EXPECT_EQ(g_configDbPath, filePath("pxmloader-Config.mdb"));
    EXPECT_EQ(w->txtFileDirectory->text(), dir.path());
    EXPECT_TRUE(g_updateMode);
    EXPECT_EQ(g_moduleKind, "PXM");
    EXPECT_EQ(g_numRequiredCylinders, 3);

    const std::pair<const char*, qint32> symbols[] = {
        {"GLB_CAN_MODULE_STATE_RO", g_symModuleStateRO},       {"GLB_CAN_MODULE_STATE_RW", g_symModuleStateRW},
        {"GLB_CAN_SW_UPDATE_STATE_RO", g_symSwUpdateStateRO},  {"GLB_CAN_SW_UPDATE_FAILURE_RO", g_symSwUpdateFailureRO},
        {"GLB_ENG_STSTILL", g_symEngStandstill},               {"PAR_CRC_FIRST_APPLICATION", g_symCrcFirstApplication},
        {"PAR_TOT_NO_OF_CYL", g_symTotNoOfCyl},                {"PAR_SWINFO_BUILD", g_symSwInfoBuild},
        {"PAR_SWINFO_DEVELOPER_NO", g_symSwInfoDeveloperNo},   {"PAR_SWINFO_HULL_NO", g_symSwInfoHullNo},
        {"PAR_AUTO_DOWNLD_ACTIVATE", g_symAutoDownloadActivate}, {"GLB_CRC_VALUE_IMO", g_symCrcValueImo},
        {"GLB_CRC_LEN_IMO", g_symCrcLenImo},                   {"GLB_CRC_VALUE_APPLICATION", g_symCrcValueApplication},
        {"GLB_CRC_LEN_APPLICATION", g_symCrcLenApplication},
    };
    for (const auto& [name, number] : symbols) {
        EXPECT_NE(number, 0) << name;
        EXPECT_EQ(number, profile.symbolNumber(QString::fromLatin1(name))) << name;
    }

    EXPECT_EQ(rowTags(*w), QStringList({"6", "4", "7", "3", "-1"}));
    EXPECT_EQ(rowsShown(*w), QList<bool>({true, true, true, true, false}));
    EXPECT_TRUE(w->fraModuleState->isVisibleTo(w.get()));
    for (int m = 0; m < frmMain::moduleCount; ++m) EXPECT_TRUE(w->chkProgram[m]->isVisibleTo(w.get())) << m;
    EXPECT_EQ(w->lblCylinderNumber[0]->text(), "Sp");

    // The application file lies in the small layout, whose base addresses the items give.
    EXPECT_FALSE(g_bigMem);
    EXPECT_EQ(modApplicationMode::g_getApplStartAddr(filePath("PXM_application.s19")), 0x30000);
    EXPECT_EQ(g_baseAdrAppl, 0x30000);
    EXPECT_EQ(g_baseAdrDC, 0xC0000);
    EXPECT_EQ(g_baseAdrFPGA, 0xD0000);
}

// Every file the `loadFiles` table names is in the program-file directory, reads as
// S-records with the image the writer put there, and lies where its section may be
// programmed; the application carries the marker of the KELB application type.
TEST_F(SiteTest, LoadFilesOfTheSiteAreThereAndFitTheirSections) {
    startSite("mbus", 1);
    formLoad(QString());
    const std::vector<Row> rows = loadFileRows("PXM");
    ASSERT_EQ(rows.size(), 4u);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fileName.toStdString());
        const QString path = QDir(w->txtFileDirectory->text()).filePath(r.fileName);
        QByteArray image;
        qint32 start = 0;
        ASSERT_TRUE(modDownload::g_sRecToBin(path, image, start));
        simconfig::LoadFile expected;
        for (const simconfig::LoadFile& f : simconfig::loadFiles("PXM"))
            if (f.section == r.section) expected = f;
        EXPECT_EQ(start, qint32(expected.address));
        EXPECT_EQ(image, simconfig::image(expected));
        EXPECT_TRUE(modDownload::checkInfoBlock(r.section, start));
    }
    EXPECT_EQ(modApplicationMode::g_checkAppFileType(filePath("PXM_application.s19")), modApplicationMode::appKELB);
    EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
}

// The manual start-up for QTM looks the load files up with the rows' design section ids,
// which the site's table carries for both QTM files.
TEST_F(SiteTest, QtmStartUpShowsTheSitesLoadFiles) {
    startSite("qtm", 0);
    formLoad("/QTM /develop");
    using namespace modGlobal;
    EXPECT_TRUE(errors.empty()) << errors.front().description.toStdString();
    EXPECT_EQ(ends, 0);
    EXPECT_FALSE(g_updateMode);
    EXPECT_EQ(g_moduleKind, "QTM");
    EXPECT_EQ(g_applicationType, modApplicationMode::appQTM);
    EXPECT_EQ(w->windowTitle(), "KELB-3817 Update Tool     for QTM");
    EXPECT_EQ(rowTags(*w), QStringList({"2", "-1", "-1", "1", "-1"}));
    EXPECT_EQ(rowsShown(*w), QList<bool>({true, false, false, true, false}));

    const QStringList log = logLines();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& l) { return l.startsWith("CHECK LOAD FILES "); }));
    EXPECT_EQ(w->txtEmh[0]->text(), filePath("QTM_application.s19"));
    EXPECT_EQ(w->txtEmh[3]->text(), filePath("QTM_Bootloader.S19"));
    EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
    // The site's configuration holds every user text the commands show.
    for (int id : {1, 4, 5, 7, 8, 73}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(g_getUserMessage(id).startsWith("Application Mode Specific Message text not found"));
    }
}

// The CAN master opens the site's bus with the configured plugin, interface and node-id
// bases, and finds module 0's application where the simulator runs it.
struct BusCase {
    const char* profile;
    const char* switches;
    const char* busName;
    bool darvo;
    quint8 deviceNo;
    qint16 applicationBase;
    const char* deviceName;
};

void PrintTo(const BusCase& c, std::ostream* os) { *os << c.profile; }

class SiteBus : public SiteTest, public ::testing::WithParamInterface<BusCase> {};

TEST_P(SiteBus, MasterOpensTheSimulatedBusAndReachesModuleZero) {
    const BusCase& c = GetParam();
    startSite(c.profile, 2);
    formLoad(c.switches);
    ASSERT_TRUE(errors.empty()) << errors.front().description.toStdString();

    frmCANopen& master = frmCANopen::instance();
    QStringList lines;
    int failedMarks = 0;
    const CanMessageForm form{[&](const QString& t) { lines << t; }, [&](bool f) { failedMarks += f; }};
    double version = 0;
    ASSERT_TRUE(master.g_initialise(form, version, QString::fromLatin1(c.busName), c.darvo, c.deviceNo))
        << lines.join('\n').toStdString();
    EXPECT_EQ(failedMarks, 0);
    EXPECT_EQ(modGlobal::g_cobIdApplication, c.applicationBase);
    ASSERT_TRUE(master.g_setOperational(0, true));

    QByteArray name;
    qint32 length = 0;
    ASSERT_TRUE(master.g_readSDO(quint8(c.applicationBase), 0x1008, 0, length, name, false, true));
    EXPECT_EQ(name, QByteArray(c.deviceName));
    EXPECT_TRUE(waitFor([] { return modConnectionStatus::g_getModuleStatus(0) == ModuleState::application; }))
        << "module 0's heartbeat as its application's";
    EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Profiles, SiteBus,
                         ::testing::Values(BusCase{"mbus", "", "M-Bus", false, 255, 0x11, "KELB-3817 PXM-20 #00"},
                                           BusCase{"qtm", "/QTM /develop", "S-Bus for DARVO", true, 0, 0x50, "QTM-20 #00"},
                                           BusCase{"bzm", "/BZM /develop", "S-Bus for DARVO", true, 0, 0x30, "BZM-20 #00"}),
                         [](const auto& info) { return std::string(info.param.profile); });

// The symbol numbers agree end to end: a publication switched on under the configured
// number reaches the update run's setter with the simulator's value.
TEST_F(SiteTest, SymbolsPublishedUnderTheConfiguredNumbersReachTheUpdateRun) {
    startSite("mbus", 3);
    formLoad(QString());
    frmCANopen& master = frmCANopen::instance();
    double version = 0;
    ASSERT_TRUE(master.g_initialise(CanMessageForm{}, version, QStringLiteral("M-Bus"), false, 255));
    ASSERT_TRUE(master.g_setOperational(0, true));
    ASSERT_TRUE(waitFor([] { return modConnectionStatus::g_getModuleStatus(0) == ModuleState::application; }));

    ASSERT_TRUE(master.g_setServiceBit(modGlobal::g_symTotNoOfCyl, 1));
    ASSERT_TRUE(master.g_setServiceBit(modGlobal::g_symSwInfoBuild, 1));
    ASSERT_TRUE(waitFor([&] { return updater.values.size() >= 2; }));
    std::map<QString, QByteArray> got(updater.values.begin(), updater.values.end());
    EXPECT_EQ(got["NoOfCyl"], QByteArray::fromHex("03000000"));
    EXPECT_EQ(got["Build"], QByteArray::fromHex("d2040000"));  // 1234
    EXPECT_TRUE(errors.empty());
}
