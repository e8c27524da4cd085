#include "can/modautodownload.h"

#include "can/canmaster.h"
#include "can/links.h"
#include "can/moduleprotocol.h"
#include "bytes/bytes.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

namespace modAutoDownload {

namespace {
using moduleProtocol::moduleCount;
using moduleProtocol::ModuleState;
constexpr qint16 kStandStillTimeout = 20000;
constexpr quint8 kLoginUserLevel = 11;

moduleProtocol::ModuleStates m_moduleState{};
moduleProtocol::Selection m_failure1{};
moduleProtocol::Selection m_failure2{};
bool m_commandPending = false;
qint16 m_currentModule = 0;
qint16 m_field3 = 0;
double m_progress = 0;
qint16 m_attempt = 0;
qint32 m_engineStandStill = 0;
qint16 m_standStillCountdown = 0;
qint32 m_loginSymbols[4] = {0, 0, 0, 0};
bool m_loggedIn = false;

quint8 byteAt(const QByteArray& b, int i) { return i < b.size() ? quint8(b[i]) : 0; }
// The little-endian word at bytes i and i + 1 (a byte the value lacks reads 0).
quint16 wordAt(const QByteArray& b, int i) {
    return quint16(bytes::getUnsigned(b.mid(i, 2).leftJustified(2, '\0'), 0, 2, bytes::Order::LittleEndian).value_or(0));
}
bool validModule(qint16 module) { return module >= 0 && module < moduleCount; }

QString variableFailed(const char* head, qint32 number) {
    return QString::fromLatin1(head) + QString::number(number) + QStringLiteral(" failed.");
}
}  // namespace

void g_initialise() {
    trap("modAutoDownload", "g_initialise", [] {
        m_moduleState.fill(ModuleState::none);
        m_failure1 = {};
        m_failure2 = {};
        m_engineStandStill = 0;
    });
    g_resetConnectionStatus();
}

void g_resetConnectionStatus() {
    m_moduleState.fill(ModuleState::none);
    m_engineStandStill = 0;
    m_progress = 0;
    m_commandPending = false;
}

moduleProtocol::ModuleStates g_getAutoDwnlConnStatus() { return m_moduleState; }

ModuleState g_getModuleStatusADL(qint16 module) {
    return validModule(module) ? m_moduleState[module] : ModuleState::none;
}

bool g_getAutoDownloadStatus(qint16& currentModule, qint16& field3, double& progress, qint16& attempt) {
    currentModule = m_currentModule;
    field3 = m_field3;
    progress = m_progress;
    attempt = m_attempt;
    return m_commandPending;
}

bool g_getAutoDownloadFailure(qint16 module) {
    return validModule(module) && (m_failure1[module] || m_failure2[module]);
}

void g_login() {
    trap("modAutoDownload", "g_login", [] {
        m_loggedIn = true;
        m_loginSymbols[0] = modGlobal::g_symModuleStateRO;
        m_loginSymbols[1] = modGlobal::g_symModuleStateRW;
        m_loginSymbols[2] = modGlobal::g_symSwUpdateStateRO;
        m_loginSymbols[3] = modGlobal::g_symSwUpdateFailureRO;
        if (!canMasterLink::get().g_setUserLevel(kLoginUserLevel)) {
            modMsgBox::g_errorMsgBox(QStringLiteral("Initialization AutoDownload: Login failed."), QString(), true);
            return;
        }
        for (qint32 symbol : m_loginSymbols) {
            if (!canMasterLink::get().g_setServiceBit(symbol, 1)) {
                modMsgBox::g_errorMsgBox(variableFailed("Initialization AutoDownload: Activation of KELB-Variable ", symbol),
                                         QString(), true);
                TimeService::sleep(500);
                return;
            }
        }
        TimeService::sleep(500);
    });
}

void g_logoff() {
    trap("modAutoDownload", "g_logoff", [] {
        if (!m_loggedIn) return;
        for (qint32 symbol : m_loginSymbols) {
            if (!canMasterLink::get().g_setServiceBit(symbol, 0)) {
                modMsgBox::g_errorMsgBox(variableFailed("Logoff AutoDownload: Deactivation of KELB-Variable ", symbol));
                break;
            }
            TimeService::sleep(200);
        }
        for (int module = 1; module < moduleCount; ++module) {
            if (m_moduleState[module] == ModuleState::none) continue;
            const qint32 key = moduleProtocol::symbolKey(modGlobal::g_symEngStandstill, module);
            if (!canMasterLink::get().g_setServiceBit(key, 0))
                modMsgBox::g_errorMsgBox(variableFailed("Logoff AutoDownload: Deactivation of KELB-Variable ", key));
        }
    });
}

void g_setModuleStatus(const QByteArray& value) {
    trap("modAutoDownload", "g_setModuleStatus", [&] {
        const quint16 application = wordAt(value, 0), bootloader = wordAt(value, 2);
        for (int module = 0; module < moduleCount; ++module) {
            if (application & (1u << module)) {
                // A cylinder that newly runs its application is asked for its standstill signal.
                const qint32 standstillKey = moduleProtocol::symbolKey(modGlobal::g_symEngStandstill, module);
                if (module != 0 && m_moduleState[module] != ModuleState::application &&
                    canMasterLink::get().g_setServiceBit(standstillKey, 1)) {
                    m_standStillCountdown = kStandStillTimeout;
                    m_engineStandStill = 0;
                }
                m_moduleState[module] = ModuleState::application;
            } else if (bootloader & (1u << module)) {
                m_moduleState[module] = ModuleState::bootloader;
            } else {
                m_moduleState[module] = ModuleState::none;
            }
        }
    });
}

void g_setCommandStatus(const QByteArray& value) {
    // Any non-zero command word is still being executed, the top bit included.
    m_commandPending = wordAt(value, 2) != 0;
}

void g_setUpdateStatus(const QByteArray& value) {
    m_currentModule = qint16(byteAt(value, 0) & 0x0F);
    m_field3 = qint16((byteAt(value, 0) >> 4) & 0x07);
    m_progress = double(byteAt(value, 1) & 0x7F) / 100.0;
    m_attempt = qint16(byteAt(value, 2) & 0x1F);
}

void g_setUpdateFailure(const QByteArray& value) {
    const quint16 first = wordAt(value, 2), second = wordAt(value, 0);
    for (int module = 0; module < moduleCount; ++module) {
        m_failure1[module] = (first & (1u << module)) != 0;
        m_failure2[module] = (second & (1u << module)) != 0;
    }
}

bool readSingleModule(const QByteArray& mask, qint16 module) {
    return validModule(module) && (wordAt(mask, 0) & (1u << module)) != 0;
}

bool g_sendCommand(qint16 command, qint32 value, qint16 section) {
    bool ok = false;
    trap("modAutoDownload", "g_sendCommand", [&] {
        quint16 word = 0;
        switch (command) {
        case cmdStartBootloader: word = 0x0001; break;
        case cmdStartApplication: word = 0x0002; break;
        case cmdDownload:
            switch (section) {
            case moduleProtocol::sectionBootloader2: word = 0x0010; break;
            case moduleProtocol::sectionDataContainer: word = 0x0020; break;
            case moduleProtocol::sectionApplication: word = 0x0040; break;
            case moduleProtocol::sectionFpga: word = 0x0080; break;
            default: break;
            }
            // Module 0 would take an empty command word as done, and the section would
            // count as loaded: refuse it here instead.
            if (word == 0) {
                modMsgBox::g_errorMsgBox(QStringLiteral("Invalid section passed to modAutoDwonlaod.g_sendCommand"), QString(), true);
                return;
            }
            break;
        case cmdAbort: word = 0x0100; break;
        case cmdReserved: word = 0x0004; break;
        case cmdClearFailure: word = 0x3000; break;
        default:
            modMsgBox::g_errorMsgBox(QStringLiteral("Invalid Command passed to g_sendCommand"), QString(), true);
            return;
        }
        if (command != cmdAbort && m_commandPending) return;
        QByteArray data;
        bytes::Writer w(data, bytes::Order::LittleEndian);
        w.number(value, 2);
        w.number(word, 2);
        ok = canMasterLink::get().g_writeSymbol(modGlobal::g_symModuleStateRW, 0, data);
        // Pending only once the register was written, or a failed write would block every
        // later command until module 0 publishes a register it never received.
        if (ok) m_commandPending = true;
    });
    return ok;
}

qint32 g_getEngineStandStillStatus() { return m_engineStandStill; }

void g_setEngineStandStill(const QByteArray& value) {
    m_standStillCountdown = kStandStillTimeout;
    m_engineStandStill = byteAt(value, 0) > 0 ? 1 : 2;
}

void g_checkEngineStandStillTimeout(qint32 intervalMs) {
    if (m_standStillCountdown >= 1)
        m_standStillCountdown = qint16(m_standStillCountdown - intervalMs);
    else
        m_engineStandStill = 0;
}

void g_checkMBusModuleID(bool inBootloader) {
    trap("modAutoDownload", "g_checkMBusModuleID", [&] {
        const qint32 node = inBootloader ? modGlobal::g_cobIdBootloader : modGlobal::g_cobIdApplication;
        QByteArray data;
        if (!canMasterLink::get().readQuiet(node, moduleProtocol::idxDeviceName, 0, data)) return;
        const QString name = modStringFct::g_byteToStr(int(data.size()), 0, data);
        const int hash = name.indexOf(QLatin1Char('#'));
        if (hash < 0) return;
        // The number in the two characters after the "#"; blanks are skipped as Val does.
        const QString digits = name.mid(hash + 1, 2).remove(QLatin1Char(' '));
        int id = 0;
        for (QChar c : digits) {
            if (!c.isDigit()) break;
            id = id * 10 + c.digitValue();
        }
        if (id <= 0) return;
        if (modGlobal::g_updateMode) {
            autoDownloadMainWindowLink::get().notConnectedToSpare(id);
            return;
        }
        modMsgBox::g_errorMsgBox(modStringFct::sprintf(modGlobal::g_getUserMessage(8), id));
        autoDownloadMainWindowLink::get().logOffApplication();
    });
}

}  // namespace modAutoDownload
