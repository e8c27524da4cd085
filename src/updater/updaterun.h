#pragma once
// The automatic update run: the step machine that connects, reads the system information
// the modules publish, identifies the installed build, checks the modules, downloads and
// starts the application, writes its CRC, reads the values again and writes the report.
//
// How to drive it (the interface other parts rely on):
//  - updater::create(frmMain&) (updaterinstall.h), called by the program's wiring, makes
//    the one run of the program and its window inside the main window. The main window's
//    update members (showUpdater, the setters, addMessageUpdater, setUserInfo, writeReport
//    ...) reach the run through updaterLink; the run reaches the main window's commands
//    through updateModulesLink and the CAN master through canMasterLink. The start-up's
//    showUpdater then starts it.
//  - The run moves on the 500 ms ticks of its window's timer timCyclic; tick() is one tick.
//    Tests call tick() directly or let the virtual clock fire the timer.
//  - The report goes to UpdateRun::reportPath(programDir): "KELB-3817 Update Tool
//    Report.txt" in the program's folder, or in the configuration database's folder when
//    the program's folder cannot be written (the update log then names the file). One
//    block is appended per run: by the end of the run, "Open Report", the closing of the
//    main window or the end of the program on an error, whichever comes first.
//  - Before the update prompt the file the download will send is read: it must convert,
//    carry the application type of the modules and, where the build table names the
//    build's newest CRC, have that application CRC; else the run fails before any module
//    leaves its application.
//  - The report's success line "KELB-3817 Software is successfully updated." is written
//    only when every module took the download, started its application, the written CRC
//    was confirmed and the application CRC read after the update is the build's.
#include "can/moduleprotocol.h"
#include "updater/systeminfo.h"
#include "updater/updatemoduleslink.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class UpdateWindow;

class UpdateRun : public QObject {
    Q_OBJECT
public:
    static constexpr int maxModule = moduleProtocol::moduleCount - 1;

    explicit UpdateRun(UpdateWindow& window, QObject* parent = nullptr);

    // Starts the run (once per program): shows the main window, allows block transfer and
    // enables the timer. Without CAN it only logs "no CAN initialising ...".
    void showUpdater();
    // One tick of timCyclic.
    void tick();
    // The window's two answers (its report button is the main window's).
    void cmdOk_Click();
    void cmdExitUpdater_Click();

    // The system information, fed by the CAN master's receive drain: keeps the value of
    // that row (can/systemsymbols.h) and switches the symbol's publication off.
    void setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32 key);
    void notConnectedToSpare(int module) { m_mBusModuleNo = module; }
    void downloadFinished() {}

    // The update log (split at carriage returns; reportLine 0 to 12 is also that report
    // header line) and the user text with its buttons. A text that is a whole number
    // above 0 is a message number of the configuration database.
    void addMessageUpdater(const QString& text, int reportLine);
    bool setUserInfo(const QString& text, int delay, bool& okButton, bool exitButton);

    // Appends this run's block to the report file, once per run.
    void writeReport();
    // The program ends on an error (a check that ends it, or End in the error form): a run
    // that had not reached its end failed, whoever stopped it; then the report is written.
    void programEnds();
    // Where the report of a program in programDir goes.
    static QString reportPath(const QString& programDir);
    // The path of the report written (empty until writeReport succeeded).
    const QString& reportFile() const { return m_reportFile; }

    // The update window's single-section actions, which the run itself does not use: one
    // section to one module in up to three attempts, a section's info block read and
    // decoded, the bootloader CRC check and the state of the spare's path.
    bool downloadApplication(const QString& file, qint16 module, qint32 section);
    void uploadInfoBlock(qint16 module, qint32 section, bool& ok);
    void checkBlCRC(bool& ok);
    void getConnectionStatus(qint16& result);
    // Entries 1 to 8 of the last info block read (entry 0 stays empty).
    const std::array<QString, 9>& infoBlockValues() const { return m_infoBlockValues; }

    // State, for the window and for tests.
    int step() const { return m_step; }
    int tickCounter() const { return m_tickCounter; }
    // The current step's entry work has run (its first work tick is over).
    bool inStepWork() const { return m_lastStep == m_step && !m_stepEntry && m_tickCounter >= 2; }
    bool started() const { return m_started; }
    bool updateFailed() const { return m_updateFailed; }
    bool updateCanceled() const { return m_updateCanceled; }
    bool updateNotNecessary() const { return m_updateNotNecessary; }
    qint32 firstApplCrc() const { return m_info.firstApplCrc; }
    // The 16 bits of the build's newest application CRC, -1 when the build table has none.
    qint32 expectedApplCrc() const { return m_expectedApplCrc; }
    const QString& applFile() const { return m_applFile; }
    const SystemInfo& info() const { return m_info; }
    const std::array<QString, 13>& reportLines() const { return m_reportLines; }
    UpdateWindow& window() { return m_w; }

