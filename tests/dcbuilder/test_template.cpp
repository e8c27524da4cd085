// The data-container template made from the project's newest database: placeholders in
// exactly the columns the image gives back, its name from the build, and the failures
// that leave neither a template nor a working file behind.
#include "reconstructionfixture.h"

#include "crashkill.h"
#include "dao/dbfiles.h"

#include <QPlainTextEdit>

class TemplateTest : public ReconstructionTest {
protected:
    void create() { window().g_createDCTemplate(project); }
    QStringList logFrom(int first) const { return mainLog.lines.mid(first); }
};

TEST_F(TemplateTest, PlaceholdersGoOnlyIntoTheColumnsTheImageGivesBack) {
    makeProject(projectDc(1));
    // A parameter just below the variables' ids and a variable at the first of them.
    param(projectDc(1), 2047, "PAR_LAST", "PARAMETER", 9, 0, "XYZ");
    param(projectDc(1), 2048, "GLB_FIRST", "VARIABLE", 8);
    execute(projectDc(1), QStringLiteral("UPDATE dcEnums SET minValue=-7 WHERE id>=2047"));
    create();
    ASSERT_TRUE(QFile::exists(templateOf(123))) << mainLog.lines.join(QLatin1Char('\n')).toStdString();
    const QString t = templateOf(123);
    auto cell = [&](const char* column, const char* name) {
        return value(t, QStringLiteral("SELECT \"%1\" FROM dcEnums WHERE name='%2'").arg(QLatin1String(column), QLatin1String(name))).toString();
    };
    const struct {
        const char* name;
        const char* value;
        const char* minValue;
    } rows[] = {
        {"PAR_A", "-32768", "32767"},      {"PAR_IMO", "-32768", "32767"}, {"PAR_LAST", "-32768", "32767"},
        {"GLB_X", "-32768", "-4"},         {"GLB_FIRST", "-32768", "-7"},  {"PAR_DEFAULT", "0", "-6"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(cell("value", r.name), QString::fromLatin1(r.value)) << r.name;
        EXPECT_EQ(cell("minValue", r.name), QString::fromLatin1(r.minValue)) << r.name;
    }
    // The name is a text item of the image, which is not read back: the names stay.
    EXPECT_EQ(value(t, QStringLiteral("SELECT COUNT(*) FROM dcEnums WHERE name='-32768'")).toInt(), 0);
    EXPECT_EQ(value(t, QStringLiteral("SELECT COUNT(*) FROM dcEnums WHERE id>=0 AND (onlineValue<>0 OR \"upDate\"<>1)")).toInt(), 0);
    EXPECT_EQ(value(t, QStringLiteral("SELECT COUNT(*) FROM alarmEnums WHERE id>=0 AND (criterion<>-32768 OR signalIndex<>-32768 OR \"upDate\"<>1)")).toInt(), 0);
    // Default rows and columns that no step names keep their values.
    EXPECT_EQ(value(t, QStringLiteral("SELECT criterion FROM alarmEnums WHERE id<0")).toInt(), 3);
    EXPECT_EQ(cell("crcGroup", "PAR_A"), QStringLiteral("1"));

    EXPECT_TRUE(mainLog.lines.first().startsWith(QStringLiteral("CREATE DC TEMPLATE ") + QString(63, QLatin1Char('-')) + QLatin1Char(' ')));
    EXPECT_EQ(logFrom(1), QStringList({QStringLiteral("Creating DataContainer Template from File: \r") + QDir::toNativeSeparators(projectDc(1)),
                                       QStringLiteral("DataContainer Template created for Build No: 123"), mainLog.lines.last()}));
    EXPECT_TRUE(mainLog.lines.last().startsWith(QString(82, QLatin1Char('-')) + QLatin1Char(' ')));
    EXPECT_EQ(templateFiles(), QStringList{QStringLiteral("DC_Template_Build_123.mdb")});
    EXPECT_FALSE(window().isLoaded());
    EXPECT_TRUE(errors.seen.empty());
}

TEST_F(TemplateTest, TheNewestVersionIsTheSourceAndANameWithoutVersionIsFoundToo) {
    makeProject(projectDc(1));
    for (int v = 2; v <= 12; ++v) QFile::copy(projectDc(1), projectDc(v));
    execute(projectDc(12), QStringLiteral("UPDATE dcEnums SET value=42 WHERE name='PAR_SWINFO_BUILD'"));
    create();
    EXPECT_EQ(mainLog.lines.at(1), QStringLiteral("Creating DataContainer Template from File: \r") + QDir::toNativeSeparators(projectDc(12)));
    EXPECT_EQ(templateFiles(), QStringList{QStringLiteral("DC_Template_Build_042.mdb")});

    for (int v = 1; v <= 12; ++v) QFile::remove(projectDc(v));
    const QString plain = project + QStringLiteral("/KELB-3817 Update Tool-PXM-DC.mdb");
    makeProject(plain);
    mainLog.lines.clear();
    create();
    EXPECT_EQ(mainLog.lines.at(1), QStringLiteral("Creating DataContainer Template from File: \r") + QDir::toNativeSeparators(plain));
    EXPECT_TRUE(QFile::exists(templateOf(123)));
}

TEST_F(TemplateTest, AnExistingTemplateIsReplacedOnlyAfterYes) {
    makeProject(projectDc(1));
    QDir().mkpath(templates);
    dcfixture::writeFile(templateOf(123), QStringLiteral("old"));
    create();  // unscripted: the question is answered No
    EXPECT_TRUE(logFrom(1).contains(QStringLiteral("DataContainer Template creation cancelled.")));
    QFile f(templateOf(123));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));
    f.close();
    EXPECT_EQ(templateFiles(), QStringList{QStringLiteral("DC_Template_Build_123.mdb")});

    answers.pushForm([](QDialog* d) {
        auto* box = static_cast<frmMessage2*>(d);
        EXPECT_EQ(box->txtMessage->toPlainText(),
                  QStringLiteral("The DataContainer template for build 123 already exists. Do you want to replace it? "));
        box->cmdYes->click();
        return -1;
    });
    mainLog.lines.clear();
    create();
    EXPECT_TRUE(mainLog.lines.contains(QStringLiteral("DataContainer Template created for Build No: 123")));
    EXPECT_EQ(value(templateOf(123), QStringLiteral("SELECT value FROM dcEnums WHERE name='GLB_Y'")).toString(), QStringLiteral("-32768"));
    EXPECT_EQ(templateFiles(), QStringList{QStringLiteral("DC_Template_Build_123.mdb")});
}

