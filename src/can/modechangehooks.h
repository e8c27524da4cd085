#pragma once
// The calls of the mode change up into the main window: its log, its result lamps, its
// module selection, the bootloader-version-change flags and the Abort button's flag. The
// main window registers its implementation at start-up (a test registers a fake); until
// then the defaults below answer: nothing logged, no lamp green, nothing selected.
#include <QString>
#include <QtGlobal>
#include <array>

class ModeChangeMainWindow {
public:
    // Module 0 (spare) to 14.
    using Selection = std::array<bool, 15>;

    virtual ~ModeChangeMainWindow() = default;
    // m_abort: set by the Abort button, read and cleared by the waiting command.
    virtual bool m_abort() const { return false; }
    virtual void set_m_abort(bool) {}
    // A log line (carriage returns split it) in the main message list.
    virtual void addMessage(const QString&) {}
    // Logs a failure line and turns the module's lamp red.
    virtual void downloadFailure(const QString& msg_, qint16 targetNo_) {}
    // The module's lamp is green: its last download succeeded.
    virtual bool g_downloadStatusOk(qint16 module_) { return false; }
    // The module check boxes, saved at a command's start and restored at its end.
    virtual Selection g_getUserSelection() { return {}; }
    virtual void g_restoreUserSelection(const Selection&) {}
    // Bootloader 2 was loaded into the module.
    virtual bool g_getBootloaderVersionChange(qint16) { return false; }
    virtual void g_resetBootloaderVersionChange(qint16) {}
};

namespace modeChangeHooks {
// nullptr brings the default back. The object must outlive its registration.
void installMainWindow(ModeChangeMainWindow* impl);
ModeChangeMainWindow& mainWindow();
}  // namespace modeChangeHooks
