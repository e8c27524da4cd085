// The plant and software information: the "Set Infos" boxes, their fill from the header
// constants and the application image, and the take-over of an old plantInfo table.
#include "dcbuilder/frmdcbuilder.h"
#include "services/imagecrc.h"
#include "dcbuilder/openset.h"

#include "dcbuilder/dcnumber.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modstringfct.h"

#include <QEvent>
#include <QLineEdit>
#include <QRegularExpression>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";
const char* const kBootloader = "DC_SWINFO_BOOTLOADER_VERSION";

// The leading number of a text with a point as decimal separator; 0 when there is none.
double leadingNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}
}  // namespace

void frmDcBuilder::fillInfoBoxes() {
    txtEngineType->setText(getSpecialDcStringValue(QStringLiteral("DC_SWINFO_ENGINE_TYPE_")));
    txtManufacNo->setText(getSpecialDcStringValue(QStringLiteral("DC_SWINFO_MANUFAC_NO_")));
    txtHullNo->setText(getSpecialDcStringValue(QStringLiteral("DC_SWINFO_HULL_NO_")));
    txtEpiDbNo->setText(getSpecialDcStringValue(QStringLiteral("DC_SWINFO_EPI_DB_NO_")));
    txtSwVersion->setText(getSpecialDcLongValue(QStringLiteral("DC_SWINFO_SW_VERSION"), QStringLiteral("00")));
    txtBuild->setText(getSpecialDcLongValue(QStringLiteral("DC_SWINFO_BUILD"), QStringLiteral("000")));
    txtDeveloperNo->setText(getSpecialDcLongValue(QStringLiteral("DC_SWINFO_DEVELOPER_NO"), QStringLiteral("0000")));
    const QString boot = getSpecialDcLongValue(QString::fromLatin1(kBootloader), QString());
    txtBootloader->setText(boot.isEmpty() ? QString() : QString::number(boot.toDouble() / 100.0, 'f', 2));
    txtImoSwNo->setText(getSpecialDcStringValue(QStringLiteral("DC_SWINFO_IMO_SW_NO_")));
}

// A box writes its entry only when the engineer has typed into it since it was filled:
// passing through a box neither logs nor rewrites anything.
void frmDcBuilder::leaveTextBox(QLineEdit* box, const char* alias) {
    if (!box->isModified()) return;
    box->setModified(false);
    QString label;
    setSpecialDcStringValue(box->text(), QString::fromLatin1(alias), label);
}

void frmDcBuilder::leaveNumberBox(QLineEdit* box, const char* alias, const char* format) {
    if (!box->isModified()) return;
    box->setModified(false);
    QString label;
    QString text = box->text();
    // The bootloader version is typed as 1.50 and stored times 100.
    if (qstrcmp(alias, kBootloader) == 0) text = QString::number(leadingNumber(text) * 100.0, 'g', 15);
    setSpecialDcLongValue(text, QString::fromLatin1(alias), label, QString::fromLatin1(format), false);
}

void frmDcBuilder::txtEngineType_LostFocus() { leaveTextBox(txtEngineType, "DC_SWINFO_ENGINE_TYPE_"); }
void frmDcBuilder::txtManufacNo_LostFocus() { leaveTextBox(txtManufacNo, "DC_SWINFO_MANUFAC_NO_"); }
void frmDcBuilder::txtHullNo_LostFocus() { leaveTextBox(txtHullNo, "DC_SWINFO_HULL_NO_"); }
void frmDcBuilder::txtEpiDbNo_LostFocus() { leaveTextBox(txtEpiDbNo, "DC_SWINFO_EPI_DB_NO_"); }
void frmDcBuilder::txtSwVersion_LostFocus() { leaveNumberBox(txtSwVersion, "DC_SWINFO_SW_VERSION", "00"); }
void frmDcBuilder::txtBuild_LostFocus() { leaveNumberBox(txtBuild, "DC_SWINFO_BUILD", "000"); }
void frmDcBuilder::txtDeveloperNo_LostFocus() { leaveNumberBox(txtDeveloperNo, "DC_SWINFO_DEVELOPER_NO", "0000"); }
void frmDcBuilder::txtBootloader_LostFocus() { leaveNumberBox(txtBootloader, kBootloader, ""); }
void frmDcBuilder::txtImoSwNo_LostFocus() { leaveTextBox(txtImoSwNo, "DC_SWINFO_IMO_SW_NO_"); }

