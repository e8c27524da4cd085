#pragma once
// The main window's answers to the calls that the parts below it make up into it: the CAN
// part's (symbol setters, module lamps, mode change, auto-download) and the builder's
// (load-file look-up, log of the template creation). Each goes to frmMain::instance() and
// does nothing while there is none; the program's wiring (app/wiring.h) installs them.
#include "can/links.h"
#include "dcbuilder/loadfileslink.h"
#include "dcdatabase/logwindow.h"

class SymbolSettersOfMainWindow : public MainWindowSymbolSetters {
public:
    void setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32& key) override;
};

class ConnectionDisplayOfMainWindow : public MainWindowConnectionDisplay {
public:
    void g_updateConnectionStatus() override;
    void busLost(const QString& text) override;
    void busBack(const QString& text) override;
};

class ModeChangeOfMainWindow : public ModeChangeMainWindow {
public:
    bool m_abort() const override;
    void set_m_abort(bool on) override;
    void addMessage(const QString& text) override;
    void downloadFailure(const QString& msg, qint16 module) override;
    bool g_downloadStatusOk(qint16 module) override;
    moduleProtocol::Selection g_getUserSelection() override;
    void g_restoreUserSelection(const moduleProtocol::Selection& selection) override;
    bool g_getBootloaderVersionChange(qint16 module) override;
    void g_resetBootloaderVersionChange(qint16 module) override;
};

class AutoDownloadOfMainWindow : public AutoDownloadMainWindow {
public:
    void notConnectedToSpare(int module) override;
    void logOffApplication() override;
};

class LoadFilesOfMainWindow : public LoadFilesLink {
public:
    void g_checkFileExist(const QString& kind, bool quiet) override;
};

class LogOfMainWindow : public LogWindow {
public:
    void addMessage(const QString& text) override;
    void updateProgress(float value, bool relative) override;
};
