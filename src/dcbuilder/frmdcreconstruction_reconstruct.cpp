// The reconstruction: from the uploaded image to a data-container database, by way of the
// template of the image's build. The image is walked as it was read from the S-record
// file, and every failure ends the command without a result and without working files.
#include "dcbuilder/commandlog.h"
#include "dcbuilder/dctemplate.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/frmdcreconstruction.h"
#include "dcbuilder/groupcrc.h"
#include "dcbuilder/reconstructioncheck.h"

#include "desktop/dialogs.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

using modFileFct::g_fullName;
using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcReconstruction";

QString uploadFile(const char* name) { return g_fullName(modGlobal::g_uploadDir, QString::fromLatin1(name)); }

// The newest numbered data-container database of this plant, in the configuration's folder.
QString plantDatabase() {
    const QString pattern = modFileFct::g_getDcName(
        g_fullName(modGlobal::g_configDir, modGlobal::g_toolTitle + QStringLiteral("-PXM-DC-???.mdb")));
    return modFileFct::g_getHighestFileVersion(pattern);
}
}  // namespace

void frmDcReconstruction::cmdReconstructDC_Click() {
    trap(kObject, "cmdReconstructDC_Click", [&] { reconstructDC(); });
}

void frmDcReconstruction::reconstructDC() {
    addMessage(commandLog::opening(QStringLiteral("DC RECONSTRUCTION "), 64));
    const QString name = txtReconstructDCResult->text().trimmed();
    const QString result = g_fullName(modGlobal::g_uploadDir, name);
    if (!name.isEmpty() && QFileInfo::exists(result) &&
        !modMsgBox::g_warningMsgBox(QStringLiteral("Result file \r") + result + QStringLiteral("\r already exists. Replace?"),
                                    QString(), true, Dialogs::vbOKCancel)) {
        addMessage(QStringLiteral("  DC Reconstruction cancelled"));
        return;
    }
    bool ok = false;
    if (name.isEmpty())
        addMessage(QStringLiteral("  Error: no name given for the result file"));
    else
        ok = rebuild(result);
    if (ok) addMessage(QStringLiteral("DataContainer reconstruction finished successfully."));
    addMessage(commandLog::closing());
}

bool frmDcReconstruction::rebuild(const QString& result) {
    QByteArray image;
    qint32 startAddress = 0;
    QString reason;
    if (!modDownload::g_sRecToBin(uploadFile("PXM_DATA.S19"), image, startAddress, reason)) {
        addMessage(QStringLiteral("  Error: could not convert s19 File to binary data"));
        addMessage(QStringLiteral("  ") + reason);
        return false;
    }
    const std::optional<qint64> build = dcTemplate::buildNumberOf(image);
    if (!build) {
        addMessage(sprintf("  Error: the uploaded image holds {*} bytes, a data container at least {*}", image.size(),
                           dcTemplate::kMinImageSize));
        return false;
    }
    const QString templ = dcTemplate::g_templateDirectory() + dcTemplate::templateFileName(*build);
    if (!QFileInfo::exists(templ)) {
        const QString error = QStringLiteral("Error: No database template file available for build Number ") + QString::number(*build);
        addMessage(error);
        addMessage(QStringLiteral("Expected template file path: \r") + templ);
        modMsgBox::g_errorMsgBox(error, QString(), true);
        return false;
    }
    const dcTemplate::WorkingFile workingCopy{uploadFile("temp.mdb")};
    if (!dcTemplate::replaceFile(templ, workingCopy.path)) {
        addMessage(QStringLiteral("  Error: could not copy database file: ") + workingCopy.path);
        return false;
    }
    addMessage(QStringLiteral("Build S19"));
    if (!readImage(workingCopy.path, image)) {
        addMessage(QStringLiteral("  Error: the uploaded image could not be read with the template of build ") +
                   QString::number(*build) + QStringLiteral(". Reconstructed DC has been discarded."));
        return false;
    }
    if (!filledWhole(workingCopy.path)) return false;
    if (!hullNumberMatches(workingCopy.path)) return false;
    if (!dcTemplate::replaceFile(workingCopy.path, result)) {
        addMessage(QStringLiteral("  Error: could not copy database file: ") + result);
        return false;
    }
    return true;
}

bool frmDcReconstruction::readImage(const QString& workingCopy, QByteArray& image) {
    frmDcBuilder& builder = frmDcBuilder::instance();
    qint64 position = 0;
    QStringList debugLines;
    const bool ok = builder.walkImage(workingCopy, image, false, QStringLiteral("dc"), position, *this, &debugLines) &&
                    builder.walkImage(workingCopy, image, false, QStringLiteral("alarm"), position, *this, &debugLines);
    // The walk's item log, as the builder keeps it beside an image in debug mode only.
    QFile log(uploadFile("PXM_DATA.txt"));
    if (!modGlobal::g_debugMode) {
        if (log.exists()) log.remove();
    } else if (log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        for (const QString& line : debugLines) log.write(modStringFct::toAnsi(line) + "\r\n");
    }
    return ok;
}

bool frmDcReconstruction::filledWhole(const QString& workingCopy) {
    // A CRC-group entry holds a 16-bit CRC: any other value is no image of this template.
    const QStringList crcEntries = reconstructionCheck::crcEntriesOutOfRange(workingCopy, &groupCrc::symbolOf);
    for (const QString& entry : crcEntries)
        addMessage(QStringLiteral("  Error: the image gives the CRC-group entry ") + entry +
                   QStringLiteral(", no 16-bit CRC (0 to 65535). Reconstructed DC has been discarded."));
    if (!crcEntries.isEmpty()) return false;
    // Rows the image does not carry keep the template's placeholders: the result is kept,
    // and the engineer told which values are no values of the module.
    const QStringList unfilled = reconstructionCheck::unfilledRows(workingCopy);
    if (!unfilled.isEmpty())
        addMessage(sprintf("  Warning: the image gave no value to {*} rows; they hold the template's placeholder "
                           "(-32768, in minValue 32767):",
                           unfilled.size()));
    for (const QString& row : unfilled) addMessage(QStringLiteral("    ") + row);
    return true;
}

bool frmDcReconstruction::hullNumberMatches(const QString& workingCopy) {
    const QString uploaded = getHullNo(workingCopy);
    const QString plant = plantDatabase();
    if (plant.isEmpty()) {
        const QString warning = sprintf("Warning: no data-container database of this plant in {*}: the hull number "
                                        "of the uploaded data ({*}) could not be checked.",
                                        modGlobal::g_configDir, uploaded);
        addMessage(QStringLiteral("  ") + warning);
        modMsgBox::g_warningMsgBox(warning, QString(), true, Dialogs::vbOKOnly);
        return true;
    }
    const QString expected = getHullNo(plant);
    if (uploaded == expected) return true;
    const QString error = QStringLiteral("Hull Number of the uploaded data is not equal to the hull number of this plant.\r") +
                          QStringLiteral("Uploaded: ") + uploaded + QStringLiteral("\rExpected: ") + expected +
                          QStringLiteral("\rReconstructed DC has been discarded.");
    modMsgBox::g_errorMsgBox(error, QString(), true);
    addMessage(error);
    return false;
}
