#pragma once
// The reconstruction's test set-up: a project folder with a data-container database whose
// step tables carry every parameter, variable and alarm value (the hull number and the
// build among them) and a text item, a plant folder (the configuration's folder) with its
// upload folder, the template folder beside it, and a recorder of the main window's log.
#include "builderfixture.h"

#include "dcbuilder/dctemplate.h"
#include "dcbuilder/frmdcreconstruction.h"
#include "dcbuilder/mainlog.h"
#include "services/frmmessage2.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

#include <QPixmap>
#include <QLabel>
#include <QProgressBar>

class ReconstructionTest : public BuilderTest {
protected:
    dcfixture::RecordingLog mainLog;
    QString project, plant, upload, templates;

    void SetUp() override {
        BuilderTest::SetUp();
        project = dir.filePath(QStringLiteral("project"));
        plant = dir.filePath(QStringLiteral("plant"));
        upload = plant + QStringLiteral("/Upload");
        templates = dir.filePath(QStringLiteral("PXM_Templates"));
        QDir().mkpath(project);
        QDir().mkpath(upload);
        modGlobal::g_configDir = plant;
        modGlobal::g_uploadDir = upload;
        frmMainLogLink::install(&mainLog);
    }
    void TearDown() override {
        if (frmDcReconstruction* r = frmDcReconstruction::existing()) r->unload();
        if (frmMessage2* box = frmMessage2::existing()) box->unload();
        frmMainLogLink::install(nullptr);
        BuilderTest::TearDown();
    }

    frmDcReconstruction& window() { return frmDcReconstruction::instance(); }
    QString projectDc(int version) const {
        return project + QStringLiteral("/KELB-3817 Update Tool-PXM-DC-%1.mdb").arg(version, 3, 10, QLatin1Char('0'));
    }
    QString plantDc() const { return plant + QStringLiteral("/KELB-3817 Update Tool-PXM-DC-001.mdb"); }
    QString result() const { return upload + QStringLiteral("/KELB-3817 Update Tool-PXM-DC-Upload.mdb"); }
    QString s19() const { return upload + QStringLiteral("/PXM_DATA.S19"); }
    QString templateOf(int build) const { return templates + QStringLiteral("/DC_Template_Build_%1.mdb").arg(build, 3, 10, QLatin1Char('0')); }

    static void setHull(const QString& db, const QString& hull) {
        for (int i = 0; i < 4; ++i)
            execute(db, QStringLiteral("UPDATE dcEnums SET value=%1 WHERE name='PAR_SWINFO_HULL_NO_%2'")
                            .arg(modStringFct::g_asciiTolng(hull.mid(4 * i, 4)))
                            .arg(i + 1));
    }

    // The builder's fixture with the hull number and step tables that put the build at
    // bytes 68 to 71 and every column they name back into the tables.
    void makeProject(const QString& db) {
        makeDc(db);
        for (int i = 1; i <= 4; ++i)
            param(db, 29 + i, QByteArray("PAR_SWINFO_HULL_NO_" + QByteArray::number(i)).constData(), "PARAMETER", 0, 0, "GLB");
        setHull(db, QStringLiteral("HN-4711/K"));
        execute(db, QStringLiteral("UPDATE dcEnums SET minValue=id-5"));
        // What the template marks in every row, so that the tables compare whole.
        execute(db, QStringLiteral("UPDATE dcEnums SET onlineValue=0, \"upDate\"=1 WHERE id>=0"));
        execute(db, QStringLiteral("UPDATE alarmEnums SET \"upDate\"=1 WHERE id>=0"));
        execute(db, QStringLiteral("DELETE FROM dcBinFile"));
        step(db, "dcBinFile", 1, "engineType", "DC_SWINFO_ENGINE_TYPE_", 32);
        step(db, "dcBinFile", 2, "hullNo", "DC_SWINFO_HULL_NO_", 16);
        step(db, "dcBinFile", 3, "reserved", "0", 16);
        step(db, "dcBinFile", 4, "marker", "&H5A5A", 4);
        step(db, "dcBinFile", 5, "build", "DC_SWINFO_BUILD", 4);
        step(db, "dcBinFile", 6, "value", "TABLE", 4, "PARAMETER", "", 0, "BAS");
        step(db, "dcBinFile", 7, "minValue", "TABLE_", 2, "PARAMETER", "2", 6);
        step(db, "dcBinFile", 8, "value", "TABLE", 4, "PARAMETER", "", 0, "GLB");
        step(db, "dcBinFile", 9, "minValue", "TABLE_", 2, "PARAMETER", "21", 8);
        step(db, "dcBinFile", 10, "name", "TABLE", 8, "PARAMETER", "", 0, "IMO");
        step(db, "dcBinFile", 11, "value", "TABLE_", 4, "PARAMETER");
        step(db, "dcBinFile", 12, "minValue", "TABLE_", 2, "PARAMETER");
        step(db, "dcBinFile", 13, "value", "TABLE", 2, "VARIABLE", "2", 13);
        step(db, "dcBinFile", 14, "dcVersion", "7", 1);
    }

