#pragma once
// What the update run asks of the main window's commands and of the module procedures
// built on the CAN master, so that the run itself holds no widget of the manual part and a
// test can stand in for the modules. The CAN master's own operations the run calls through
// canMasterLink (can/canmaster.h).
#include "can/moduleprotocol.h"
#include "services/link.h"

#include <QByteArray>
#include <QString>

class UpdateModulesLink {
public:
    virtual ~UpdateModulesLink() = default;

    // The main window's bus set-up (frmMain::initConnection: ok tells whether the bus came
    // up) and its check of the connected modules' application type (setUserRights).
    virtual void initConnection(bool mBusOnly, bool darvo, bool& ok) = 0;
    virtual void setUserRights() = 0;

    // The module lamps of the main window (chkApplicationRunning, chkBootLoaderRunning
    // with the value 1) and whether a module's selection box is enabled.
    virtual bool applicationRunning(int module) = 0;
    virtual bool bootloaderRunning(int module) = 0;
    virtual bool moduleSelectable(int module) = 0;

    // The application load file of the identified build (load-file row 0: name and path).
    virtual void setApplicationFile(const QString& path) = 0;
    // The file the download sends for that path (its "_New" variant where the window says so).
    virtual QString sentFile(const QString& path) = 0;
    // The manual download of the Application section to the selected modules. done holds
    // on entry which modules count as done already and on return also every module whose
    // download was proven (flash finished); it returns when the download has ended.
    virtual void download(const moduleProtocol::Selection& modules, moduleProtocol::Selection& done) = 0;
    // Starts the application on the selected modules; returns when the command has ended.
    virtual void startApplication(const moduleProtocol::Selection& modules) = 0;

    // The auto-download state's log-in to module 0.
    virtual void login() = 0;

    // The section primitives of a single download: the info block written, the loading
    // status read quietly, the section data written (status 1 = success).
    virtual bool writeInfoBlock(int module, qint32 section, const QString& file, const QByteArray& image,
                                qint32 startAddress) = 0;
    virtual int loadingStatus(int module) = 0;
    virtual bool writeSection(int module, qint32 section, const QByteArray& image) = 0;
    // Starts the module's application as every download command ends (also a module found
    // in its bootloader); true when it answers in its application (else its lamp is red
    // and it is named).
    virtual bool restartAfterDownload(int module) = 0;

    // Shows the main window with the update window in it.
    virtual void showMainWindow() = 0;
    // The folder of the program's executable.
    virtual QString programDir() = 0;
    // The exit command of the main window: the common exit procedure.
    virtual void exitProgram() = 0;
    // The run has come to its last step: nothing of it runs any more.
    virtual void runEnded() = 0;
};

// The program's own: the main window of the run (frmMain::instance()) and the module
// procedures. Without a main window nothing answers: no lamps, nothing downloaded.
class MainWindowOfRun : public UpdateModulesLink {
public:
    void initConnection(bool mBusOnly, bool darvo, bool& ok) override;
    void setUserRights() override;
    bool applicationRunning(int module) override;
    bool bootloaderRunning(int module) override;
    bool moduleSelectable(int module) override;
    void setApplicationFile(const QString& path) override;
    QString sentFile(const QString& path) override;
    void download(const moduleProtocol::Selection& modules, moduleProtocol::Selection& done) override;
    void startApplication(const moduleProtocol::Selection& modules) override;
    void login() override;
    bool writeInfoBlock(int module, qint32 section, const QString& file, const QByteArray& image,
                        qint32 startAddress) override;
    int loadingStatus(int module) override;
    bool writeSection(int module, qint32 section, const QByteArray& image) override;
    bool restartAfterDownload(int module) override;
    void showMainWindow() override;
    QString programDir() override;
    void exitProgram() override;
    void runEnded() override;
};

using updateModulesLink = Link<UpdateModulesLink, MainWindowOfRun>;
