#pragma once
// The data-container builder: the engineer's workbench for one data-container database.
// It never works on a stored version: it copies the newest version to a working copy,
// every command changes the copy, and closing saves a changed copy as the next version
// and deletes an unchanged one. BUILD DC turns a version into "PXM_DATA.S19".
#include "dcbuilder/groupcrc.h"
#include "dcbuilder/imagewalk.h"
#include "dcbuilder/modexcel.h"
#include "dcdatabase/logwindow.h"

#include <QString>
#include <QWidget>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabBar;

class frmDcBuilder : public QWidget, public ScanLogWindow {
public:
    // The one builder of the run, created on first use.
    static frmDcBuilder& instance();
    static frmDcBuilder* existing();

    // ---- Window and working copy ----
    void g_show(const QString& directory);
    bool isLoaded() const { return m_loaded; }
    bool commandRunning() const { return m_commandRunning; }
    // Unloads the window: settles the working copy and deletes the report databases.
    void unload();
    void addMessage(const QString& text) override;
    void updateProgress(float value, bool relative = false) override;
    // The evaluator of header-file expressions, for the header scan.
    scriptcontrol::ScriptControl& sc() override { return m_sc; }

    // ---- Binary image ----
    // Writes (build) or reads one part of the image file by the step table of the prefix
    // ("dc" or "alarm"), from position on; position ends after the part. False when the
    // part failed: the reason is logged and shown, and nothing is stored or kept.
    bool g_buildBinFile(const QString& db, const QString& binFile, bool build, const QString& prefix,
                        qint64& position, LogWindow& progress, bool append);
    // The same walk over an image in memory. In read mode the values are stored into the
    // enumeration table only when the whole part could be read and, for the data part,
    // agree with the group CRCs the image carries.
    bool walkImage(const QString& db, QByteArray& image, bool build, const QString& prefix, qint64& position,
                   LogWindow& progress, QStringList* debugLines = nullptr);

    // ---- Group CRCs and special values ----
    // Computes the CRC of one parameter group, stores it in the group's entry and logs it.
    // False when a row of the group holds no 32-bit number: nothing is stored then.
    bool buildCrc(const QString& db, int group, QString& label, qint32& crc, qint32& len);
    void setSpecialDcStringValue(const QString& text, const QString& alias, QString& label);
    QString getSpecialDcStringValue(const QString& alias);
    void setSpecialDcLongValue(const QString& valueText, const QString& alias, QString& label, const QString& format,
                               bool showHex);
    QString getSpecialDcLongValue(const QString& alias, const QString& format);

    // ---- Build and report commands ----
    void cmdBuild_Click();
    // Copies the three tables of the selected version into its report database ("...rep")
    // and opens them as a PDF report in the desktop's viewer.
    void cmdReport_Click();

    // ---- Scan commands ----
    // Each completed scan saves the working copy as a new version and opens a fresh copy of
    // it; a scan that fails saves nothing.
    void cmdScanHeader_Click();
    void cmdScanSignalList_Click();

    // ---- Plant and software information ----
    // Copies the first row of an old `plantInfo` table of the working copy into the special
    // entries; false when the table cannot be read (the database upgrade asks this).
    bool g_copyPlantInfosToDcEnums();
    void txtEngineType_LostFocus();
    void txtManufacNo_LostFocus();
    void txtHullNo_LostFocus();
    void txtEpiDbNo_LostFocus();
    void txtSwVersion_LostFocus();
    void txtBuild_LostFocus();
    void txtDeveloperNo_LostFocus();
    void txtBootloader_LostFocus();
    void txtImoSwNo_LostFocus();

    // ---- Signal lists ----
    // The open workbook while a signal list is read (modExcel's "application").
    std::unique_ptr<modExcel::Application> xlsApp;
    // Copies the sheet into the table of the same name: rows by name, columns by exact
    // column name, with the rows and columns missing on either side reported. The sheet is
    // checked before anything is written: false (and nothing marked) when it is missing, its
    // "A1" is not "name", or a cell it reads holds a formula or TRUE/FALSE without a value.
    bool readExcelSheet(const QString& dbName, const QString& sheet);
    // Creates the table of the sheet's name from the sheet (first row: the column names).
    void importExcelSheet(const QString& dbName, const QString& sheet);

    // ---- Event handlers ----
    void cmdEdit_Click(int index);
    void cmdExit_Click() { unload(); }
    void tabAction_Click();

