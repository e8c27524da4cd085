#pragma once
// The few control properties that the window code reads and writes the way the design
// states them: a Tag text per control, a back colour as a 0x00BBGGRR value (system
// colours 0x800000xx), and a progress bar that holds a fraction from 0 to 1.
#include <QProgressBar>
#include <QString>

class QWidget;
class QColor;

namespace vbControls {

constexpr quint32 vbButtonFace = 0x8000000F;
constexpr quint32 vbApplicationWorkspace = 0x8000000C;
constexpr quint32 vbGreen = 0x00FF00;
constexpr quint32 vbRed = 0x0000FF;

QColor toQColor(quint32 vbColor);
// Paints the control's background and remembers the value, so that it reads back as set.
void setBackColor(QWidget* w, quint32 vbColor);
// The value last set; a control never set reads as the button face.
quint32 backColor(const QWidget* w);

void setTag(QWidget* w, const QString& tag);
QString tag(const QWidget* w);

}  // namespace vbControls

// A progress bar whose value is a fraction from 0 to 1, shown in steps of a thousandth.
class FractionBar : public QProgressBar {
    Q_OBJECT
public:
    explicit FractionBar(QWidget* parent = nullptr);
    double fraction() const { return m_fraction; }
    void setFraction(double f);

private:
    double m_fraction = 0;
};
