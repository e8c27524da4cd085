#pragma once
// The reconstruction window: rebuilds a data-container database from the image uploaded
// from the spare module ("PXM_DATA.S19" in the upload folder). A copy of the template of
// the image's build is filled from the image by the builder's image walk in read mode,
// its hull number is checked against the plant's, and the copy is saved under the result
// name in the upload folder. The same window carries the creation of such templates from
// the project's newest data-container database, which logs into the main window.
#include "dcdatabase/logwindow.h"

#include <QString>
#include <QWidget>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class frmDcReconstruction : public QWidget, public LogWindow {
public:
    // The one reconstruction window of the run, created on first use.
    static frmDcReconstruction& instance();
    static frmDcReconstruction* existing();

    // Fills the window (upload folder, proposed result name) and shows it; the button stays
    // disabled, with the reason in the log, without an uploaded image or templates.
    void g_show();
    // Makes "DC_Template_Build_{000}.mdb" from the newest data-container database of the
    // directory; logs into the main window and unloads this window at its end.
    void g_createDCTemplate(const QString& directory);

    void addMessage(const QString& text) override;
    void updateProgress(float value, bool relative = false) override;

    void cmdReconstructDC_Click();
    void cmdExit_Click() { unload(); }

    // The hull number in a data-container database: four dcEnums rows in id order from
    // the first hull-number row; empty when the database or the row is missing.
    QString getHullNo(const QString& dbName);

    bool isLoaded() const { return m_loaded; }
    // Closes the window and resets its log and progress.
    void unload();

    // ---- Controls ----
    QLabel* lblProgramFileDir;
    QLineEdit* txtFileDirectory;
    QLineEdit* txtReconstructDCResult;
    QPushButton* cmdReconstructDC;
    QPushButton* cmdExit;
    QListWidget* lstMessage;
    QProgressBar* prgProgress;
    QLabel* txtDocumentation;
    QListWidget* filDCTemplate;  // hidden: the template creation's file list
    QFrame* fraAction;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    frmDcReconstruction();
    void Form_Load();
    void Form_Unload();

    // ---- Reconstruction ----
    void reconstructDC();
    // The steps from the uploaded image to the result file; false when one failed (logged).
    bool rebuild(const QString& result);
    // The read pass over the image into the working copy; false when a part failed.
    bool readImage(const QString& workingCopy, QByteArray& image);
    // The values the image gave: false (logged) when a CRC-group entry holds no 16-bit
    // CRC; rows left with the template's placeholders are logged as a warning.
    bool filledWhole(const QString& workingCopy);
    // The hull-number check; false when the result must be discarded.
    bool hullNumberMatches(const QString& workingCopy);

    // ---- Template creation ----
    // The newest data-container database of the directory, by the file list; empty when none.
    QString newestDataContainer(const QString& directory);
    // The steps from the source to the template; false when one failed (logged).
    bool createTemplate(const QString& source, LogWindow& log);
    // Puts the placeholders into the working copy; the build text, or nothing when the
    // copy cannot serve as a template (logged).
    std::optional<QString> writePlaceholders(const QString& workingCopy, LogWindow& log);

    bool m_loaded = false;
    float m_progress = 0;
};
