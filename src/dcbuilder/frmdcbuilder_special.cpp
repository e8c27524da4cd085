// The special entries of dcEnums (plant and software information, group CRCs), addressed
// by their "DC_" aliases, and the CRC of a parameter group.
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/groupcrc.h"
#include "dcbuilder/openset.h"

#include "dcbuilder/dcnumber.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";
const QString kAllRows = QStringLiteral("SELECT * FROM dcEnums ORDER BY id");
const QString kByName = QStringLiteral("name=?");

// A number formatted with a run of zeros ("00", "000") as its minimum digit count.
QString formatted(qint64 n, const QString& format) {
    if (format.isEmpty()) return QString::number(n);
    const QString digits = QString::number(qAbs(n)).rightJustified(format.size(), QLatin1Char('0'));
    return n < 0 ? QStringLiteral("-") + digits : digits;
}

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 127) return false;
    return true;
}
// The dcEnums rows of the database; when they cannot be read the given line is logged.
bool openEntries(OpenSet& s, const QString& db, frmDcBuilder& log, const char* failure) {
    if (s.open(db, kAllRows)) return true;
    log.addMessage(QString::fromLatin1(failure));
    return false;
}
}  // namespace

void frmDcBuilder::setSpecialDcStringValue(const QString& text, const QString& alias, QString& label) {
    trap(kObject, "setSpecialDcStringValue", [&] {
        OpenSet s;
        if (!openEntries(s, database(), *this, "      No entry in dc-table -> Plant-Infos not set in DC!")) return;
        const QString symbol = modGlobal::g_getSymbolName(alias);
        if (label.isEmpty()) label = symbol + QStringLiteral(" = ");
        // The module software reads these texts as 7-bit ASCII: anything else is refused
        // before a row is written.
        if (!isAscii(text)) {
            modMsgBox::g_errorMsgBox(sprintf("'{*}' holds characters that are not ASCII.\r\n"
                                             "Only ASCII characters can be stored for {*}!", text, symbol));
            addMessage(sprintf("      {*}{*}: not ASCII, not set in DC!", label, text));
            return;
        }
        for (int i = 1; i <= 8; ++i) {
            s.rs->FindFirst(kByName, {symbol + QString::number(i)});
            if (s.rs->NoMatch()) {
                if (i == 1) addMessage(sprintf("      {*}Parameter {*} not found in DC!", label, symbol));
                break;
            }
            const qint32 v = modStringFct::g_asciiTolng(text.mid(4 * i - 4, 4));
            if (dcNumber::whole32(s.rs->Value(QStringLiteral("value"))) != v) {
                s.rs->Edit();
                s.rs->SetValue(QStringLiteral("value"), v);
                s.rs->Update();
                m_dcModified = true;
            }
        }
        addMessage(sprintf("      {*}{*}", label, text));
    });
}

std::optional<QString> frmDcBuilder::specialText(const QString& db, const QString& alias) {
    OpenSet s;
    if (!openEntries(s, db, *this, "      No entry in dc-table -> Plant-Infos not set in DC!")) return std::nullopt;
    const QString symbol = modGlobal::g_getSymbolName(alias);
    QString text;
    for (int i = 1; i <= 8; ++i) {
        s.rs->FindFirst(kByName, {symbol + QString::number(i)});
        if (s.rs->NoMatch()) {
            if (i == 1) return std::nullopt;
            break;
        }
        text += modStringFct::g_lngToAscii(dcNumber::whole32(s.rs->Value(QStringLiteral("value"))).value_or(0));
    }
    return text;
}

QString frmDcBuilder::getSpecialDcStringValue(const QString& alias) {
    QString text;
    trap(kObject, "getSpecialDcStringValue", [&] { text = specialText(database(), alias).value_or(QString()); });
    return text;
}

