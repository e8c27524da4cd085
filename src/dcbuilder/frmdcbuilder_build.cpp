// BUILD DC: from the data-container version selected in the build tab's list to the
// download file "PXM_DATA.S19", with the group CRCs and the software check in the log.
#include "dcbuilder/frmdcbuilder.h"
#include "services/imagecrc.h"
#include "dcbuilder/logrules.h"
#include "dcbuilder/loadfileslink.h"

#include "dcdatabase/modscanheaderfiles.h"
#include "services/dbtransaction.h"
#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <optional>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";

using builderLog::closingLine;
using builderLog::rule;

// The parameter groups in the order of their CRCs: the ADJUST group comes last.
const struct {
    int number;
    const char* name;
} kGroups[] = {{1, "BASIC"}, {2, "USER"}, {4, "IMO"}, {5, "GLOBAL"}, {6, "COMMIS"}, {7, "LUB"}, {3, "ADJUST"}};

// "BASIC Paras CRC   = ": every "=" stands in column 19.
QString crcLabel(const char* name) {
    return (QString::fromLatin1(name) + QStringLiteral(" Paras CRC     ")).left(18) + QStringLiteral("= ");
}

// Numbers are padded to their column and never cut; a file that could not be read shows dashes.
QString lengthText(bool present, qint64 n) {
    return present ? QString::number(n).rightJustified(6, QLatin1Char(' ')) : QStringLiteral("   ---");
}
QString crcText(bool present, quint16 crc) {
    return present ? QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper() : QStringLiteral("----");
}

const QString kNotBuilt = QStringLiteral("DC-S19-File cannot been built!");
}  // namespace

void frmDcBuilder::cmdBuild_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    trap(kObject, "cmdBuild_Click", [&] {
        addMessage(builderLog::openingLine(QStringLiteral("BUILD DC ")));
        const QListWidgetItem* selected = filSourceDC->currentItem();
        const QString db = selected ? modFileFct::g_fullName(txtFileDirectory->text(), selected->text()) : QString();
        bool upToDate = false;
        if (!db.isEmpty()) modDataBase::g_getDatabaseVersion(db, upToDate);
        if (!upToDate) {
            addMessage(sprintf("Database {*} is not uptodate.", db));
            addMessage(kNotBuilt);
            addMessage(closingLine());
            return;
        }
        addMessage(QStringLiteral("Build DC-S19-File out of ") + db);
        addMessage(QStringLiteral(" "));
        const QString bin = modFileFct::g_fullName(txtFileDirectory->text(), QStringLiteral("PXM_DATA.bin"));
        const QString s19 = bin.left(bin.size() - 3) + QStringLiteral("S19");
        qint32 imoCrc = 0, imoLen = 0;
        bool built = false;
        // The version's alarm indexes and group CRCs are written as one: a killed build
        // leaves the version as it was.
        std::optional<modDataBase::WriteTransaction> write;
        if (trap(kObject, "cmdBuild_Click", [&] { write.emplace(db); })) {
            buildAlarmListIndexes(db);
            built = buildAllCrcs(db, imoCrc, imoLen);
            write->release();
            write.reset();
        }
        // A file that could not be written stops the build with the system's reason and
        // leaves the files as they were.
        bool writeFailed = false;
        if (built) {
            softwareCheck(imoCrc, imoLen);
            QByteArray image;
            built = buildImage(db, bin, image, writeFailed) && writeSRecords(bin, image, writeFailed);
        }
        if (!built && writeFailed) {
            addMessage(kNotBuilt);
        } else if (!built) {
            // No download file may stand for data it was not built from.
            if (!modGlobal::g_debugMode && QFile::exists(bin)) QFile::remove(bin);
            if (QFile::exists(s19)) QFile::remove(s19);
            addMessage(kNotBuilt);
        }
        addMessage(closingLine());
        loadFilesLink::get().g_checkFileExist(modGlobal::g_moduleKind, true);
    });
    QApplication::restoreOverrideCursor();
}

bool frmDcBuilder::followedByWorkingCopy(const QString& db) const {
    return m_tempDcOpen && !m_nextDc.isEmpty() &&
           QFileInfo(db).absoluteFilePath() == QFileInfo(m_nextDc).absoluteFilePath();
}

