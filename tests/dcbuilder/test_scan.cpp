// The header scan command end to end on small header files beside the database: a scan
// that completes saves the working copy as the next version, with the software
// information and the data-container version written; a scan that fails saves nothing.
#include "builderfixture.h"

#include "crclibrary/crclibrary.h"
#include "services/srecord.h"

#include <algorithm>

namespace {
class ScanCommand : public BuilderTest {
protected:
    void SetUp() override {
        BuilderTest::SetUp();
        makeDc(dcName(1));
    }
    void writeHeaders(bool withVersions) {
        dcfixture::writeHeaderSet(dir.path(), withVersions);
    }
    // The header files written, the builder shown and one scan run on them.
    void scanHeaders(bool withVersions) {
        writeHeaders(withVersions);
        builder().g_show(dir.path());
        builder().cmdScanHeader_Click();
    }
    QVariant entry(const QString& db, const char* name) const {
        return value(db, QStringLiteral("SELECT value FROM dcEnums WHERE name='%1'").arg(QString::fromLatin1(name)));
    }
    void expectFramedLog() {
        const QStringList l = log();
        ASSERT_GE(l.size(), 2);
        EXPECT_TRUE(l.first().startsWith(QStringLiteral("SCAN HEADER FILES ") + QString(64, QLatin1Char('-')) + QLatin1Char(' ')))
            << l.first().toStdString();
        EXPECT_TRUE(l.last().startsWith(QString(82, QLatin1Char('-')) + QLatin1Char(' '))) << l.last().toStdString();
        for (QWidget* w : std::initializer_list<QWidget*>{builder().cmdScanHeader, builder().cmdScanSignalList,
                                                          builder().cmdExit, builder().tabAction})
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
};
}  // namespace

TEST_F(ScanCommand, EachCompletedScanSavesANewVersionWithTheSoftwareInformation) {
    writeHeaders(true);
    const QByteArray app = QByteArray::fromHex("0102030405060708090a0b0c0d0e0f10");
    ASSERT_TRUE(modDownload::g_binToSRec(app, 0x10000, QStringLiteral("S28"), dir.filePath(QStringLiteral("PXM_application.s19"))));
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().cmdScanHeader->isEnabled());
    builder().cmdScanHeader->click();

    expectFramedLog();
    const QStringList l = log();
    EXPECT_TRUE(l.contains(QStringLiteral("   Write SW-Infos")));
    EXPECT_TRUE(l.contains(QStringLiteral("   Write DC-version 9 into DC")));
    EXPECT_TRUE(l.contains(QStringLiteral("Result saved in new DC-Version KELB-3817 Update Tool-PXM-DC-002.mdb")));
    EXPECT_EQ(entry(dcName(2), "PAR_SWINFO_SW_VERSION").toInt(), 12);
    EXPECT_EQ(entry(dcName(2), "PAR_SWINFO_DEVELOPER_NO").toInt(), 2042);
    EXPECT_EQ(entry(dcName(2), "PAR_CRC_FIRST_APPLICATION").toInt(), int(CrcCalculation(app.constData(), app.size(), 0)));
    EXPECT_EQ(value(dcName(2), QStringLiteral("SELECT value FROM dcBinFile WHERE content='dcVersion'")).toString(), "9");
    EXPECT_EQ(value(dcName(2), QStringLiteral("SELECT count(*) FROM dcEnums WHERE name='ENGINE_SPEED'")).toInt(), 1);
    // A fresh working copy of the saved version; the next name has moved on.
    EXPECT_FALSE(builder().workingCopyModified());
    EXPECT_TRUE(builder().nextVersion().endsWith(QStringLiteral("-PXM-DC-003.mdb")));

    builder().cmdScanHeader_Click();  // nothing new, still a version of its own
    EXPECT_TRUE(QFile::exists(dcName(3)));
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(4)));
}

TEST_F(ScanCommand, MissingConstantsAndApplicationImageAreLoggedAndTheScanStillSaves) {
    scanHeaders(false);
    const QStringList l = log();
    for (const char* line : {"      SW-version not found -> check datacontainer.h!",
                             "      SW-developer-number not found -> check datacontainer.h!",
                             "      PXM_application.s19 not found -> Appl-CRC cannot be calculated!",
                             "   DC-version not found -> check datacontainer.h!"})
        EXPECT_TRUE(l.contains(QString::fromLatin1(line))) << line;
    EXPECT_TRUE(QFile::exists(dcName(2)));
    EXPECT_EQ(value(dcName(2), QStringLiteral("SELECT value FROM dcBinFile WHERE content='dcVersion'")).toString(), "7");
}

