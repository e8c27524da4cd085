#include "services/modglobal.h"

#include "dao/dao.h"
#include "desktop/dialogs.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>
#include <cmath>
#include <vector>

namespace modGlobal {
using modStringFct::sprintf;

QString g_appName;
QString g_dbDir;
QString g_configDbPath;
QString g_configDir;
QString g_uploadDir;
QString g_toolTitle = QStringLiteral("KELB-3817 Update Tool");

bool g_debugMode = false;
bool g_develop = false;
bool g_qtmMode = false;
bool g_bzmMode = false;
bool g_updateMode = false;
QString g_moduleKind;

qint32 g_applicationType = 0;
bool g_isMBusConnection = false;
qint16 g_cobIdBootloader = 0;
qint16 g_cobIdApplication = 0;
qint16 g_cobIdBootloaderSBus = 0;
bool g_bootupReceived = false;
double g_canInterfaceVersion = 0.0;

bool g_bigMem = false;
qint32 g_baseAdrDC = 0;
qint32 g_baseAdrFPGA = 0;
qint32 g_baseAdrAppl = 0;

qint32 g_symModuleStateRO = 0;
qint32 g_symModuleStateRW = 0;
qint32 g_symSwUpdateStateRO = 0;
qint32 g_symSwUpdateFailureRO = 0;
qint32 g_symEngStandstill = 0;
qint32 g_symCrcFirstApplication = 0;
qint32 g_symTotNoOfCyl = 0;
qint32 g_symSwInfoBuild = 0;
qint32 g_symSwInfoDeveloperNo = 0;
qint32 g_symSwInfoHullNo = 0;
qint32 g_symAutoDownloadActivate = 0;
qint32 g_symCrcValueImo = 0;
qint32 g_symCrcLenImo = 0;
qint32 g_symCrcValueApplication = 0;
qint32 g_symCrcLenApplication = 0;
qint32 g_symSwInfoEngineType = 0;
qint16 g_numRequiredCylinders = 0;
bool g_forceFPGAdownload = false;

namespace {
constexpr qint32 kDefaultProtectionBL1 = 0x10100;
constexpr qint32 kDefaultProtectionBL2 = 0x30000;
}  // namespace

// The bootloaders stay protected even before the configuration has been read.
qint32 g_addressProtectionBL1 = kDefaultProtectionBL1;
qint32 g_addressProtectionBL2 = kDefaultProtectionBL2;

std::shared_ptr<dao::Recordset> g_rsMiscellaneous;
std::shared_ptr<dao::Recordset> g_rsAliasSymbolName;
std::shared_ptr<dao::Recordset> g_rsMessages;

namespace {

[[noreturn]] void overflow() { throw RuntimeError(6, QStringLiteral("Overflow")); }

// A record set that could not be opened at start-up is an error of every look-up on it.
dao::Recordset& openSet(const std::shared_ptr<dao::Recordset>& rs) {
    if (!rs) throw RuntimeError(91, QStringLiteral("Object variable or With block variable not set"));
    return *rs;
}

QString defaultText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QString();
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

std::vector<QPointer<QWidget>>& windows() {
    static std::vector<QPointer<QWidget>> list;
    return list;
}

}  // namespace

qint32 decimalValue(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    const int n = t.size();
    auto isDigit = [&](int k) { return k < n && t[k] >= QLatin1Char('0') && t[k] <= QLatin1Char('9'); };
    QString num;
    if (i < n && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) num += t[i++];
    bool digits = false;
    while (isDigit(i)) { num += t[i++]; digits = true; }
    if (i < n && t[i] == QLatin1Char('.')) {
        num += t[i++];
        while (isDigit(i)) { num += t[i++]; digits = true; }
    }
    if (!digits) return 0;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        int k = i + 1;
        if (k < n && (t[k] == QLatin1Char('-') || t[k] == QLatin1Char('+'))) ++k;
        if (isDigit(k)) {
            num += t.mid(i, k - i);
            i = k;
            while (isDigit(i)) num += t[i++];
        }
    }
    const double d = std::nearbyint(num.toDouble());  // default rounding: half to even
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) overflow();
    return static_cast<qint32>(d);
}

