#include "config/siteconfig.h"

#include "bytes/bytes.h"
#include "config/loadfiles.h"
#include "config/updatetexts.h"
#include "dao/dao.h"
#include "dao/dbfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <exception>

namespace simconfig {

QString configDbName(const QString& programName) { return programName + QStringLiteral("-Config.mdb"); }

namespace {
// Four characters of a text symbol, first character in the lowest byte, as the modules
// send them little-endian.
quint32 fourChars(const QByteArray& text, int part) {
    const QByteArray chars = text.mid(part * 4, 4).leftJustified(4, '\0');
    return quint32(bytes::getUnsigned(chars, 0, 4, bytes::Order::LittleEndian).value_or(0));
}

// A text spread over consecutive symbols; only the first is a configuration item.
void addText(QList<Symbol>& out, const char* name, quint16 first, int parts, const QByteArray& text) {
    for (int p = 0; p < parts; ++p)
        out << Symbol{p == 0 ? QString::fromLatin1(name) : QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(p),
                      quint16(first + p), fourChars(text, p), p == 0};
}
}  // namespace

QList<Symbol> standardSymbols(int cylinders) {
    QList<Symbol> s = {
        {QStringLiteral("GLB_CAN_MODULE_STATE_RO"), 100, 0},
        {QStringLiteral("GLB_CAN_MODULE_STATE_RW"), 101, 0},
        {QStringLiteral("GLB_CAN_SW_UPDATE_STATE_RO"), 102, 0},
        {QStringLiteral("GLB_CAN_SW_UPDATE_FAILURE_RO"), 103, 0},
        {QStringLiteral("GLB_ENG_STSTILL"), 104, 1},
        {QStringLiteral("PAR_CRC_FIRST_APPLICATION"), 200, 0},
        {QStringLiteral("PAR_TOT_NO_OF_CYL"), 201, quint32(cylinders)},
        {QStringLiteral("PAR_SWINFO_BUILD"), 202, 1234},
        {QStringLiteral("PAR_SWINFO_DEVELOPER_NO"), 203, 42},
        {QStringLiteral("PAR_AUTO_DOWNLD_ACTIVATE"), 220, 1},
        {QStringLiteral("GLB_CRC_VALUE_IMO"), 221, 0},
        {QStringLiteral("GLB_CRC_LEN_IMO"), 222, 0},
        {QStringLiteral("GLB_CRC_VALUE_APPLICATION"), 223, 0},
        {QStringLiteral("GLB_CRC_LEN_APPLICATION"), 224, 0},
    };
    addText(s, "PAR_SWINFO_HULL_NO", 210, 4, "HULL-0001");
    addText(s, "PAR_SWINFO_ENGINE_TYPE", 230, 4, "6L32");
    addText(s, "PAR_SWINFO_ENGINE_TYPE_LONG", 240, 8, "KELB-3817 6L32 demo engine");
    return s;
}

QList<Symbol> Site::effectiveSymbols() const { return symbols.isEmpty() ? standardSymbols(cylinders) : symbols; }

QString moduleKind(const QString& profile) {
    const QString p = profile.toLower();
    if (p == QLatin1String("mbus") || p == QLatin1String("sbus")) return QStringLiteral("PXM");
    if (p == QLatin1String("qtm")) return QStringLiteral("QTM");
    if (p == QLatin1String("bzm")) return QStringLiteral("BZM");
    return QString();
}

bool applySymbolSpec(QList<Symbol>& symbols, const QString& spec, QString* error) {
    static const QRegularExpression form(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)=([^:]+)(?::(.+))?$"));
    const auto m = form.match(spec);
    bool numberOk = false, valueOk = true;
    const uint number = m.hasMatch() ? m.captured(2).toUInt(&numberOk, 0) : 0;
    const quint32 value = m.hasCaptured(3) ? m.captured(3).toUInt(&valueOk, 0) : 0;
    if (!m.hasMatch() || !numberOk || !valueOk || number < 1 || number > 4095) {
        if (error) *error = QStringLiteral("\"%1\" is not NAME=NUMBER (1-4095) or NAME=NUMBER:VALUE.").arg(spec);
        return false;
    }
    const Symbol s{m.captured(1), quint16(number), value, true};
    for (Symbol& o : symbols)
        if (o.name == s.name) {
            o.number = s.number;
            if (m.hasCaptured(3)) o.value = s.value;
            return true;
        }
    symbols << s;
    return true;
}

QStringList simulatorArguments(const Site& site) {
    QStringList a = {QStringLiteral("--bus"), site.busUrl, QStringLiteral("--profile"), site.profile.toLower(),
                     QStringLiteral("--cylinders"), QString::number(site.cylinders)};
    for (const Symbol& s : site.effectiveSymbols())
        a << QStringLiteral("--symbol") << QStringLiteral("%1=%2:0x%3").arg(s.name).arg(s.number).arg(s.value, 0, 16);
    return a;
}

QList<QPair<QString, QString>> miscellaneousItems(const Site& site) {
    // The second converter is the bus's other channel, where nothing answers.
    QString second = site.busUrl;
    if (second.endsWith(QLatin1String("can0"))) second.replace(second.size() - 1, 1, QLatin1Char('1'));
    QList<QPair<QString, QString>> items = {
        {"canPlugin", "virtualcan"},
        {"canInterface_0", site.busUrl},
        {"canInterface_1", second},
        {"canDevice", "USBCompact"},
        {"deviceNo", "0"},
        {"cobIdPC", "1"},
        {"baudrateMBus", "125"},
        {"baudrateSBus", "500"},
        // Node-id bases (hex): those the simulated modules answer on.
        {"cobIdBootloader_Mbus", "7F"},
        {"cobIdApplication_Mbus", "11"},
        {"cobIdBootloader_Sbus", "70"},
        {"cobIdApplication_Sbus", "20"},
        {"cobIdBootloader_Sbus_DARVO", "71"},
        {"cobIdApplication_Sbus_DARVO", "11"},
        {"cobIdBootlQTM", "40"},
        {"cobIdApplQTM", "50"},
        {"cobIdBootlBZM", "20"},
        {"cobIdApplBZM", "30"},
        {"blockTransfer", "0"},
        {"numRequiredCylinders", QString::number(site.cylinders)},
        {"forceFPGAdownload", "no"},
        {"ADDRESS_PROTECTION_BL1", "10100"},
        {"ADDRESS_PROTECTION_BL2", "30000"},
        // The load files lie at the small layout's addresses.
        {"baseAdrAppl_smallMem", "30000"},
        {"baseAdrDC_smallMem", "C0000"},
        {"baseAdrFPGA_smallMem", "D0000"},
        {"baseAdrAppl_bigMem", "100000"},
        {"baseAdrDC_bigMem", "60000"},
        {"baseAdrFPGA_bigMem", "30000"},
    };
    for (const Symbol& s : site.effectiveSymbols())
        if (s.configItem) items << qMakePair(s.name, QString::number(s.number));
    // The update run's build table, for the modules that run it.
    if (moduleKind(site.profile) == QLatin1String("PXM"))
        for (const LoadFile& f : loadFiles(QStringLiteral("PXM")))
            if (f.section == 6) items += buildItems(f);
    return items;
}

namespace {
using dao::FieldDef;

void writeDatabase(const QString& path, const Site& site) {
    auto db = dao::CreateDatabase(path);
    db->CreateTable(QStringLiteral("miscellaneous"), {{"item", dao::dbText, 50}, {"value", dao::dbText, 255}});
    db->CreateTable(QStringLiteral("aliasSymbolName"), {{"aliasName", dao::dbText, 50}, {"symbolName", dao::dbText, 50}});
    db->CreateTable(QStringLiteral("messages"), {{"MessageID", dao::dbLong},
                                                 {"MessageText", dao::dbMemo},
                                                 {"VEDR_Text", dao::dbMemo},
                                                 {"DARVO_Text", dao::dbMemo},
                                                 {"okButton", dao::dbBoolean}});
    db->CreateTable(QStringLiteral("loadFiles"), {{"module", dao::dbText, 10},
                                                  {"fileType", dao::dbText, 10},
                                                  {"section", dao::dbLong},
                                                  {"fileName", dao::dbText, 255}});
    for (const auto& [item, value] : miscellaneousItems(site))
        db->Execute(QStringLiteral("INSERT INTO miscellaneous (item, value) VALUES (?, ?)"), {item, value});
    db->Execute(QStringLiteral("INSERT INTO aliasSymbolName (aliasName, symbolName) VALUES (?, ?)"),
                {QStringLiteral("DC_CRC_FIRST_APPLICATION"), QStringLiteral("PAR_CRC_FIRST_APPLICATION")});
    db->Execute(QStringLiteral("INSERT INTO aliasSymbolName (aliasName, symbolName) VALUES (?, ?)"),
                {QStringLiteral("DC_TOT_NO_OF_CYL"), QStringLiteral("PAR_TOT_NO_OF_CYL")});
    // Every user text that the tool's commands show. Text 1 also opens the update run,
    // which waits at it for the engineer's Start.
    QList<UserText> texts = {
        {1, "Make sure that the engine is at standstill before any module is programmed.", true},
        {2, "The spare module (PXM #00) is not connected. Connect it and start the upload again."},
        {4, "Not every module is selected. Download to the selected modules only?"},
        {5, "The CAN interface is too old to download the cylinder modules through the spare module."},
        {7, "The selected modules will be switched to their bootloader. Make sure that the engine stands still."},
        {8, "The spare module answers with the number of module #{00}. Please connect to the spare module."},
        {73, "Updating PXM #{00} ..."},
    };
    texts += updateTexts();
    addUserTexts(*db, texts);
    for (const LoadFile& f : loadFiles(moduleKind(site.profile)))
        db->Execute(QStringLiteral("INSERT INTO loadFiles (module, fileType, section, fileName) VALUES (?, 'OUT', ?, ?)"),
                    {f.module, f.section, f.fileName});
    db->Close();
}
}  // namespace

void addUserTexts(dao::Database& db, const QList<UserText>& texts) {
    for (const UserText& t : texts)
        db.Execute(QStringLiteral("INSERT INTO messages (MessageID, MessageText, okButton) VALUES (?, ?, ?)"),
                   {t.id, t.text, t.okButton});
}

bool writeSite(const QString& dir, const Site& site, QString* error) {
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    const QString kind = moduleKind(site.profile);
    if (kind.isEmpty()) return fail(QStringLiteral("\"%1\" is none of mbus, sbus, qtm, bzm.").arg(site.profile));
    if (site.busUrl.isEmpty()) return fail(QStringLiteral("no bus given."));
    if (!QDir().mkpath(dir)) return fail(QStringLiteral("%1: cannot make the folder.").arg(dir));
    const QString path = QDir(dir).filePath(configDbName());
    // Written beside the old file and renamed into place when complete, so that a killed
    // run leaves the old configuration or the new one.
    const QString partial = dao::PartialName(path);
    if (!dao::RemoveDatabaseFile(partial)) return fail(QStringLiteral("%1: cannot replace it.").arg(partial));
    try {
        writeDatabase(partial, site);
    } catch (const std::exception& e) {
        dao::RemoveDatabaseFile(partial);
        return fail(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(e.what())));
    }
    QString renameError;
    if (!dao::RenameIntoPlace(partial, path, &renameError)) return fail(renameError);
    for (const LoadFile& f : distinctFiles(kind))
        if (!writeLoadFile(dir, f, error)) return false;
    return true;
}

}  // namespace simconfig
