#pragma once
// Module 0's auto-download on the M-Bus: it reports the cylinder modules' states, runs the
// commands the PC writes into its command register (switch cylinders to bootloader or
// application, load a section into them one after the other, abort, clear the failures)
// and publishes the progress and the failures. Lives in the simulator's thread.
#include "lib/profileoptions.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>

namespace sim {

class PxmModule;

class AutoDownloadGateway : public QObject {
public:
    AutoDownloadGateway(PxmModule& spare, QList<PxmModule*> cylinders, const ProfileOptions& options);

    // Bytes 0-1: modules running their application (module 0 included); bytes 2-3: modules
    // in their bootloader.
    quint32 moduleState() const;
    // Bytes 0-1: modules whose transfer failed; bytes 2-3: modules that could not be served.
    quint32 failures() const { return quint32(m_failedTransfer) | quint32(m_notServed) << 16; }
    bool busy() const { return m_job != Job::None; }
    // Brings the state symbols up to date (published at once when they changed).
    void refresh();

    // The command words of the register (bytes 2-3).
    static constexpr quint16 kStartBootloader = 0x0001, kStartApplication = 0x0002, kAbort = 0x0100,
                             kClearFailure = 0x3000;
    // The section a download word names, 0 for none.
    static int sectionOf(quint16 word);

    // The bootloader side: whether a module's application can start (a module that cannot
    // stays in its bootloader), and what a module does with a section it was loaded with.
    void setStartCheck(std::function<bool(int module)> f) { m_startCheck = std::move(f); }
    void setSectionLoaded(std::function<void(int module, int section)> f) { m_sectionLoaded = std::move(f); }

private:
    enum class Job { None, Switch, Download, Finish };
    bool onWrite(quint16 number, quint32 value);
    void tick();
    void startNextModule();
    void setUpdateState(bool transferring);
    void finish();
    qint64 now() const { return m_clock.elapsed(); }
    PxmModule* cylinder(int module) const;

    PxmModule& m_spare;
    QList<PxmModule*> m_cylinders;
    const ProfileOptions m_options;
    const quint16 m_symState, m_symRegister, m_symUpdate, m_symFailure;

    Job m_job = Job::None;
    quint16 m_word = 0, m_mask = 0;
    qint64 m_due = 0;
    QList<int> m_queue;  // modules still to be served
    int m_current = 0, m_attempt = 0, m_percent = 0;
    qint64 m_attemptStart = 0;
    quint16 m_failedTransfer = 0, m_notServed = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::function<bool(int)> m_startCheck;
    std::function<void(int, int)> m_sectionLoaded;
};

}  // namespace sim
