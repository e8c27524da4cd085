// Info-block uploads: the decoders of a block's fields and the reads from the bootloaders.
#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/modupload.h"
#include "caninterface/caninterface.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "masterfixture.h"
#include "services/modglobal.h"

#include <array>
#include <atomic>

using namespace mastertest;
using namespace modUpload;

namespace {

// The info-block object as the modules know it, written out apart from the code under test.
constexpr quint16 kInfoBlockObject = 0x5FFE;

void put32(QByteArray& b, int offset, quint32 v) {
    for (int i = 0; i < 4; ++i) b[offset + i] = char(v >> (24 - 8 * i));
}
void putText(QByteArray& b, int offset, const QByteArray& text) { b.replace(offset, text.size(), text); }

// A 44-byte section info block.
QByteArray block44(const QByteArray& id, quint32 version, const QByteArray& date, quint32 start, quint32 length,
                   quint32 dataCrc, quint32 blockCrc) {
    QByteArray b(44, '\0');
    put32(b, 0, 44);
    putText(b, 4, id);
    put32(b, 12, version);
    putText(b, 16, date);
    put32(b, 28, start);
    put32(b, 32, length);
    put32(b, 36, dataCrc);
    put32(b, 40, blockCrc);
    return b;
}

// A hardware info block: version 7, week and year as ASCII "12" / "26", serial 123456,
// RAM 0x8000 and flash 0x0100 stored low byte first, length 300 and the two CRCs.
QByteArray hardwareBlock() {
    QByteArray b(312, '\0');
    put32(b, 0, 312);
    putText(b, 4, "HWIB0007");
    put32(b, 12, 7);
    putText(b, 16, "1226");
    put32(b, 20, 123456);
    putText(b, 24, QByteArray::fromHex("00800001"));
    put32(b, 300, 300);
    put32(b, 304, 0xCAFEBABE);
    put32(b, 308, 0x0BADF00D);
    return b;
}

QByteArray versionBlock(std::array<int, 4> v) {
    QByteArray b(44, '\0');
    for (int i = 0; i < 4; ++i) b[12 + i] = char(v[i]);
    return b;
}

const QByteArray applicationBlock =
    block44("KELB", 1, "Dec 08 2026", 0x00100000, 100, 0x12345678, 0x9ABCDEF0);

class Upload : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        for (auto& r : reads) r = 0;
    }
    // A bootloader node with the given blocks; every read of 0x5FFE is counted by section.
    sim::ObjectDictionary& bootloader(quint8 node, const std::map<int, QByteArray>& blocks) {
        sim::ObjectDictionary& d = addNode(0, node, "3.10", "7", 0)->od();
        for (int s = 1; s <= 7; ++s) {
            const bool present = blocks.count(s) > 0;
            d.addDomain(kInfoBlockObject, quint8(s), present ? blocks.at(s) : QByteArray(),
                        sim::Access::ReadOnly);
            d.setReadHook(kInfoBlockObject, quint8(s), [this, s, present](QByteArray&) {
                ++reads[s];
                return present ? sim::abort::None : sim::abort::NoSubIndex;
            });
        }
        return d;
    }
    void openBus(const QString& busName = QStringLiteral("SBus")) { ASSERT_TRUE(initialise(busName, 0)); }
    std::map<int, QByteArray> allSections() {
        return {{1, hardwareBlock()},
                {2, block44("BL1", 0x310, "Jan 02 2020", 0x0, 0x10000, 1, 2)},
                {3, block44("BL2", 0x030C0000, "Feb 03 2021", 0x10100, 0x20000, 3, 4)},
                {4, block44("DataCont", 1, "Mar 04 2022", 0x60000, 5000, 5, 6)},
                {6, applicationBlock},
                {7, block44("FPGA_V2.", 1, "Apr 05 2023", 0x30000, 7000, 7, 8)}};
    }
    std::array<std::atomic<int>, 8> reads;
};

}  // namespace

