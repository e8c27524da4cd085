// The reconstruction of a data-container database from the image uploaded from a module:
// a round trip from an image the builder made, and every way it refuses or discards.
#include "reconstructionfixture.h"

#include <algorithm>
#include <map>
#include <random>

namespace {
const QString kSuccess = QStringLiteral("DataContainer reconstruction finished successfully.");

}  // namespace

TEST(TemplateOfAnImage, TheBuildNumberIsReadFromBytes68To71AsBcd) {
    const struct {
        const char* bytes;
        qint64 build;
        const char* file;
    } cases[] = {
        {"00000007", 7, "DC_Template_Build_007.mdb"},
        {"00012345", 12345, "DC_Template_Build_12345.mdb"},
        {"00000123", 123, "DC_Template_Build_123.mdb"},
        {"0000000A", 10, "DC_Template_Build_010.mdb"},  // a nibble above 9 counts with its value
        {"99999999", 99999999, "DC_Template_Build_99999999.mdb"},
    };
    for (const auto& c : cases) {
        const QByteArray image = QByteArray(68, '\x77') + QByteArray::fromHex(c.bytes) + QByteArray(5, '\x66');
        ASSERT_EQ(dcTemplate::buildNumberOf(image), std::optional<qint64>(c.build)) << c.bytes;
        EXPECT_EQ(dcTemplate::templateFileName(c.build), QString::fromLatin1(c.file));
    }
    EXPECT_EQ(dcTemplate::buildNumberOf(QByteArray(72, '\0')), std::optional<qint64>(0));
    EXPECT_EQ(dcTemplate::buildNumberOf(QByteArray(71, '\x11')), std::nullopt);
}

TEST_F(ReconstructionTest, AnImageTheBuilderMadeGivesBackTheDatabaseTableForTable) {
    prepareAll();
    // The image carries the build at bytes 68 to 71 and the hull number as a text.
    const QByteArray image = uploadedImage();
    ASSERT_GE(image.size(), 72);
    EXPECT_EQ(image.mid(68, 4), QByteArray::fromHex("00000123"));
    EXPECT_EQ(image.mid(32, 16), QByteArray("HN-4711/K       "));

    reconstruct();
    const QStringList l = windowLog();
    ASSERT_TRUE(QFile::exists(result())) << l.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(difference(result(), projectDc(1)), QString());
    EXPECT_TRUE(l.first().startsWith(QStringLiteral("DC RECONSTRUCTION ") + QString(64, QLatin1Char('-')) + QLatin1Char(' ')));
    EXPECT_TRUE(l.contains(QStringLiteral("Build S19")));
    EXPECT_TRUE(l.contains(QStringLiteral("   Read DC-Bin-File")));
    EXPECT_TRUE(l.contains(QStringLiteral("   Read ALARM-Bin-File")));
    EXPECT_EQ(l.at(l.size() - 2), kSuccess);
    EXPECT_TRUE(l.last().startsWith(QString(82, QLatin1Char('-')) + QLatin1Char(' ')));
    // No working file is left, and the template is untouched.
    EXPECT_EQ(uploadFiles(), QStringList({QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb"), QStringLiteral("PXM_DATA.S19")}));
    EXPECT_EQ(value(templateOf(123), QStringLiteral("SELECT value FROM dcEnums WHERE name='GLB_Y'")).toString(), QStringLiteral("-32768"));
    EXPECT_TRUE(errors.seen.empty());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ReconstructionTest, InDebugModeTheItemLogOfTheReadPassIsKeptAndOtherwiseAnOldOneGoes) {
    prepareAll();
    modGlobal::g_debugMode = true;
    reconstruct();
    const QString itemLog = upload + QStringLiteral("/PXM_DATA.txt");
    QFile f(itemLog);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray lines = f.readAll();
    f.close();
    EXPECT_TRUE(lines.startsWith("1   engineType:     \r\n")) << lines.left(80).toStdString();
    EXPECT_TRUE(lines.contains("5   build: &H123    \r\n"));

    modGlobal::g_debugMode = false;
    answers.push(Dialogs::vbOK);  // the result of the first run is replaced
    window().cmdReconstructDC_Click();
    EXPECT_FALSE(QFile::exists(itemLog));
    EXPECT_TRUE(windowLog().contains(kSuccess));
}

TEST_F(ReconstructionTest, AReplacedResultIsAskedForAndACancelChangesNothing) {
    prepareAll();
    // A result name typed into the box is the one asked about and written.
    window().g_show();
    window().txtReconstructDCResult->setText(QStringLiteral("ship.mdb"));
    const QString ship = upload + QStringLiteral("/ship.mdb");
    dcfixture::writeFile(ship, QStringLiteral("old"));
    window().cmdReconstructDC_Click();
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, QStringLiteral("Result file \r") + QDir::toNativeSeparators(ship) + QStringLiteral("\r already exists. Replace?"));
    EXPECT_EQ(windowLog().mid(1), QStringList{QStringLiteral("  DC Reconstruction cancelled")});
    QFile f(ship);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));
    f.close();

    answers.push(Dialogs::vbOK);
    window().cmdReconstructDC_Click();
    EXPECT_TRUE(windowLog().contains(kSuccess));
    EXPECT_EQ(difference(ship, projectDc(1)), QString());
}

