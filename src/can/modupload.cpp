// Info-block uploads: SDO reads of object 0x5FFE and the decoders of the block's fields.
#include "can/modupload.h"

#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/moduleprotocol.h"
#include "bytes/bytes.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modstringfct.h"

namespace modUpload {

using namespace moduleProtocol;

namespace {
constexpr char kObject[] = "modUpload";
// Section 5 is never read.
constexpr qint32 tableSections[] = {sectionHwInfoBlock,   sectionBootloader1, sectionBootloader2,
                                    sectionDataContainer, sectionApplication, sectionFpga};
const QString kNone = QStringLiteral("---");

bool holds(const QByteArray& b, int offset, int count) { return offset >= 0 && qsizetype(offset) + count <= b.size(); }

quint32 u32(const QByteArray& b, int offset) { return static_cast<quint32>(g_byteArrayToLong(b, offset)); }

// A field that the block does not wholly hold shows nothing but its prefix.
QString decimal(const QByteArray& b, int offset, int count) {
    return holds(b, offset, count) ? modStringFct::g_byteToDezValStr(count, offset, b) : QString();
}
QString hex(const QByteArray& b, int offset, int count, const QString& prefix, bool littleEndian = false) {
    return holds(b, offset, count) ? modStringFct::g_byteToHexValStr(count, offset, b, littleEndian, prefix) : prefix;
}
QString text(const QByteArray& b, int offset, int count) {
    return holds(b, offset, count) ? modStringFct::g_byteToStr(count, offset, b) : QString();
}

// The production week or year of a hardware info block: two ASCII digits as the repair
// writes them, or the 16-bit number that older blocks hold.
QString productionField(const QByteArray& b, int offset) {
    if (!holds(b, offset, hwDateBytes)) return QString();
    const char c0 = b[offset], c1 = b[offset + 1];
    if (c0 >= '0' && c0 <= '9' && c1 >= '0' && c1 <= '9') return QString(QChar(c0)) + QChar(c1);
    return modStringFct::g_byteToDezValStr(hwDateBytes, offset, b);
}

// The block of a section as the module's bootloader holds it; False when the read fails
// (the SDO layer reports that) or brings less than a whole block.
bool readInfoBlock(qint16 module, qint32 section, QByteArray& block) {
    block.clear();
    if (section < 0 || section > 255) throw RuntimeError(6, QStringLiteral("Overflow"));
    qint32 length = infoBlockSize;
    if (!frmCANopen::instance().g_readSDO(modDownload::bootloaderNodeId(module), idxInfoBlock,
                                          static_cast<quint8>(section), length, block))
        return false;
    return block.size() >= infoBlockSize;
}
}  // namespace

qint32 g_byteArrayToLong(const QByteArray& bytes, int offset) {
    return static_cast<qint32>(bytes::getUnsigned(bytes, offset, ibNumberBytes, bytes::Order::BigEndian).value_or(0));
}

qint16 getDisplayIndex(qint32 section) {
    switch (section) {
    case sectionApplication: return 0;
    case sectionDataContainer: return 1;
    case sectionFpga: return 2;
    case sectionBootloader2: return 3;
    case sectionBootloader1: return 4;
    case sectionHwInfoBlock: return 5;
    default: return 0;
    }
}

QString buildVersionStr(qint32 section, const QByteArray& block) {
    if (!holds(block, ibVersion, ibNumberBytes)) return QString();
    const quint32 version = u32(block, ibVersion);
    if (section == sectionBootloader1) {
        // Below 0x10 the digit is padded, so that the point still stands before two digits.
        const QString digits = QStringLiteral("%1").arg(version, 2, 16, QLatin1Char('0')).toUpper();
        return digits.left(digits.size() - 2) + QLatin1Char('.') + digits.right(2);
    }
    const int major = static_cast<uchar>(block[ibVersion]);
    if (section == sectionBootloader2 && major != 0) {
        const int minor = static_cast<uchar>(block[ibVersion + 1]);
        return QString::number(major) + QLatin1Char('.') + QStringLiteral("%1").arg(minor, 2, 10, QLatin1Char('0'));
    }
    return QString::number(static_cast<qint32>(version));
}

QStringList infoBlockRow(qint32 section, const QByteArray& block) {
    QStringList row(infoTableColumns);
    const bool hw = section == sectionHwInfoBlock;
    // The fields at the block's end follow its size.
    const int size = infoBlockSizeOf(section);
    const int n = ibNumberBytes;
    row[1] = decimal(block, ibSize, n);
    row[2] = text(block, ibIdentification, ibIdentificationBytes);
    row[3] = (section >= sectionHwInfoBlock && section <= sectionBootloader2) ? buildVersionStr(section, block) : kNone;
    row[4] = hw ? productionField(block, hwWeek) + QStringLiteral(" / ") + productionField(block, hwYear)
                : text(block, ibDate, ibDateBytes);
    row[5] = hex(block, ibStartAddress, n, QStringLiteral("0x"));
    row[6] = decimal(block, ibDataLength(size), n);
    row[7] = hex(block, ibDataCrc(size), n, QStringLiteral("0x"));
    row[8] = hex(block, ibBlockCrc(size), n, QStringLiteral("0x"));
    row[9] = hw ? decimal(block, hwSerial, hwSerialBytes) : kNone;
    row[10] = hw ? hex(block, hwRamSize, hwMemorySizeBytes, QStringLiteral("&H"), true) : kNone;
    row[11] = hw ? hex(block, hwFlashSize, hwMemorySizeBytes, QStringLiteral("&H"), true) : kNone;
    return row;
}

bool g_uploadInfoBlocks(qint16 module, InfoTable& table) {
    bool ok = false;
    InfoTable result(infoTableRows, QStringList(infoTableColumns));
    trap(kObject, "g_uploadInfoBlocks", [&] {
        QByteArray block;
        for (qint32 section : tableSections) {
            if (!readInfoBlock(module, section, block)) return;
            result[getDisplayIndex(section)] = infoBlockRow(section, block);
        }
        ok = true;
    });
    table = ok ? result : InfoTable{QStringList{QString()}};
    return ok;
}

qint32 g_uploadStartAdr(qint16 module, qint32 section) {
    qint32 address = 0;
    trap(kObject, "g_uploadStartAdr", [&] {
        QByteArray block;
        if (readInfoBlock(module, section, block)) address = g_byteArrayToLong(block, ibStartAddress);
    });
    return address;
}

QString g_uploadVersionInfo(qint16 module, qint32 section) {
    QString version;
    trap(kObject, "g_uploadVersionInfo", [&] {
        QByteArray block;
        if (readInfoBlock(module, section, block)) version = buildVersionStr(section, block);
    });
    return version;
}

}  // namespace modUpload
