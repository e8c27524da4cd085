// The repair window's work on the module: reading the chosen module's hardware block,
// building the new block from a template and the engineer's entries, writing it and
// waiting for the module to take it, and saving the block as it was read.
#include "mainwindow/frmhwinfoblockrepair.h"

#include "mainwindow/hwinfoblock.h"
#include "mainwindow/toollog.h"
#include "mainwindow/vbcontrols.h"

#include "can/canmaster.h"
#include "can/infoblock.h"
#include "can/modmodechange.h"
#include "desktop/dialogs.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modmsgbox.h"
#include "services/wholefile.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace {
constexpr char kObject[] = "frmHWInfoBlockRepair";
constexpr quint8 kHardwareSection = moduleProtocol::sectionHwInfoBlock;
constexpr quint32 kLightGreen = 0x80FF80, kLightRed = 0x8080FF;
constexpr double kMinBootloaderVersion = 3.1;
// Flash programming runs, and the block was taken.
constexpr qint16 kStatusBusy = moduleProtocol::loadingDataAccepted;
constexpr qint16 kStatusTaken = moduleProtocol::loadingInfoBlockAccepted;
constexpr int kStatusPollMs = 50;

void error(const QString& text) { modMsgBox::g_errorMsgBox(text, QString(), true); }
}  // namespace

void frmHWInfoBlockRepair::cmbModuleNum_Click() {
    bool ok = false;
    const QScopedValueRollback working(m_working, true);
    trap(kObject, "cmbModuleNum_Click", [&] {
        setColor(white);
        forgetRead();
        if (cmbModuleNum->currentIndex() <= 0) return;
        m_moduleNum = qint16(cmbModuleNum->currentText().toShort());
        // A module this window stopped shows its bootloader now: what ran before is kept.
        bool& stopped = m_stoppedFromApplication.at(m_moduleNum);
        if (canMasterLink::get().moduleState(m_moduleNum) == moduleProtocol::ModuleState::application) stopped = true;
        m_applWasRunning = stopped;
        disableControls(true);
        if (!modModeChange::g_startBootloader(modModeChange::g_singeTargetSelection(m_moduleNum), false)) return;
        qint32 received = 0;
        QByteArray reply;
        // A block shorter than the hardware block cannot be shown or repaired.
        if (!canMasterLink::get().g_readSDO(nodeId(), moduleProtocol::idxInfoBlock, kHardwareSection, received, reply,
                                              false, false, false) ||
            reply.size() < moduleProtocol::hwInfoBlockSize) {
            error(QStringLiteral("Could not upload info block data from module ") + QString::number(m_moduleNum));
            return;
        }
        m_uploaded = reply.left(moduleProtocol::hwInfoBlockSize);
        const hwInfoBlock::Decoded d = hwInfoBlock::decode(m_uploaded);
        txtHWSerial->setText(d.serial);
        m_serialPresent = d.serialPresent;
        txtProductionDateWeek->setText(d.week);
        txtProductionDateYear->setText(d.year);
        int entry = CmbHWVersion->findText(d.version, Qt::MatchExactly);
        if (entry < 0) {
            CmbHWVersion->addItem(d.version);
            entry = CmbHWVersion->count() - 1;
        }
        CmbHWVersion->setCurrentIndex(entry);
        m_readModule = m_moduleNum;
        ok = true;
    });
    // Whatever happened, the engineer can choose again or leave.
    trap(kObject, "cmbModuleNum_Click", [&] { enableControls(!ok); });
}

void frmHWInfoBlockRepair::cmdDownload_Click() {
    bool success = false;
    const QScopedValueRollback working(m_working, true);
    trap(kObject, "cmdDownload_Click", [&] {
        clearFaultMark();
        disableControls(true);
        toolLog::add(toolLog::ruler());
        toolLog::add(QStringLiteral("   Repairing Infoblock of PXM ") + QString::number(m_moduleNum));
        success = repair();
    });
    trap(kObject, "cmdDownload_Click", [&] {
        if (success) {
            // Forced: the module's lamp tells of downloads, and the repair loaded no application.
            if (m_applWasRunning)
                modModeChange::g_startApplication(modModeChange::g_singeTargetSelection(m_moduleNum), true);
            m_stoppedFromApplication.at(m_moduleNum) = false;
            setColor(kLightGreen);
            toolLog::add(QStringLiteral("   InfoBlock repaired successfully!"));
            cmdExit->setEnabled(true);
        } else {
            toolLog::add(QStringLiteral("   InfoBlock repair failed!"));
            // A refused entry is marked in its own box; any other failure in the serial box.
            const bool otherEntry = m_faultField && m_faultField != txtHWSerial;
            setColor(otherEntry ? white : kLightRed);
            if (otherEntry) vbControls::setBackColor(m_faultField, kLightRed);
            enableControls(false);
        }
        toolLog::add(toolLog::ruler());
    });
}

