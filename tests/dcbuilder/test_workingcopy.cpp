// The working copy: made from the newest version, saved as the next version when changed,
// deleted when not; the build tab's list; the window's log and progress bar.
#include "builderfixture.h"

#include <QLabel>
#include <QProgressBar>

class WorkingCopy : public BuilderTest {
protected:
    void makeVersions(int count) {
        for (int v = 1; v <= count; ++v) makeDc(dcName(v));
    }
    QString temp() const { return dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-temp.md")); }
};

TEST_F(WorkingCopy, AnUnchangedCopyIsDeletedAndAChangedOneBecomesTheNextVersion) {
    makeVersions(5);
    execute(dcName(5), QStringLiteral("UPDATE dcEnums SET value=55 WHERE name='PAR_A'"));

    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    EXPECT_EQ(builder().workingCopy(), QDir::toNativeSeparators(temp()));
    EXPECT_EQ(value(temp(), QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_A'")).toInt(), 55);
    EXPECT_EQ(builder().txtDocumentation[1]->text(), QStringLiteral("\r\n\r\n   KELB-3817 Update Tool-PXM-DC-006.mdb"));
    builder().unload();
    EXPECT_FALSE(QFile::exists(temp()));
    EXPECT_FALSE(QFile::exists(dcName(6)));

    builder().g_show(dir.path());
    builder().markModified();
    builder().cmdExit_Click();
    EXPECT_FALSE(builder().isLoaded());
    EXPECT_TRUE(QFile::exists(dcName(6)));
    EXPECT_FALSE(QFile::exists(temp()));
    EXPECT_EQ(log().last(), QStringLiteral("Result saved in new DC-Version KELB-3817 Update Tool-PXM-DC-006.mdb"));
}

TEST_F(WorkingCopy, TheBuildTabOffersAChangedCopyAsTheNextVersionAtOnce) {
    makeVersions(2);
    builder().g_show(dir.path());
    EXPECT_EQ(builder().tabAction->currentIndex(), 2);
    EXPECT_TRUE(builder().fraAction[3]->isVisible());
    EXPECT_FALSE(builder().fraAction[1]->isVisible());
    EXPECT_EQ(builder().txtStartAdr->text(), QStringLiteral("C0000"));
    EXPECT_FALSE(QFile::exists(dcName(3)));

    builder().markModified();
    builder().tabAction->setCurrentIndex(0);
    builder().tabAction->setCurrentIndex(2);
    EXPECT_TRUE(QFile::exists(dcName(3)));
    EXPECT_EQ(builder().filSourceDC->currentItem()->text(), QStringLiteral("KELB-3817 Update Tool-PXM-DC-003.mdb"));
    // The copy is still open and modified: closing replaces the placed copy.
    execute(temp(), QStringLiteral("UPDATE dcEnums SET value=77 WHERE name='PAR_A'"));
    builder().unload();
    EXPECT_EQ(value(dcName(3), QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_A'")).toInt(), 77);
}

TEST_F(WorkingCopy, WithoutADatabaseTheWindowClosesWithAnErrorBox) {
    builder().g_show(dir.path());
    EXPECT_FALSE(builder().isLoaded());
    EXPECT_FALSE(builder().isVisible());
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text,
              QStringLiteral("DataContainer ") +
                  QDir::toNativeSeparators(dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-???.mdb"))) +
                  QStringLiteral(" not available!"));
}

TEST_F(WorkingCopy, UnloadingDeletesTheReportDatabases) {
    makeVersions(1);
    dcfixture::writeFile(dir.filePath(QStringLiteral("a.rep")), QStringLiteral("x"));
    dcfixture::writeFile(dir.filePath(QStringLiteral("b.rep")), QStringLiteral("x"));
    builder().g_show(dir.path());
    builder().unload();
    EXPECT_EQ(files(), QStringList({QStringLiteral("Config.mdb"), QStringLiteral("KELB-3817 Update Tool-PXM-DC-001.mdb")}));
}

TEST_F(WorkingCopy, TheFileListIsInNameOrderWithTheLastEntrySelected) {
    makeVersions(2);
    dcfixture::writeFile(dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb")), QString());
    dcfixture::writeFile(dir.filePath(QStringLiteral("Other-PXM-DC-009.mdb")), QString());
    builder().g_show(dir.path());
    QStringList shown;
    for (int i = 0; i < builder().filSourceDC->count(); ++i) shown << builder().filSourceDC->item(i)->text();
    EXPECT_EQ(shown, QStringList({QStringLiteral("KELB-3817 Update Tool-PXM-DC-001.mdb"),
                                  QStringLiteral("KELB-3817 Update Tool-PXM-DC-002.mdb"),
                                  QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb")}));
    EXPECT_EQ(builder().filSourceDC->currentRow(), 2);
}

TEST_F(WorkingCopy, TheLogSplitsAtCarriageReturnsAndTheBarStaysInItsRange) {
    builder().addMessage(QStringLiteral("one\rtwo"));
    builder().addMessage(QString());
    EXPECT_EQ(log(), QStringList({QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(builder().lstMessage->currentRow(), 1);
    builder().updateProgress(0.5f);
    builder().updateProgress(0.7f, true);
    EXPECT_EQ(builder().prgProgress->value(), builder().prgProgress->maximum());
    builder().updateProgress(-3);
    EXPECT_EQ(builder().prgProgress->value(), 0);
}

TEST_F(WorkingCopy, TheEditorsChangeMarksTheCopyModified) {
    struct Editor : DcEditorLink {
        QStringList calls;
        bool changed = false;
        bool g_showForm(const QString& db, const QString& kind) override {
            calls << QFileInfo(db).fileName() + QLatin1Char(' ') + kind;
            return changed;
        }
    } editor;
    dcEditorLink::install(&editor);
    makeVersions(1);
    builder().g_show(dir.path());
    builder().cmdEdit[2]->click();
    EXPECT_FALSE(builder().workingCopyModified());
    editor.changed = true;
    builder().cmdEdit[0]->click();
    EXPECT_TRUE(builder().workingCopyModified());
    EXPECT_EQ(editor.calls, QStringList({QStringLiteral("KELB-3817 Update Tool-PXM-DC-temp.md ALARM"),
                                         QStringLiteral("KELB-3817 Update Tool-PXM-DC-temp.md PARAMETER")}));
    dcEditorLink::install(nullptr);
}

TEST_F(WorkingCopy, AnOlderSchemaIsUpgradedAndSavedAsANewVersionOrBlocksTheBuilder) {
    for (const int answer : {Dialogs::vbYes, Dialogs::vbNo}) {
        SCOPED_TRACE(answer);
        QFile::remove(dcName(2));
        makeVersions(1);
        execute(dcName(1), QStringLiteral("DELETE FROM version"));
        execute(dcName(1), QStringLiteral("INSERT INTO version (date, applVersion, comment) VALUES ('2020-01-01T00:00:00', '4.4.4', '')"));
        answers.clear();
        answers.push(answer);
        builder().g_show(dir.path());
        if (answer == Dialogs::vbYes) {
            EXPECT_TRUE(builder().isLoaded());
            EXPECT_TRUE(builder().workingCopyModified());
            builder().unload();
            EXPECT_TRUE(QFile::exists(dcName(2)));
        } else {
            EXPECT_FALSE(builder().isLoaded());
            EXPECT_EQ(answers.shown().back().text,
                      QStringLiteral("Opening DC-database is blocked.\r\nTherefore DC Builder is not available."));
            // Closing settled the unchanged working copy: deleted, no new version.
            EXPECT_FALSE(QFile::exists(temp()));
            EXPECT_FALSE(QFile::exists(dcName(2)));
        }
    }
}
