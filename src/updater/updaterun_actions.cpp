// The update window's single-section actions: a download of one section to one module,
// the read of a section info block, the bootloader CRC check and the spare's path.
#include "updater/updaterun.h"

#include "can/canmaster.h"
#include "can/moduleprotocol.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

namespace {

constexpr char kObject[] = "frmMain";
const QString bootloaderCrc = QStringLiteral("0x6C73B542");

}  // namespace

bool UpdateRun::downloadApplication(const QString& file, qint16 module, qint32 section) {
    bool done = false;
    trap(kObject, "downloadApplication", [&] {
        QByteArray image;
        qint32 start = 0;
        // Nothing is written to a module from a file that did not convert.
        if (!modDownload::g_sRecToBin(file, image, start) || image.isEmpty()) {
            addMessageUpdater(QStringLiteral("  Conversion S19-to-binary failed!"), -1);
            return;
        }
        if (!modGlobal::g_updateMode && modGlobal::g_baseAdrAppl > 0 && modGlobal::g_baseAdrAppl != start) {
            addMessageUpdater(modStringFct::sprintf("      start-address moved to {*}", modGlobal::g_baseAdrAppl), -1);
            start = modGlobal::g_baseAdrAppl;
        }
        auto& link = updateModulesLink::get();
        for (int attempt = 1; attempt <= 3 && !done; ++attempt) {
            if (attempt > 1) addMessageUpdater(QStringLiteral("  New attempt to download"), -1);
            addMessageUpdater(QStringLiteral("  Write infoblock to BZM"), -1);
            if (!link.writeInfoBlock(module, section, file, image, start)) {
                addMessageUpdater(QStringLiteral("  Failure in transmitting infoblock!"), -1);
                continue;
            }
            if (link.loadingStatus(module) != moduleProtocol::loadingInfoBlockAccepted) {
                addMessageUpdater(QStringLiteral("  Downloading infoblock failed!"), -1);
                continue;
            }
            addMessageUpdater(QStringLiteral("  Write data to BZM"), -1);
            if (!link.writeSection(module, section, image)) {
                addMessageUpdater(QStringLiteral("  Failure in transmitting program/data!"), -1);
                continue;
            }
            if (link.loadingStatus(module) != moduleProtocol::loadingFlashed) {
                addMessageUpdater(QStringLiteral("  Downloading program/data failed!"), -1);
                continue;
            }
            // Status 0 also ends the wait of a module whose new program then does not run:
            // only its start proves the download.
            if (!link.restartAfterDownload(module)) {
                addMessageUpdater(modStringFct::sprintf(QStringLiteral("  {*} {*}: not started!"), modGlobal::g_moduleKind, module), -1);
                return;
            }
            addMessageUpdater(QStringLiteral("  Download successful"), -1);
            done = true;
        }
    });
    return done;
}

void UpdateRun::uploadInfoBlock(qint16 module, qint32 section, bool& ok) {
    ok = false;
    trap(kObject, "uploadInfoBlock", [&] {
        QByteArray block;
        qint32 length = 0;
        if (!canMasterLink::get().g_readSDO(quint8(module + modGlobal::g_cobIdBootloader), moduleProtocol::idxInfoBlock,
                                            quint8(section), length, block, false, false, true))
            return;
        using namespace moduleProtocol;
        // A block shorter than its fields is a failed read, not one decoded from missing bytes.
        if (block.size() < infoBlockSize) return;
        using namespace modStringFct;
        const QString hex = QStringLiteral("0x");
        // The fields of the 44-byte block, whatever the section.
        constexpr int n = ibNumberBytes, size = infoBlockSize;
        m_infoBlockValues[1] = g_byteToDezValStr(n, ibSize, block);
        m_infoBlockValues[2] = g_byteToStr(ibIdentificationBytes, ibIdentification, block);
        m_infoBlockValues[3] = g_byteToDezValStr(n, ibVersion, block);
        m_infoBlockValues[4] = g_byteToStr(ibDateBytes, ibDate, block);
        m_infoBlockValues[5] = g_byteToHexValStr(n, ibStartAddress, block, false, hex);
        m_infoBlockValues[6] = g_byteToDezValStr(n, ibDataLength(size), block);
        m_infoBlockValues[7] = g_byteToHexValStr(n, ibDataCrc(size), block, false, hex);
        m_infoBlockValues[8] = g_byteToHexValStr(n, ibBlockCrc(size), block, false, hex);
        ok = true;
    });
}

void UpdateRun::checkBlCRC(bool& ok) {
    bool read = false;
    uploadInfoBlock(m_viaSparePath ? 23 : 0, moduleProtocol::sectionHwInfoBlock, read);
    ok = read && m_infoBlockValues[7] == bootloaderCrc;
    if (read && !ok) addMessageUpdater(QStringLiteral("   Bootloader-CRC: ") + m_infoBlockValues[7], -1);
}

void UpdateRun::getConnectionStatus(qint16& result) {
    using moduleProtocol::ModuleState;
    const moduleProtocol::ModuleStates states = canMasterLink::get().connectionStates();
    result = 0;
    const ModuleState spare = states[0];
    if (spare == ModuleState::none || spare == ModuleState::application || spare == ModuleState::bootloader) {
        result = qint16(spare);
        if (spare == ModuleState::bootloader) m_viaSparePath = false;
    }
    if (states[7] == ModuleState::application) {
        result = 3;
        m_viaSparePath = true;
    }
}
