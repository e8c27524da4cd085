// The connection display: the module rows' lamps, hardware versions and selectability,
// and on the M-Bus the engine state with its command lock.
#include "can/canmaster.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"

#include "can/modapplicationmode.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"

#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>

using namespace vbCheck;
using moduleProtocol::ModuleState;

namespace {
// The leading number of a text, as the hardware label is read (empty, "?" and "X" read 0).
double leadingNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch m = number.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}
}  // namespace

void frmMain::g_updateConnectionStatus() {
    // A box opened here (old bootloader, module-number check) lets the event loop run; a
    // refresh from the tick meanwhile would open the same box again.
    static bool running = false;
    if (running) return;
    running = true;
    trap("frmMain", "g_updateConnectionStatus", [&] {
        using namespace modGlobal;
        if (canMasterLink::get().oldBootloaderDetectedOnMBus()) {
            modMsgBox::g_errorMsgBox(QStringLiteral("Wrong Bootloader version detected. Please connect to the S-Bus. "
                                                    "The Loader will terminate."),
                                     QString(), true);
            g_logOffApplication(true);
            return;
        }
        const moduleProtocol::ModuleStates states = canMasterLink::get().shownStates();
        for (int i = 0; i < moduleCount; ++i) {
            const ModuleState state = states[size_t(i)];
            if (state == ModuleState::none) {
                setValue(chkBootLoaderRunning[i], vbUnchecked);
                setValue(chkApplicationRunning[i], vbUnchecked);
                chkProgram[i]->setEnabled(false);
                lblHW[i]->setText(QString());
            } else if (state == ModuleState::application || state == ModuleState::bootloader) {
                const bool inBootloader = state == ModuleState::bootloader;
                QCheckBox* lamp = inBootloader ? chkBootLoaderRunning[i] : chkApplicationRunning[i];
                QCheckBox* other = inBootloader ? chkApplicationRunning[i] : chkBootLoaderRunning[i];
                // Only a change of state asks the module again.
                if (value(lamp) == vbUnchecked && i == 0 && g_isMBusConnection)
                    canMasterLink::get().checkMBusModuleID(inBootloader);
                if (value(lamp) == vbUnchecked && leadingNumber(lblHW[i]->text()) == 0)
                    lblHW[i]->setText(canMasterLink::get().g_getHardwareVersion(qint16(i), inBootloader));
                setValue(other, vbUnchecked);
                setValue(lamp, vbChecked);
                chkProgram[i]->setEnabled(true);
            }
            if (g_applicationType == modApplicationMode::appKELB) {
                const double hw = leadingNumber(lblHW[i]->text());
                vbControls::setBackColor(lblHW[i], g_bigMem && hw < 7.0 && hw != 0 ? vbControls::vbRed
                                                                                     : vbControls::vbButtonFace);
            }
        }

        auto unlock = [this] {
            if (!m_engineRunningLock) return;
            m_engineRunningLock = false;
            enableAllControls();
        };
        if (!g_isMBusConnection) {
            fraEngineRunning->hide();
            return;
        }
        if (!canMasterLink::get().enoughCylindersToRunEngine()) {
            fraEngineRunning->hide();
            unlock();
            return;
        }
        switch (canMasterLink::get().engineStandStillStatus()) {
        case 1:
            fraEngineRunning->show();
            imgEngineRunning->hide();
            imgEngineStStill->show();
            unlock();
            break;
        case 2:
            fraEngineRunning->show();
            imgEngineRunning->show();
            imgEngineStStill->hide();
            if (!m_engineRunningLock) {
                m_engineRunningLock = true;
                disableOtherControls(3);
            }
            break;
        default:
            fraEngineRunning->hide();
            unlock();
            break;
        }
    });
    running = false;
}