bool frmDcBuilder::buildAllCrcs(const QString& db, qint32& imoCrc, qint32& imoLen) {
    addMessage(QStringLiteral("   PARA-CRC values        CRC      LEN"));
    // Every group is checked before any CRC is stored: a bad value leaves all entries as they were.
    std::vector<groupCrc::Result> results;
    for (const auto& g : kGroups) {
        results.push_back(groupCrc::compute(db, g.number));
        if (!results.back().error.isEmpty()) {
            addMessage(sprintf("      {*}{*}", crcLabel(g.name), results.back().error));
            return false;
        }
    }
    // A build of the next version's copy keeps its CRCs in the working copy too, which
    // replaces that copy when the builder closes.
    const bool follow = followedByWorkingCopy(db);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const QString symbol = groupCrc::symbolOf(kGroups[i].number);
        qint32 crc = 0, len = 0;
        storeCrc(db, crcLabel(kGroups[i].name), symbol, results[i], crc, len);
        if (follow && results[i].length > 0) groupCrc::store(m_tempDc, symbol, results[i].crc);
        if (kGroups[i].number == 4) {
            imoCrc = crc;
            imoLen = len;
        }
    }
    return true;
}

void frmDcBuilder::softwareCheck(qint32 imoCrc, qint32 imoLen) {
    addMessage(QStringLiteral(" "));
    addMessage(QStringLiteral("   KELB-3817 Software check"));
    addMessage(QStringLiteral("                    -App.-  --IMO-  -FPGA-"));
    const QString dir = txtFileDirectory->text();
    const ImageCrc app = imageCrc(modFileFct::g_fullName(dir, QStringLiteral("PXM_application.s19")));
    const ImageCrc fpga = imageCrc(modFileFct::g_fullName(dir, QStringLiteral("PXM_FPGA.S19")));
    addMessage(sprintf("      Data Length = {*}  {*}  {*}", lengthText(app.read, app.length), lengthText(true, imoLen),
                       lengthText(fpga.read, fpga.length)));
    addMessage(sprintf("      CRC Value   = 0x{*}  0x{*}  0x{*}", crcText(app.read, app.crc),
                       crcText(true, quint16(imoCrc)), crcText(fpga.read, fpga.crc)));
    addMessage(QStringLiteral(" "));
    addMessage(rule(82));
}

bool frmDcBuilder::writeSRecords(const QString& bin, const QByteArray& image, bool& writeFailed) {
    addMessage(QStringLiteral("   Build S-Rec-file"));
    if (!modGlobal::g_debugMode && QFile::exists(bin)) QFile::remove(bin);
    if (image.isEmpty()) return false;
    bool ok = false;
    const quint32 start = txtStartAdr->text().trimmed().toUInt(&ok, 16);
    if (!ok) {
        addMessage(sprintf("      Start-Adr '{*}' is no hexadecimal number!", txtStartAdr->text()));
        return false;
    }
    const QString s19 = bin.left(bin.size() - 3) + QStringLiteral("S19");
    QString reason;
    if (!modDownload::g_binToSRec(image, qint32(start), QStringLiteral("S28"), s19, reason)) {
        addMessage(sprintf("      {*} could not be written!", s19));
        addMessage(QStringLiteral("      ") + reason);
        writeFailed = true;
        return false;
    }
    return true;
}

void frmDcBuilder::buildAlarmListIndexes(const QString& db) {
    addMessage(QStringLiteral("   Update id's in alarmEnums-table"));
    int unresolved = 0;
    for (const char* column : {"onOffDelayId", "signalIndex", "onDelayIndex", "offDelayIndex"})
        unresolved += modScanHeaderFiles::g_buildAlarmListIndexes(db, QString::fromLatin1(column));
    if (unresolved > 0)
        modMsgBox::g_errorMsgBox(QStringLiteral("Not all id's could be built because\r\n"
                                                "the symbols are not found in dcEnums!\r\n"
                                                "Please check log and correct alarmEnums."));
    addMessage(QStringLiteral(" "));
    // The next version's copy is replaced by the working copy when the builder closes:
    // the working copy gets the same links, without a second report.
    if (followedByWorkingCopy(db)) {
        m_muted = true;
        for (const char* column : {"onOffDelayId", "signalIndex", "onDelayIndex", "offDelayIndex"})
            modScanHeaderFiles::g_buildAlarmListIndexes(m_tempDc, QString::fromLatin1(column));
        m_muted = false;
    }
}
