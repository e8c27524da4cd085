#pragma once
// The configuration database and the program's global settings. Three record sets on the
// configuration database stay open for the whole run; every setting, alias and user
// message is read and written through them. The global flags below are set at start-up
// (and by the CAN master's bus set-up) and read everywhere.
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <memory>

class QWidget;

namespace dao {
class Recordset;
}

namespace modGlobal {

// ---- Where the configuration lives (set by start-up) ----
extern QString g_appName;       // program's file name without extension
extern QString g_dbDir;         // folder of the configuration database, with a trailing separator
extern QString g_configDbPath;  // full path of the configuration database
extern QString g_configDir;     // folder of the configuration database, without a trailing separator
extern QString g_uploadDir;     // g_configDir followed by "\Upload"
extern QString g_toolTitle;     // "KELB-3817 Update Tool"

// ---- Mode flags (set by start-up from the command line) ----
extern bool g_debugMode;     // "/debug"
extern bool g_develop;       // "/develop"
extern bool g_qtmMode;       // "/QTM"
extern bool g_bzmMode;       // "/BZM" without "/QTM"
extern bool g_updateMode;    // neither "/QTM" nor "/BZM"
extern QString g_moduleKind; // "PXM", "QTM" or "BZM"

// ---- Bus and modules ----
extern qint32 g_applicationType;     // 0 KELB, 1 VEDR, 2 DARVO, 3 none, 4 not determined, 5 mismatch, 6 QTM, 7 BZM
extern bool g_isMBusConnection;      // the bus in use is the M-Bus (set by the CAN master)
extern qint16 g_cobIdBootloader;     // node-id base of modules in their bootloader
extern qint16 g_cobIdApplication;    // node-id base of modules in their application
extern qint16 g_cobIdBootloaderSBus; // M-Bus only: bootloader base of modules 1 to 14 (0 = none)
extern bool g_bootupReceived;        // the modules have answered on the bus; never reset
extern double g_canInterfaceVersion; // version of the CAN component; 0 until a bus set-up stores it

// ---- Memory layout and flash base addresses (set by start-up, layout also by the update run) ----
extern bool g_bigMem;
extern qint32 g_baseAdrDC;
extern qint32 g_baseAdrFPGA;
extern qint32 g_baseAdrAppl;

// ---- Settings read by g_iniGlobals ----
extern qint32 g_symModuleStateRO;
extern qint32 g_symModuleStateRW;
extern qint32 g_symSwUpdateStateRO;
extern qint32 g_symSwUpdateFailureRO;
extern qint32 g_symEngStandstill;
extern qint32 g_symCrcFirstApplication;
extern qint32 g_symTotNoOfCyl;
extern qint32 g_symSwInfoBuild;
extern qint32 g_symSwInfoDeveloperNo;
extern qint32 g_symSwInfoHullNo;
extern qint32 g_symAutoDownloadActivate;
extern qint32 g_symCrcValueImo;
extern qint32 g_symCrcLenImo;
extern qint32 g_symCrcValueApplication;
extern qint32 g_symCrcLenApplication;
extern qint32 g_symSwInfoEngineType;      // 0 until the update run sets it
extern qint16 g_numRequiredCylinders;
extern bool g_forceFPGAdownload;
extern qint32 g_addressProtectionBL1;     // a section may not start below it (default 0x10100)
extern qint32 g_addressProtectionBL2;     // default 0x30000

// ---- Reading configuration texts ----
// A decimal item: its leading number (sign, digits, fraction, exponent; text that is no
// number reads as 0), rounded half to even to 32 bits. Out of range: run-time error 6.
qint32 decimalValue(const QString& text);
// A hexadecimal item stored without a prefix ("7F", "10100"): its leading hex digits as a
// 32-bit number (8 digits with the top bit set read as negative); no digit reads as 0.
// More than 8 significant digits: run-time error 6.
qint32 hexValue(const QString& text);

// ---- The record sets kept open on the configuration database ----
extern std::shared_ptr<dao::Recordset> g_rsMiscellaneous;   // SELECT * FROM miscellaneous ORDER BY item
extern std::shared_ptr<dao::Recordset> g_rsAliasSymbolName; // SELECT * FROM aliasSymbolName ORDER BY aliasName
extern std::shared_ptr<dao::Recordset> g_rsMessages;        // SELECT * FROM messages ORDER BY MessageID

// Opens the three record sets on g_configDbPath and reads the settings above. False when a
// record set could not be opened (the reason has been shown): start-up then ends, as
// nothing can run without the configuration.
bool g_iniGlobals();

// The value of a `miscellaneous` item, or the default as text when the item is missing (no
// default: the empty text). With isYesNo the result is "-1" for "yes" in any case, else "0".
QString g_getMiscItem(const QString& item, const QVariant& defaultValue = QVariant(), bool isYesNo = false);
// The name of the first item (in item order) holding the value, or the default as text.
QString g_getMiscItemRev(const QString& value, const QVariant& defaultValue = QVariant());
// Writes the value of an existing item; a missing item is not added.
void g_setMiscItem(const QString& item, const QString& value);

// The symbol name of a data-container alias; a missing alias shows an error box and gives "".
QString g_getSymbolName(const QString& aliasName);
// Adds an alias row when the alias is missing; true when added (an existing row is kept).
bool g_setSymbolName(const QString& aliasName, const QString& symbolName);

// The text of a user message; "" for a negative number, a "not found" text for a missing row.
QString g_getUserMessage(qint32 messageId);
// The same, with the tool's own wording for a message a site's database may lack.
QString g_getUserMessage(qint32 messageId, const QString& ownText);

// Loaded windows: forms register on load and unregister on unload. A window's name is its
// objectName(), its tag the dynamic property "tag".
void g_registerWindow(QWidget* window);
void g_unregisterWindow(QWidget* window);
// Whether a window of that name (and tag, when not empty) is loaded and, unless
// includeHidden, visible. The first registered match decides.
bool g_isLoaded(const QString& windowName, const QString& tag = QString(), bool includeHidden = false);

// The last-modified time of a file; the zero date (30 Dec 1899 00:00) when it cannot be got.
QDateTime g_getFileDateLastModified(const QString& path);

}  // namespace modGlobal
