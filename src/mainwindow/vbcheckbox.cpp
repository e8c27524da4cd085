#include "mainwindow/vbcheckbox.h"

namespace vbCheck {

int value(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked: return vbChecked;
    case Qt::PartiallyChecked: return vbGrayed;
    default: return vbUnchecked;
    }
}

void setValue(QCheckBox* box, int value) {
    box->setCheckState(value == vbChecked ? Qt::Checked : value == vbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
}

// A box disabled by its own setting carries WA_ForceDisabled; one disabled only with its
// parent does not.
bool enabled(const QWidget* w) { return !w->testAttribute(Qt::WA_ForceDisabled); }

bool visible(const QWidget* w) {
    const QWidget* top = w->window();
    return top == w ? !w->isHidden() : w->isVisibleTo(top);
}

}  // namespace vbCheck

void VbCheckBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
