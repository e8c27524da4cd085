#pragma once
// Check boxes read and set the way the window code states them: Value 0 unchecked,
// 1 checked, 2 grayed; Enabled and Visible as the box's own setting, whatever its window
// shows at the moment. Setting a different Value from code runs the box's click handler
// before the assignment returns (stateChanged is emitted synchronously).
#include <QCheckBox>

namespace vbCheck {

constexpr int vbUnchecked = 0;
constexpr int vbChecked = 1;
constexpr int vbGrayed = 2;

int value(const QCheckBox* box);
void setValue(QCheckBox* box, int value);
// The control's own Enabled and Visible, not those inherited from its window.
bool enabled(const QWidget* w);
bool visible(const QWidget* w);

}  // namespace vbCheck

// A check box that code may gray, while a click only ever checks or clears it: a grayed
// box becomes checked.
class VbCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};
