// The transfer core of the manual download: for each checked section and each selected
// module the S-record file becomes an image, the info block goes first, the data follow in
// 8192-byte SDO transfers, and afterwards each module is waited for until its flash is
// programmed. The result lamps tell each module's outcome.
#include "mainwindow/frmmain.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"

#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/modmodechange.h"
#include "can/canmaster.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

#include <QCheckBox>
#include <QDir>
#include <array>
#include <utility>
#include <QLabel>
#include <QLineEdit>

using namespace moduleProtocol;

namespace {
constexpr char kObject[] = "frmMain";
constexpr int kBlockSize = 8192;
constexpr int kAttempts = 3;
constexpr int kFlashPolls = 150;       // of 100 ms: the wait for a module's flash
constexpr int kModulePollMs = 100;
// A module restarted behind a lost bus reads idle, which proves no flash.
constexpr char kBusLostUnproven[] = "      section not proven: CAN bus lost during its download!";

bool isChecked(const QCheckBox* c) { return vbCheck::value(c) == vbCheck::vbChecked; }

QLabel* lamp(frmMain& w, int module) {
    if (module < 0 || module >= frmMain::moduleCount) throw RuntimeError(9, QStringLiteral("Subscript out of range"));
    return w.lblDownloadOk[module];
}

void showLamp(QLabel* l, quint32 colour) {
    vbControls::setBackColor(l, colour);
    l->setVisible(true);
}

bool moduleTypeQtmOrBzm() { return modGlobal::g_qtmMode || modGlobal::g_bzmMode; }
}  // namespace

bool frmMain::downloadSections() {
    using namespace modGlobal;
    for (int pos = 0; pos < sectionRows; ++pos) {
        if (!sectionSelected(chkLoadSection[pos])) continue;
        const qint32 section = decimalValue(vbControls::tag(chkLoadSection[pos]));
        addMessage(QStringLiteral("   Download ") + chkLoadSection[pos]->text());
        // Red lamps of earlier sections stay: those modules take no further section.
        resetStatus(true);
        const int lossesBefore = canMasterLink::get().busLosses();
        Selection took{}, tried{};
        // Only a flash that was programmed makes the module done and updated.
        auto programmed = [&] {
            for (int i = 0; i < moduleCount; ++i)
                if (took[i] && g_downloadStatusOk(i)) sectionProgrammed(i, section);
        };
        for (int i = 0; i < moduleCount; ++i) {
            const bool viaAutoDownload = i >= 1 && g_isMBusConnection;
            TimeService::doEvents();
            if (m_abort) {
                if (modMsgBox::g_questionMsgBox(QStringLiteral("Do you want to abort the download?"), QString(), true)) {
                    if (viaAutoDownload) stopAutoDownload();
                    addMessage(QStringLiteral("Abort of the download!"));
                    updateProgress(0, false);
                    // The modules that took the section keep it: their flash is waited for,
                    // so that the ending starts them like the others.
                    for (int m = 0; m < moduleCount; ++m)
                        if (took[m]) checkLoadingStatus(m, kFlashPolls);
                    // Behind a lost bus an idle status proves nothing: those stay unproven.
                    if (busLostSince(lossesBefore))
                        for (int m = 0; m < moduleCount; ++m)
                            if (std::exchange(took[m], false))
                                downloadFailure(QString::fromLatin1(kBusLostUnproven), m);
                    programmed();
                    return false;
                }
                m_abort = false;
            }
            if (!isChecked(chkProgram[i]) || !g_downloadStatusOk(i)) continue;
            if (g_updateMode) {
                bool okButton = false, shown = false;
                setUserInfo(modStringFct::sprintf(g_getUserMessage(73), i), 0, okButton, 0, shown);
            }
            if (viaAutoDownload) {
                bool ok = false;
                autoDownloadSingleModule(i, section, ok);
                if (!ok) {
                    downloadFailure(QStringLiteral("      autodownload of program/data has failed!"), i);
                    continue;
                }
                addMessage(modStringFct::sprintf(QStringLiteral("      PXM {*}: ok"), i));
                showLamp(lamp(*this, i), vbControls::vbGreen);
                // The spare module has programmed the cylinder's flash by now.
                sectionProgrammed(i, section);
                continue;
            }
            if (i == 0 && g_isMBusConnection && isChecked(chkApplicationRunning[0])) {
                addMessage(QStringLiteral("      starting bootloader on targetNo 0 for download of next section"));
                modModeChange::g_startBootloader(modModeChange::g_singeTargetSelection(0), false);
            }
            bool done = false;
            tried[i] = true;
            downloadSection(i, section, done);
            took[i] = done && g_downloadStatusOk(i);
        }
        // Cylinders served through module 0 were waited for by the auto-download itself.
        if (!(g_isMBusConnection && !isChecked(chkProgram[0])))
            for (int i = 0; i < moduleCount; ++i) checkLoadingStatus(i, kFlashPolls);
        // A module that restarted behind a lost bus reads idle, which is the PXM's
        // "flashed" too: a section whose bus dropped is proven only by writing it again.
        if (busLostSince(lossesBefore))
            for (int i = 0; i < moduleCount; ++i)
                if (tried[i]) took[i] = downloadAgainAfterBusLoss(i, section);
        programmed();
    }
    return true;
}

