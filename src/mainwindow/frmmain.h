#pragma once
// The main window: the program's start-up, the hub that other windows log into and ask
// for lamps and the module selection, and the one orderly way out of the program.
#include "can/modrestart.h"
#include "can/moduleprotocol.h"
#include "mainwindow/moduleinfotable.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class FractionBar;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
struct SystemSymbol;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int moduleCount = moduleProtocol::moduleCount;   // modules 0 (spare) to 14
    static constexpr int sectionRows = 5;    // section row positions 0 to 4

    frmMain();
    ~frmMain() override;

    // The one main window of the run, reachable from anywhere once the program made it.
    static frmMain* instance();
    static void setInstance(frmMain* w);

    // The start-up: the load of the window with the program's command line.
    void Form_Load(const QString& commandLine);
    // The update run has ended: under "/develop" the DC Builder and Tools menus come back.
    void updateRunEnded();
    bool isLoaded() const { return m_loaded; }
    // The page that holds the controls at their places (inside a scroll area).
    QWidget* clientArea() const { return m_client; }
    // The executable whose name and folder the start-up takes (tests give another one).
    void setProgramFile(const QString& path) { m_programFile = path; }
    const QString& programFile() const { return m_programFile; }
    // The key of the one-instance lock (by default the program's name).
    void setInstanceKey(const QString& key) { m_instanceKey = key; }

    // ---- Public accessors ----
    bool m_abort = false;  // abort request of the running command
    void addMessage(const QString& text);
    bool g_downloadStatusOk(int module_);
    bool g_getBootloaderVersionChange(int module);
    void g_resetBootloaderVersionChange(int module);
    void updateProgress(double progress_, bool valueAdd_ = false);
    void g_checkFileExist(const QString& kind, bool quiet);
    void g_logOffApplication(bool endApplication_);
    moduleProtocol::Selection g_getUserSelection();
    void g_restoreUserSelection(const moduleProtocol::Selection& states_);

    // The update run's members on this window (they forward to the update run).
    void notConnectedToSpare(int module);
    void downloadFinished();
    // The system-information setters, one per row of systemSymbols (can/systemsymbols.h);
    // a fault is reported under the row's setter name.
    void setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32& key);
    void addMessageUpdater(const QString& text, int reportLine);
    bool errorSignal(bool flag);
    void setUserInfo(const QString& text, int delay, bool& okButton, int exitButton, bool& shown);
    void writeReport();

    // ---- Manual download and the command lock ----
    void disableOtherControls(int mode);
    void enableAllControls();
    bool disableCloseButton(QWidget* hwnd_);
    void downloadFailure(const QString& msg_, int targetNo_);
    void resetStatus(bool keepFailed);
    void writeSection(int module, qint32 section, const QByteArray& data, bool& ok);
    // The file the section download sends for a row's file: its "_New" variant while
    // chkSectionNew is checked.
    QString sentFile(QString rowFile) const;

    // ---- Bus set-up and application-type check (the start-up and the update run) ----
    void initConnection(bool mBusOnly, bool darvo, bool& ok);
    void setUserRights();
    // Up to 601 rounds of a 5 ms pause and one hand-over to the event loop, each reading the
    // heartbeat states and refreshing the lamps; ok := a module answered. Without an answer
    // and not quiet: the error box "No communication to the modules!".
    void checkTargetConnection(bool quiet, bool& ok);
    // ---- Load files: the look-up behind g_checkFileExist (through loadFilesLink) ----
    void lookUpLoadFiles(const QString& kind, bool quiet);
    void checkS19FileDate(bool& ok);
    // ---- Connection display ----
    void g_updateConnectionStatus();
    bool m_engineRunningLock = false;  // the commands are locked because the engine runs
    // ---- Module and section selection ----
    bool m_inSelectionUpdate = false;  // guard of the four check-box handlers

    // 82 "-", a blank and the date and time: the line that opens and closes a command's log.
    static QString separatorLine();
    // True, with one line in the log, when the bus that a command needs is not set up
    // ("/noCan", update mode before the run set it up, a lost adapter).
    bool busMissing(const QString& command);
    // ---- Upload from the spare module ----
    void uploadDataFromSpare();
    // Reads one section of module 0: data sized as its info block states, received the
    // bytes read, startAddress from the block, ok whether the section may be saved.
    void uploadSection(qint16 section, QByteArray& data, qint32& received, qint32& startAddress, bool& ok);
    // ---- Module-state command ----
    // Told what the command hands the module overview, besides the overview itself.
    std::function<void(const moduleProtocol::Selection&, const ModuleInfoTable&)> m_overviewShown;
    // The update window's report button; its caption chooses report or instruction file.
    QPushButton* cmdOpenReport = nullptr;

    // ---- Members shared with the commands and the update run ----
    // Per module, Bootloader 2 was loaded.
    moduleProtocol::Selection m_bootloaderVersionChange{};
    std::vector<QString> m_loadFileNames;         // per section row
    std::vector<bool> m_loadFileExists;           // per section row
    QWidget* m_client = nullptr;
    QString m_checkedDirectory;                   // the directory box's text at the last check
    moduleProtocol::Selection m_moduleDone{};     // per module, done in the update run
    QString m_reportFile;                         // the update report's path
    bool m_exiting = false;                       // the exit procedure has started
    bool m_commandRunning = false;                // a command holds the command lock

    // ---- Controls ----
    QMenu* mnuFile;
    QAction* mnuSelectFileDir;
    QAction* mnuExit;
    QMenu* mnuModuleControl;
    QAction* mnuStartBootloader;
    QAction* mnuStartApplication;
    QAction* mnuUploadFromSpare;
    QMenu* mnuView;
    QAction* mnuShowDetailedModulInfos;
    QAction* mnuShowCanOpen;
    QMenu* mnuDcBuilder;
    QAction* mnuBuildDC;
    QMenu* mnuTools;
    QAction* mnuCreateTemplate;
    QAction* mnuReconstructDC;
    QAction* mnuRepairHWInfoBlock;
    QMenu* mnuHelp;
    QAction* mnuAbout;

    QGroupBox* fraModuleState;
    QLabel* lblHardware;
    QLabel* lblBootLoaderRunning;
    QLabel* lblApplicationRunning;
    QLabel* lblProgram;
    std::array<QLabel*, moduleCount> lblCylinderNumber{};
    std::array<QLabel*, moduleCount> lblHW{};
    std::array<QCheckBox*, moduleCount> chkBootLoaderRunning{};
    std::array<QCheckBox*, moduleCount> chkApplicationRunning{};
    std::array<QCheckBox*, moduleCount> chkProgram{};
    std::array<QLabel*, moduleCount> lblDownloadOk{};
    QCheckBox* chkProgramAllModules;

    QGroupBox* fraEngineRunning;
    QLabel* lblEngineRunning;
    QLabel* imgEngineRunning;
    QLabel* imgEngineStStill;

    QLabel* lblEmhLQM;
    QLabel* lblVersionLQM;
    QLabel* lblBuildLQM;
    std::array<QCheckBox*, sectionRows> chkLoadSection{};
    std::array<QLineEdit*, sectionRows> txtEmh{};
    std::array<QLineEdit*, sectionRows> txtVersion{};
    std::array<QLineEdit*, sectionRows> txtBuild{};
    QCheckBox* chkProgramAllSections;
    QCheckBox* chkSectionNew;

    QLabel* lblProgramFileDir;
    QLineEdit* txtFileDirectory;
    QLabel* lblMessage;
    QListWidget* lstMessage;
    FractionBar* prgProgress;

    QPushButton* cmdDownload;
    QPushButton* cmdModuleState;
    QPushButton* cmdAbort;
    QPushButton* cmdExit;