// ---- Decoders ----

TEST(UploadDecode, RowsOfExampleBlocks) {
    QByteArray short1 = hardwareBlock().left(100);
    QByteArray oldDate = hardwareBlock();
    putText(oldDate, 16, QByteArray::fromHex("000C07EA"));  // week 12 and year 2026 as numbers
    const struct {
        const char* what;
        qint32 section;
        QByteArray block;
        QStringList row;
    } cases[] = {
        {"application", 6, applicationBlock,
         {"", "44", "KELB", "---", "Dec 08 2026", "0x00100000", "100", "0x12345678", "0x9ABCDEF0", "---", "---",
          "---"}},
        {"bootloader 2", 3, block44("BL2", 0x030C0000, "Feb 03 2021", 0x10100, 0x20000, 0xFFFFFFFE, 4),
         {"", "44", "BL2", "3.12", "Feb 03 2021", "0x00010100", "131072", "0xFFFFFFFE", "0x00000004", "---", "---",
          "---"}},
        {"hardware", 1, hardwareBlock(),
         {"", "312", "HWIB0007", "7", "12 / 26", "0x00000000", "300", "0xCAFEBABE", "0x0BADF00D", "123456", "&H8000",
          "&H0100"}},
        {"hardware, older date fields", 1, oldDate,
         {"", "312", "HWIB0007", "7", "12 / 2026", "0x00000000", "300", "0xCAFEBABE", "0x0BADF00D", "123456",
          "&H8000", "&H0100"}},
        {"hardware, 100 bytes", 1, short1,
         {"", "312", "HWIB0007", "7", "12 / 26", "0x00000000", "", "0x", "0x", "123456", "&H8000", "&H0100"}},
    };
    for (const auto& c : cases) EXPECT_EQ(infoBlockRow(c.section, c.block), c.row) << c.what;
}