bool frmMain::busLostSince(int losses) {
    // The loss events queued meanwhile are in before the losses are counted.
    TimeService::doEvents();
    return canMasterLink::get().busLosses() != losses;
}

// The bus went away while the module took its section: whatever its attempts and its flash
// wait said was said across a dead bus. Once it answers in its bootloader again (within a
// flash wait's time), the section is written anew, as its attempts allow, and proven only
// if the bus stayed.
bool frmMain::downloadAgainAfterBusLoss(int module, qint32 section) {
    bool took = false;
    trap(kObject, "downloadAgainAfterBusLoss", [&] {
        const int losses = canMasterLink::get().busLosses();
        bool answers = false;
        for (int poll = 0; poll < kFlashPolls && !answers; ++poll) {
            answers = canMasterLink::get().moduleState(module) == ModuleState::bootloader;
            if (answers) break;
            TimeService::sleep(kModulePollMs);
            TimeService::doEvents();
        }
        if (answers) {
            addMessage(QStringLiteral("         new attempt"));
            vbControls::setBackColor(lamp(*this, module), vbControls::vbGreen);
            bool done = false;
            downloadSection(module, section, done);
            checkLoadingStatus(module, kFlashPolls);
            took = done && g_downloadStatusOk(module) && !busLostSince(losses);
        }
        // A green lamp is earned only by a proven flash.
        if (!took && g_downloadStatusOk(module))
            downloadFailure(QString::fromLatin1(kBusLostUnproven), module);
    });
    return took;
}

bool frmMain::sectionSelected(const QCheckBox* row) const { return isChecked(row) && vbCheck::visible(row); }

void frmMain::sectionProgrammed(int module, qint32 section) {
    using namespace modGlobal;
    if (!moduleTypeQtmOrBzm()) m_moduleDone[module] = true;
    m_stopped.sectionEnded(module);
    if (section == sectionBootloader2) {
        m_bootloaderVersionChange[module] = true;
        // The bootloader's download takes the application away.
        m_stopped.removed[module] = true;
    }
    if (g_updateMode) addMessageUpdater(modStringFct::sprintf(QStringLiteral("   PXM-#{00} is updated"), module), -1);
}

QString frmMain::sentFile(QString rowFile) const {
    if (isChecked(chkSectionNew)) rowFile.replace(QStringLiteral(".S19"), QStringLiteral("_New.S19"), Qt::CaseSensitive);
    return rowFile;
}

QString frmMain::sectionFile(qint32 section) const {
    for (int pos = 0; pos < sectionRows; ++pos)
        if (modGlobal::decimalValue(vbControls::tag(chkLoadSection[pos])) == section) return sentFile(vbControls::tag(txtEmh[pos]));
    return sentFile(QString());
}

qint32 frmMain::sectionBase(qint32 section) {
    using namespace modGlobal;
    return section == sectionDataContainer ? g_baseAdrDC
           : section == sectionApplication ? g_baseAdrAppl
           : section == sectionFpga        ? g_baseAdrFPGA
                                           : 0;
}

QStringList frmMain::sectionFilesFault() const {
    for (int pos = 0; pos < sectionRows; ++pos) {
        if (!sectionSelected(chkLoadSection[pos])) continue;
        const qint32 section = modGlobal::decimalValue(vbControls::tag(chkLoadSection[pos]));
        const QString path = sectionFile(section);
        // A row without a file is the download's own refusal, module by module.
        if (path.isEmpty()) continue;
        QByteArray image;
        qint32 startAddress = 0;
        QString reason;
        if (!modDownload::g_sRecToBin(path, image, startAddress, reason))
            return {QStringLiteral("   Download aborted because conversion S19-to-binary failed."), QStringLiteral("      ") + reason};
        const qint32 base = sectionBase(section);
        if (base >= 1) startAddress = base;
        if (!moduleTypeQtmOrBzm() && !modDownload::checkInfoBlock(section, startAddress))
            return {QStringLiteral("   Download aborted because start address in info block is invalid."),
                    QStringLiteral("      ") + QDir::toNativeSeparators(path)};
    }
    return {};
}

