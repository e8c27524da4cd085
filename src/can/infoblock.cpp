// The section info block writer, the start-address check and the loading-status read.
#include "can/infoblock.h"

#include "can/frmcanopen.h"
#include "can/modapplicationmode.h"
#include "bytes/bytes.h"
#include "crclibrary/crclibrary.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QLocale>

namespace modDownload {

using namespace moduleProtocol;

namespace {
constexpr char kObject[] = "modDownload";
constexpr qint32 qtmBzmTimeoutMs = 2000;

bool qtmOrBzm() { return modGlobal::g_qtmMode || modGlobal::g_bzmMode; }

// A node id or sub-index is a byte.
quint8 asByte(qint32 value) {
    if (value < 0 || value > 255) throw RuntimeError(6, QStringLiteral("Overflow"));
    return static_cast<quint8>(value);
}

QString identification(qint32 section, const QString& fileName) {
    if (modGlobal::g_qtmMode) return QStringLiteral("QTM20APP");
    if (section == sectionApplication) {
        switch (modGlobal::g_applicationType) {
        case modApplicationMode::appKELB: return QStringLiteral("KELB");
        case modApplicationMode::appVEDR: return QStringLiteral("VEDR");
        case modApplicationMode::appDARVO: return QStringLiteral("DRVO");
        default: return QString();
        }
    }
    return modFileFct::g_fileName(fileName).mid(4, ibIdentificationBytes);
}

// The C locale names the months in English whatever the PC's language.
QString fileDate(const QString& fileName) {
    return QLocale::c().toString(modGlobal::g_getFileDateLastModified(fileName).date(), QStringLiteral("MMM dd yyyy"));
}

// An unsigned 32-bit big-endian field.
void putNumber(qint64 value, int offset, QByteArray& block) {
    bytes::put(block, offset, value, ibNumberBytes, bytes::Order::BigEndian);
}
}  // namespace

quint8 bootloaderNodeId(qint16 module) {
    using namespace modGlobal;
    if (g_isMBusConnection && module >= 1 && module < moduleProtocol::moduleCount)
        return asByte(module + g_cobIdBootloaderSBus);
    return asByte(module + g_cobIdBootloader);
}

QByteArray buildInfoBlock(qint32 section, const QString& fileName, const QByteArray& image, qint32 startAddress) {
    if (image.isEmpty()) throw RuntimeError(9, QStringLiteral("Subscript out of range"));
    const int size = infoBlockSizeOf(section);
    QByteArray block(size, '\0');
    const quint32 dataCrc = CrcCalculation32(image.constData(), static_cast<qint32>(image.size()), 0);
    putNumber(size, ibSize, block);
    modStringFct::g_strToByte(identification(section, fileName), ibIdentificationBytes, ibIdentification, block);
    putNumber(infoBlockVersion, ibVersion, block);
    modStringFct::g_strToByte(fileDate(fileName), ibDateBytes, ibDate, block);
    putNumber(startAddress, ibStartAddress, block);
    putNumber(image.size(), ibDataLength(size), block);
    putNumber(dataCrc, ibDataCrc(size), block);
    putNumber(CrcCalculation32(block.constData(), ibBlockCrc(size), 0), ibBlockCrc(size), block);
    return block;
}

bool writeInfoBlock(qint16 module, qint32 section, const QString& fileName, const QByteArray& image,
                    qint32 startAddress) {
    bool ok = false;
    trap(kObject, "writeInfoBlock", [&] {
        const quint8 node = asByte(module + modGlobal::g_cobIdBootloader);
        const quint8 subIndex = asByte(section);
        const QByteArray block = buildInfoBlock(section, fileName, image, startAddress);
        ok = frmCANopen::instance().g_writeSDO(node, idxInfoBlock, subIndex,
                                               static_cast<qint32>(block.size()), block, true,
                                               qtmOrBzm() ? qtmBzmTimeoutMs : 0);
    });
    return ok;
}

bool checkInfoBlock(qint32 section, qint32 startAddress) {
    bool ok = false;
    trap(kObject, "checkInfoBlock", [&] {
        if (startAddress < modGlobal::g_addressProtectionBL1) {
            modMsgBox::g_errorMsgBox(
                QStringLiteral("Download cancelled because start address is within Bootloader1 memory."), QString(),
                true);
        } else if (startAddress < modGlobal::g_addressProtectionBL2 && section != sectionBootloader2) {
            modMsgBox::g_errorMsgBox(QStringLiteral("Download cancelled because start address is within Bootloader2 "
                                                    "memory and section is not Bootloader2."),
                                     QString(), true);
        } else {
            ok = true;
        }
    });
    return ok;
}

qint16 g_getLoadingStatus(qint16 module, bool quiet) {
    qint16 status = -1;
    trap(kObject, "g_getLoadingStatus", [&] {
        const quint8 subIndex = qtmOrBzm() ? 0 : loadingStatusSubIndex;
        qint32 length = 1;
        QByteArray data;
        if (!frmCANopen::instance().g_readSDO(bootloaderNodeId(module), idxLoadingStatus, subIndex, length, data,
                                              false, quiet))
            return;
        // Nothing received (no CAN) is no status.
        if (!data.isEmpty()) status = static_cast<uchar>(data[0]);
    });
    return status;
}

}  // namespace modDownload