// Every refusal ends without a result, without working files and without the success line.
TEST_F(ReconstructionTest, EveryFailedStepLeavesNoResultAndNoWorkingFile) {
    prepareAll();
    const QByteArray good = uploadedImage();
    QByteArray noTemplate = good;
    noTemplate.replace(68, 4, QByteArray::fromHex("00000007"));
    QByteArray notFitting = good;
    notFitting.truncate(80);
    const struct {
        const char* what;
        std::function<void()> arrange;
        QString line;
    } cases[] = {
        {"S-records unreadable", [&] { dcfixture::writeFile(s19(), QStringLiteral("S2 no record\r\n")); },
         QStringLiteral("  Error: could not convert s19 File to binary data")},
        {"two record lines joined", [&] {
             uploadImage(good);
             QList<QByteArray> lines = testsupport::readFile(s19()).split('\n');
             lines[1] += lines[2];
             lines.removeAt(2);
             ASSERT_TRUE(testsupport::writeFile(s19(), lines.join('\n')));
         },
         QStringLiteral("  ") + QDir::toNativeSeparators(s19()) + QStringLiteral(", line 2: characters after the checksum")},
        {"image under 72 bytes", [&] { uploadImage(good.left(71)); },
         QStringLiteral("  Error: the uploaded image holds 71 bytes, a data container at least 72")},
        {"no template for the build", [&] { uploadImage(noTemplate); },
         QStringLiteral("Error: No database template file available for build Number 7")},
        {"image shorter than its layout", [&] { uploadImage(notFitting); },
         QStringLiteral("  Error: the uploaded image could not be read with the template of build 123. Reconstructed DC has been discarded.")},
        {"template without alarm rows", [&] {
             uploadImage(good);
             execute(templateOf(123), QStringLiteral("DELETE FROM alarmEnums"));
         },
         QStringLiteral("  Error: the uploaded image could not be read with the template of build 123. Reconstructed DC has been discarded.")},
        {"no result name", [&] { window().txtReconstructDCResult->setText(QStringLiteral("  ")); },
         QStringLiteral("  Error: no name given for the result file")},
    };
    window().g_show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        answers.clear();
        window().lstMessage->clear();
        window().cmdReconstructDC_Click();
        const QStringList l = windowLog();
        EXPECT_TRUE(l.contains(c.line)) << l.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(l.contains(kSuccess));
        EXPECT_TRUE(l.last().startsWith(QString(82, QLatin1Char('-'))));
        EXPECT_EQ(uploadFiles(), QStringList{QStringLiteral("PXM_DATA.S19")});
    }
    // None of them is a run-time error for the error handler.
    EXPECT_TRUE(errors.seen.empty());
}