bool frmDcBuilder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        const struct {
            QLineEdit* box;
            void (frmDcBuilder::*leave)();
            const char* name;
        } handlers[] = {
            {txtEngineType, &frmDcBuilder::txtEngineType_LostFocus, "txtEngineType_LostFocus"},
            {txtManufacNo, &frmDcBuilder::txtManufacNo_LostFocus, "txtManufacNo_LostFocus"},
            {txtHullNo, &frmDcBuilder::txtHullNo_LostFocus, "txtHullNo_LostFocus"},
            {txtEpiDbNo, &frmDcBuilder::txtEpiDbNo_LostFocus, "txtEpiDbNo_LostFocus"},
            {txtSwVersion, &frmDcBuilder::txtSwVersion_LostFocus, "txtSwVersion_LostFocus"},
            {txtBuild, &frmDcBuilder::txtBuild_LostFocus, "txtBuild_LostFocus"},
            {txtDeveloperNo, &frmDcBuilder::txtDeveloperNo_LostFocus, "txtDeveloperNo_LostFocus"},
            {txtBootloader, &frmDcBuilder::txtBootloader_LostFocus, "txtBootloader_LostFocus"},
            {txtImoSwNo, &frmDcBuilder::txtImoSwNo_LostFocus, "txtImoSwNo_LostFocus"},
        };
        for (const auto& h : handlers)
            if (watched == h.box) trap(kObject, h.name, [&] { (this->*h.leave)(); });
    }
    return QWidget::eventFilter(watched, event);
}

void frmDcBuilder::setSwInfos(const QString& db) {
    addMessage(QStringLiteral("   Write SW-Infos"));
    const struct {
        const char* symbol;
        const char* alias;
        const char* missing;
    } constants[] = {
        {"APPL_VERSION", "DC_SWINFO_SW_VERSION", "      SW-version not found -> check datacontainer.h!"},
        {"APPL_DEVELOPER_NO", "DC_SWINFO_DEVELOPER_NO", "      SW-developer-number not found -> check datacontainer.h!"},
    };
    for (const auto& c : constants) {
        QString id;
        {
            OpenSet s;
            if (s.open(db, sprintf("SELECT * FROM sourceScan WHERE name='{*}'", QString::fromLatin1(c.symbol))))
                id = s.rs->Value(QStringLiteral("id")).toString();
        }
        QString label;
        if (id.isEmpty())
            addMessage(QString::fromLatin1(c.missing));
        else
            setSpecialDcLongValue(id, QString::fromLatin1(c.alias), label, QString(), false);
    }
    const ImageCrc app = imageCrc(modFileFct::g_fullName(txtFileDirectory->text(), QStringLiteral("PXM_application.s19")));
    if (!app.read) {
        addMessage(QStringLiteral("      PXM_application.s19 not found -> Appl-CRC cannot be calculated!"));
        return;
    }
    QString label;
    setSpecialDcLongValue(QString::number(app.crc), QStringLiteral("DC_CRC_FIRST_APPLICATION"), label, QString(), true);
}

void frmDcBuilder::setDcVersion(const QString& db) {
    OpenSet scan;
    if (!scan.open(db, QStringLiteral("SELECT * FROM sourceScan WHERE name='DAT_DC_VERSION'"))) {
        addMessage(QStringLiteral("   DC-version not found -> check datacontainer.h!"));
        return;
    }
    OpenSet step;
    if (!step.open(db, QStringLiteral("SELECT * FROM dcBinFile WHERE content='dcVersion'"))) {
        addMessage(QStringLiteral("   dcVersion not found -> check PXMdatacontainer.mdb!"));
        return;
    }
    const std::optional<qint32> id = dcNumber::whole32(scan.rs->Value(QStringLiteral("id")));
    if (id && dcNumber::whole32(step.rs->Value(QStringLiteral("value"))) != id) {
        step.rs->Edit();
        step.rs->SetValue(QStringLiteral("value"), QString::number(*id));
        step.rs->Update();
    }
    addMessage(sprintf("   Write DC-version {*} into DC", scan.rs->Value(QStringLiteral("id"))));
    addMessage(QStringLiteral(" "));
}

bool frmDcBuilder::g_copyPlantInfosToDcEnums() {
    bool copied = false;
    trap(kObject, "g_copyPlantInfosToDcEnums", [&] {
        OpenSet s;
        if (!s.open(database(), QStringLiteral("SELECT * FROM plantInfo"), false, true, true)) return;
        const struct {
            const char* column;
            const char* alias;
            bool number;
        } entries[] = {
            {"EngineType", "DC_SWINFO_ENGINE_TYPE_", false}, {"ManufacNo", "DC_SWINFO_MANUFAC_NO_", false},
            {"HullNo", "DC_SWINFO_HULL_NO_", false},         {"EpiDbNo", "DC_SWINFO_EPI_DB_NO_", false},
            {"SwVersion", "DC_SWINFO_SW_VERSION", true},     {"Build", "DC_SWINFO_BUILD", true},
            {"DeveloperNo", "DC_SWINFO_DEVELOPER_NO", true}, {"Bootloader", "DC_SWINFO_BOOTLOADER_VERSION", true},
            {"ImoSwNo", "DC_SWINFO_IMO_SW_NO_", false},
        };
        for (const auto& e : entries) {
            const QString text = s.rs->Value(QString::fromLatin1(e.column)).toString();
            QString label;
            if (!e.number)
                setSpecialDcStringValue(text, QString::fromLatin1(e.alias), label);
            else if (!text.trimmed().isEmpty())  // an empty number was never set: the entry keeps its value
                setSpecialDcLongValue(text, QString::fromLatin1(e.alias), label, QString(), false);
        }
        copied = true;
    });
    return copied;
}
