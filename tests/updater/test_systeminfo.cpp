// The system-information record and its setters, the requests, the log and the user texts.
#include "runfixture.h"

#include "mainwindow/vbcontrols.h"
#include "services/modglobal.h"
#include "updater/systeminfo.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace runtest;

namespace {

TEST(SystemInfoParts, PartsInAnyOrderGiveTheSameText) {
    const char* parts[4] = {"AB12", "CD34", "EF56", "GH78"};
    SystemInfo inOrder, shuffled;
    for (int i : {0, 1, 2, 3}) inOrder.hullNumber.place(i, text4(parts[i]));
    for (int i : {2, 0, 3, 1}) shuffled.hullNumber.place(i, text4(parts[i]));
    EXPECT_EQ(inOrder.hullNumber.text, "AB12CD34EF56GH78");
    EXPECT_EQ(shuffled.hullNumber.text, inOrder.hullNumber.text);
    EXPECT_EQ(shuffled.hullNumber.parts, 4);
}

TEST(SystemInfoParts, ZeroAndControlBytesBecomeBlanksAndEightBitIsWindows1252) {
    SystemInfo i;
    i.hullNumber.place(0, QByteArray("A\0B\0", 4));
    i.hullNumber.place(1, QByteArray("\r\n\x80\xE9", 4));
    EXPECT_EQ(i.hullNumber.text.left(8), QString("A B   ") + QChar(0x20AC) + QChar(0xE9));
}

TEST(SystemInfoParts, ARepeatedPartCountsOnce) {
    SystemInfo i;
    for (int n = 0; n < 4; ++n) i.hullNumber.place(0, text4("AAAA"));
    EXPECT_EQ(i.hullNumber.parts, 1);
    i.hullNumber.place(1, text4("BBBB"));
    i.hullNumber.place(2, text4("CCCC"));
    EXPECT_FALSE(i.complete());
    EXPECT_EQ(i.hullNumber.parts, 3);
}

TEST(SystemInfoParts, ADecidedCountOfEightGrowsTheTextOnTheSecondRead) {
    SystemInfo i;
    i.decideEngineType(8);
    i.reset(true);
    EXPECT_EQ(i.engineType.text.size(), 16);
    EXPECT_EQ(i.engineTypeSymbols, 8);
    // A later part that arrives first still lands at its own place.
    i.engineType.place(5, text4("FFFF"));
    i.engineType.place(4, text4("EEEE"));
    EXPECT_EQ(i.engineType.text, QString(16, ' ') + "EEEEFFFF");
    i.reset(false);
    EXPECT_EQ(i.engineTypeSymbols, SystemInfo::notDecided);
}

TEST(SystemInfoParts, ValuesAreLittleEndianAndSigned32Bit) {
    EXPECT_EQ(SystemInfo::value32(QByteArray::fromHex("42b5736c")), 0x6C73B542);
    EXPECT_EQ(SystemInfo::value32(QByteArray::fromHex("ffffffff")), -1);
    // Wider than 16 bits: kept, not an overflow.
    EXPECT_EQ(SystemInfo::value32(QByteArray::fromHex("a0860100")), 100000);
    EXPECT_EQ(SystemInfo::value8(QByteArray::fromHex("ff010000")), 255);
}

TEST_F(RunTest, EverySetterKeepsItsValueAndWithdrawsTheReceivedKey) {
    makeConfig({});
    start();
    struct Case {
        const char* setter;
        qint32 key;
        QByteArray bytes;
    };
    using moduleProtocol::symbolKey;
    const Case cases[] = {
        {"g_setBuild", symBuild, le32(70000)},
        {"g_setDeveloper", symDeveloper, le32(2311)},
        {"g_setNoOfCyl", symCylinders, QByteArray::fromHex("0c010000")},
        {"g_setAutoDownload", symAutoDownload, QByteArray::fromHex("02000000")},
        {"g_setCrcValueImo", symbolKey(symCrcImo, 2), le32(-2)},
        {"g_setCrcLenImo", symbolKey(symCrcLenImo, 2), le32(40000)},
        {"g_setCrcValueApplication", symbolKey(symCrcAppl, 2), le32(0x6C73B542)},
        {"g_setCrcLenApplication", symbolKey(symCrcLenAppl, 2), le32(123456)},
        {"g_setHullNumber", symbolKey(symHull + 1, 2), text4("WXYZ")},
        {"g_setFirstApplicationCrc", symFirstCrc, le32(0x1A2B)},
    };
    for (const Case& c : cases) run->setSystemValue(setter(c.setter), c.bytes, c.key);
    const SystemInfo& i = run->info();
    EXPECT_EQ(i.buildNo, 70000);
    EXPECT_EQ(i.developerNo, 2311);
    EXPECT_EQ(i.noOfCyl, 12);
    EXPECT_EQ(i.autoDownload, 2);
    EXPECT_EQ(i.crcValueImo, -2);
    EXPECT_EQ(i.crcLenImo, 40000);
    EXPECT_EQ(i.crcValueAppl, 0x6C73B542);
    EXPECT_EQ(i.crcLenAppl, 123456);
    // The module number in the key's top bits does not move the part.
    EXPECT_EQ(i.hullNumber.text, "    WXYZ        ");
    EXPECT_EQ(run->firstApplCrc(), 0x1A2B);
    ASSERT_EQ(site.serviceBits.size(), std::size(cases));
    for (size_t n = 0; n < std::size(cases); ++n) EXPECT_EQ(site.serviceBits[n], std::make_pair(cases[n].key, 0));
}

TEST_F(RunTest, TheCrcsAreAskedOfTheModuleThatCarriesTheBus) {
    makeConfig({});
    site.published.clear();
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 2 && run->tickCounter() == 1; }));
    notConnectedToSpare(2);
    site.serviceBits.clear();
    for (int n = 0; n < 3; ++n) tick();
    const auto& bits = site.serviceBits;
    auto asked = [&](qint32 key) { return std::find(bits.begin(), bits.end(), std::make_pair(key, 1)) != bits.end(); };
    EXPECT_TRUE(asked(symCrcAppl + 8192));
    EXPECT_TRUE(asked(symCrcLenImo + 8192));
    EXPECT_FALSE(asked(symCrcAppl));
    EXPECT_TRUE(asked(symBuild));
}