qint32 hexValue(const QString& text) {
    const QString t = text.trimmed();
    quint64 v = 0;
    int significant = 0;
    for (QChar c : t) {
        const ushort u = c.unicode();
        int digit;
        if (u >= '0' && u <= '9') digit = u - '0';
        else if (u >= 'a' && u <= 'f') digit = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F') digit = u - 'A' + 10;
        else break;
        if (v != 0 || digit != 0) ++significant;
        if (significant > 8) overflow();
        v = v * 16 + static_cast<quint64>(digit);
    }
    return static_cast<qint32>(static_cast<quint32>(v));
}

bool g_iniGlobals() {
    bool opened = false;
    trap("modGlobal", "g_iniGlobals", [&] {
        std::shared_ptr<dao::Database> db;
        const struct {
            std::shared_ptr<dao::Recordset>* rs;
            const char* sql;
        } sets[] = {
            {&g_rsMiscellaneous, "SELECT * FROM miscellaneous ORDER BY item"},
            {&g_rsAliasSymbolName, "SELECT * FROM aliasSymbolName ORDER BY aliasName"},
            {&g_rsMessages, "SELECT * FROM messages ORDER BY MessageID"},
        };
        // An empty table is an open record set; only a set that failed to open stops here,
        // so start-up can end before anything reads a setting that is not there.
        for (const auto& s : sets) {
            modDataBase::g_iniRecordset(g_configDbPath, QString::fromLatin1(s.sql), db, *s.rs, false, false, false);
            if (!*s.rs) return;
        }
        opened = true;
    });
    if (!opened) return false;

    const struct {
        const char* item;
        qint32* value;
    } symbols[] = {
        {"GLB_CAN_MODULE_STATE_RO", &g_symModuleStateRO},
        {"GLB_CAN_MODULE_STATE_RW", &g_symModuleStateRW},
        {"GLB_CAN_SW_UPDATE_STATE_RO", &g_symSwUpdateStateRO},
        {"GLB_CAN_SW_UPDATE_FAILURE_RO", &g_symSwUpdateFailureRO},
        {"GLB_ENG_STSTILL", &g_symEngStandstill},
        {"PAR_CRC_FIRST_APPLICATION", &g_symCrcFirstApplication},
        {"PAR_TOT_NO_OF_CYL", &g_symTotNoOfCyl},
        {"PAR_SWINFO_BUILD", &g_symSwInfoBuild},
        {"PAR_SWINFO_DEVELOPER_NO", &g_symSwInfoDeveloperNo},
        {"PAR_SWINFO_HULL_NO", &g_symSwInfoHullNo},
        {"PAR_AUTO_DOWNLD_ACTIVATE", &g_symAutoDownloadActivate},
        {"GLB_CRC_VALUE_IMO", &g_symCrcValueImo},
        {"GLB_CRC_LEN_IMO", &g_symCrcLenImo},
        {"GLB_CRC_VALUE_APPLICATION", &g_symCrcValueApplication},
        {"GLB_CRC_LEN_APPLICATION", &g_symCrcLenApplication},
    };
    for (const auto& s : symbols)
        trap("modGlobal", "g_iniGlobals", [&] { *s.value = decimalValue(g_getMiscItem(QString::fromLatin1(s.item))); });

    trap("modGlobal", "g_iniGlobals", [] {
        const qint32 n = decimalValue(g_getMiscItem(QStringLiteral("numRequiredCylinders"), -1));
        if (n < -32768 || n > 32767) overflow();
        g_numRequiredCylinders = static_cast<qint16>(n);
        if (g_numRequiredCylinders == -1) {
            modMsgBox::g_warningMsgBox(QStringLiteral("Number of required cylinders for engine operation "
                                                      "is not defined in database.\rUsing 3 as default value."),
                                       QString(), true, Dialogs::vbOKCancel);
            g_numRequiredCylinders = 3;
        }
    });

    trap("modGlobal", "g_iniGlobals", [] {
        g_forceFPGAdownload = !g_qtmMode && !g_bzmMode &&
                              g_getMiscItem(QStringLiteral("forceFPGAdownload"), QStringLiteral("yes"), true) == QLatin1String("-1");
    });

    // A missing, empty or zero item keeps the default: the bootloaders are never left unprotected.
    const struct {
        const char* item;
        qint32* value;
        qint32 fallback;
    } protections[] = {
        {"ADDRESS_PROTECTION_BL1", &g_addressProtectionBL1, kDefaultProtectionBL1},
        {"ADDRESS_PROTECTION_BL2", &g_addressProtectionBL2, kDefaultProtectionBL2},
    };
    for (const auto& p : protections)
        trap("modGlobal", "g_iniGlobals", [&] {
            *p.value = p.fallback;
            const qint32 v = hexValue(g_getMiscItem(QString::fromLatin1(p.item)));
            if (v != 0) *p.value = v;
        });
    return true;
}