// Damage on the way from the module: single-bit flips of a builder-made upload are either
// refused or reconstruct the original values. Every bit of each line's type digit, count
// byte and line end is flipped, and of a seeded sample of the other bytes; the reader sees
// every flip, and the images it accepts with other bytes each go through a reconstruction.
TEST_F(ReconstructionTest, SingleBitFlipsOfTheUploadAreRefusedOrGiveTheOriginalValues) {
    prepareAll();
    const QByteArray file = testsupport::readFile(s19());
    const QByteArray good = uploadedImage();
    std::vector<qsizetype> positions;
    for (qsizetype at = 0; at < file.size(); at = file.indexOf('\n', at) + 1)
        for (qsizetype i : {at + 1, at + 2, at + 3, file.indexOf('\n', at) - 1, file.indexOf('\n', at)}) positions.push_back(i);
    std::mt19937 random(22);
    std::uniform_int_distribution<qsizetype> anyByte(0, file.size() - 1);
    for (int i = 0; i < 150; ++i) positions.push_back(anyByte(random));

    const QString flippedPath = dir.filePath(QStringLiteral("flipped.S19"));
    std::map<QByteArray, QByteArray> changed;  // an accepted image with other bytes -> its file
    int refused = 0;
    for (qsizetype i : positions)
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray flipped = file;
            flipped[i] = char(flipped[i] ^ (1 << bit));
            ASSERT_TRUE(testsupport::writeFile(flippedPath, flipped));
            QByteArray image;
            qint32 start = 0;
            if (!modDownload::g_sRecToBin(flippedPath, image, start)) ++refused;
            else if (image != good) changed.emplace(image, flipped);
        }
    // Most flips are refused by the reader already; a hex letter's case and a CR turned
    // into a tab are all that pass unchanged.
    EXPECT_GE(refused, 7 * int(positions.size()));
    // A seeded sample of the accepted ones, should there be many.
    std::vector<QByteArray> sample;
    for (const auto& c : changed) sample.push_back(c.second);
    std::shuffle(sample.begin(), sample.end(), random);
    if (sample.size() > 12) sample.resize(12);
    for (const QByteArray& flipped : sample) {
        ASSERT_TRUE(testsupport::writeFile(s19(), flipped));
        QFile::remove(result());
        reconstruct();
        const QStringList l = windowLog();
        if (l.contains(kSuccess))
            EXPECT_EQ(difference(result(), projectDc(1)), QString()) << flipped.toStdString();
        else
            EXPECT_FALSE(QFile::exists(result())) << l.join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_TRUE(errors.seen.empty());
}