void frmMain::downloadSection(int module, qint32 section, bool& done) {
    using namespace modGlobal;
    done = false;
    trap(kObject, "downloadSection", [&] {
        const QString path = sectionFile(section);
        // A module that gets nothing is a failed module, named in the line.
        if (path.isEmpty()) {
            downloadFailure(QStringLiteral("No S19-File defined!"), module);
            return;
        }
        QByteArray image;
        qint32 startAddress = 0;
        if (!modDownload::g_sRecToBin(path, image, startAddress)) {
            downloadFailure(QStringLiteral("Download aborted because conversion S19-to-binary failed."), module);
            return;
        }
        const qint32 base = sectionBase(section);
        if (base >= 1 && startAddress != base) {
            // Only the address in the info block moves; the image stays as it is.
            addMessage(modStringFct::sprintf(QStringLiteral("      start-address moved to {*}"), base));
            startAddress = base;
        }
        if (!moduleTypeQtmOrBzm() && !modDownload::checkInfoBlock(section, startAddress)) {
            downloadFailure(QStringLiteral("Download aborted because start address in info block is invalid."), module);
            return;
        }

        int attempts = 0;
        do {
            if (attempts > 0) {
                addMessage(QStringLiteral("         new attempt"));
                TimeService::sleep(2000);
            }
            // From the info block on, the section may be written in part.
            m_stopped.sectionBegun(module);
            if (!modDownload::writeInfoBlock(qint16(module), section, path, image, startAddress)) {
                downloadFailure(QStringLiteral("      failure in transmitting infoblock!"), module);
                ++attempts;
                continue;
            }
            if (modDownload::g_getLoadingStatus(qint16(module), true) != loadingInfoBlockAccepted) {
                downloadFailure(QStringLiteral("      downloading infoblock failed!"), module);
                ++attempts;
                continue;
            }
            bool ok = false;
            writeSection(module, section, image, ok);
            if (!ok) {
                downloadFailure(QStringLiteral("      failure in transmitting program/data!"), module);
                ++attempts;
                continue;
            }
            const qint16 status = modDownload::g_getLoadingStatus(qint16(module), true);
            if (moduleTypeQtmOrBzm() && status == loadingFlashed) {
                addMessage(modStringFct::sprintf(QStringLiteral("      {*} {*}: ok"), g_moduleKind, module));
                showLamp(lamp(*this, module), vbControls::vbGreen);
                attempts = 0;
            } else if (!moduleTypeQtmOrBzm() && status == loadingDataAccepted) {
                addMessage(modStringFct::sprintf(QStringLiteral("      PXM {*}: ok"), module));
                showLamp(lamp(*this, module), vbControls::vbGreen);
                attempts = 0;
            } else {
                downloadFailure(QStringLiteral("      downloading program/data failed!"), module);
                ++attempts;
            }
        } while (attempts > 0 && attempts < kAttempts);
        done = true;
    });
}

void frmMain::writeSection(int module, qint32 section, const QByteArray& data, bool& ok) {
    ok = false;
    trap(kObject, "writeSection", [&] {
        const quint8 node = quint8(module + modGlobal::g_cobIdBootloader);
        const qint64 upper = data.size() - 1;
        updateProgress(0, false);
        for (qint64 offset = 0; offset <= upper; offset += kBlockSize) {
            const qint64 length = qMin<qint64>(kBlockSize, upper + 1 - offset);
            const QByteArray block = data.mid(offset, length);
            updateProgress(upper > 0 ? double(float(offset) / float(upper)) : 0.0, false);
            ok = canMasterLink::get().g_writeSDO(node, idxProgramData, quint8(section), qint32(length), block, true, 3000);
            if (!ok) break;
        }
        updateProgress(0, false);
    });
}

void frmMain::checkLoadingStatus(int module, int maxPolls) {
    m_loadingStatusQuiet = false;
    trap(kObject, "checkLoadingStatus", [&] {
        if (!g_downloadStatusOk(module) || !isChecked(chkProgram.at(module))) return;
        for (int poll = 0; poll <= maxPolls; ++poll) {
            TimeService::sleep(100);
            const qint16 status = modDownload::g_getLoadingStatus(qint16(module), m_loadingStatusQuiet);
            // A read that fails is reported once per wait.
            if (status == -1) m_loadingStatusQuiet = true;
            if (status == loadingFlashed || status == loadingFlashedPxm) return;
        }
        downloadFailure(QStringLiteral("      failure in flash-programming (timeout)!"), module);
    });
}

void frmMain::resetStatus(bool keepFailed) {
    trap(kObject, "resetStatus", [&] {
        for (QLabel* l : lblDownloadOk) {
            if (keepFailed && vbControls::backColor(l) != vbControls::vbGreen) continue;
            l->hide();
            vbControls::setBackColor(l, vbControls::vbGreen);
        }
    });
}

void frmMain::downloadFailure(const QString& msg_, int targetNo_) {
    trap(kObject, "downloadFailure", [&] {
        QLabel* l = lamp(*this, targetNo_);
        // The line keeps the message's indentation and names the module after it.
        qsizetype blanks = 0;
        while (blanks < msg_.size() && msg_[blanks] == QLatin1Char(' ')) ++blanks;
        const QString head = msg_.left(blanks) + modStringFct::sprintf(QStringLiteral("{*} {*}: "), modGlobal::g_moduleKind, targetNo_);
        addMessage(head + msg_.mid(blanks));
        // Why, when the converter took no frames: the engineer can mend that.
        if (canMasterLink::get().takeTransmitQueueFull()) addMessage(head + QStringLiteral("transmit queue of the converter full!"));
        showLamp(l, vbControls::vbRed);
    });
}