TEST_F(RunTest, RequestsComeInThreeGroupsOnTheFirstThreeWorkTicks) {
    makeConfig({});
    site.published.clear();
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 2 && run->tickCounter() == 1; }));
    site.serviceBits.clear();
    tick();
    EXPECT_EQ(site.serviceBits.size(), 4u);  // the hull parts
    EXPECT_EQ(site.serviceBits[0], std::make_pair(qint32(symHull), 1));
    site.serviceBits.clear();
    tick();
    EXPECT_TRUE(site.serviceBits.empty());  // the engine type is not decided yet
    tick();
    const std::vector<std::pair<qint32, int>> third = {{symBuild, 1},  {symDeveloper, 1}, {symAutoDownload, 1},
                                                       {symCylinders, 1}, {symCrcImo, 1},  {symCrcLenImo, 1},
                                                       {symCrcAppl, 1},   {symCrcLenAppl, 1}};
    EXPECT_EQ(site.serviceBits, third);
    site.serviceBits.clear();
    tick();
    EXPECT_TRUE(site.serviceBits.empty());
}

// ---- The log ----

TEST_F(RunTest, TheLogSplitsAtCarriageReturnsOnly) {
    makeConfig({});
    start();
    run->addMessageUpdater("one\rtwo\r\rthree\nfour\r", 5);
    EXPECT_EQ(log(), (QStringList{"one", "two", "", "three\nfour"}));
    EXPECT_EQ(run->reportLines()[5], "three\nfour");
    EXPECT_EQ(w->lstMessageUpdater->currentRow(), 3);
    run->addMessageUpdater("", 6);
    EXPECT_EQ(log().size(), 4);
    run->addMessageUpdater("beyond", 13);
    EXPECT_EQ(log().last(), "beyond");
}

