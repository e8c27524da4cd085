#include "can/modapplicationmode.h"

#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/moduleprotocol.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

#include <QFile>
#include <QRegularExpression>

namespace modApplicationMode {

namespace {
// Markers in the order they are tried.
struct Marker {
    const char* text;
    qint32 type;
};
constexpr Marker kNameMarkers[] = {{"KELB-3817", appKELB}, {"KELB", appKELB}, {"VEDR", appVEDR}, {"DRVO", appDARVO}};
constexpr Marker kImageMarkers[] = {{"KELB-3817", appKELB}, {"VEDR", appVEDR}, {"DRVO", appDARVO}};

// Whether the marker stands at an even offset, compared two bytes at a time (the odd last
// byte of a marker is not compared).
bool containsAtEvenOffset(const QByteArray& image, const QByteArray& marker) {
    const qsizetype compared = marker.size() / 2 * 2;
    if (compared == 0) return false;
    for (qsizetype pos = 0; pos + compared <= image.size(); pos += 2)
        if (std::equal(marker.begin(), marker.begin() + compared, image.begin() + pos)) return true;
    return false;
}

// The characters of the bytes, zero bytes left out.
QString textOf(const QByteArray& bytes) { return modStringFct::g_byteToStr(int(bytes.size()), 0, bytes); }
}  // namespace

qint32 classifyName(const QString& name, qint32 otherwise) {
    for (const Marker& m : kNameMarkers)
        if (name.startsWith(QLatin1String(m.text), Qt::CaseSensitive)) return m.type;
    return otherwise;
}

QString typeName(qint32 type) {
    switch (type) {
    case appKELB: return QStringLiteral("KELB");
    case appVEDR: return QStringLiteral("VEDR");
    case appDARVO: return QStringLiteral("DRVO");
    case appNone: return QStringLiteral("NONE");
    case appQTM: return QStringLiteral("QTM");
    case appBZM: return QStringLiteral("BZM");
    default: return QString();
    }
}

qint32 classifyImage(const QByteArray& image) {
    for (const Marker& m : kImageMarkers)
        if (containsAtEvenOffset(image, QByteArray(m.text))) return m.type;
    return appKELB;
}

qint32 g_checkAppConnectionType() {
    if (canMasterLink::get().g_noCAN()) return appNotDetermined;
    if (modGlobal::g_qtmMode) return appQTM;
    if (modGlobal::g_bzmMode) return appBZM;
    qint32 result = appNotDetermined;
    trap("modApplicationMode", "g_checkAppConnectionType", [&] {
        frmCANopen& master = frmCANopen::instance();
        auto read = [&master](int node, qint32 index, quint8 sub, QByteArray& data) {
            qint32 length = 0;
            return master.g_readSDO(quint8(node), index, sub, length, data, false, true, true);
        };
        QString text;
        bool answered = false;
        for (int module = 0; module < moduleProtocol::moduleCount && !answered; ++module) {
            QByteArray data;
            if (read(module + modGlobal::g_cobIdApplication, moduleProtocol::idxDeviceName, 0, data)) {
                result = appKELB;
                text = textOf(data);
                answered = true;
            } else if (read(module + modGlobal::g_cobIdBootloader, moduleProtocol::idxInfoBlock,
                            moduleProtocol::sectionApplication, data)) {
                // The identification of the application's info block.
                result = appNone;
                text = textOf(data.mid(moduleProtocol::ibIdentification, moduleProtocol::ibIdentificationBytes));
                answered = true;
            }
            if (modGlobal::g_isMBusConnection) break;
        }
        if (!answered) return;
        result = classifyName(text, result);
        if (modGlobal::g_isMBusConnection)
            modAutoDownload::g_checkMBusModuleID(modConnectionStatus::g_getModuleStatus(0) ==
                                                 moduleProtocol::ModuleState::bootloader);
    });
    return result;
}

qint32 g_checkAppFileType(const QString& fileName) {
    if (modGlobal::g_qtmMode) return appQTM;
    if (modGlobal::g_bzmMode) return appBZM;
    qint32 result = appKELB;
    trap("modApplicationMode", "g_checkAppFileType", [&] {
        QByteArray image;
        qint32 start = 0;
        // A file that reads only in part is still searched as far as it was read.
        modDownload::g_sRecToBin(fileName, image, start);
        result = classifyImage(image);
    });
    return result;
}

qint32 g_getApplStartAddr(const QString& fileName) {
    qint32 address = 0;
    if (fileName.isEmpty()) return 0;  // no Application file in this run
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    trap("modApplicationMode", "g_getApplStartAddr", [&] {
        file.readLine();
        if (file.atEnd()) throw RuntimeError(62, QStringLiteral("Input past end of file"));
        const QString line = QString::fromLatin1(file.readLine()).trimmed();
        static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
        const QString digits = line.mid(4, 6);
        if (!hex.match(digits).hasMatch()) throw RuntimeError(13, QStringLiteral("Type mismatch"));
        address = qint32(digits.toUInt(nullptr, 16));
    });
    return address;
}

}  // namespace modApplicationMode
