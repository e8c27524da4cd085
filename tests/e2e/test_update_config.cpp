// The configuration a simulated PXM site gets for the update run, read back through the
// program's own look-ups: the build table that knows the simulated modules' application,
// the application load file, and every user text of the run with its values.
#include "sitefixture.h"

#include "config/loadfiles.h"
#include "config/updatetexts.h"
#include "dao/dao.h"
#include "lib/applicationimage.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <algorithm>
#include <iterator>
#include <set>

using namespace e2e;

TEST_F(SiteTest, TheBuildTableKnowsTheFactoryApplicationAndTheLoadFileAsItsNewest) {
    startSite("mbus", 3);
    formLoad(QString());
    using namespace modGlobal;
    const QString build = QString::fromLatin1(simconfig::kBuildName);
    simconfig::LoadFile application;
    for (const simconfig::LoadFile& f : simconfig::loadFiles("PXM"))
        if (f.section == 6) application = f;

    // The CRC module 0 publishes of its factory application names the build, and the
    // newest application of the build is the one in the load file.
    const qint32 factoryCrc = sim::applicationCrc(sim::factoryApplication());
    const qint32 newCrc = sim::applicationCrc(simconfig::image(application));
    EXPECT_EQ(g_getMiscItem(modStringFct::g_toHex(factoryCrc), QString()), build);
    EXPECT_EQ(g_getMiscItem(modStringFct::g_toHex(newCrc), QString()), "new" + build);
    EXPECT_EQ(g_getMiscItemRev("new" + build, -1), modStringFct::g_toHex(newCrc));
    EXPECT_EQ(g_getMiscItem("appl_" + build, QString()), application.fileName);
    EXPECT_TRUE(QFile::exists(filePath(application.fileName)));
    // A site of another build is unknown.
    EXPECT_EQ(g_getMiscItem(modStringFct::g_toHex(sim::applicationCrc(sim::factoryApplication(true))), QString()), "");
    EXPECT_TRUE(errors.empty());
}

TEST_F(SiteTest, EveryUserTextOfTheUpdateRunIsThereWithItsValuesAndButtons) {
    startSite("mbus", 3);
    formLoad(QString());
    struct Case {
        int id;
        int values;  // placeholders the run fills
        bool okButton;
    };
    const Case cases[] = {{1, 0, true},    {10, 0, false},  {20, 0, false},  {30, 0, false},  {40, 0, false},
                          {70, 0, false},  {80, 0, false},  {90, 0, false},  {100, 0, false}, {110, 0, false},
                          {11, 0, false},  {12, 1, false},  {13, 0, false},  {14, 0, false},  {21, 0, false},
                          {31, 0, false},  {32, 0, false},  {41, 0, false},  {42, 0, false},  {43, 1, false},
                          {61, 8, true},   {63, 9, true},   {71, 0, false},  {72, 1, false},  {73, 1, false},
                          {81, 0, false},  {91, 0, true},   {101, 0, true},  {111, 8, false}, {112, 0, false},
                          // The tool has its own wording of these; the simulated site keeps its rows.
                          {44, 1, false},  {102, 2, false}};
    auto db = dao::OpenDatabase(modGlobal::g_configDbPath, false, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const QString text = modGlobal::g_getUserMessage(c.id);
        ASSERT_FALSE(text.contains("not found")) << text.toStdString();
        EXPECT_FALSE(text.isEmpty());
        EXPECT_EQ(text.count('{'), c.values) << text.toStdString();
        // Filled as the run fills it, every placeholder takes a value and none is left.
        QVariantList values;
        for (int i = 0; i < c.values; ++i) values << (i == 2 ? QVariant(3) : QVariant(QStringLiteral("v%1").arg(i)));
        const QString filled = modStringFct::sprintfv(text, values);
        EXPECT_FALSE(filled.contains('{')) << filled.toStdString();
        auto rs = db->OpenRecordset(QStringLiteral("SELECT okButton FROM messages WHERE MessageID=?"), {c.id});
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->Value("okButton").toBool(), c.okButton);
    }
    EXPECT_TRUE(errors.empty());
}

namespace {
// The message numbers the program's sources ask for: texts fetched by number, the update
// run's outcome texts, the texts shown by number and the text of every step the run enters.
std::set<int> messageNumbersInSources() {
    std::set<int> used;
    const QRegularExpression fetched(QStringLiteral(R"((?:g_getUserMessage|\bmessage)\((\d+))"));
    const QRegularExpression byNumber(QStringLiteral(R"re(setUserInfo\(QStringLiteral\("(\d+)"\))re"));
    const QRegularExpression step(QStringLiteral(R"(\bgoTo\((\d+)\))"));
    QDirIterator it(QStringLiteral(KELB_SOURCE_DIR), {QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QString code = QString::fromUtf8(f.readAll());
        for (const QRegularExpression* re : {&fetched, &byNumber})
            for (const auto& m : re->globalMatch(code)) used.insert(m.captured(1).toInt());
        for (const auto& m : step.globalMatch(code)) used.insert(10 * m.captured(1).toInt());
    }
    return used;
}
}  // namespace

TEST_F(SiteTest, TheSiteHoldsEveryUserTextTheProgramAsksFor) {
    startSite("mbus", 3);
    formLoad(QString());
    const std::set<int> used = messageNumbersInSources();
    // The scan finds the commands' texts as well as the run's.
    for (int known : {1, 2, 4, 5, 7, 8, 11, 61, 73, 110}) EXPECT_TRUE(used.count(known)) << known;
    std::set<int> site;
    auto db = dao::OpenDatabase(modGlobal::g_configDbPath, false, true);
    for (auto rs = db->OpenRecordset(QStringLiteral("SELECT MessageID FROM messages")); !rs->eof(); rs->MoveNext())
        site.insert(rs->Value("MessageID").toInt());
    std::vector<int> missing;
    std::set_difference(used.begin(), used.end(), site.begin(), site.end(), std::back_inserter(missing));
    EXPECT_EQ(missing, std::vector<int>{});
    EXPECT_TRUE(errors.empty());
}