// ---- The user texts ----
struct UserTextCase {
    const char* name;
    QString text;
    int delay;
    bool okIn;
    bool exit;
    bool shown;
    QString shows;
    bool okVisible;
};

class UserTexts : public RunTest, public ::testing::WithParamInterface<UserTextCase> {};

TEST_P(UserTexts, ANumberIsLookedUpAndAnyButtonStopsTheTimer) {
    const UserTextCase& c = GetParam();
    makeConfig({20});
    start();
    tick();
    tick();
    ASSERT_EQ(run->tickCounter(), 2);
    w->txtUserInfo->setPlainText("before");
    bool ok = c.okIn;
    const bool shown = run->setUserInfo(c.text, c.delay, ok, c.exit);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(userText(), c.shows);
    if (!shown) return;
    EXPECT_EQ(ok, c.okVisible);
    EXPECT_EQ(!w->cmdOk->isHidden(), c.okVisible);
    EXPECT_EQ(!w->cmdExitUpdater->isHidden(), c.okVisible || c.exit);
    EXPECT_EQ(w->cmdExitUpdater->isEnabled(), c.okVisible || c.exit);
    EXPECT_EQ(w->timCyclic.isEnabled(), !(c.okVisible || c.exit));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserTexts,
    ::testing::Values(
        UserTextCase{"NumberWithOkColumn", "20", 0, false, false, true, "T20", true},
        UserTextCase{"NumberWithoutOk", "10", 0, true, false, true, "T10", false},
        UserTextCase{"MissingNumberKeepsTheCallersButtons", "999", 0, true, false, true,
                     "User Information text not found in database: 999", true},
        UserTextCase{"ZeroIsText", "0", 0, false, false, true, "0", false},
        // A ready text that begins with digits is shown as it stands.
        UserTextCase{"ReadyTextWithDigits", "3 modules are missing", 0, false, true, true, "3 modules are missing", false},
        UserTextCase{"DelayNotReached", "ready", 3, false, false, false, "before", false},
        UserTextCase{"DelayReached", "ready", 2, false, false, true, "ready", false},
        UserTextCase{"EmptyClears", "", 0, false, false, true, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, ErrorSignalTurnsTheLogRedForGood) {
    makeConfig({});
    start();
    EXPECT_FALSE(w->errorSignal(false));
    EXPECT_EQ(vbControls::backColor(w->lstMessageUpdater), UpdateWindow::buttonFace);
    EXPECT_TRUE(w->errorSignal(true));
    EXPECT_TRUE(w->errorSignal(false));
    EXPECT_EQ(vbControls::backColor(w->lstMessageUpdater), 0x8080FFu);
}

TEST_F(RunTest, SetTextShowsTheDesignTextAndLeavesTheCurrentLineOnReset) {
    makeConfig({});
    start();
    w->setText(4, "", UpdateWindow::red);
    EXPECT_EQ(w->txtStep[4]->text(), "PXM Detection");
    EXPECT_EQ(w->txtStep[0]->text(), "PXM Detection");
    w->setText(3, "Unknown Build", UpdateWindow::red);
    EXPECT_EQ(w->txtStep[0]->text(), "Evaluate Build");
    w->setText(7, "", UpdateWindow::buttonFace);
    EXPECT_EQ(w->txtStep[0]->text(), "Evaluate Build");
}

TEST_F(RunTest, TheProgressBarIsClampedAndAddsWhenRelative) {
    makeConfig({});
    start();
    w->updateProgressUpdater(0.6, false);
    w->updateProgressUpdater(0.7, true);
    EXPECT_DOUBLE_EQ(w->progress(), 1.0);
    w->updateProgressUpdater(-0.2, false);
    EXPECT_DOUBLE_EQ(w->progress(), 0.0);
}

}  // namespace