void frmDcBuilder::setSpecialDcLongValue(const QString& valueText, const QString& alias, QString& label,
                                         const QString& format, bool showHex) {
    trap(kObject, "setSpecialDcLongValue", [&] {
        OpenSet s;
        if (!openEntries(s, database(), *this, "      No entries in dc-table -> Plant-Infos not set in DC!")) return;
        const QString symbol = modGlobal::g_getSymbolName(alias);
        if (symbol.isEmpty()) {
            addMessage(sprintf("      {*}Symbol {*} not found", label, alias));
            return;
        }
        if (label.isEmpty()) label = symbol + QStringLiteral(" = ");
        const std::optional<qint32> n = dcNumber::whole32(valueText);
        if (!n) throw RuntimeError(13, QStringLiteral("Type mismatch"));
        s.rs->FindFirst(kByName, {symbol});
        if (s.rs->NoMatch()) {
            addMessage(sprintf("      {*}: Parameter not found in DC!", symbol));
        } else if (dcNumber::whole32(s.rs->Value(QStringLiteral("value"))) != *n) {
            s.rs->Edit();
            s.rs->SetValue(QStringLiteral("value"), *n);
            s.rs->Update();
            m_dcModified = true;
        }
        const QString hexPart = showHex ? QStringLiteral("  /  ") + modStringFct::g_toHex(*n) : QString();
        const QString shown = alias == QLatin1String("DC_SWINFO_BOOTLOADER_VERSION") ? QString::number(*n / 100.0)
                                                                                    : formatted(*n, format);
        addMessage(sprintf("      {*}{*}{*}", label, shown, hexPart));
    });
}

std::optional<QString> frmDcBuilder::specialNumber(const QString& db, const QString& alias, const QString& format) {
    OpenSet s;
    if (!openEntries(s, db, *this, "      No entry in dc-table")) return std::nullopt;
    const QString symbol = modGlobal::g_getSymbolName(alias);
    if (symbol.isEmpty()) {
        addMessage(sprintf("      Symbol {*} not found", alias));
        return std::nullopt;
    }
    s.rs->FindFirst(kByName, {symbol});
    if (s.rs->NoMatch()) {
        addMessage(sprintf("      {*}: Parameter not found in DC!", symbol));
        return std::nullopt;
    }
    const std::optional<qint32> n = dcNumber::whole32(s.rs->Value(QStringLiteral("value")));
    if (!n) return std::nullopt;
    return formatted(*n, format);
}

QString frmDcBuilder::getSpecialDcLongValue(const QString& alias, const QString& format) {
    QString text;
    trap(kObject, "getSpecialDcLongValue", [&] { text = specialNumber(database(), alias, format).value_or(QString()); });
    return text;
}

bool frmDcBuilder::buildCrc(const QString& db, int group, QString& label, qint32& crc, qint32& len) {
    bool ok = false;
    trap(kObject, "buildCrc", [&] {
        const QString symbol = groupCrc::symbolOf(group);
        if (label.isEmpty()) label = symbol + QStringLiteral(" = ");
        const groupCrc::Result r = groupCrc::compute(db, group);
        ok = r.error.isEmpty();
        if (ok)
            storeCrc(db, label, symbol, r, crc, len);
        else
            addMessage(sprintf("      {*}{*}", label, r.error));
    });
    return ok;
}

void frmDcBuilder::storeCrc(const QString& db, const QString& label, const QString& symbol, const groupCrc::Result& r,
                            qint32& crc, qint32& len) {
    if (r.length == 0) {
        addMessage(sprintf("      {*}no parameters in this group!", label));
        return;
    }
    crc = r.crc;
    len = r.length;
    if (groupCrc::store(db, symbol, r.crc))
        addMessage(sprintf("      {*}{*}  {*}", label, modStringFct::g_toHex(r.crc),
                           QString::number(r.length).rightJustified(4, QLatin1Char(' '))));
    else
        addMessage(sprintf("      {*}Parameter {*} not found in DC!", label, symbol));
}
