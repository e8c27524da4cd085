// The section info block, the start-address check and the loading status.
#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/modapplicationmode.h"
#include "caninterface/caninterface.h"
#include "crclibrary/crclibrary.h"
#include "desktop/dialogs.h"
#include "masterfixture.h"
#include "services/modglobal.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMutex>
#include <atomic>

using namespace mastertest;
using namespace modDownload;

namespace {

// The objects as the modules know them, written out apart from the code under test.
constexpr quint16 idxInfoBlock = 0x5FFE, idxLoadingStatus = 0x5FFF;

QByteArray hexBytes(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

QByteArray pattern(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = char((i * 7) & 0xFF);
    return b;
}

// A file whose last-modified date is the given day.
QString fileDated(const QTemporaryDir& dir, const QString& name, QDate date) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("S9030000FC\r\n");
    f.flush();  // else the write at close would date the file again
    EXPECT_TRUE(f.setFileTime(QDateTime(date, QTime(12, 0)), QFileDevice::FileModificationTime));
    return path;
}

class InfoBlock : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        modGlobal::g_applicationType = modApplicationMode::appKELB;
        modGlobal::g_addressProtectionBL1 = 0x10100;
        modGlobal::g_addressProtectionBL2 = 0x30000;
        modGlobal::g_cobIdBootloader = 0x70;
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        MasterTest::TearDown();
    }
    // The bus named busName with a bootloader node per module, and the fixture's SDO
    // time-out that holds under load, or the master's own 200 ms.
    void openBus(std::initializer_list<quint8> nodes, const QString& busName = QStringLiteral("SBus"),
                 bool longTimeout = true) {
        for (quint8 n : nodes) addNode(0, n, "3.10", "7", 0);
        ASSERT_TRUE(initialise(busName, 0));
        if (longTimeout) return;
        qint32 status = 0;
        master().m_CANInterface->setSdoTimeout(200, status);
        ASSERT_EQ(status, 1);
    }
    sim::ObjectDictionary& od(quint8 node) { return bus(0).node(node)->od(); }
};

}  // namespace

// ---- The block's bytes ----

TEST_F(InfoBlock, ExampleBlockByteForByte) {
    const QString file = fileDated(dir, QStringLiteral("PXM_FPGA_V2.S19"), QDate(2026, 12, 8));
    const QByteArray expected = hexBytes(
        "00 00 00 2C  46 50 47 41 5F 56 32 2E  00 00 00 01  44 65 63 20 30 38 20 32 30 32 36 00"
        "00 10 00 00  00 00 00 64  82 1D 3E 85  D3 59 74 BF");
    EXPECT_EQ(buildInfoBlock(7, file, pattern(100), 0x00100000).toHex(' '), expected.toHex(' '));
}

TEST_F(InfoBlock, HardwareBlockIs312BytesWithItsTailAt300) {
    const QString file = fileDated(dir, QStringLiteral("PXM_HWIB.S19"), QDate(2026, 1, 31));
    const QByteArray image = pattern(300);
    const QByteArray b = buildInfoBlock(1, file, image, 0x00010000);
    ASSERT_EQ(b.size(), 312);
    EXPECT_EQ(b.left(4), hexBytes("00 00 01 38"));
    EXPECT_EQ(b.mid(4, 8), QByteArray("HWIB.S19"));
    EXPECT_EQ(b.mid(16, 12), QByteArray("Jan 31 2026\0", 12));
    EXPECT_EQ(b.mid(28, 4), hexBytes("00 01 00 00"));
    EXPECT_EQ(b.mid(32, 268), QByteArray(268, '\0'));
    EXPECT_EQ(b.mid(300, 4), hexBytes("00 00 01 2C"));
    const quint32 dataCrc = CrcCalculation32(image.constData(), 300, 0);
    const quint32 blockCrc = CrcCalculation32(b.constData(), 308, 0);
    EXPECT_EQ(b.mid(304, 4).toHex(), QByteArray::number(dataCrc, 16).rightJustified(8, '0'));
    EXPECT_EQ(b.mid(308, 4).toHex(), QByteArray::number(blockCrc, 16).rightJustified(8, '0'));
}

