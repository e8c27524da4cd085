// The plant and software information: the "Set Infos" boxes shown in their forms, written
// when the engineer leaves a box he typed into, and an old plantInfo table taken over when
// the database is upgraded.
#include "builderfixture.h"

#include <QApplication>
#include <QFocusEvent>

namespace {
class InfoTab : public BuilderTest {
protected:
    void SetUp() override {
        BuilderTest::SetUp();
        makeDc(dcName(1));
        addInfoEntries(dcName(1));
    }
    QString temp() const { return dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-temp.md")); }
    QVariant entry(const QString& db, const char* name) const {
        return value(db, QStringLiteral("SELECT value FROM dcEnums WHERE name='%1'").arg(QString::fromLatin1(name)));
    }
    // Types into a box and moves the focus away from it.
    static void type(QLineEdit* box, const QString& text) {
        box->setText(text);
        box->setModified(true);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(box, &out);
    }
    QStringList shownBoxes() {
        QStringList l;
        for (QLineEdit* b : {builder().txtEngineType, builder().txtManufacNo, builder().txtHullNo, builder().txtEpiDbNo,
                             builder().txtSwVersion, builder().txtBuild, builder().txtDeveloperNo, builder().txtBootloader,
                             builder().txtImoSwNo})
            l << b->text();
        return l;
    }
};
}  // namespace

TEST_F(InfoTab, TheBoxesShowTheEntriesInTheirForms) {
    execute(dcName(1), QStringLiteral("UPDATE dcEnums SET value=7 WHERE name='PAR_SWINFO_BUILD'"));
    execute(dcName(1), QStringLiteral("UPDATE dcEnums SET value=42 WHERE name='PAR_SWINFO_DEVELOPER_NO'"));
    execute(dcName(1), QStringLiteral("UPDATE dcEnums SET value=3 WHERE name='PAR_SWINFO_SW_VERSION'"));
    execute(dcName(1), QStringLiteral("UPDATE dcEnums SET value=%1 WHERE name='PAR_SWINFO_HULL_NO_1'").arg(0x31323348));  // "H321"
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(1);
    EXPECT_EQ(shownBoxes(), QStringList({"RT-flex", "", "H321", "", "03", "007", "0042", "3.10", ""}));
    EXPECT_FALSE(builder().workingCopyModified());
}

TEST_F(InfoTab, LeavingATypedBoxWritesItsEntryAndLeavingAnUntouchedOneChangesNothing) {
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(1);
    // Passing through every box, and typing what is already stored, changes nothing.
    for (QLineEdit* b : {builder().txtEngineType, builder().txtBuild, builder().txtBootloader}) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(b, &out);
    }
    type(builder().txtBuild, QStringLiteral("123"));
    EXPECT_FALSE(builder().workingCopyModified());

    const struct {
        QLineEdit* box;
        const char* typed;
        const char* row;
        qint64 stored;
    } cases[] = {
        {builder().txtBootloader, "1.5", "PAR_SWINFO_BOOTLOADER_VERSION", 150},
        {builder().txtBuild, "8", "PAR_SWINFO_BUILD", 8},
        {builder().txtDeveloperNo, "0042", "PAR_SWINFO_DEVELOPER_NO", 42},
        {builder().txtHullNo, "SHIP", "PAR_SWINFO_HULL_NO_1", 0x50494853},
        {builder().txtImoSwNo, "I", "PAR_SWINFO_IMO_SW_NO_1", 'I'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        type(c.box, QString::fromLatin1(c.typed));
        EXPECT_EQ(entry(temp(), c.row).toLongLong(), c.stored);
    }
    EXPECT_TRUE(builder().workingCopyModified());
    builder().tabAction->setCurrentIndex(0);
    builder().tabAction->setCurrentIndex(1);
    EXPECT_EQ(shownBoxes(), QStringList({"RT-flex", "", "SHIP", "", "00", "008", "0042", "1.50", "I"}));
    builder().unload();
    EXPECT_EQ(entry(dcName(2), "PAR_SWINFO_BOOTLOADER_VERSION").toLongLong(), 150);
}

TEST_F(InfoTab, ANumberBoxThatHoldsNoNumberGoesToTheErrorHandlerAndStoresNothing) {
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(1);
    type(builder().txtBuild, QStringLiteral("12a"));
    ASSERT_EQ(errors.seen.size(), 1u);
    EXPECT_EQ(errors.seen[0].procedure, QStringLiteral("setSpecialDcLongValue"));
    EXPECT_EQ(entry(temp(), "PAR_SWINFO_BUILD").toInt(), 123);
    EXPECT_FALSE(builder().workingCopyModified());
}

TEST_F(InfoTab, AnUntypedBoxLeftUnchangedLetsTheCopyBeDeletedOnClosing) {
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(1);
    builder().txtBootloader->setText(QStringLiteral("9.99"));  // filled, not typed
    builder().txtBootloader_LostFocus();
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(2)));
    EXPECT_FALSE(QFile::exists(temp()));
}

// A database of the first layout is upgraded when the builder opens it; its plantInfo row
// goes into the entries. Without the table nothing is touched and
// no error box shows.
TEST_F(InfoTab, AnOldPlantInfoTableIsTakenOverByTheUpgrade) {
    for (const bool withPlantInfo : {true, false}) {
        SCOPED_TRACE(withPlantInfo);
        QFile::remove(dcName(1));
        QFile::remove(dcName(2));
        dcfixture::Options old;
        old.versionTable = false;
        makeDc(dcName(1), old);
        addInfoEntries(dcName(1));
        step(dcName(1), "dcBinFile", 6, "swVersion", "", 1);
        step(dcName(1), "dcBinFile", 7, "bootloader", "", 2);
        step(dcName(1), "dcBinFile", 8, "deadBand", "0", 1);
        if (withPlantInfo) {
            auto d = dao::OpenDatabase(dcName(1), false, false);
            dcBinTables::g_createTables(*d, true);
            d->Close();
            row(dcName(1), "plantInfo", {{"EngineType", "W-X72"}, {"ManufacNo", "M1"}, {"HullNo", "H-4711"}, {"EpiDbNo", ""},
                                         {"SwVersion", "5"}, {"Build", "17"}, {"DeveloperNo", ""}, {"Bootloader", "250"},
                                         {"ImoSwNo", "IMO-2"}});
        }
        answers.clear();
        answers.push(Dialogs::vbYes);
        builder().g_show(dir.path());
        ASSERT_TRUE(builder().isLoaded());
        EXPECT_EQ(answers.shown().size(), 1u) << "only the upgrade's question";
        builder().tabAction->setCurrentIndex(1);
        if (withPlantInfo) {
            EXPECT_EQ(shownBoxes(), QStringList({"W-X72", "M1", "H-4711", "", "05", "017", "0000", "2.50", "IMO-2"}));
        } else {
            EXPECT_EQ(shownBoxes(), QStringList({"RT-flex", "", "", "", "00", "123", "0000", "3.10", ""}));
        }
        builder().unload();
    }
}
