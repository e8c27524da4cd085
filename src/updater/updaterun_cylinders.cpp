// Step 4 when the build's newest application is installed on the module the bus is
// reached through: the cylinders are asked for their own application CRC, and those in
// their bootloader or with another application are loaded.
#include "updater/updaterun.h"
#include "updater/updatewindow.h"

#include "can/canmaster.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QPushButton>
#include <algorithm>

using namespace modGlobal;
using modStringFct::sprintf;

void UpdateRun::askCylinderCrcs() {
    UpdateModulesLink& link = updateModulesLink::get();
    m_cylinderCrc.fill(crcNotAsked);
    for (int i = 0; i <= m_info.noOfCyl && i <= maxModule; ++i) {
        if (i == m_mBusModuleNo || !link.applicationRunning(i) || link.bootloaderRunning(i)) continue;
        m_cylinderCrc[i] = crcAsked;
        canMasterLink::get().g_setServiceBit(moduleProtocol::symbolKey(g_symCrcValueApplication, i), 1);
    }
    m_askingCylinders = true;
}

bool UpdateRun::cylinderCrcsIn() const {
    return std::none_of(m_cylinderCrc.begin(), m_cylinderCrc.end(), [](qint32 crc) { return crc == crcAsked; });
}

bool UpdateRun::keepCylinderCrc(int module, const QByteArray& value) {
    if (module < 0 || module > maxModule) return false;
    qint32& crc = m_cylinderCrc[module];
    if (crc == crcAsked) crc = SystemValues::value32(value) & 0xFFFF;
    return crc >= 0 || crc == crcTooLate;
}

void UpdateRun::selectOutdatedModules() {
    m_askingCylinders = false;
    UpdateModulesLink& link = updateModulesLink::get();
    m_bootloaderModulesFound = false;
    std::vector<int> inBootloader, outdated, unchecked, selected;
    for (int i = 0; i <= m_info.noOfCyl && i <= maxModule; ++i) {
        const qint32 crc = m_cylinderCrc[i];
        if (crc == crcAsked) {
            // Its publication goes off: the run does not wait for it any longer.
            m_cylinderCrc[i] = crcTooLate;
            canMasterLink::get().g_setServiceBit(moduleProtocol::symbolKey(g_symCrcValueApplication, i), 0);
            unchecked.push_back(i);
        }
        const bool old = crc >= 0 && crc != m_expectedApplCrc;
        if (old) outdated.push_back(i);
        if (link.bootloaderRunning(i)) {
            inBootloader.push_back(i);
            m_bootloaderModulesFound = true;
        } else if (!old) {
            continue;
        }
        m_selection[i] = true;
        selected.push_back(i);
        m_updateNotNecessary = false;
    }
    if (!unchecked.empty())
        addMessageUpdater(sprintf(QStringLiteral("   Application CRC not received, not checked: {*}!"), moduleList(unchecked)),
                          -1);
    if (selected.empty()) return goTo(9);
    if (!loadFileFits()) return;
    m_w.cmdOk->setText(QStringLiteral("Update"));
    prompt(message(63, eightValues() << moduleList(selected)), true, true);
    if (m_bootloaderModulesFound) {
        addMessageUpdater(QStringLiteral("   Not all PXM's are running in application mode!"), -1);
        addMessageUpdater(sprintf(QStringLiteral("   Following PXM's are in bootloader: {*}!"), moduleList(inBootloader)), -1);
    }
    if (!outdated.empty())
        addMessageUpdater(sprintf(QStringLiteral("   Following PXM's do not run the newest application: {*}!"),
                                  moduleList(outdated)),
                          -1);
    goTo(7);
}