    // BUILD DC of the project's newest version, and its S-record file as the upload of the
    // spare module leaves it.
    void buildAndUpload() {
        builder().g_show(project);
        ASSERT_TRUE(builder().isLoaded());
        builder().cmdBuild_Click();
        builder().unload();
        ASSERT_TRUE(QFile::copy(project + QStringLiteral("/PXM_DATA.S19"), s19())) << log().join(QLatin1Char('\n')).toStdString();
    }

    // An upload of the given bytes.
    void uploadImage(const QByteArray& image) {
        QFile::remove(s19());
        ASSERT_TRUE(modDownload::g_binToSRec(image, 0xC0000, QStringLiteral("S28"), s19()));
    }
    QByteArray uploadedImage() const {
        QByteArray image;
        qint32 start = 0;
        modDownload::g_sRecToBin(s19(), image, start);
        return image;
    }

    // Project, template, plant database and upload, ready for the reconstruction.
    void prepareAll() {
        makeProject(projectDc(1));
        buildAndUpload();
        window().g_createDCTemplate(project);
        ASSERT_TRUE(QFile::exists(templateOf(123))) << mainLog.lines.join(QLatin1Char('\n')).toStdString();
        ASSERT_TRUE(QFile::copy(projectDc(1), plantDc()));
    }

    void reconstruct() {
        window().g_show();
        window().cmdReconstructDC_Click();
    }
    QStringList windowLog() {
        QStringList l;
        for (int i = 0; i < window().lstMessage->count(); ++i) l << window().lstMessage->item(i)->text();
        return l;
    }
    QStringList uploadFiles() const { return QDir(upload).entryList(QDir::Files, QDir::Name); }
    QStringList templateFiles() const { return QDir(templates).entryList(QDir::Files, QDir::Name); }

    // The first difference between two databases, table for table, row for row, cell for
    // cell; empty when they hold the same.
    static QString difference(const QString& a, const QString& b) {
        auto tableNames = [](const QString& db) {
            auto d = dao::OpenDatabase(db, false, true);
            QStringList names = d->TableNames();
            d->Close();
            names.sort(Qt::CaseInsensitive);
            return names;
        };
        const QStringList names = tableNames(a);
        if (names != tableNames(b)) return QStringLiteral("tables: ") + names.join(',') + " / " + tableNames(b).join(',');
        for (const QString& t : names) {
            const QString sql = QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t);
            const auto ra = dcfixture::rows(a, sql), rb = dcfixture::rows(b, sql);
            if (ra.size() != rb.size()) return QStringLiteral("%1: %2 / %3 rows").arg(t).arg(ra.size()).arg(rb.size());
            for (std::size_t i = 0; i < ra.size(); ++i)
                for (auto it = ra[i].begin(); it != ra[i].end(); ++it)
                    if (it.value() != rb[i].value(it.key()))
                        return QStringLiteral("%1 row %2 (%3) column %4: '%5' / '%6'")
                            .arg(t).arg(i).arg(ra[i].value(QStringLiteral("name")).toString(), it.key(),
                                               it.value().toString(), rb[i].value(it.key()).toString());
        }
        return QString();
    }
};