private:
    struct Step {
        int number;
        const char* logName;
        void (UpdateRun::*entry)();  // the first work tick after the step change
        void (UpdateRun::*work)();   // every work tick, the entry tick included
    };
    static const Step* findStep(int number);

    void tickBody();
    void changeStep();
    void goTo(int step) { m_step = step; }
    bool timeOut(int seconds) const { return m_tickCounter > 2 * seconds; }

    void step0();
    void step1();
    void step2Entry();
    void step2();
    void step3Entry();
    void step4Entry();
    void step4();
    void checkModules();
    // Update not necessary: each cylinder running its application is asked for its own
    // application CRC; then the modules in their bootloader and those whose CRC is not
    // the build's newest are selected, or the run goes on to step 9.
    void askCylinderCrcs();
    bool cylinderCrcsIn() const;
    // True when the value answers the question to that cylinder (kept, or come too late).
    bool keepCylinderCrc(int module, const QByteArray& value);
    void selectOutdatedModules();
    void step7Entry();
    void step7();
    void step8Entry();
    void step8();
    void step9Entry();
    void step9();
    void step10();
    void step11Entry();

    // Shared pieces of the steps.
    void fail(int field, const QString& fieldText, const QStringList& log, const QString& text);
    void requestSystemInfo();
    void decideEngineType();
    void logSystemInfo(bool afterUpdate);
    void prompt(const QString& text, bool ok, bool exit);
    QString message(int number, const QVariantList& values = {}) const;
    QVariantList eightValues() const;
    static QString moduleList(const std::vector<int>& modules);
    void takeBuild(const QString& build);
    bool loadFileFits();
    QStringList loadFileFault(const QString& file) const;
    void takeMemoryLayout(const QString& file);

    // Requests (value 1) or withdraws (0) a group of the system information.
    void setServiceBit(int value, int part);
    void writeApplicationCrc(qint32 crc);
    void writeAutoDownload(int value);
    void initialise();

    UpdateWindow& m_w;
    SystemInfo m_info;

    bool m_started = false;
    int m_step = 0;
    int m_lastStep = 0;  // "no value" counts as step 0
    bool m_stepEntry = false;
    int m_tickCounter = 0;
    bool m_inTick = false;
    bool m_endReported = false;  // the main window was told that the run has ended
    bool m_cancelRequest = false;
    bool m_updateFailed = false;
    bool m_updateCanceled = false;
    bool m_updateNotNecessary = false;
    bool m_bootloaderModulesFound = false;
    bool m_askingCylinders = false;
    // Per module: the application CRC it published, or one of these marks.
    static constexpr qint32 crcNotAsked = -2, crcAsked = -1, crcTooLate = -3;
    std::array<qint32, moduleProtocol::moduleCount> m_cylinderCrc = [] {
        std::array<qint32, moduleProtocol::moduleCount> marks;
        marks.fill(crcNotAsked);
        return marks;
    }();
    bool m_autoDownloadWritten = false;
    bool m_finished = false;  // step 11 has shown the outcome
    int m_mBusModuleNo = 0;
    QString m_build;
    qint32 m_expectedApplCrc = -1;
    QString m_applFile;
    moduleProtocol::Selection m_selection{};
    moduleProtocol::Selection m_moduleDone{};

    std::array<QString, 9> m_infoBlockValues;
    bool m_viaSparePath = false;

    std::array<QString, 13> m_reportLines;
    QString m_reportFile;
    bool m_reportWritten = false;
};