TEST_F(InfoBlock, IdentificationByModuleTypeSectionAndFileName) {
    using namespace modApplicationMode;
    const struct {
        bool qtm;
        qint32 appType;
        qint32 section;
        const char* file;
        QByteArray id;
    } cases[] = {
        {true, appQTM, 6, "C:\\QTM\\QTM_APPL.S19", "QTM20APP"},
        {true, appQTM, 4, "C:\\QTM\\QTM_DATA.S19", "QTM20APP"},
        {false, appKELB, 6, "C:\\p\\PXM_APPL.S19", QByteArray("KELB\0\0\0\0", 8)},
        {false, appVEDR, 6, "C:\\p\\PXM_APPL.S19", QByteArray("VEDR\0\0\0\0", 8)},
        {false, appDARVO, 6, "C:\\p\\PXM_APPL.S19", QByteArray("DRVO\0\0\0\0", 8)},
        {false, appNone, 6, "C:\\p\\PXM_APPL.S19", QByteArray(8, '\0')},
        {false, appMismatch, 6, "C:\\p\\PXM_APPL.S19", QByteArray(8, '\0')},
        {false, appBZM, 6, "C:\\p\\PXM_APPL.S19", QByteArray(8, '\0')},
        {false, appKELB, 4, "C:\\KELB.dir\\PXM_DataContainer.S19", "DataCont"},
        {false, appKELB, 3, "/srv/load/PXM_BL2.S19", QByteArray("BL2.S19\0", 8)},
        {false, appKELB, 2, "C:\\p\\BL1.S", QByteArray("S\0\0\0\0\0\0\0", 8)},
        {false, appKELB, 2, "C:\\p\\BL1S", QByteArray(8, '\0')},
    };
    for (const auto& c : cases) {
        modGlobal::g_qtmMode = c.qtm;
        modGlobal::g_applicationType = c.appType;
        EXPECT_EQ(buildInfoBlock(c.section, QString::fromLatin1(c.file), "x", 0x40000).mid(4, 8), c.id)
            << c.file << " section " << c.section << " type " << c.appType;
    }
}

TEST_F(InfoBlock, DateUsesEnglishMonthNamesWhateverTheLanguage) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString file = fileDated(dir, QStringLiteral("PXM_DATA.S19"), QDate(2026, 3, 5));
    EXPECT_EQ(buildInfoBlock(4, file, "x", 0x60000).mid(16, 12), QByteArray("Mar 05 2026\0", 12));
}

TEST_F(InfoBlock, EmptyImageIsARunTimeErrorAndNothingIsWritten) {
    openBus({0x72});
    std::atomic<int> writes{0};
    od(0x72).addDomain(idxInfoBlock, 4, QByteArray());
    od(0x72).setWriteHook(idxInfoBlock, 4, [&](const QByteArray&) { ++writes; return sim::AbortCode(0); });
    EXPECT_FALSE(writeInfoBlock(2, 4, dir.filePath("PXM_DATA.S19"), QByteArray(), 0x60000));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].object, "modDownload");
    EXPECT_EQ(errors[0].procedure, "writeInfoBlock");
    EXPECT_EQ(writes, 0);
}

// ---- The write over the bus ----