// A failed step is reported and leaves no template and no working file, not even an old one.
TEST_F(TemplateTest, AFailedStepLeavesNoTemplateAndNoWorkingFile) {
    const struct {
        const char* what;
        std::function<void(const QString&)> spoil;
        QString line;
        bool runtimeError;
    } cases[] = {
        {"no build number", [](const QString& db) { execute(db, QStringLiteral("DELETE FROM dcEnums WHERE name='PAR_SWINFO_BUILD'")); },
         QStringLiteral("DC Template creation failed: no build number in the Data Container file."), false},
        {"empty build number", [](const QString& db) { execute(db, QStringLiteral("UPDATE dcEnums SET value=NULL WHERE name='PAR_SWINFO_BUILD'")); },
         QStringLiteral("DC Template creation failed: no build number in the Data Container file."), false},
        {"no alarm step rows", [](const QString& db) { execute(db, QStringLiteral("DELETE FROM alarmBinFile")); },
         QStringLiteral("DC Template creation failed: could not open source Database"), false},
        {"no alarms", [](const QString& db) { execute(db, QStringLiteral("DELETE FROM alarmEnums WHERE id>=0")); },
         QStringLiteral("DC Template creation failed: could not open source Database"), false},
        {"a step names no column", [](const QString& db) {
             execute(db, QStringLiteral("UPDATE dcBinFile SET content='noSuchColumn' WHERE step=13"));
         },
         QStringLiteral("DC Template creation failed: could not write the placeholders."), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        errors.seen.clear();
        makeProject(projectDc(1));
        c.spoil(projectDc(1));
        QDir().mkpath(templates);
        dcfixture::writeFile(templates + QStringLiteral("/temp.mdb"), QStringLiteral("stale"));
        mainLog.lines.clear();
        create();
        EXPECT_TRUE(mainLog.lines.contains(c.line)) << mainLog.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(mainLog.lines.last().startsWith(QString(82, QLatin1Char('-'))));
        EXPECT_TRUE(templateFiles().isEmpty()) << templateFiles().join(QLatin1Char(',')).toStdString();
        EXPECT_EQ(errors.seen.size(), c.runtimeError ? 1u : 0u);
        EXPECT_FALSE(window().isLoaded());
    }
}

TEST_F(TemplateTest, WithoutADataContainerFileNothingIsWrittenAndTheErrorWindowSaysWhy) {
    window().g_show();
    ASSERT_TRUE(window().isVisible());
    create();
    EXPECT_EQ(logFrom(1), QStringList({QStringLiteral("DC Template creation failed: no Data Container file in current project."),
                                       mainLog.lines.last()}));
    ASSERT_NE(frmMessage2::existing(), nullptr);
    EXPECT_TRUE(frmMessage2::existing()->isVisible());
    EXPECT_EQ(frmMessage2::existing()->windowTitle(), QStringLiteral("ERROR"));
    EXPECT_EQ(frmMessage2::existing()->txtMessage->toPlainText(),
              QStringLiteral("DC Template creation failed because there is no DataContainer file in current project KELB-3817 Update Tool."));
    EXPECT_FALSE(QDir(templates).exists());
    // The reconstruction window that was open closes with it.
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isLoaded());
}

// A template being replaced holds the old template or the new one whenever the command is killed.
TEST_F(TemplateTest, CrashAReplacedTemplateIsOldOrNewWhenKilledAtAnyMoment) {
    makeProject(projectDc(1));
    {
        // Bulk, so that the copies take a while.
        auto d = dao::OpenDatabase(projectDc(1), true, false);
        d->Execute(QStringLiteral("CREATE TABLE bulk (b BLOB)"));
        d->Execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 24; ++i) d->Execute(QStringLiteral("INSERT INTO bulk VALUES (?)"), {QByteArray(1 << 20, char(i))});
        d->Execute(QStringLiteral("COMMIT"));
    }
    QDir().mkpath(QFileInfo(templateOf(123)).absolutePath());
    auto restoreOld = [&] {
        dao::RemoveDatabaseFile(templateOf(123));
        QFile::copy(projectDc(1), templateOf(123));
    };
    const QString partA = QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_A'");
    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        restoreOld();
        answers.pushForm([](QDialog* d) {  // "already exists. Do you want to replace it?"
            static_cast<frmMessage2*>(d)->cmdYes->click();
            return -1;
        });
    };
    runs.write = [&] { create(); };
    runs.check = [&](int run) {
        EXPECT_EQ(dao::IntegrityProblem(templateOf(123)), QString()) << "run " << run;
        const QString v = value(templateOf(123), partA).toString();
        if (run < 0) {
            EXPECT_EQ(v, QStringLiteral("-32768"));  // the undisturbed run
        }
        EXPECT_TRUE(v == QStringLiteral("5") || v == QStringLiteral("-32768")) << "run " << run << ": " << v.toStdString();
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}