TEST_F(ScanCommand, AFailedScanSavesNoVersionAndLeavesBothButtonsEnabled) {
    writeHeaders(true);
    builder().g_show(dir.path());
    QFile::remove(dir.filePath(QStringLiteral("dataContainer.h")));
    builder().cmdScanHeader_Click();
    expectFramedLog();
    EXPECT_FALSE(builder().workingCopyModified());
    EXPECT_FALSE(log().join(QLatin1Char('\n')).contains(QStringLiteral("Write SW-Infos")));
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(2)));
}

// What the engineer entered for a symbol (limits, producer mask) survives a header file
// saved by another editor, and a header file the scan finds no section in changes nothing.
TEST_F(ScanCommand, TheEngineersAttributesSurviveOtherLineEndsAFileWithoutSectionAndOneCutShort) {
    scanHeaders(true);
    ASSERT_TRUE(QFile::exists(dcName(2)));
    const QString attributes = QStringLiteral("SELECT minValue || '/' || maxValue || '/' || producerMask FROM dcEnums WHERE name='ENGINE_SPEED'");
    execute(builder().workingCopy(),
            QStringLiteral("UPDATE dcEnums SET minValue=-5, maxValue=55, producerMask=9 WHERE name='ENGINE_SPEED'"));

    QFile f(dir.filePath(QStringLiteral("dataContainer.h")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString dataContainer = QString::fromLatin1(f.readAll());
    f.close();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(dataContainer.toLatin1().replace('\n', '\r'));
    f.close();
    builder().cmdScanHeader_Click();
    ASSERT_TRUE(QFile::exists(dcName(3))) << log().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(value(dcName(3), attributes).toString(), QStringLiteral("-5/55/9"));

    dcfixture::writeFile(dir.filePath(QStringLiteral("dataContainer.h")),
                         QString(dataContainer).replace(QLatin1String("// scanStart"), QLatin1String("//scanStart")));
    builder().cmdScanHeader_Click();
    expectFramedLog();
    EXPECT_TRUE(log().contains(QStringLiteral("      dataContainer.h: the file has no scan section (no line begins with \"// scanStart\")")));
    EXPECT_EQ(value(builder().workingCopy(), attributes).toString(), QStringLiteral("-5/55/9"));
    EXPECT_EQ(value(builder().workingCopy(), QStringLiteral("SELECT count(*) FROM sourceScan WHERE name='ENGINE_SPEED'")).toInt(), 1);

    // Cut short: the scan section of global.h without its end, the last line half a define.
    dcfixture::writeFile(dir.filePath(QStringLiteral("dataContainer.h")), dataContainer);
    const QString constants = QStringLiteral("SELECT count(*) FROM sourceScan WHERE class='CONSTANT'");
    const int constantRows = value(builder().workingCopy(), constants).toInt();
    const int dcRows = value(builder().workingCopy(), QStringLiteral("SELECT count(*) FROM dcEnums")).toInt();
    QFile g(dir.filePath(QStringLiteral("global.h")));
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray global = g.readAll();
    g.close();
    ASSERT_TRUE(global.contains("#define PARAMETER_OFFSET_1024"));
    dcfixture::writeFile(dir.filePath(QStringLiteral("global.h")),
                         QString::fromLatin1(global.left(global.indexOf("#define PARAMETER_OFFSET_1024") + 3)));
    builder().cmdScanHeader_Click();
    expectFramedLog();
    const QStringList l = log();
    const bool named = std::any_of(l.cbegin(), l.cend(), [](const QString& line) {
        return line.startsWith(QLatin1String("      global.h line 1: the scan section reaches the end of the file without \"// scanEnd\""));
    });
    EXPECT_TRUE(named) << l.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(value(builder().workingCopy(), constants).toInt(), constantRows);
    EXPECT_EQ(value(builder().workingCopy(), QStringLiteral("SELECT count(*) FROM dcEnums")).toInt(), dcRows);
    EXPECT_EQ(value(builder().workingCopy(), attributes).toString(), QStringLiteral("-5/55/9"));
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(4)));
}
