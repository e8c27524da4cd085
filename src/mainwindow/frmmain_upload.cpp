// The upload from the spare module: the selected sections of module 0 are read back out of
// its bootloader, checked against their info blocks by length and CRC-32, and saved as
// S-record files in the upload folder under the names of the rows' load files.
#include "mainwindow/frmmain.h"
#include "can/canmaster.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"

#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/modmodechange.h"
#include "can/modrestart.h"
#include "can/modupload.h"
#include "crclibrary/crclibrary.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/srecord.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

using namespace moduleProtocol;

namespace {
constexpr char kObject[] = "frmMain";
constexpr int kRowPauseMs = 2000;
// The sections are saved as S2 records: every byte must lie below the 24-bit address limit.
constexpr qint64 kS2AddressLimit = 0x1000000;

bool isChecked(const QCheckBox* c) { return vbCheck::value(c) == vbCheck::vbChecked; }

void showLamp(QLabel* l, quint32 colour) {
    vbControls::setBackColor(l, colour);
    l->setVisible(true);
}

QString hexText(quint32 v) { return QString::number(v, 16).toUpper(); }

// The most data a section starting there can hold in its S-record file; a module's info
// block that states more is not believed.
qint64 largestSection(qint32 startAddress) {
    const qint64 start = quint32(startAddress);
    return start < kS2AddressLimit ? kS2AddressLimit - start : 0;
}
}  // namespace

void frmMain::uploadDataFromSpare() {
    using namespace modGlobal;
    moduleProtocol::Selection saved{};    // the modules whose application this command stopped
    bool noApplicationRunning = false;
    bool restartDue = false;              // the modules' applications are to be started again
    bool closed = false;

    // The closing line and the unlock end every way out of the command.
    auto close = [&] {
        closed = true;
        addMessage(separatorLine());
        enableAllControls();
    };
    trap(kObject, "uploadDataFromSpare", [&] {
        mnuUploadFromSpare->setEnabled(false);
        addMessage(QStringLiteral("Starting Upload of Data from Spare Module"));
        bool anySection = false;
        for (QCheckBox* row : chkLoadSection) anySection = anySection || isChecked(row);
        if (!anySection) {
            addMessage(QStringLiteral("  no section selected!"));
            return close();
        }
        if (!vbCheck::enabled(chkProgram[0])) {
            modMsgBox::g_errorMsgBox(g_getUserMessage(2), QString(), true);
            addMessage(QStringLiteral("  Error: Spare Module is not Connected."));
            return close();
        }
        if (busMissing(QStringLiteral("Upload"))) return close();
        if (canMasterLink::get().moduleState(0) == moduleProtocol::ModuleState::bootloader && g_isMBusConnection) {
            if (!frmMessage2::instance().questionMsgBox(
                    QStringLiteral("Upload of data is only possible, if no other modules are connected via S-Bus."
                                   "Otherwise the upload will interfere with the autodownload function. Would you like "
                                   "to continue the upload?"),
                    QString(), QStringLiteral("Yes"), QStringLiteral("No"), false)) {
                addMessage(QStringLiteral("  M-Bus upload cancelled."));
                return close();
            }
            // The spare runs its bootloader already; it serves the M-Bus again afterwards.
            restartDue = true;
        } else {
            disableOtherControls(2);
            noApplicationRunning = true;
            for (int m = 0; m < moduleCount; ++m) {
                if (canMasterLink::get().moduleState(m) != moduleProtocol::ModuleState::application) continue;
                saved[m] = true;
                noApplicationRunning = false;
            }
            restartDue = !noApplicationRunning;
            addMessage(QStringLiteral("   Starting bootloader on all modules."));
            if (!modModeChange::g_startBootloader(saved, false)) {
                addMessage(QStringLiteral("  Upload failed: Could not start Bootloader"));
                showLamp(lblDownloadOk[0], vbControls::vbRed);
                // Modules already switched must not stay in their bootloader: the restart
                // below still runs.
                return;
            }
        }

        disableOtherControls(0);
        vbCheck::setValue(chkProgram[0], vbCheck::vbChecked);
        for (int m = 1; m < moduleCount; ++m) vbCheck::setValue(chkProgram[m], vbCheck::vbUnchecked);
        vbControls::setBackColor(lblDownloadOk[0], vbControls::vbButtonFace);
        resetStatus(false);
        m_abort = false;

        // Green only when every section the command took on was uploaded and saved.
        bool anyHandled = false, anyFailed = false;
        for (int pos = 0; pos < sectionRows; ++pos) {
            if (isChecked(chkLoadSection[pos])) {
                bool handled = false, rowOk = false;
                const bool rowRan = trap(kObject, "uploadDataFromSpare", [&] {
                    const QString file = g_uploadDir + QDir::separator() + m_loadFileNames[pos];
                    QDir().mkpath(g_uploadDir);
                    if (QFileInfo::exists(file) &&
                        !modMsgBox::g_warningMsgBox(QStringLiteral("The result file \r") + file +
                                                        QStringLiteral("\r already exists. Replace it?"),
                                                    QString(), true, Dialogs::vbOKCancel))
                        return;
                    const QString caption = chkLoadSection[pos]->text();
                    const qint16 section = qint16(vbControls::tag(chkLoadSection[pos]).trimmed().toInt());
                    addMessage(QStringLiteral("    Uploading ") + caption);
                    resetStatus(true);
                    handled = true;
                    QByteArray data;
                    qint32 received = 0, startAddress = 0;
                    bool ok = false;
                    uploadSection(section, data, received, startAddress, ok);
                    updateProgress(0, false);
                    if (!ok) {
                        showLamp(lblDownloadOk[0], vbControls::vbRed);
                        addMessage(QStringLiteral("   Upload of ") + caption + QStringLiteral(" has failed "));
                        return;
                    }
                    QString reason;
                    if (!modDownload::g_binToSRec(data, startAddress, QStringLiteral("S28"), file, reason)) {
                        addMessage(QStringLiteral("  Error: Could not Save uploaded S19 File."));
                        addMessage(QStringLiteral("    ") + QDir::toNativeSeparators(file) + QStringLiteral(": ") + reason);
                        showLamp(lblDownloadOk[0], vbControls::vbRed);
                        return;
                    }
                    rowOk = true;
                });
                anyHandled = anyHandled || handled;
                if (handled && !(rowRan && rowOk)) {
                    anyFailed = true;
                    showLamp(lblDownloadOk[0], vbControls::vbRed);
                }
            }
            TimeService::sleep(kRowPauseMs);
        }
        if (anyHandled && !anyFailed) {
            showLamp(lblDownloadOk[0], vbControls::vbGreen);
            addMessage(QStringLiteral("   Upload finished "));
        }
    });

    // Every module this command stopped runs its application again; on the M-Bus the spare
    // always, as it is the cylinders' way to the bus.
    if (restartDue) {
        trap(kObject, "uploadDataFromSpare", [&] {
            modRestart::Record record;
            record.stopped = saved;
            if (g_isMBusConnection) record.stopped[0] = true;
            modRestart::g_restart(record);
        });
    }
    if (!closed) trap(kObject, "uploadDataFromSpare", close);
}