bool frmHWInfoBlockRepair::repair() {
    bool ok = true;
    if (m_applWasRunning) modModeChange::g_startBootloader(modModeChange::g_singeTargetSelection(m_moduleNum), false);
    // Older bootloaders do not take a hardware block (a version that reads 0 is refused too).
    if (canMasterLink::get().g_getBootLoaderVersion(nodeId()) < kMinBootloaderVersion - 1e-9) {
        error(QStringLiteral("Wrong Bootloader version detected. Bootloader version for HW Infoblock repair has to be "
                             "3.10 or above!"));
        ok = false;
    }
    const QString version = CmbHWVersion->currentText().trimmed();
    const QString templateFile = m_templateDir + QStringLiteral("HWInfoBlockVersion") + version + QStringLiteral(".bin");
    if (ok) ok = checkEntries(version, templateFile);
    QByteArray templ;
    if (ok) ok = readTemplate(templateFile, templ);
    if (!ok) return false;
    txtProductionDateWeek->setText(hwInfoBlock::twoDigits(hwInfoBlock::numericValue(txtProductionDateWeek->text())));
    const QByteArray block = hwInfoBlock::build(templ, txtHWSerial->text(), txtProductionDateWeek->text(),
                                                txtProductionDateYear->text(), version);
    return writeBlock(block);
}

bool frmHWInfoBlockRepair::checkEntries(const QString& version, const QString& templateFile) {
    const QString serial = txtHWSerial->text().trimmed();
    // The date box in fault: the week unless the week is good and the year not.
    const bool weekGood = hwInfoBlock::validateProductionDate(txtProductionDateWeek->text(), QStringLiteral("1980"));
    if (hwInfoBlock::numericValue(version) < 1) {
        m_faultField = CmbHWVersion;
        error(QStringLiteral("Please Select the HW version."));
    } else if (!QFile::exists(templateFile)) {
        m_faultField = CmbHWVersion;
        error(QStringLiteral("Info block template file for the selected hardware version does not exist."));
    } else if (serial.isEmpty()) {
        m_faultField = txtHWSerial;
        error(QStringLiteral("Please enter a HW Serial number."));
    } else if (!hwInfoBlock::validSerial(serial)) {
        // Checked here, so that a wrong entry is a message and not a run-time error mid-repair.
        m_faultField = txtHWSerial;
        error(QStringLiteral("Please enter the HW Serial number as a whole number from -2147483648 to 2147483647."));
    } else if (!hwInfoBlock::validateProductionDate(txtProductionDateWeek->text(), txtProductionDateYear->text())) {
        m_faultField = weekGood ? txtProductionDateYear : txtProductionDateWeek;
        error(QStringLiteral("Please enter a valid production date."));
    } else if (m_serialPresent) {
        return modMsgBox::g_warningMsgBox(QStringLiteral("Do you want do download the info block?"), QString(), true,
                                          Dialogs::vbOKCancel);
    } else {
        return true;
    }
    return false;
}

bool frmHWInfoBlockRepair::readTemplate(const QString& templateFile, QByteArray& templ) {
    QFile f(templateFile);
    if (f.open(QIODevice::ReadOnly)) templ = f.read(moduleProtocol::hwInfoBlockSize);
    if (!f.isOpen() || f.error() != QFileDevice::NoError) {
        error(QStringLiteral("Error: Could not open data file for the selected HW Version:") + templateFile);
        return false;
    }
    // A short file would leave the rest of the block undefined.
    if (templ.size() < moduleProtocol::hwInfoBlockSize) {
        error(QStringLiteral("Error: The data file for the selected HW Version is shorter than 312 bytes:") + templateFile);
        return false;
    }
    return true;
}

bool frmHWInfoBlockRepair::writeBlock(const QByteArray& block) {
    if (!canMasterLink::get().g_writeSDO(nodeId(), moduleProtocol::idxInfoBlock, kHardwareSection, moduleProtocol::hwInfoBlockSize,
                                           block, false, 0)) {
        error(QStringLiteral("Info block download failed: Could not write SDO."));
        return false;
    }
    // The module says "busy" while it programs the block; a module that never finishes fails.
    const qint64 start = TimeService::elapsedMs();
    while (modDownload::g_getLoadingStatus(m_moduleNum, true) == kStatusBusy &&
           TimeService::elapsedMs() - start < m_statusPollLimitMs)
        TimeService::sleep(kStatusPollMs);
    if (modDownload::g_getLoadingStatus(m_moduleNum, true) == kStatusTaken) return true;
    error(QStringLiteral("Info block download failed: Loading Status Failure."));
    return false;
}

void frmHWInfoBlockRepair::cmdCreateFile_Click() {
    trap(kObject, "cmdCreateFile_Click", [&] {
        const QString path = m_templateDir + QStringLiteral("UploadedHWInfoBlock.bin");
        // Written beside and renamed into place: a full disk or a kill leaves the old file.
        QString reason;
        if (!wholeFile::write(path, m_uploaded, &reason)) {
            error(QStringLiteral("Uploaded Data could not be saved to file: ") + path + QStringLiteral("\r") + reason);
            return;
        }
        modMsgBox::g_warningMsgBox(QStringLiteral("Uploaded Data Have been saved to file: ") + path, QString(), true,
                                   Dialogs::vbOKCancel);
    });
}