TEST_F(InfoBlock, WriteSendsTheBlockToTheSectionSubIndexOfTheBootloader) {
    openBus({0x72});
    const QString file = fileDated(dir, QStringLiteral("PXM_FPGA_V2.S19"), QDate(2026, 12, 8));
    const QByteArray image = pattern(100);
    for (qint32 section : {7, 1}) {
        od(0x72).addDomain(idxInfoBlock, quint8(section), QByteArray());
        ASSERT_TRUE(writeInfoBlock(2, section, file, image, 0x00100000)) << section;
        EXPECT_EQ(od(0x72).value(idxInfoBlock, quint8(section)), buildInfoBlock(section, file, image, 0x00100000));
    }
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(InfoBlock, RefusedWriteIsQuietlyFalse) {
    openBus({0x72});
    od(0x72).addDomain(idxInfoBlock, 4, QByteArray(), sim::Access::ReadOnly);
    EXPECT_FALSE(writeInfoBlock(2, 4, dir.filePath("PXM_DATA.S19"), "abc", 0x60000));
    EXPECT_FALSE(writeInfoBlock(5, 4, dir.filePath("PXM_DATA.S19"), "abc", 0x60000)) << "no such node";
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(InfoBlock, QtmWriteWaitsUpTo2000MsForEachResponse) {
    modGlobal::g_qtmMode = true;
    modGlobal::g_updateMode = false;
    openBus({0x42}, QStringLiteral("SBus"), false);  // the master's 200 ms are in force
    ASSERT_EQ(modGlobal::g_cobIdBootloader, 0x40);
    od(0x42).addDomain(idxInfoBlock, 6, QByteArray());
    sim::Faults slow;
    slow.delayMs = 350;
    bus(0).node(0x42)->setFaults(slow);
    EXPECT_TRUE(writeInfoBlock(2, 6, dir.filePath("QTM_APPL.S19"), "abc", 0x40000));
    EXPECT_EQ(od(0x42).value(idxInfoBlock, 6).mid(4, 8), QByteArray("QTM20APP"));
}

// ---- The start-address check ----

TEST_F(InfoBlock, StartAddressAgainstTheBootloaderAreas) {
    const QString bl1 = QStringLiteral("Download cancelled because start address is within Bootloader1 memory.");
    const QString bl2 = QStringLiteral(
        "Download cancelled because start address is within Bootloader2 memory and section is not Bootloader2.");
    const struct {
        qint32 section;
        qint32 address;
        bool ok;
        QString box;
    } cases[] = {
        {4, 0x100FF, false, bl1},
        {3, 0x100FF, false, bl1},
        {4, qint32(0x80000000u), false, bl1},  // signed: the top bit set lies below everything
        {4, 0x10100, false, bl2},
        {2, 0x2FFFF, false, bl2},
        {3, 0x10100, true, {}},
        {3, 0x2FFFF, true, {}},
        {6, 0x30000, true, {}},
        {6, 0x100000, true, {}},
    };
    for (const auto& c : cases) {
        answers.clear();
        EXPECT_EQ(checkInfoBlock(c.section, c.address), c.ok) << c.section << " " << c.address;
        if (c.box.isEmpty()) {
            EXPECT_TRUE(answers.shown().empty());
        } else {
            ASSERT_EQ(answers.shown().size(), 1u);
            EXPECT_EQ(answers.shown()[0].text, c.box);
            EXPECT_EQ(answers.shown()[0].title, "ERROR");
        }
    }
}

// ---- The loading status ----

TEST_F(InfoBlock, LoadingStatusIsTheUnsignedByteOfSubIndex3) {
    openBus({0x73});
    for (int value : {1, 127, 0, 255}) {
        od(0x73).addU8(idxLoadingStatus, 3, quint8(value), sim::Access::ReadOnly);
        EXPECT_EQ(g_getLoadingStatus(3, false), value);
    }
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(InfoBlock, QtmAndBzmReadSubIndex0) {
    for (bool qtm : {true, false}) {
        modGlobal::g_qtmMode = qtm;
        modGlobal::g_bzmMode = !qtm;
        modGlobal::g_updateMode = false;
        const quint8 node = qtm ? 0x41 : 0x21;
        openBus({node});
        od(node).addU8(idxLoadingStatus, 0, 0);
        od(node).addU8(idxLoadingStatus, 3, 1);
        EXPECT_EQ(g_getLoadingStatus(1, true), 0) << (qtm ? "QTM" : "BZM");
        master().unload();
    }
}

TEST_F(InfoBlock, OnTheMBusCylinderModulesAnswerOnTheSecondBootloaderBase) {
    openBus({0x7F, 0x72}, QStringLiteral("MBus"));
    ASSERT_TRUE(modGlobal::g_isMBusConnection);
    od(0x7F).addU8(idxLoadingStatus, 3, 1);
    od(0x72).addU8(idxLoadingStatus, 3, 127);
    EXPECT_EQ(g_getLoadingStatus(0, true), 1);
    EXPECT_EQ(g_getLoadingStatus(2, true), 127);
}

TEST_F(InfoBlock, UnreadableStatusIsMinusOneAndReportedUnlessQuiet) {
    openBus({0x73});
    EXPECT_EQ(g_getLoadingStatus(3, true), -1);
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_EQ(g_getLoadingStatus(3, false), -1);
    EXPECT_EQ(answers.shown().size(), 1u);
    master().set_g_noCAN(true);
    EXPECT_EQ(g_getLoadingStatus(3, true), -1) << "nothing received is no status";
}

// ---- End to end: block, image and status sequence ----

TEST_F(InfoBlock, BlockImageAndStatusSequenceThenTheUploadEqualsWhatWasWritten) {
    openBus({0x70});
    // A bootloader in brief: status 1 after an accepted block, 127 after the data, then
    // 255 once the flash is programmed (two reads later).
    auto& d = od(0x70);
    d.addU8(idxLoadingStatus, 3, 0, sim::Access::ReadOnly);
    d.addDomain(idxInfoBlock, 6, QByteArray());
    d.addDomain(0x1F50, 6, QByteArray());
    std::atomic<int> readsAfterData{-1};
    d.setWriteHook(idxInfoBlock, 6, [&](const QByteArray& b) {
        d.setValue(idxLoadingStatus, 3, QByteArray(1, char(b.size() == 44 ? 1 : 0)));
        return sim::AbortCode(0);
    });
    d.setWriteHook(0x1F50, 6, [&](const QByteArray&) {
        d.setValue(idxLoadingStatus, 3, QByteArray(1, char(127)));
        readsAfterData = 0;
        return sim::AbortCode(0);
    });
    d.setReadHook(idxLoadingStatus, 3, [&](QByteArray& v) {
        if (readsAfterData >= 0 && ++readsAfterData > 2) v = QByteArray(1, char(255));
        return sim::AbortCode(0);
    });

    const QString file = fileDated(dir, QStringLiteral("PXM_APPL.S19"), QDate(2026, 12, 8));
    const QByteArray image = pattern(3000);
    ASSERT_TRUE(checkInfoBlock(6, 0x100000));
    ASSERT_TRUE(writeInfoBlock(0, 6, file, image, 0x100000));
    EXPECT_EQ(g_getLoadingStatus(0, true), 1);
    ASSERT_TRUE(master().g_writeSDO(0x70, 0x1F50, 6, image.size(), image));
    QList<qint16> statuses;
    for (int i = 0; i < 4; ++i) statuses << g_getLoadingStatus(0, true);
    EXPECT_EQ(statuses, (QList<qint16>{127, 127, 255, 255}));

    qint32 length = 0;
    QByteArray block, data;
    ASSERT_TRUE(master().g_readSDO(0x70, idxInfoBlock, 6, length, block));
    EXPECT_EQ(block, buildInfoBlock(6, file, image, 0x100000));
    ASSERT_TRUE(master().g_readSDO(0x70, 0x1F50, 6, length, data));
    EXPECT_EQ(data, image);
}