QString g_getMiscItem(const QString& item, const QVariant& defaultValue, bool isYesNo) {
    QString result;
    trap("modGlobal", "g_getMiscItem", [&] {
        dao::Recordset& rs = openSet(g_rsMiscellaneous);
        rs.FindFirst(QStringLiteral("item=?"), {item});
        result = rs.NoMatch() ? defaultText(defaultValue) : rs.Value(QStringLiteral("value")).toString();
    });
    if (isYesNo) result = result.toLower() == QLatin1String("yes") ? QStringLiteral("-1") : QStringLiteral("0");
    return result;
}

QString g_getMiscItemRev(const QString& value, const QVariant& defaultValue) {
    QString result;
    trap("modGlobal", "g_getMiscItemRev", [&] {
        dao::Recordset& rs = openSet(g_rsMiscellaneous);
        rs.FindFirst(QStringLiteral("value=?"), {value});
        result = rs.NoMatch() ? defaultText(defaultValue) : rs.Value(QStringLiteral("item")).toString();
    });
    return result;
}

void g_setMiscItem(const QString& item, const QString& value) {
    trap("modGlobal", "g_setMiscItem", [&] {
        dao::Recordset& rs = openSet(g_rsMiscellaneous);
        rs.FindFirst(QStringLiteral("item=?"), {item});
        if (rs.NoMatch()) return;
        rs.Edit();
        rs.SetValue(QStringLiteral("value"), value);
        rs.Update();
    });
}

QString g_getSymbolName(const QString& aliasName) {
    QString result;
    trap("modGlobal", "g_getSymbolName", [&] {
        dao::Recordset& rs = openSet(g_rsAliasSymbolName);
        rs.FindFirst(QStringLiteral("aliasName=?"), {aliasName});
        if (!rs.NoMatch()) {
            result = rs.Value(QStringLiteral("symbolName")).toString();
            return;
        }
        modMsgBox::g_errMsgBox(sprintf("The symbol-name for {*} is not defined in the config-database!", aliasName));
    });
    return result;
}

bool g_setSymbolName(const QString& aliasName, const QString& symbolName) {
    bool added = false;
    trap("modGlobal", "g_setSymbolName", [&] {
        dao::Recordset& rs = openSet(g_rsAliasSymbolName);
        rs.FindFirst(QStringLiteral("aliasName=?"), {aliasName});
        if (!rs.NoMatch()) return;
        rs.AddNew();
        rs.SetValue(QStringLiteral("symbolName"), symbolName);
        rs.SetValue(QStringLiteral("aliasName"), aliasName);
        rs.Update();
        added = true;
    });
    return added;
}

QString g_getUserMessage(qint32 messageId) {
    return g_getUserMessage(messageId, sprintf("Application Mode Specific Message text not found in database: {*}", messageId));
}

QString g_getUserMessage(qint32 messageId, const QString& ownText) {
    if (messageId < 0) return QString();
    QString result;
    trap("modGlobal", "g_getUserMessage", [&] {
        dao::Recordset& rs = openSet(g_rsMessages);
        rs.FindFirst(QStringLiteral("MessageID=?"), {messageId});
        result = rs.NoMatch() ? ownText : rs.Value(QStringLiteral("MessageText")).toString();
    });
    return result;
}

void g_registerWindow(QWidget* window) {
    if (!window) return;
    auto& list = windows();
    for (const auto& w : list)
        if (w == window) return;
    list.emplace_back(window);
}

void g_unregisterWindow(QWidget* window) {
    auto& list = windows();
    std::erase_if(list, [&](const QPointer<QWidget>& w) { return w.isNull() || w == window; });
}

bool g_isLoaded(const QString& windowName, const QString& tag, bool includeHidden) {
    bool result = false;
    trap("modGlobal", "g_isLoaded", [&] {
        for (const auto& w : windows()) {
            if (w.isNull() || w->objectName() != windowName) continue;
            if (!tag.isEmpty() && w->property("tag").toString() != tag) continue;
            result = includeHidden || w->isVisible();
            return;
        }
    });
    return result;
}

QDateTime g_getFileDateLastModified(const QString& path) {
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.isFile()) return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    return fi.lastModified();
}

}  // namespace modGlobal
