#pragma once
// What the update run asks of the main window's commands and of the CAN side, so that
// the run itself holds no widget of the manual part and a test can stand in for the
// modules. Selections are per module 0 to 14; true = selected.
#include "services/link.h"

#include <QByteArray>
#include <QString>
#include <array>

class UpdateModulesLink {
public:
    using Selection = std::array<bool, 15>;
    virtual ~UpdateModulesLink() = default;

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
    virtual void download(const Selection& modules, Selection& done) = 0;
    // Starts the application on the selected modules; returns when the command has ended.
    virtual void startApplication(const Selection& modules) = 0;

    // The symbol protocol: log-in, service bit of a key, and a symbol write of 4 bytes.
    virtual void login() = 0;
    virtual void setServiceBit(qint32 key, int value) = 0;
    virtual void writeSymbol(qint32 symbol, int kind, const QByteArray& value) = 0;

    // The section primitives of a single download and the read of a section's info
    // block: the info block written, the loading status read quietly, the section data
    // written, the block read back (status 1 = success); the module states 0 to 14
    // (0 none, 1 application, 2 bootloader).
    virtual bool writeInfoBlock(int module, qint32 section, const QString& file, const QByteArray& image,
                                qint32 startAddress) = 0;
    virtual int loadingStatus(int module) = 0;
    virtual bool writeSection(int module, qint32 section, const QByteArray& image) = 0;
    virtual bool readInfoBlock(int module, qint32 section, QByteArray& block) = 0;
    virtual std::array<int, 15> moduleStates() = 0;
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

// Without a main window nothing answers: no lamps, nothing downloaded.
class UpdateModulesStub : public UpdateModulesLink {
public:
    bool applicationRunning(int) override { return false; }
    bool bootloaderRunning(int) override { return false; }
    bool moduleSelectable(int) override { return false; }
    void setApplicationFile(const QString&) override {}
    QString sentFile(const QString& path) override { return path; }
    void download(const Selection&, Selection&) override {}
    void startApplication(const Selection&) override {}
    void login() override {}
    void setServiceBit(qint32, int) override {}
    void writeSymbol(qint32, int, const QByteArray&) override {}
    bool writeInfoBlock(int, qint32, const QString&, const QByteArray&, qint32) override { return false; }
    int loadingStatus(int) override { return -1; }
    bool writeSection(int, qint32, const QByteArray&) override { return false; }
    bool readInfoBlock(int, qint32, QByteArray&) override { return false; }
    std::array<int, 15> moduleStates() override { return {}; }
    bool restartAfterDownload(int) override { return false; }
    void showMainWindow() override {}
    QString programDir() override { return QString(); }
    void exitProgram() override {}
    void runEnded() override {}
};

using updateModulesLink = Link<UpdateModulesLink, UpdateModulesStub>;