    // ---- Controls ----
    QLineEdit* txtFileDirectory;
    QTabBar* tabAction;
    std::array<QFrame*, 5> fraAction{};  // elements 1 to 4
    std::array<QPushButton*, 3> cmdEdit{};
    QLineEdit* txtEngineType;
    QLineEdit* txtManufacNo;
    QLineEdit* txtHullNo;
    QLineEdit* txtEpiDbNo;
    QLineEdit* txtSwVersion;
    QLineEdit* txtBuild;
    QLineEdit* txtDeveloperNo;
    QLineEdit* txtBootloader;
    QLineEdit* txtImoSwNo;
    QLineEdit* txtStartAdr;
    QListWidget* filSourceDC;
    QPushButton* cmdBuild;
    QPushButton* cmdReport;
    QPushButton* cmdScanHeader;
    QPushButton* cmdScanSignalList;
    std::array<QLabel*, 6> txtDocumentation{};
    QListWidget* lstMessage;
    QProgressBar* prgProgress;
    QPushButton* cmdExit;

    // ---- State, readable for the other commands of the builder ----
    const QString& workingCopy() const { return m_tempDc; }
    const QString& nextVersion() const { return m_nextDc; }
    bool workingCopyModified() const { return m_dcModified; }
    void markModified() { m_dcModified = true; }
    bool createTempDc();
    // An intact working copy left by a killed run whose tables differ from the newest
    // version becomes the next version, as a changed copy does on closing.
    void saveLeftoverWorkingCopy();
    void closeTempDc();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    frmDcBuilder();
    void buildTabs(QWidget* page);
    void buildEditFrame(QFrame* f);
    void buildInfoFrame(QFrame* f);
    void buildBuildFrame(QFrame* f);
    void buildScanFrame(QFrame* f);
    void Form_Unload();
    void refreshSourceList();
    QString database() const { return m_tempDc; }

    // Special entries of a database; nothing when the entry is missing (logged).
    std::optional<QString> specialText(const QString& db, const QString& alias);
    std::optional<QString> specialNumber(const QString& db, const QString& alias, const QString& format);

    void storeCrc(const QString& db, const QString& label, const QString& symbol, const groupCrc::Result& r,
                  qint32& crc, qint32& len);

    // Build command steps; each false ends the build.
    bool buildAllCrcs(const QString& db, qint32& imoCrc, qint32& imoLen);
    void softwareCheck(qint32 imoCrc, qint32 imoLen);
    // Both parts of the image in memory, the alarm part from where the data part ended;
    // in debug mode the image file is written once, whole.
    bool buildImage(const QString& db, const QString& bin, QByteArray& image, bool& writeFailed);
    bool writeSRecords(const QString& bin, const QByteArray& image, bool& writeFailed);
    // Replaces the image file; a failure is logged and shown with the system's reason.
    static bool writeImageFile(const QString& bin, const QByteArray& image, LogWindow& progress);
    void buildAlarmListIndexes(const QString& db);
    bool followedByWorkingCopy(const QString& db) const;

    // Plant and software information.
    void fillInfoBoxes();
    void leaveTextBox(QLineEdit* box, const char* alias);
    void leaveNumberBox(QLineEdit* box, const char* alias, const char* format);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void setSwInfos(const QString& db);
    void setDcVersion(const QString& db);

    // The builder's commands locked, with the wait pointer, for the life of a long command
    // (a scan, the report), also when it fails part-way; each control is given back the
    // state it had. A close of the window meanwhile is refused.
    class CommandLock {
    public:
        explicit CommandLock(frmDcBuilder& builder);
        ~CommandLock() { release(); }
        CommandLock(const CommandLock&) = delete;
        CommandLock& operator=(const CommandLock&) = delete;
        void release();

    private:
        frmDcBuilder* m_builder;
        std::vector<std::pair<QWidget*, bool>> m_enabled;
    };
    bool signalListImported(const QString& file);
    QString signalSheetProblem(const QString& dbName, const QString& sheet);

    // Report databases made in this session, deleted when the window unloads.
    QStringList m_reports;

    scriptcontrol::ScriptControl m_sc;
    bool m_loaded = false;
    bool m_muted = false;  // silences the log while the working copy follows a build
    float m_progress = 0;
    QString m_dcPattern;
    QString m_newestDc;
    QString m_tempDc;
    QString m_nextDc;
    QString m_dcDirectory;
    bool m_tempDcOpen = false;
    QString m_savedLeftover;  // the version a leftover working copy was saved as, for the log
    bool m_dcModified = false;
    bool m_commandRunning = false;
};