// An image whose values were changed with well-formed records: where the changed value
// belongs to a CRC group that the image gives whole, the CRC the image carries refuses it.
TEST_F(ReconstructionTest, ChangedValuesOfACrcGroupAreRefusedByTheCrcTheImageCarries) {
    makeProject(projectDc(1));
    // The CRCs of groups 1 and 4 stand in the image as BCD items too, group 1's in 2 bytes.
    step(projectDc(1), "dcBinFile", 15, "crc1", "DC_CRC_FIRST_GROUP1", 2);
    step(projectDc(1), "dcBinFile", 16, "crc4", "DC_CRC_FIRST_GROUP4", 4);
    buildAndUpload();
    window().g_createDCTemplate(project);
    ASSERT_TRUE(QFile::copy(projectDc(1), plantDc()));
    const QByteArray good = uploadedImage();
    // PAR_A (group 1) at 72, PAR_B (group 1) at 80, the GLB values from 88 in steps of 8
    // with the entry PAR_CRC_GROUP1 the eleventh, PAR_IMO (group 4) at 264, and the BCD
    // items at the end of the data part.
    const auto number = [&](const char* name) {
        return quint16(value(projectDc(1), QStringLiteral("SELECT value FROM dcEnums WHERE name='%1'").arg(QLatin1String(name))).toInt());
    };
    const quint16 crc1 = number("PAR_CRC_GROUP1"), crc4 = number("PAR_CRC_GROUP4");
    ASSERT_EQ(good.mid(72, 4), QByteArray::fromHex("00000005"));
    ASSERT_EQ(good.mid(80, 4), QByteArray::fromHex("fffffffd"));
    ASSERT_EQ(good.mid(168, 4), QByteArray::fromHex(QString::number(crc1, 16).rightJustified(8, '0').toLatin1()));
    ASSERT_EQ(good.mid(264, 4), QByteArray::fromHex("0000002a"));
    ASSERT_EQ(good.mid(276, 2), QByteArray::fromHex(QString::number(crc1 % 10000).rightJustified(4, '0').toLatin1()));
    ASSERT_EQ(good.mid(280, 4), QByteArray::fromHex(QString::number(crc4).rightJustified(8, '0').toLatin1()));

    reconstruct();
    ASSERT_TRUE(windowLog().contains(kSuccess)) << windowLog().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(difference(result(), projectDc(1)), QString());

    const struct {
        const char* what;
        qsizetype offset;
        const char* found;
    } cases[] = {
        {"a value of group 1", 75, "CRC group 1"},
        {"the high byte of another value of group 1", 80, "CRC group 1"},
        {"group 1's entry", 171, "entry PAR_CRC_GROUP1 holds"},
        {"group 1's BCD item", 277, "item DC_CRC_FIRST_GROUP1 holds"},
        {"group 4's value", 267, "CRC group 4"},
        {"group 4's BCD item", 283, "item DC_CRC_FIRST_GROUP4 holds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray image = good;
        image[c.offset] = char(image[c.offset] ^ 0x01);
        uploadImage(image);
        QFile::remove(result());
        answers.clear();
        reconstruct();
        const QStringList l = windowLog();
        EXPECT_FALSE(l.contains(kSuccess));
        EXPECT_FALSE(QFile::exists(result()));
        EXPECT_TRUE(answers.anyTextContains(QString::fromLatin1(c.found))) << l.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(l.contains(QStringLiteral("  Error: the uploaded image could not be read with the template of build 123. "
                                              "Reconstructed DC has been discarded.")));
        EXPECT_EQ(uploadFiles(), QStringList{QStringLiteral("PXM_DATA.S19")});
    }
    EXPECT_TRUE(errors.seen.empty());
}

TEST_F(ReconstructionTest, AMissingTemplateIsNamedWithItsPath) {
    prepareAll();
    QByteArray image = uploadedImage();
    image.replace(68, 4, QByteArray::fromHex("00012345"));
    uploadImage(image);
    reconstruct();
    const QStringList l = windowLog();
    const int at = l.indexOf(QStringLiteral("Error: No database template file available for build Number 12345"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(l.at(at + 1), QStringLiteral("Expected template file path: "));
    EXPECT_EQ(l.at(at + 2), QDir::toNativeSeparators(templates) + QDir::separator() + QStringLiteral("DC_Template_Build_12345.mdb"));
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Error: No database template file available for build Number 12345")});
}

TEST_F(ReconstructionTest, AWalkerFailureDiscardsTheValuesAlreadyRead) {
    prepareAll();
    // The data part reads, the alarm part does not: nothing of the data part survives.
    execute(templateOf(123), QStringLiteral("INSERT INTO alarmBinFile (step, content, value, noOfBytes, \"class\") "
                                            "VALUES (0, 'criterion', 'TABLE', 1, 'WARNING')"));
    reconstruct();
    const QStringList l = windowLog();
    const QString error = QStringLiteral("Step 0 (criterion): no further record of class \"WARNING\" in alarmEnums");
    EXPECT_TRUE(l.contains(QStringLiteral("      ") + error)) << l.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(answers.anyTextContains(error));
    EXPECT_FALSE(l.contains(kSuccess));
    EXPECT_FALSE(QFile::exists(result()));
    EXPECT_EQ(uploadFiles(), QStringList{QStringLiteral("PXM_DATA.S19")});
}

TEST_F(ReconstructionTest, AHullNumberThatDiffersEvenInCaseDiscardsTheResult) {
    prepareAll();
    setHull(plantDc(), QStringLiteral("hn-4711/K"));
    reconstruct();
    const QString text = QStringLiteral("Hull Number of the uploaded data is not equal to the hull number of this plant.\r"
                                        "Uploaded: HN-4711/K\rExpected: hn-4711/K\rReconstructed DC has been discarded.");
    EXPECT_EQ(answers.texts(), QStringList{text});
    const QStringList l = windowLog();
    const int at = l.indexOf(QStringLiteral("Hull Number of the uploaded data is not equal to the hull number of this plant."));
    ASSERT_GE(at, 0);
    EXPECT_EQ(l.mid(at + 1, 3), QStringList({QStringLiteral("Uploaded: HN-4711/K"), QStringLiteral("Expected: hn-4711/K"),
                                             QStringLiteral("Reconstructed DC has been discarded.")}));
    EXPECT_FALSE(l.contains(kSuccess));
    EXPECT_EQ(uploadFiles(), QStringList{QStringLiteral("PXM_DATA.S19")});
}

TEST_F(ReconstructionTest, WithoutAPlantDatabaseTheHullNumberIsNotCheckedAndTheEngineerIsWarned) {
    prepareAll();
    QFile::remove(plantDc());
    answers.push(Dialogs::vbOK);
    reconstruct();
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.contains(QStringLiteral("the hull number of the uploaded data (HN-4711/K) could not be checked")));
    EXPECT_TRUE(QFile::exists(result()));
    EXPECT_TRUE(windowLog().contains(kSuccess));
}

TEST_F(ReconstructionTest, TheHullNumberIsReadFromFourRowsAndAtMostSixteenCharacters) {
    const QString db = projectDc(1);
    makeProject(db);
    const struct {
        const char* stored;
        const char* read;
    } cases[] = {{"HN-4711/K", "HN-4711/K"}, {"0123456789ABCDEF", "0123456789ABCDEF"}, {"0123456789ABCDEFGHIJ", "0123456789ABCDEF"}, {"", ""}};
    for (const auto& c : cases) {
        setHull(db, QString::fromLatin1(c.stored));
        // A fifth row would hold characters 17 to 20.
        execute(db, QStringLiteral("DELETE FROM dcEnums WHERE id=34"));
        param(db, 34, "PAR_SWINFO_HULL_NO_5", "PARAMETER", modStringFct::g_asciiTolng(QString::fromLatin1(c.stored).mid(16, 4)), 0, "GLB");
        EXPECT_EQ(window().getHullNo(db), QString::fromLatin1(c.read));
    }
    execute(db, QStringLiteral("DELETE FROM dcEnums WHERE name LIKE 'PAR_SWINFO_HULL_NO_%'"));
    EXPECT_EQ(window().getHullNo(db), QString());
}

TEST_F(ReconstructionTest, TheWindowNamesWhyItCannotReconstruct) {
    // No upload yet.
    window().g_show();
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(window().cmdReconstructDC->isEnabled());
    EXPECT_EQ(windowLog(), QStringList{QStringLiteral("Cannot Reconstruct DataContainter: S19 file has to be uploaded first!")});
    EXPECT_EQ(window().txtFileDirectory->text(), upload);
    // Without a data-container file in the configuration's folder the tool title names the result.
    EXPECT_EQ(window().txtReconstructDCResult->text(), QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb"));

    // An upload, but a template directory that is missing or holds no file.
    uploadImage(QByteArray(80, '\0'));
    dcfixture::writeFile(plant + QStringLiteral("/ABC-PXM-DC-007.mdb"), QString());
    for (bool makeDir : {false, true}) {
        if (makeDir) QDir().mkpath(templates + QStringLiteral("/sub"));
        modGlobal::g_debugMode = makeDir;
        window().g_show();
        EXPECT_FALSE(window().cmdReconstructDC->isEnabled());
        QStringList expected{QStringLiteral("DC Reconstruction disabled because template directory does not exist.")};
        if (makeDir) expected << QStringLiteral("debug information: template path = ") + dcTemplate::g_templateDirectory();
        EXPECT_EQ(windowLog(), expected);
        EXPECT_EQ(window().txtReconstructDCResult->text(), QStringLiteral("ABC-PXM-DC-Upload.mdb"));
    }

    dcfixture::writeFile(templates + QStringLiteral("/DC_Template_Build_001.mdb"), QString());
    window().g_show();
    EXPECT_TRUE(window().cmdReconstructDC->isEnabled());
    EXPECT_TRUE(windowLog().isEmpty());
    window().cmdExit->click();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isLoaded());
}

TEST_F(ReconstructionTest, TheWindowIsDrawnAfterAReconstruction) {
    prepareAll();
    reconstruct();
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Data Container Builder"));
    EXPECT_TRUE(window().txtDocumentation->text().contains(QStringLiteral("PXM_Data.S19")));
    EXPECT_EQ(window().lstMessage->font().family(), QStringLiteral("Courier New"));
    const QPixmap shot = window().grab();
    EXPECT_EQ(shot.size(), window().size());
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!keep.isEmpty()) shot.save(QDir(keep).filePath(QStringLiteral("dcreconstruction.png")));
    // On a service laptop's screen it opens inside the work area.
    EXPECT_TRUE(testsupport::workArea().contains(window().frameGeometry()));
    EXPECT_TRUE(testsupport::keepGrab(&window(), QStringLiteral("reconstruction-1280x800")));
}

// A row of the template that no step of the image reaches keeps its placeholders: the
// result is kept, with the success line, and the row is named as a warning.
TEST_F(ReconstructionTest, RowsTheImageDidNotFillAreNamedAsAWarning) {
    prepareAll();
    // A group the step table does not walk, added to the template as the template marks it.
    row(templateOf(123), "dcEnums", {{"id", 40}, {"name", "PAR_NOT_IN_IMAGE"}, {"class", "PARAMETER"}, {"varGroup", "NEW"},
                                     {"value", -32768}, {"minValue", 32767}});
    reconstruct();
    const QStringList l = windowLog();
    ASSERT_TRUE(l.contains(kSuccess)) << l.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QFile::exists(result()));
    const qsizetype warning = l.indexOf(QStringLiteral(
        "  Warning: the image gave no value to 1 rows; they hold the template's placeholder (-32768, in minValue 32767):"));
    ASSERT_GE(warning, 0) << l.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(l.at(warning + 1), QStringLiteral("    PAR_NOT_IN_IMAGE: value, minValue"));
    EXPECT_LT(warning, l.indexOf(kSuccess));
    EXPECT_TRUE(errors.seen.empty());
}