void frmMain::uploadSection(qint16 section, QByteArray& data, qint32& received, qint32& startAddress, bool& ok) {
    ok = false;
    received = 0;
    startAddress = 0;
    data.clear();
    trap(kObject, "uploadSection", [&] {
        cmdModuleState->setEnabled(false);
        cmdDownload->setEnabled(false);
        CanMaster& master = canMasterLink::get();
        const auto node = quint8(modGlobal::g_cobIdBootloader + 0);

        QByteArray block;
        qint32 blockLength = 0;
        if (!master.g_readSDO(node, idxInfoBlock, quint8(section), blockLength, block, false, false, false)) return;
        // Length and CRC stand in the block's last words, which follow its size.
        const int blockSize = infoBlockSizeOf(section);
        if (block.size() < blockSize) {
            addMessage(QStringLiteral("InfoBlock of section ") + QString::number(section) + QStringLiteral(" is incomplete."));
            return;
        }
        startAddress = modUpload::g_byteArrayToLong(block, ibStartAddress);
        const qint64 expected = quint32(modUpload::g_byteArrayToLong(block, ibDataLength(blockSize)));
        const auto infoCrc = quint32(modUpload::g_byteArrayToLong(block, ibDataCrc(blockSize)));
        if (expected > largestSection(startAddress)) {
            addMessage(QStringLiteral("Length specified in infoBlock is out of range: ") + QString::number(expected));
            return;
        }
        data = QByteArray(qsizetype(expected), '\0');

        bool failed = false;
        do {
            TimeService::doEvents();
            QByteArray piece;
            qint32 n = 0;
            failed = !master.g_readSDO(node, idxProgramData, quint8(section), n, piece, false, false, false);
            if (!failed && received + piece.size() > expected) {
                modMsgBox::g_errorMsgBox(QStringLiteral("Length of uploaded data is higher than specified in infoBlock"),
                                         QString(), true);
                failed = true;
            } else if (!failed && piece.isEmpty() && received < expected) {
                // A module that sends nothing would be asked for ever.
                addMessage(QStringLiteral("Upload stopped: the module sent no data. Uploaded: ") + QString::number(received) +
                           QStringLiteral(" Infoblock: ") + QString::number(expected));
                failed = true;
            } else if (!failed) {
                data.replace(received, piece.size(), piece);
                received += qint32(piece.size());
            }
            updateProgress(expected > 0 ? double(received) / double(expected) : 1.0, false);
        } while (received < expected && !failed && !m_abort);
        if (failed || m_abort) return;

        const quint32 crc = CrcCalculation32(data.constData(), received, 0);
        if (crc == infoCrc) {
            ok = received == expected;
            if (!ok)
                addMessage(QStringLiteral("Length of uploaded data is different from length specified in info block. Uploaded: ") +
                           QString::number(received) + QStringLiteral(" Infoblock: ") + QString::number(expected));
            return;
        }
        addMessage(QStringLiteral("Upload CRC check failed.  Uploaded: ") + hexText(crc) + QStringLiteral(" Infoblock: ") +
                   hexText(infoCrc));
        if (received == expected && section == sectionDataContainer)
            ok = frmMessage2::instance().questionMsgBox(
                QStringLiteral("The CRC check of the uploaded Data Container has failed. "
                               "This may be due to parameter changes that have been made since the download. "
                               "Would you like to keep the uploaded Data?"),
                QStringLiteral("Upload CRC Warning"), QStringLiteral("Keep Data"), QStringLiteral("Discard Data"), true);
    });
}
