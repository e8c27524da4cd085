#pragma once
// What the main window and the parts below it use of the automatic update run, which
// lives in the same main window. frmMain's members of the same names forward here.
#include "services/link.h"

#include <QByteArray>
#include <QString>

struct SystemSymbol;

class UpdaterLink {
public:
    virtual ~UpdaterLink() = default;

    // showUpdater: called once by the start-up in update mode instead of the bus set-up.
    // Shows the main window, sets the CAN master's g_blockTransferEnable, keeps the step
    // names of txtStep(1 to 11), puts the run at step 0 and enables the 500 ms timer
    // timCyclic. Under g_noCAN it only logs "no CAN initialising ..." in its list.
    virtual void showUpdater() = 0;

    // notConnectedToSpare(module): the module that answers on the M-Bus in place of module 0.
    virtual void notConnectedToSpare(int module) = 0;
    // downloadFinished: called once at the end of every manual download; does nothing.
    virtual void downloadFinished() = 0;

    // The setters of the receive drain, one per row of systemSymbols (can/systemsymbols.h):
    // each keeps its value from the four value bytes (in message order; numbers
    // little-endian) and switches the symbol's publication off with g_setServiceBit(key, 0).
    // The hull-number and engine-type setters place four characters (a zero byte as a
    // blank) at (key - first symbol) * 4 + 1 of their text.
    virtual void setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32& key) = 0;

    // addMessageUpdater(text, reportLine): appends the text's lines (split at carriage
    // returns) to lstMessageUpdater; reportLine 0 to 12 also makes it that report header
    // line, -1 the list only.
    virtual void addMessageUpdater(const QString& text, int reportLine) = 0;
    // setUserInfo(text, delay, okButton, exitButton, shown): shows a user text (a number
    // above 0 is a MessageID of the `messages` table) in txtUserInfo with its buttons;
    // acts only when delay < 1 or not above the run's tick counter.
    virtual void setUserInfo(const QString& text, int delay, bool& okButton, int exitButton, bool& shown) = 0;
    // errorSignal(flag): True marks the update log as failed; returns the failed mark.
    virtual bool errorSignal(bool flag) = 0;
    // writeReport: once per run writes the update report and sets frmMain's m_reportFile.
    virtual void writeReport() = 0;
    // prgProgressLoad: the update window's download bar (0 to 1), moved with prgProgress.
    virtual void setProgressLoad(double value) = 0;
};

// Until the wiring installs the run: it never starts, keeps nothing and shows nothing.
class UpdaterStub : public UpdaterLink {
public:
    void showUpdater() override {}
    void notConnectedToSpare(int) override {}
    void downloadFinished() override {}
    void setSystemValue(const SystemSymbol&, const QByteArray&, qint32&) override {}
    void addMessageUpdater(const QString&, int) override {}
    void setUserInfo(const QString&, int, bool&, int, bool& shown) override { shown = false; }
    bool errorSignal(bool) override { return false; }
    void writeReport() override {}
    void setProgressLoad(double) override {}
};

using updaterLink = Link<UpdaterLink, UpdaterStub>;