TEST(UploadDecode, VersionTexts) {
    const struct {
        qint32 section;
        std::array<int, 4> bytes;
        const char* text;
    } cases[] = {
        {2, {0, 0, 3, 0x10}, "3.10"},  {2, {0, 0, 0, 0x10}, ".10"},   {2, {0, 0, 0, 5}, ".05"},
        {2, {0, 0, 0x1A, 0x2B}, "1A.2B"}, {3, {3, 12, 0, 0}, "3.12"}, {3, {3, 5, 0, 0}, "3.05"},
        {3, {0, 0, 0, 1}, "1"},        {3, {0, 0, 1, 4}, "260"},      {1, {0, 0, 0, 7}, "7"},
        {6, {0, 0, 0, 1}, "1"},        {4, {3, 12, 0, 0}, "51118080"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildVersionStr(c.section, versionBlock(c.bytes)), QString::fromLatin1(c.text)) << c.section;
    EXPECT_EQ(buildVersionStr(2, QByteArray(15, '\0')), QString()) << "no version in the bytes";
}

TEST(UploadDecode, DisplayRows) {
    const std::pair<qint32, qint16> cases[] = {{6, 0}, {4, 1}, {7, 2}, {3, 3}, {2, 4}, {1, 5}, {5, 0}, {8, 0}, {0, 0}};
    for (const auto& [section, row] : cases) EXPECT_EQ(getDisplayIndex(section), row) << section;
}

TEST(UploadDecode, BigEndianLongsNeverReadPastTheBytes) {
    const QByteArray b = QByteArray::fromHex("12345678FFFFFFFE");
    EXPECT_EQ(g_byteArrayToLong(b, 0), 0x12345678);
    EXPECT_EQ(g_byteArrayToLong(b, 4), -2);
    EXPECT_EQ(g_byteArrayToLong(b, 2), qint32(0x5678FFFF));
    EXPECT_EQ(g_byteArrayToLong(b, 5), 0);
    EXPECT_EQ(g_byteArrayToLong(b, -1), 0);
}

// ---- Reads from the bootloader ----

TEST_F(Upload, TableOfAllSectionsInDisplayRows) {
    bootloader(0x71, allSections());
    openBus();
    InfoTable table;
    ASSERT_TRUE(g_uploadInfoBlocks(1, table));
    ASSERT_EQ(table.size(), infoTableRows);
    for (const auto& row : table) EXPECT_EQ(row.size(), infoTableColumns);
    EXPECT_EQ(table[0], infoBlockRow(6, applicationBlock));
    EXPECT_EQ(table[1][2], "DataCont");
    EXPECT_EQ(table[2][2], "FPGA_V2.");
    EXPECT_EQ(table[3][3], "3.12");
    EXPECT_EQ(table[4][3], "3.10");
    EXPECT_EQ(table[5], infoBlockRow(1, hardwareBlock()));
    EXPECT_EQ(reads[5], 0) << "section 5 is never read";
    for (int s : {1, 2, 3, 4, 6, 7}) EXPECT_EQ(reads[s], 1) << s;
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(Upload, OneUnreadableSectionGivesFalseAndASingleCell) {
    auto sections = allSections();
    sections.erase(3);
    bootloader(0x71, sections);
    openBus();
    InfoTable table;
    EXPECT_FALSE(g_uploadInfoBlocks(1, table));
    EXPECT_EQ(table, (InfoTable{QStringList{QString()}}));
    EXPECT_EQ(reads[4] + reads[6] + reads[7], 0) << "no section after the failed one is read";
    EXPECT_EQ(answers.shown().size(), 1u) << "the SDO layer reports the failed read";
}

TEST_F(Upload, ABlockShorterThan44BytesIsAFailure) {
    auto sections = allSections();
    sections[7] = sections[7].left(43);
    bootloader(0x71, sections);
    openBus();
    InfoTable table;
    EXPECT_FALSE(g_uploadInfoBlocks(1, table));
    EXPECT_EQ(table.size(), 1);
    EXPECT_EQ(g_uploadStartAdr(1, 7), 0);
    EXPECT_EQ(g_uploadVersionInfo(1, 7), QString());
    EXPECT_TRUE(errors.empty());
}

TEST_F(Upload, StartAddressAndVersionOfOneSection) {
    auto sections = allSections();
    sections[6] = block44("KELB", 1, "Dec 08 2026", 0x80100000, 100, 1, 2);
    bootloader(0x71, sections);
    openBus();
    EXPECT_EQ(g_uploadStartAdr(1, 4), 0x60000);
    EXPECT_EQ(g_uploadStartAdr(1, 6), qint32(0x80100000)) << "the top bit gives a negative address";
    EXPECT_EQ(g_uploadVersionInfo(1, 2), "3.10");
    EXPECT_EQ(g_uploadVersionInfo(1, 1), "7");
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_EQ(g_uploadStartAdr(1, 5), 0);
    EXPECT_EQ(g_uploadVersionInfo(1, 5), QString());
}

TEST_F(Upload, OnTheMBusCylinderModulesAreReadOnTheSecondBootloaderBase) {
    auto spare = allSections();
    spare[6] = block44("KELB", 1, "Dec 08 2026", 0x100000, 100, 1, 2);
    auto cylinder = allSections();
    cylinder[6] = block44("KELB", 1, "Dec 08 2026", 0x30000, 100, 1, 2);
    bootloader(0x7F, spare);
    bootloader(0x73, cylinder);
    openBus(QStringLiteral("MBus"));
    EXPECT_EQ(g_uploadStartAdr(0, 6), 0x100000);
    EXPECT_EQ(g_uploadStartAdr(3, 6), 0x30000);
}

TEST_F(Upload, WrittenBlocksReadBackAsTheirRows) {
    // A bootloader that keeps what it is given.
    sim::ObjectDictionary& d = addNode(0, 0x72, "3.10", "7", 0)->od();
    for (int s : {1, 2, 3, 4, 6, 7}) d.addDomain(kInfoBlockObject, quint8(s), QByteArray());
    openBus();
    const QByteArray image(500, '\x5A');
    const QString file = dir.filePath(QStringLiteral("PXM_DataCont.S19"));
    for (int s : {1, 2, 3, 4, 6, 7}) ASSERT_TRUE(modDownload::writeInfoBlock(2, s, file, image, 0x60000)) << s;
    InfoTable table;
    ASSERT_TRUE(g_uploadInfoBlocks(2, table));
    for (int s : {1, 2, 3, 4, 6, 7})
        EXPECT_EQ(table[getDisplayIndex(s)], infoBlockRow(s, modDownload::buildInfoBlock(s, file, image, 0x60000)))
            << s;
    EXPECT_EQ(table[1][2], "DataCont");
    EXPECT_EQ(table[1][6], "500");
    EXPECT_EQ(table[3][3], "1") << "the version this program writes";
    EXPECT_EQ(g_uploadStartAdr(2, 4), 0x60000);
}

// ---- End to end against the simulated bootloader ----

TEST_F(Upload, SimulatedBootloaderTakesBlockAndImageAndGivesThemBack) {
    sim::ProfileOptions profile;
    profile.profile = sim::Profile::SBus;
    profile.heartbeatMs = 100;
    sim::BootOptions boot;
    boot.flashMs = 150;
    sim::PxmModules modules(bus(0), profile);
    sim::PxmBootloaders bootloaders(bus(0), modules, profile, boot);
    modules.setMode(0, sim::PxmModule::Mode::Bootloader);
    bootloaders.sync();
    openBus();

    const QString file = dir.filePath(QStringLiteral("PXM_DataContainer.S19"));
    QByteArray image(20000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char((i * 31 + i / 256) & 0xFF);
    ASSERT_TRUE(modDownload::checkInfoBlock(4, 0x60000));
    ASSERT_TRUE(modDownload::writeInfoBlock(0, 4, file, image, 0x60000));
    EXPECT_EQ(modDownload::g_getLoadingStatus(0, false), 1);
    for (int pos = 0; pos < image.size(); pos += 8192) {
        const QByteArray piece = image.mid(pos, 8192);
        ASSERT_TRUE(master().g_writeSDO(0x70, 0x1F50, 4, qint32(piece.size()), piece)) << pos;
    }
    QList<qint16> statuses{modDownload::g_getLoadingStatus(0, false)};
    while (statuses.last() == 127 && statuses.size() < 200) {
        settle(20);
        statuses << modDownload::g_getLoadingStatus(0, false);
    }
    EXPECT_EQ(statuses.first(), 127);
    EXPECT_EQ(statuses.last(), 0) << "flash programming finished";

    const QByteArray written = modDownload::buildInfoBlock(4, file, image, 0x60000);
    EXPECT_EQ(bootloaders.info(0, 4), written);
    qint32 length = 0;
    QByteArray block, uploaded, piece;
    ASSERT_TRUE(master().g_readSDO(0x70, kInfoBlockObject, 4, length, block));
    EXPECT_EQ(block, written);
    while (uploaded.size() < image.size()) {
        ASSERT_TRUE(master().g_readSDO(0x70, 0x1F50, 4, length, piece));
        ASSERT_FALSE(piece.isEmpty());
        uploaded += piece;
    }
    EXPECT_EQ(uploaded, image);

    InfoTable table;
    ASSERT_TRUE(g_uploadInfoBlocks(0, table));
    EXPECT_EQ(table[getDisplayIndex(4)], infoBlockRow(4, written));
    EXPECT_EQ(g_uploadStartAdr(0, 4), 0x60000);
    EXPECT_EQ(g_uploadVersionInfo(0, 2), "3.10");
    EXPECT_TRUE(answers.shown().empty());
}
