#include "lib/personality_boot.h"

#include "lib/applicationimage.h"
#include "lib/crc32.h"
#include "lib/node.h"
#include "lib/personality_app.h"
#include "lib/simulator.h"

namespace sim {

namespace {
constexpr quint16 kData = 0x1F50, kControl = 0x1F51, kInfo = 0x5FFE, kStatus = 0x5FFF;
constexpr int kSwitchMs = 20;  // a program switch answers the SDO first, then reboots
const QByteArray kDate = QByteArrayLiteral("Jan 15 2024");

// The same software on every module, unless a module is to stand out.
QByteArray factoryImage(int section, bool differs) {
    QByteArray b(1024, '\0');
    for (int i = 0; i < b.size(); ++i) b[i] = char((i * 31 + section * 7) & 0xFF);
    if (differs) b[0] = char(b[0] ^ 0x5A);
    return b;
}

QByteArray applicationIdentification(const ProfileOptions& p) {
    const QString name = p.applicationName();
    for (const char* marker : {"VEDR", "DRVO"})
        if (name.startsWith(QLatin1String(marker))) return marker;
    return "KELB";
}

// The hardware info block of a module: the factory hardware version, week 15 of 2020, a
// serial number, RAM and flash sizes; the length and CRC of what section 1 holds.
QByteArray hardwareBlock(int module, const QByteArray& image = QByteArray()) {
    QByteArray b = infoblock::make(1, "PXM20HW", kFactoryHardwareVersion, QByteArray(), 0, image);
    b.replace(16, 4, "1520");
    infoblock::putBe32(b, 20, quint32(10000 + module));
    b.replace(24, 4, QByteArray::fromHex("00080010"));
    infoblock::seal(b);
    return b;
}

// A block must have its section's length; the transfer is refused otherwise.
AbortCode blockSize(int section, qint64 size) {
    if (size < 0 || size == infoblock::size(section)) return abort::None;
    return size > infoblock::size(section) ? abort::LengthTooHigh : abort::LengthTooLow;
}

Entry u8Entry(Access a, std::function<AbortCode(const QByteArray&)> onWrite = {}) {
    Entry e;
    e.value = QByteArray(1, '\0');
    e.access = a;
    e.fixedSize = 1;
    e.onWrite = std::move(onWrite);
    return e;
}
}  // namespace

quint8 bootloaderBase(Profile p, int module) {
    switch (p) {
    case Profile::MBus: return module == 0 ? 0x7F : 0x70;  // cylinders at their S-Bus ids
    case Profile::SBus: return 0x70;
    case Profile::Qtm: return 0x40;
    case Profile::Bzm: return 0x20;
    case Profile::None: break;
    }
    return 0;
}

ProgramControl programControl(Profile p) {
    if (p == Profile::Qtm || p == Profile::Bzm) return {2, 1, 0, 2, 0, 1};
    return {6, 3, 3, 6, 127, 3};
}

ModuleBootloader::ModuleBootloader(Simulator& sim, PxmModule& module, const ProfileOptions& profile,
                                   const BootOptions& options, const Faults& faults)
    : m_sim(sim), m_module(module), m_profile(profile), m_options(options), m_faults(faults),
      m_control(programControl(profile.profile)), m_flash(options.stateDir, module.number()) {
    m_flashTimer.setSingleShot(true);
    connect(&m_flashTimer, &QTimer::timeout, this, &ModuleBootloader::flashDone);
    seedFactory();
    reportApplication(false);
    if (m_module.mode() == PxmModule::Mode::Application && !applicationValid()) m_module.runBootloader();
    m_module.setModeListener([this] { sync(); });
    sync();
}

ModuleBootloader::~ModuleBootloader() {
    m_module.setModeListener({});
    takeDown();
    // The application's node may outlive this side: it keeps no hook into it.
    if (Node* app = m_sim.node(m_module.applicationNodeId())) {
        app->od().remove(kControl, m_control.startBootloader);
        app->od().setReadHook(0x1009, 0, {});
    }
}

quint8 ModuleBootloader::nodeId() const { return quint8(bootloaderBase(m_profile.profile, m_module.number()) + m_module.number()); }

bool ModuleBootloader::fault(bool BootFaults::*which) const {
    return m_options.faults.*which && m_options.faultsHit(m_module.number());
}

void ModuleBootloader::seedFactory() {
    const int m = m_module.number();
    auto seed = [&](int section, const QByteArray& id, quint32 version, quint32 start) {
        const QByteArray image = factoryImage(section, m_options.differs(m, section));
        m_flash.seed(section, infoblock::make(section, id, version, kDate, start, image), image);
    };
    if (!m_control.hardwareInSection1()) {
        m_hardware = hardwareBlock(m);
        // Section 1 holds Bootloader 2, but its block is the hardware info block the module
        // left the factory with, as on every module; a load into section 1 replaces it.
        const QByteArray bl2 = factoryImage(1, m_options.differs(m, 1));
        m_flash.seed(1, hardwareBlock(m, bl2), bl2);
        seed(2, m_profile.profile == Profile::Qtm ? "QTM20APP" : "BZM20APP", 1, 0x00010000);
        return;
    }
    m_flash.seed(1, hardwareBlock(m), QByteArray());
    seed(2, "BL1", 0x0310, 0x00000000);      // shows as 3.10
    seed(3, "BL2", 0x04000000, 0x00008000);  // shows as 4.00
    seed(4, "DATACONT", 1, 0x000C0000);
    // Every module holds the same factory application, whose CRC names its build, unless
    // one is to stand out.
    QByteArray application = factoryApplication(m_profile.foreignBuild);
    if (m_options.differs(m, 6)) application[application.size() - 1] = char(application.back() ^ 0x5A);
    m_flash.seed(6, infoblock::make(6, applicationIdentification(m_profile), 1, kDate, 0x00100000, application),
                 application);
    seed(7, "FPGA", 1, 0x00380000);
}

void ModuleBootloader::reportApplication(bool replaced) {
    m_module.setApplicationImage(m_flash.image(m_control.applicationSection), replaced);
}

bool ModuleBootloader::canStartApplication() const { return !fault(&BootFaults::refuseStart) && applicationValid(); }

void ModuleBootloader::takeSection(int section, const FlashModel& spare) {
    m_flash.setInfo(section, spare.info(section));
    m_flash.setImage(section, spare.image(section));
    if (section == m_control.applicationSection) reportApplication(true);
}

bool ModuleBootloader::applicationValid() const {
    const int s = m_control.applicationSection;
    return m_flash.valid(s) && m_loading != s && m_programming == 0;
}

void ModuleBootloader::sync() {
    switch (m_module.mode()) {
    case PxmModule::Mode::Bootloader:
        if (!m_node) bringUp();
        return;
    case PxmModule::Mode::Application:
        takeDown();
        if (Node* app = m_module.applicationNode()) attachTo(*app);
        return;
    case PxmModule::Mode::Off: takeDown(); return;
    }
}

void ModuleBootloader::bringUp() {
    restart();
    m_node = m_sim.addNode(nodeId(), announced(m_profile.profile, m_module.number()));
    m_node->setFaults(m_faults);
    m_node->setResetHandler([this](Node::Reset kind) {
        if (kind == Node::Reset::Node) restart();
    });
    addObjects(m_node->od());
}

void ModuleBootloader::takeDown() {
    restart();
    if (!m_node) return;
    // By id: the simulator may have dropped its nodes already.
    m_sim.removeNode(nodeId());
    m_node = nullptr;
}

void ModuleBootloader::restart() {
    m_flashTimer.stop();
    m_status = kIdle;
    m_loading = m_programming = 0;
    m_received.clear();
    m_readPos.clear();
}

void ModuleBootloader::later(std::function<void()> f) { QTimer::singleShot(kSwitchMs, this, std::move(f)); }

void ModuleBootloader::addObjects(ObjectDictionary& od) {
    od.addU32(0x1000, 0, 0x00000191, Access::ReadOnly);
    od.addDomain(0x1008, 0, deviceName(m_profile, m_module.number(), QStringLiteral(" Bootloader")), Access::ReadOnly);
    od.addDomain(0x1009, 0, QByteArray(), Access::ReadOnly);
    od.setReadHook(0x1009, 0, [this](QByteArray& d) { return hardwareVersion(d); });
    od.addDomain(0x100A, 0, m_options.version.toLatin1(), Access::ReadOnly);
    od.addU16(0x1017, 0, quint16(announced(m_profile.profile, m_module.number()) ? m_profile.heartbeatMs : 0));

    for (int s = FlashModel::kFirstSection; s <= FlashModel::kLastSection; ++s) {
        Entry info;
        info.maxSize = infoblock::size(s);
        info.onRead = [this, s](QByteArray& d) {
            d = m_flash.info(s);
            m_readPos[s] = 0;  // an upload reads the block first, then the pieces
            return abort::None;
        };
        info.onWriteBegin = [s](qint64 size) { return blockSize(s, size); };
        info.onWrite = [this, s](const QByteArray& block) { return takeInfoBlock(s, block); };
        od.add(kInfo, quint8(s), std::move(info));

        Entry data;
        data.maxSize = kPieceSize;
        data.onRead = [this, s](QByteArray& d) { return givePiece(s, d); };
        data.onWriteBegin = [this, s](qint64 size) { return beginPiece(s, size); };
        data.onWrite = [this, s](const QByteArray& piece) { return takePiece(s, piece); };
        od.add(kData, quint8(s), std::move(data));
    }

    Entry status = u8Entry(Access::ReadOnly);
    status.onRead = [this](QByteArray& d) {
        if (fault(&BootFaults::refuseStatus)) return abort::HardwareError;
        d = QByteArray(1, char(m_status));
        return abort::None;
    };
    od.add(kStatus, m_control.statusSub, std::move(status));
    od.add(kControl, m_control.startApplication,
           u8Entry(Access::ReadWrite, [this](const QByteArray& v) { return startApplication(v); }));
    od.add(kControl, m_control.startBootloader, u8Entry(Access::ReadWrite, [this](const QByteArray& v) {
               if (quint8(v.at(0)) != 2) return abort::InvalidValue;
               later([this] {
                   takeDown();
                   bringUp();
               });
               return abort::None;
           }));
}

// The hardware version is the one the hardware info block holds now.
AbortCode ModuleBootloader::hardwareVersion(QByteArray& text) const {
    const QByteArray hw = m_control.hardwareInSection1() ? m_flash.info(1) : m_hardware;
    text = infoblock::wellFormed(1, hw) ? QByteArray::number(infoblock::be32(hw, 12)) : QByteArray("0");
    return abort::None;
}

void ModuleBootloader::attachTo(Node& application) {
    if (application.od().contains(kControl, m_control.startBootloader)) return;
    // The application reports the same hardware version as the bootloader, also after a repair.
    application.od().setReadHook(0x1009, 0, [this](QByteArray& d) { return hardwareVersion(d); });
    application.od().add(kControl, m_control.startBootloader, u8Entry(Access::ReadWrite, [this](const QByteArray& v) {
        if (quint8(v.at(0)) != 1) return abort::InvalidValue;
        if (fault(&BootFaults::refuseReboot)) return abort::HardwareError;
        later([this] {
            m_module.runBootloader();
            sync();
        });
        return abort::None;
    }));
}

AbortCode ModuleBootloader::startApplication(const QByteArray& value) {
    if (quint8(value.at(0)) != 1) return abort::InvalidValue;
    if (!canStartApplication()) return fault(&BootFaults::refuseStart) ? abort::HardwareError : abort::DeviceState;
    later([this] {
        takeDown();
        m_module.runApplication();
        sync();
    });
    return abort::None;
}

AbortCode ModuleBootloader::takeInfoBlock(int section, const QByteArray& block) {
    if (fault(&BootFaults::refuseInfoBlock)) return abort::HardwareError;
    if (AbortCode a = blockSize(section, block.size())) return a;
    if (m_programming) return abort::DeviceState;
    m_loading = 0;
    m_received.clear();
    if (fault(&BootFaults::badBlockCrc) || !infoblock::wellFormed(section, block)) {
        m_status = kBlockRefused;
        return abort::None;
    }
    if (section == 1 && fault(&BootFaults::flashNeverEnds)) {
        // The hardware block is being programmed, and that never ends: the old one stays.
        m_status = m_control.dataAccepted;
        return abort::None;
    }
    m_flash.setInfo(section, block);
    m_loading = section;
    m_status = kBlockAccepted;
    return abort::None;
}

AbortCode ModuleBootloader::beginPiece(int section, qint64 size) const {
    if (fault(&BootFaults::refuseData)) return abort::HardwareError;
    if (m_programming || m_loading != section) return abort::DeviceState;
    if (size >= 0 && m_received.size() + size > qint64(infoblock::length(m_flash.info(section)))) return abort::LengthTooHigh;
    return abort::None;
}

AbortCode ModuleBootloader::takePiece(int section, const QByteArray& piece) {
    // A download without size indication is seen only now.
    if (AbortCode a = beginPiece(section, piece.size())) return a;
    m_received += piece;
    const QByteArray block = m_flash.info(section);
    if (quint32(m_received.size()) < infoblock::length(block)) return abort::None;
    m_loading = 0;
    if (fault(&BootFaults::badImageCrc) || crc32(m_received) != infoblock::dataCrc(block)) {
        m_received.clear();
        m_status = kImageRefused;
        return abort::None;
    }
    m_programming = section;
    m_status = m_control.dataAccepted;
    if (!fault(&BootFaults::flashNeverEnds)) m_flashTimer.start(m_options.flashMs);
    return abort::None;
}

void ModuleBootloader::flashDone() {
    const int section = m_programming;
    m_flash.setImage(section, m_received);
    m_received.clear();
    m_programming = 0;
    m_status = fault(&BootFaults::idleAfterFlash) ? kIdle : kFlashDone;
    if (section == m_control.applicationSection) reportApplication(true);
}

AbortCode ModuleBootloader::givePiece(int section, QByteArray& piece) {
    if (fault(&BootFaults::refuseUpload)) return abort::HardwareError;
    const QByteArray image = m_flash.image(section);
    int& pos = m_readPos[section];
    // After the last piece the next upload starts again at the beginning.
    if (pos >= image.size()) pos = 0;
    piece = image.mid(pos, kPieceSize);
    pos += int(piece.size());
    return abort::None;
}

}  // namespace sim
