// REPORT: the selected version's three tables copied into its report database, laid out
// as a PDF and handed to the desktop's viewer; the report databases of the session go when
// the builder closes. The PDF is read back with poppler's tools (text and first page).
#include "builderfixture.h"

#include "desktop/desktopservices.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

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
    EXPECT_FALSE(log().last().startsWith(QString(82, QLatin1Char('-')))) << "a failed report has no closing line";
}

// A folder where the PDF would go: the error handler names the file and why, the viewer is
// not asked, and the log ends without the closing line of a report made.
TEST_F(Report, APdfPathThatCannotBeWrittenGoesToTheErrorHandlerAndOpensNothing) {
    makeDc(dcName(1));
    const QString pdf = dcName(1).chopped(3) + QStringLiteral("pdf");
    ASSERT_TRUE(QDir().mkpath(pdf));
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(2);
    builder().cmdReport_Click();
    ASSERT_EQ(errors.seen.size(), 1u);
    EXPECT_EQ(errors.seen[0].procedure, QStringLiteral("cmdReport_Click"));
    EXPECT_TRUE(errors.seen[0].description.contains(pdf)) << errors.seen[0].description.toStdString();
    EXPECT_TRUE(errors.seen[0].description.contains(QStringLiteral("directory"), Qt::CaseInsensitive))
        << "the reason: " << errors.seen[0].description.toStdString();
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(QFileInfo(pdf).isDir());
    const QStringList l = log();
    EXPECT_FALSE(l.last().startsWith(QString(82, QLatin1Char('-')))) << l.join(QLatin1Char('\n')).toStdString();
    for (const QString& line : l) EXPECT_FALSE(line.startsWith(QStringLiteral("Debug:"))) << line.toStdString();
    EXPECT_TRUE(builder().cmdReport->isEnabled()) << "the commands are given back";
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.pdf.*")}, QDir::Files | QDir::Hidden).isEmpty())
        << "no half-made file stays beside it";
}

// A report of many pages: the bar moves and the event loop runs (a few times a second)
// while it is made, the
// commands are locked and a close is refused meanwhile, and every page of the table starts
// with its column headers.
TEST_F(Report, ALongReportMovesTheBarKeepsTheWindowServedAndRepeatsTheHeaders) {
    makeDc(dcName(1));
    {
        auto d = dao::OpenDatabase(dcName(1), false, false);
        for (int id = 100; id < 400; ++id)
            d->Execute(QStringLiteral("INSERT INTO dcEnums (id, name, class, value, comment) VALUES (?, ?, 'PARAMETER', ?, ?)"),
                       {id, QStringLiteral("PAR_LONG_%1").arg(id), id * 3,
                        id % 50 ? QStringLiteral("row %1").arg(id) : QString(300, QLatin1Char('w'))});
        d->Close();
    }
    builder().g_show(dir.path());
    builder().tabAction->setCurrentIndex(2);
    builder().show();

    std::vector<int> bar;
    // The window outlives the test: the watch goes with it.
    QObject watch;
    QObject::connect(builder().prgProgress, &QProgressBar::valueChanged, &watch, [&](int v) { bar.push_back(v); });
    int turns = 0;
    bool locked = true, closeRefused = true;
    QTimer served;
    QObject::connect(&served, &QTimer::timeout, [&] {
        ++turns;
        testsupport::advanceClock(200);  // the time a few pages take
        locked = locked && !builder().cmdReport->isEnabled() && !builder().cmdExit->isEnabled() &&
                 !builder().tabAction->isEnabled() && !builder().filSourceDC->isEnabled();
        builder().close();
        closeRefused = closeRefused && builder().isVisible() && builder().isLoaded();
        // The menu of the main window opens the builder again: it stays on its command.
        if (turns == 1) builder().g_show(QDir::tempPath());
    });
    served.start(0);
    builder().cmdReport->click();
    served.stop();

    EXPECT_TRUE(errors.seen.empty());
    EXPECT_GT(turns, 3) << "the event loop ran while the report was made";
    EXPECT_TRUE(locked);
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(builder().txtFileDirectory->text(), dir.path());
    std::vector<int> moving;
    for (int v : bar)
        if (v > 0 && v < 1000) moving.push_back(v);
    EXPECT_GE(moving.size(), 3u);
    EXPECT_TRUE(std::is_sorted(moving.begin(), moving.end()));
    EXPECT_EQ(builder().prgProgress->value(), 0);
    EXPECT_TRUE(builder().cmdReport->isEnabled());
    EXPECT_TRUE(log().last().startsWith(QString(82, QLatin1Char('-'))));

    const QString pdf = dcName(1).chopped(3) + QStringLiteral("pdf");
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    ASSERT_TRUE(pages.hasMatch()) << info.toStdString();
    ASSERT_GE(pages.captured(1).toInt(), 3);
    const QRegularExpression headers(QStringLiteral("id\\s+name\\s+class\\s+varGroup\\s+value\\s+minValue"));
    for (int page = 1; page <= 2; ++page) {
        const QString n = QString::number(page + 1);
        const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), n,
                                                               QStringLiteral("-l"), n, pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.trimmed().contains(headers)) << "page " << n.toStdString() << ":\n" << text.left(400).toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("PAR_LONG_"))) << "page " << n.toStdString();
    }
    const QString all = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(all.contains(QStringLiteral("PAR_LONG_399")));
    EXPECT_TRUE(all.contains(QStringLiteral("322 rows"))) << "22 of the fixture and 300 more";

    const QString png = dir.filePath(QStringLiteral("page2"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-f"),
                                     QStringLiteral("2"), QStringLiteral("-l"), QStringLiteral("2"), QStringLiteral("-singlefile"),
                                     pdf, png});
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!keep.isEmpty()) QFile::copy(png + QStringLiteral(".png"), QDir(keep).filePath(QStringLiteral("dcreport-page2.png")));
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
