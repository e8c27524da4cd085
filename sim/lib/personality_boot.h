#pragma once
// The bootloader side of one simulated PXM module; the module is one thing that shows up
// at its application id or at its bootloader id. While it runs its application, that node
// carries the program-control entry (0x1F51) that sends the module to its bootloader. In
// the bootloader, the bootloader's node serves program control, the section info blocks
// (0x5FFE), the section data (0x1F50, taken and given in pieces of up to 8192 bytes) and
// the loading status (0x5FFF) over the module's flash. Lives in the simulator's thread.
#include "lib/bootoptions.h"
#include "lib/faults.h"
#include "lib/flashmodel.h"
#include "lib/profileoptions.h"
#include "lib/sdoabort.h"

#include <QObject>
#include <QTimer>
#include <map>

namespace sim {

class Node;
class ObjectDictionary;
class PxmModule;
class Simulator;

// Node-id base of the modules' bootloaders on the profile's bus.
quint8 bootloaderBase(Profile p, int module);

// What differs between the module types: the sub-indices of 0x1F51 and 0x5FFF, the section
// the application lives in, the status that says the data were taken, and the section of
// Bootloader 2. A PXM module keeps its hardware info block in section 1; QTM and BZM load
// Bootloader 2 there and keep the hardware block apart, out of reach of any load.
struct ProgramControl {
    quint8 startApplication, startBootloader, statusSub;
    int applicationSection;
    quint8 dataAccepted;
    int bootloader2Section;
    bool hardwareInSection1() const { return bootloader2Section != 1; }
};
ProgramControl programControl(Profile p);

class ModuleBootloader : public QObject {
public:
    // Loading status (0x5FFF) besides ProgramControl::dataAccepted.
    static constexpr quint8 kIdle = 255, kBlockAccepted = 1, kBlockRefused = 2, kImageRefused = 3, kFlashDone = 0;
    static constexpr int kPieceSize = 8192;

    // Lays the factory contents into sections the flash holds nothing for; a module whose
    // application section holds no valid image stays in its bootloader from the start.
    ModuleBootloader(Simulator& sim, PxmModule& module, const ProfileOptions& profile, const BootOptions& options,
                     const Faults& faults);
    ~ModuleBootloader() override;

    quint8 nodeId() const;
    FlashModel& flash() { return m_flash; }
    quint8 status() const { return m_status; }
    bool applicationValid() const;
    // Follows the module's mode: the bootloader's node while the module is in its
    // bootloader, the program-control entry on the application's node while it runs that.
    void sync();
    // The application may start: it is valid and no fault switch holds it back.
    bool canStartApplication() const;
    // A section loaded into this module by module 0's auto-download: a copy of the spare's.
    void takeSection(int section, const FlashModel& spare);

private:
    bool fault(bool BootFaults::*which) const;  // the switch is on and hits this module
    void seedFactory();
    // Tells the module which application its flash holds now.
    void reportApplication(bool replaced);
    void bringUp();
    void takeDown();
    void restart();  // state of a freshly started bootloader
    void addObjects(ObjectDictionary& od);
    void attachTo(Node& application);
    AbortCode hardwareVersion(QByteArray& text) const;
    void later(std::function<void()> f);

    AbortCode takeInfoBlock(int section, const QByteArray& block);
    AbortCode beginPiece(int section, qint64 size) const;
    AbortCode takePiece(int section, const QByteArray& piece);
    AbortCode givePiece(int section, QByteArray& piece);
    AbortCode startApplication(const QByteArray& value);
    void flashDone();

    Simulator& m_sim;
    PxmModule& m_module;
    const ProfileOptions m_profile;
    const BootOptions m_options;
    const Faults m_faults;
    const ProgramControl m_control;
    FlashModel m_flash;
    QByteArray m_hardware;  // the hardware info block of a module that keeps it apart
    Node* m_node = nullptr;  // the bootloader's, while it runs

    quint8 m_status = kIdle;
    int m_loading = 0;        // section whose data are expected, 0 for none
    QByteArray m_received;    // its data so far
    int m_programming = 0;    // section being flashed, 0 for none
    QTimer m_flashTimer;
    std::map<int, int> m_readPos;  // where the next upload piece of a section starts
};

}  // namespace sim
