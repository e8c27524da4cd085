// REPORT: the selected version's three tables copied into its report database, laid out
// as a PDF and handed to the desktop's viewer; the report databases of the session go when
// the builder closes. The PDF is read back with poppler's tools (text and first page).
#include "builderfixture.h"

#include "desktop/desktopservices.h"

#include <QImage>
#include <QProcess>

namespace {
class Report : public BuilderTest {
protected:
    testsupport::DesktopRecorder desktopRequests;
    std::vector<std::pair<testsupport::DesktopAction, QString>>& opened = desktopRequests.seen;
    bool& viewerThere = desktopRequests.result;

    static QString run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};
}  // namespace

TEST_F(Report, TheVersionsTablesAreCopiedAndShownAsAPdf) {
    makeDc(dcName(1));
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(2);
    builder().cmdReport->click();

    const QString base = dcName(1).chopped(3);
    const QString rep = base + QStringLiteral("rep"), pdf = base + QStringLiteral("pdf");
    const QStringList l = log();
    ASSERT_EQ(l.size(), 4) << l.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(l[0].startsWith(QStringLiteral("REPORT ") + QString(75, QLatin1Char('-')) + QLatin1Char(' ')));
    EXPECT_EQ(l[1], QStringLiteral("Produce report out of ") + dcName(1));
    EXPECT_EQ(l[2], QStringLiteral("Debug: \"") + pdf + QLatin1Char('"'));
    EXPECT_TRUE(l[3].startsWith(QString(82, QLatin1Char('-')) + QLatin1Char(' ')));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, testsupport::DesktopAction::OpenDocument);
    EXPECT_EQ(opened[0].second, pdf);

    for (const char* table : {"dcEnums", "alarmEnums", "dcBinFile"}) {
        const QString count = QStringLiteral("SELECT count(*) FROM %1").arg(QString::fromLatin1(table));
        EXPECT_EQ(value(rep, count).toInt(), value(dcName(1), count).toInt()) << table;
    }
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_FALSE(text.isEmpty()) << "pdftotext (poppler-utils) reads the report";
    for (const char* part : {"Data Container Report", "KELB-3817 Update Tool-PXM-DC-001.mdb", "PAR_SWINFO_BUILD", "ALM_B",
                             "GLB_Y", "engineType", "dcVersion"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(part))) << part;
    EXPECT_FALSE(text.contains(QStringLiteral("PAR_DEFAULT"))) << "default rows are no symbols of the container";

    // The first page as the engineer sees it: drawn, landscape.
    const QString png = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-f"),
                                     QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-singlefile"),
                                     pdf, png});
    const QImage page(png + QStringLiteral(".png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height());
    EXPECT_GT(page.convertToFormat(QImage::Format_Grayscale8).bits()[0], 200) << "white paper";
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!keep.isEmpty()) page.save(QDir(keep).filePath(QStringLiteral("dcreport-page1.png")));

    // A second report of the same version replaces the first.
    builder().cmdReport_Click();
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(value(rep, QStringLiteral("SELECT count(*) FROM dcEnums")).toInt(), value(dcName(1), QStringLiteral("SELECT count(*) FROM dcEnums")).toInt());
    EXPECT_TRUE(errors.seen.empty());
}

// The report database lies beside the version; closing the builder deletes the ones this
// session made wherever they lie, and those of the configuration directory, and no other.
TEST_F(Report, ClosingTheBuilderDeletesTheSessionsReportDatabases) {
    QTemporaryDir config;
    modGlobal::g_configDir = config.path();
    makeDc(dcName(1));
    const QString foreign = dir.filePath(QStringLiteral("other.rep"));
    dcfixture::writeFile(foreign, QStringLiteral("x"));
    dcfixture::writeFile(config.filePath(QStringLiteral("old.rep")), QStringLiteral("x"));
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(2);
    builder().cmdReport_Click();
    const QString rep = dcName(1).chopped(3) + QStringLiteral("rep");
    ASSERT_TRUE(QFile::exists(rep));
    builder().unload();
    EXPECT_FALSE(QFile::exists(rep));
    EXPECT_FALSE(QFile::exists(config.filePath(QStringLiteral("old.rep"))));
    EXPECT_TRUE(QFile::exists(foreign));
    EXPECT_TRUE(QFile::exists(dcName(1).chopped(3) + QStringLiteral("pdf"))) << "the report the engineer may still read stays";
}

TEST_F(Report, ASourceWithoutItsTablesGoesToTheErrorHandlerAndOpensNothing) {
    makeDc(dcName(1));
    builder().g_show(dir.path());
    dcfixture::makeDatabase(dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb")));  // no dcBinFile
    builder().tabAction->setCurrentIndex(0);
    builder().tabAction->setCurrentIndex(2);
    ASSERT_EQ(builder().filSourceDC->currentItem()->text(), QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb"));
    builder().cmdReport_Click();
    ASSERT_EQ(errors.seen.size(), 1u);
    EXPECT_EQ(errors.seen[0].object, QStringLiteral("frmDcBuilder"));
    EXPECT_EQ(errors.seen[0].procedure, QStringLiteral("cmdReport_Click"));
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.pdf"))));
    EXPECT_TRUE(log().last().startsWith(QString(82, QLatin1Char('-'))));
}

TEST_F(Report, WithoutAViewerTheLogSaysSo) {
    makeDc(dcName(1));
    viewerThere = false;
    builder().g_show(dir.path());
    builder().cmdReport_Click();
    const QString pdf = dcName(1).chopped(3) + QStringLiteral("pdf");
    EXPECT_TRUE(log().contains(QStringLiteral("   ") + pdf + QStringLiteral(" could not be shown: no viewer for PDF files!")));
    EXPECT_TRUE(QFile::exists(pdf));
}
