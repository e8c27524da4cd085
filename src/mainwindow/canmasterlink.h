#pragma once
// What the main window uses of the CAN master frmCANopen: its two public flags, which the
// start-up sets before the master's window is ever loaded, the release of the master, the
// start of the nodes after a download, and the master's window, which the exit procedure
// unloads first.
#include "services/link.h"
#include "mainwindow/windowlink.h"

#include <QtGlobal>

class CanMasterLink : public WindowLink {
public:
    // g_noCAN: no CAN board is used in this run; every bus operation then succeeds
    // without touching a board.
    virtual bool g_noCAN() const = 0;
    virtual void set_g_noCAN(bool on) = 0;
    // g_blockTransferEnable: block transfer is also allowed for bootloaders older than 3.0.
    virtual bool g_blockTransferEnable() const = 0;
    virtual void set_g_blockTransferEnable(bool on) = 0;
    // Releases the master: unless onlyHW_, the node of the master's target fields first;
    // then the component is stopped. Loads the master's window when it is not loaded.
    virtual void g_releaseCanOpen(bool onlyHW) = 0;
    // A bus is set up and still there: a command that talks to modules needs it.
    virtual bool busUp() const = 0;
    // NMT start of the node (0: all nodes); true when it went out. Unless noMessage, a
    // failure is shown.
    virtual bool g_setOperational(quint8 node, bool noMessage) = 0;
    // isLoaded/unload: the master's window; its unload releases the component.
};

// Until the CAN master registers itself: keeps the two flags, starts nothing and has no
// window.
class CanMasterStub : public CanMasterLink {
public:
    bool g_noCAN() const override { return m_noCAN; }
    void set_g_noCAN(bool on) override { m_noCAN = on; }
    bool g_blockTransferEnable() const override { return m_blockTransfer; }
    void set_g_blockTransferEnable(bool on) override { m_blockTransfer = on; }
    void g_releaseCanOpen(bool) override {}
    bool busUp() const override { return !m_noCAN; }
    bool g_setOperational(quint8, bool) override { return true; }
    bool isLoaded() const override { return false; }
    void unload() override {}

private:
    bool m_noCAN = false;
    bool m_blockTransfer = false;
};

using canMasterLink = Link<CanMasterLink, CanMasterStub>;