// The entry of a CRC group holds a 16-bit CRC; group 3 has no member, so no CRC check of
// the image covers its entry (at image byte 184, as a 4-byte value).
TEST_F(ReconstructionTest, ACrcGroupEntryOutsideSixteenBitsIsAFailure) {
    prepareAll();
    const QByteArray good = uploadedImage();
    ASSERT_EQ(good.mid(184, 4), QByteArray::fromHex("00000000"));
    const struct {
        const char* bytes;
        const char* value;
        bool accepted;
    } cases[] = {
        {"00000000", "0", true},
        {"0000ffff", "65535", true},
        {"00010000", "65536", false},
        {"01000000", "16777216", false},
        {"ffffffff", "-1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        QByteArray image = good;
        image.replace(184, 4, QByteArray::fromHex(c.bytes));
        uploadImage(image);
        QFile::remove(result());
        reconstruct();
        const QStringList l = windowLog();
        EXPECT_EQ(l.contains(kSuccess), c.accepted) << l.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(QFile::exists(result()), c.accepted);
        const QString error = QStringLiteral("  Error: the image gives the CRC-group entry PAR_CRC_GROUP3 = %1, no 16-bit CRC "
                                             "(0 to 65535). Reconstructed DC has been discarded.")
                                  .arg(QLatin1String(c.value));
        EXPECT_EQ(l.contains(error), !c.accepted) << l.join(QLatin1Char('\n')).toStdString();
        if (!c.accepted) {
            EXPECT_EQ(uploadFiles(), QStringList{QStringLiteral("PXM_DATA.S19")}) << "no result, no working file";
        }
    }
    EXPECT_TRUE(errors.seen.empty());
}
