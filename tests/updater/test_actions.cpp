// The update window's single-section actions, which the run itself does not use: the
// download of one section in up to three attempts, the info block read and decoded, the
// bootloader CRC check and the state of the spare's path.
#include "services/srecord.h"
#include "services/modglobal.h"
#include "runfixture.h"

#include <QListWidget>

using namespace runtest;
using moduleProtocol::ModuleState;

namespace {

class ActionsTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        makeConfig();
        start();
        file = dir.filePath(QStringLiteral("BZM_application.s19"));
        ASSERT_TRUE(modDownload::g_binToSRec(QByteArray(300, '\x5A'), 0x20000, QStringLiteral("S28"), file));
    }
    int count(const QString& line) const { return int(log().count(line)); }
    QString file;
};

// A 44-byte section info block with the given data CRC.
QByteArray infoBlock(quint32 dataCrc) {
    QByteArray b = QByteArray::fromHex("0000002c") + QByteArray("KELB\0\0\0\0", 8) + QByteArray::fromHex("00000001") +
                   QByteArray("Dec 10 2026\0", 12) + QByteArray::fromHex("00100000") + QByteArray::fromHex("0000012c");
    for (int i = 3; i >= 0; --i) b.append(char(dataCrc >> (8 * i)));
    return b + QByteArray::fromHex("deadbeef");
}

}  // namespace

TEST_F(ActionsTest, DownloadTriesAgainAfterAFailedDataWrite) {
    site.sectionWrites = {false, true};
    site.statuses = {1, 1, 0};  // info block taken twice, then the flash programmed
    EXPECT_TRUE(run->downloadApplication(file, 0, 6));
    EXPECT_EQ(count("  New attempt to download"), 1);
    EXPECT_EQ(count("  Failure in transmitting program/data!"), 1);
    EXPECT_EQ(count("  Download successful"), 1);
    EXPECT_TRUE(site.calls.contains("writeSection 0 6 300"));
}

TEST_F(ActionsTest, DownloadFailsAfterThreeAttemptsAndOnlyOnTheRightStatus) {
    const struct {
        const char* name;
        std::deque<bool> infoWrites;
        std::deque<int> statuses;
        const char* line;
    } cases[] = {
        {"info block refused", {false, false, false}, {}, "  Failure in transmitting infoblock!"},
        {"info block not taken", {}, {0, 0, 0}, "  Downloading infoblock failed!"},
        {"flash still busy after the data", {}, {1, 127, 1, 127, 1, 127}, "  Downloading program/data failed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        run->window().lstMessageUpdater->clear();
        site.infoBlockWrites = c.infoWrites;
        site.statuses = c.statuses;
        EXPECT_FALSE(run->downloadApplication(file, 2, 6));
        EXPECT_EQ(count(QString::fromLatin1(c.line)), 3);
        EXPECT_EQ(count("  New attempt to download"), 2);
        EXPECT_EQ(count("  Download successful"), 0);
    }
}

// Status 0 ends the flash wait also for a module whose new program does not run: the
// download counts only once the module answers in its application.
TEST_F(ActionsTest, ADownloadWhoseModuleDoesNotStartFails) {
    site.statuses = {1, 0};
    site.startFails = {2};
    EXPECT_FALSE(run->downloadApplication(file, 2, 6));
    EXPECT_TRUE(site.calls.contains("restartAfterDownload 2"));
    EXPECT_EQ(count("  Download successful"), 0);
    EXPECT_EQ(count(QStringLiteral("  %1 2: not started!").arg(modGlobal::g_moduleKind)), 1) << log().join('\n').toStdString();
    // A whole download that does not start is not tried again.
    EXPECT_EQ(count("  New attempt to download"), 0);
}

TEST_F(ActionsTest, AFileThatDoesNotConvertWritesNothing) {
    EXPECT_FALSE(run->downloadApplication(dir.filePath("missing.s19"), 0, 6));
    EXPECT_FALSE(site.calls.join(' ').contains("write"));
}

TEST_F(ActionsTest, InfoBlockIsDecodedAndAShortOneFails) {
    site.infoBlock = infoBlock(0x6C73B542);
    bool ok = false;
    run->uploadInfoBlock(3, 4, ok);
    ASSERT_TRUE(ok);
    const auto& v = run->infoBlockValues();
    EXPECT_EQ(QStringList({v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]}),
              QStringList({"44", "KELB", "1", "Dec 10 2026", "0x00100000", "300", "0x6C73B542", "0xDEADBEEF"}));
    EXPECT_TRUE(site.calls.contains("readInfoBlock 3 4"));
    site.infoBlock = infoBlock(1).left(43);
    run->uploadInfoBlock(3, 4, ok);
    EXPECT_FALSE(ok);
}

TEST_F(ActionsTest, BootloaderCrcCheckAndTheSparePath) {
    bool ok = false;
    site.infoBlock = infoBlock(0x6C73B542);
    run->checkBlCRC(ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(site.calls.contains("readInfoBlock 0 1"));
    EXPECT_FALSE(log().join('\n').contains("Bootloader-CRC"));

    site.infoBlock = infoBlock(0x12345678);
    run->checkBlCRC(ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(logHas("   Bootloader-CRC: 0x12345678"));

    // Module 7 running its application: the path goes through the spare, read as module 23.
    qint16 status = -1;
    master.states[0] = ModuleState::bootloader;
    master.states[7] = ModuleState::application;
    run->getConnectionStatus(status);
    EXPECT_EQ(status, 3);
    site.infoBlock.clear();
    run->checkBlCRC(ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(site.calls.contains("readInfoBlock 23 1"));

    master.states = {};
    master.states[0] = ModuleState::bootloader;
    run->getConnectionStatus(status);
    EXPECT_EQ(status, 2);
    master.states[0] = ModuleState(5);  // no state the modules report
    run->getConnectionStatus(status);
    EXPECT_EQ(status, 0);
}
