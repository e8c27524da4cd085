#pragma once
// What the tool and the modules agree on above CANopen: the objects read and written, the
// node-id bases, the section numbers, the symbol messages, and the layouts of the section
// info block and the hardware info block. CANopen's own COB-IDs are in caninterface/canopenids.h,
// the SDO bytes in caninterface/sdoprotocol.h.
#include <QtGlobal>
#include <array>

namespace moduleProtocol {

// ---- Objects ----
constexpr qint32 idxDeviceType = 0x1000;
constexpr qint32 idxErrorRegister = 0x1001;
constexpr qint32 idxCobIdSync = 0x1005;
constexpr qint32 idxDeviceName = 0x1008;       // the application's name
constexpr qint32 idxHardwareVersion = 0x1009;
constexpr qint32 idxSoftwareVersion = 0x100A;  // the bootloader's version "d.dd"
constexpr qint32 idxHeartbeatTime = 0x1017;    // producer heartbeat time, ms
constexpr qint32 idxIdentity = 0x1018;
constexpr qint32 idxProgramData = 0x1F50;      // sub-index = section: the section's data
constexpr qint32 idxProgramControl = 0x1F51;   // sub-index = the program to start, see below
constexpr qint32 idxInfoBlock = 0x5FFE;        // sub-index = section: its info block
constexpr qint32 idxLoadingStatus = 0x5FFF;    // one byte

// ---- Sections: the sub-index of idxProgramData and idxInfoBlock ----
constexpr qint32 sectionHwInfoBlock = 1;
constexpr qint32 sectionBootloader1 = 2;
constexpr qint32 sectionBootloader2 = 3;
constexpr qint32 sectionDataContainer = 4;
constexpr qint32 sectionSecondApplication = 5;
constexpr qint32 sectionApplication = 6;
constexpr qint32 sectionFpga = 7;

// Values written to the program-control object, and its sub-index: the program to start.
constexpr quint8 programStartApplication = 1;
constexpr quint8 programStartBootloaderFromApplication = 1;
constexpr quint8 programRestartBootloader = 2;
// A PXM module numbers its programs as its sections; QTM and BZM have their own numbers.
constexpr quint8 programApplication = sectionApplication, programBootloader = sectionBootloader2;
constexpr quint8 programApplicationQtmBzm = 2, programBootloaderQtmBzm = 1;

// Sub-index of the loading status: PXM modules; QTM and BZM use 0.
constexpr quint8 loadingStatusSubIndex = 3;
// Loading status values.
constexpr qint16 loadingFlashed = 0;           // QTM and BZM: data accepted; all: flash programmed
constexpr qint16 loadingInfoBlockAccepted = 1;
constexpr qint16 loadingDataAccepted = 127;    // PXM: data accepted, flash programming runs
constexpr qint16 loadingFlashedPxm = 255;

// ---- Modules: 0 (the spare on the M-Bus) to 14 ----
constexpr int moduleCount = 15;
// One flag per module: selected, stopped, written, done.
using Selection = std::array<bool, moduleCount>;
// What a module's heartbeat says it runs; the values are those the lamps and the
// connection-state list have always used.
enum class ModuleState : qint32 { none = 0, application = 1, bootloader = 2 };
using ModuleStates = std::array<ModuleState, moduleCount>;

// ---- Node ids: module number + base ----
// The defaults of the configuration's base items.
struct NodeBases {
    qint16 bootloader;
    qint16 application;
};
constexpr NodeBases qtmNodes{0x40, 0x50};
constexpr NodeBases bzmNodes{0x20, 0x30};
constexpr NodeBases sBusNodes{0x70, 0x20};       // also the cylinder modules behind an M-Bus
constexpr NodeBases sBusDarvoNodes{0x71, 0x11};
constexpr NodeBases mBusNodes{0x7F, 0x11};       // module 0 on the M-Bus
// The heartbeat node of an old bootloader that must not be used on the M-Bus.
constexpr qint32 oldMBusBootloaderNode = 113;

// ---- Symbol messages ----
constexpr qint32 cobIdSymbolWrite = 0x382;
constexpr qint32 cobIdSymbolValue = 0x411;
constexpr qint32 cobIdUserLevel = 0x482;
// The PC's own heartbeat.
constexpr quint8 pcNode = 9;
// A symbol key: the symbol number in the low 12 bits, the module times 4096 above it.
constexpr qint32 symbolKeyModuleStep = 4096;
constexpr qint32 symbolNumberMask = 0xFFF;
constexpr qint32 symbolKey(qint32 symbol, int module) { return symbol + symbolKeyModuleStep * module; }
constexpr qint32 symbolOfKey(qint32 key) { return key & symbolNumberMask; }
constexpr int moduleOfKey(qint32 key) { return int(key >> 12); }

// ---- Section info block ----
// S is infoBlockSize, or hwInfoBlockSize for section 1. Numbers are unsigned 32-bit
// big-endian, texts ASCII padded with zero bytes, every other byte 0:
//    0 block size S          4 identification (8)     12 version (this program writes 1)
//   16 file date "mmm dd yyyy" and a zero byte        28 start address
//   S-12 data length       S-8 CRC-32 of the data    S-4 CRC-32 of bytes 0 to S-5
constexpr int infoBlockSize = 44;
constexpr int hwInfoBlockSize = 312;
constexpr int infoBlockVersion = 1;
constexpr int ibNumberBytes = 4;
constexpr int ibSize = 0, ibIdentification = 4, ibVersion = 12, ibDate = 16, ibStartAddress = 28;
constexpr int ibIdentificationBytes = 8, ibDateBytes = 12;
// The fields at the block's end, by its size S.
constexpr int ibDataLength(int size) { return size - 12; }
constexpr int ibDataCrc(int size) { return size - 8; }
constexpr int ibBlockCrc(int size) { return size - 4; }

// ---- Hardware info block (section 1, hwInfoBlockSize bytes) ----
// Numbers big-endian; it shares the info block's size, identification, code start, length and
// CRCs, and keeps its own fields where the section info block has its date:
//   12 hardware version (4)   16 production week (2)   18 production year (2)
//   20 serial number (signed 32-bit, -1 = none)   24 RAM size (2)   26 flash size (2)
// Week and year are two ASCII digits each; blocks of older modules may hold them as 16-bit
// numbers (the year then in full).
constexpr int hwVersion = ibVersion, hwWeek = 16, hwYear = 18, hwSerial = 20, hwRamSize = 24, hwFlashSize = 26;
constexpr int hwDateBytes = 2, hwSerialBytes = 4, hwMemorySizeBytes = 2;
constexpr int hwBlockCrc = ibBlockCrc(hwInfoBlockSize);

// S of a section's block.
constexpr int infoBlockSizeOf(qint32 section) { return section == sectionHwInfoBlock ? hwInfoBlockSize : infoBlockSize; }

}  // namespace moduleProtocol