public slots:
    void mnuExit_Click();
    void cmdExit_Click();
    void cmdDownload_Click();
    void chkProgram_Click(int Index);
    void chkProgramAllModules_Click();
    void chkProgramAllSections_Click();
    void chkLoadSection_Click(int Index);
    void cmdAbort_Click();
    void chkSectionNew_Click();
    void txtFileDirectory_KeyDown(int KeyCode, int Shift);
    void txtFileDirectory_Validate(bool& Cancel);
    // The box names another folder than the one the load files were last checked in.
    bool fileDirectoryChanged() const;
    // Menus and the module-control commands.
    void mnuStartApplication_Click();
    void mnuStartBootloader_Click();
    void mnuUploadFromSpare_Click();
    void mnuAbout_Click();
    void mnuBuildDC_Click();
    void mnuShowCanOpen_Click();
    // The module-state command and the small commands.
    void cmdModuleState_Click();
    void cmdOpenReport_Click();
    void mnuSelectFileDir_Click();
    void mnuCreateTemplate_Click();
    void mnuReconstructDC_Click();
    void mnuRepairHWInfoBlock_Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildModuleRows();
    void buildSectionRows();
    void buildLowerPart();
    void Form_Unload();
    bool findConfigDatabase(const QString& commandLine);
    void initWindow();
    void setModuleVisibility();
    void setBaseAddresses();
    void showUpdater();

    // The manual download: both roads, the section loop and the flash wait.
    void downloadSelectedModules(bool spareStage, bool& ok);
    bool downloadSections();
    // The row is checked and shown: a hidden row offers no section, whatever its box says.
    bool sectionSelected(const QCheckBox* row) const;
    void downloadSection(int module, qint32 section, bool& done);
    // The file a section row sends and the start address its info block will carry.
    QString sectionFile(qint32 section) const;
    static qint32 sectionBase(qint32 section);
    // Before any module is stopped: every selected section's file converts and, for PXM
    // modules, its info block's start address is valid; else the log lines of the refusal.
    QStringList sectionFilesFault() const;
    bool downloadAgainAfterBusLoss(int module, qint32 section);
    // The CAN master reported a lost bus since it counted `losses`.
    bool busLostSince(int losses);
    // The module's flash holds the section: it counts as done (and updated).
    void sectionProgrammed(int module, qint32 section);
    void checkLoadingStatus(int module, int maxPolls);
    void downloadThroughSpare();
    void autoDownloadSingleModule(int module, qint32 section, bool& ok);
    void stopAutoDownload();
    // What this download stopped and wrote, for the ending that every way out of it takes.
    modRestart::Record m_stopped;
    bool m_restartDeclined = false;  // the engineer answered No to the restart
    void endDownload();
    bool m_loadingStatusQuiet = false;

    // Bus set-up.
    void initDarvoConnection();
    void initConnectionBothBusses(bool mBusOnly, bool& ok);
    // Wiring of the selection and load-file controls to their handlers.
    void connectSelectionControls();
    void connectLoadFileControls();
    void connectMenuCommands();

    bool m_loaded = false;
    QString m_programFile;
    QString m_instanceKey;
};
