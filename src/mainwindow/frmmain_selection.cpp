// Module and section selection: the check-box columns, their two "All" boxes, the rules
// that keep the section choice consistent, and the Abort button's flag.
#include "mainwindow/frmmain.h"
#include "mainwindow/vbcheckbox.h"

#include "can/modupload.h"
#include "services/errtrap.h"
#include "services/modglobal.h"

#include <QPushButton>

using namespace vbCheck;

namespace {
// Runs a handler under the re-entrancy guard: a value set from code raises the box's
// handler at once, and that nested call returns without doing anything.
template <class F>
void guarded(bool& guard, const char* procedure, F&& body) {
    if (guard) return;
    guard = true;
    trap("frmMain", procedure, std::forward<F>(body));
    guard = false;
}

// An "All" box shows the first box of its column, grayed when another box that counts
// (an enabled module, a shown section row) differs from it.
template <size_t N>
void followFirst(QCheckBox* all, const std::array<QCheckBox*, N>& boxes, bool (*counts)(const QWidget*)) {
    const int first = value(boxes[0]);
    setValue(all, first);
    for (size_t i = 1; i < N; ++i) {
        if (value(boxes[i]) != first && counts(boxes[i])) {
            setValue(all, vbGrayed);
            return;
        }
    }
}
}  // namespace

void frmMain::connectSelectionControls() {
    for (int i = 0; i < moduleCount; ++i)
        connect(chkProgram[i], &QCheckBox::stateChanged, this, [this, i] { chkProgram_Click(i); });
    connect(chkProgramAllModules, &QCheckBox::stateChanged, this, &frmMain::chkProgramAllModules_Click);
    connect(chkProgramAllSections, &QCheckBox::stateChanged, this, &frmMain::chkProgramAllSections_Click);
    for (int pos = 0; pos < sectionRows; ++pos)
        connect(chkLoadSection[pos], &QCheckBox::stateChanged, this, [this, pos] { chkLoadSection_Click(pos); });
    connect(cmdAbort, &QPushButton::clicked, this, &frmMain::cmdAbort_Click);
}

// Module 0 is the reference; a disabled box of another module never grays "All".
void frmMain::chkProgram_Click(int) {
    guarded(m_inSelectionUpdate, "chkProgram_Click", [&] { followFirst(chkProgramAllModules, chkProgram, enabled); });
}

// A module seen in neither of its programs is cleared and locked; this box never unlocks.
void frmMain::chkProgramAllModules_Click() {
    if (m_inSelectionUpdate) return;
    guarded(m_inSelectionUpdate, "chkProgramAllModules_Click", [&] {
        const int all = value(chkProgramAllModules);
        for (int i = 0; i < moduleCount; ++i) {
            if (value(chkBootLoaderRunning[i]) + value(chkApplicationRunning[i]) > 0) {
                setValue(chkProgram[i], all);
            } else {
                setValue(chkProgram[i], vbUnchecked);
                chkProgram[i]->setEnabled(false);
            }
        }
    });
    if (enabled(chkProgram[0])) chkProgram_Click(0);
}

// Under the guard the section rules do not apply: "All" checks Bootloader 2 together with
// the others. A hidden row offers no section, so it is left alone.
void frmMain::chkProgramAllSections_Click() {
    guarded(m_inSelectionUpdate, "chkProgramAllSections_Click", [&] {
        const int all = value(chkProgramAllSections);
        for (QCheckBox* row : chkLoadSection)
            if (enabled(row) && visible(row)) setValue(row, all);
    });
}

void frmMain::chkLoadSection_Click(int) {
    guarded(m_inSelectionUpdate, "chkLoadSection_Click", [&] {
        followFirst(chkProgramAllSections, chkLoadSection, visible);
        using namespace moduleProtocol;
        QCheckBox* application = chkLoadSection[modUpload::getDisplayIndex(sectionApplication)];
        QCheckBox* fpga = chkLoadSection[modUpload::getDisplayIndex(sectionFpga)];
        QCheckBox* bootloader2 = chkLoadSection[modUpload::getDisplayIndex(sectionBootloader2)];
        if (modGlobal::g_forceFPGAdownload) setValue(fpga, value(application));
        // Bootloader 2 is loaded alone.
        const bool bl2 = value(bootloader2) == vbChecked;
        for (int pos = 0; pos <= 2; ++pos) {
            if (bl2) setValue(chkLoadSection[pos], vbUnchecked);
            chkLoadSection[pos]->setEnabled(!bl2);
        }
        fpga->setEnabled(!bl2 && !modGlobal::g_forceFPGAdownload);
    });
}

void frmMain::cmdAbort_Click() {
    trap("frmMain", "cmdAbort_Click", [&] { m_abort = true; });
}
