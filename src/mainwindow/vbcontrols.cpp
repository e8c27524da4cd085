#include "mainwindow/vbcontrols.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace vbControls {

QColor toQColor(quint32 vbColor) {
    if (vbColor & 0x80000000u) {
        // System colours: the windows here use the button face and the darker grey of an
        // application's empty workspace.
        if (vbColor == vbApplicationWorkspace) return QApplication::palette().color(QPalette::Dark);
        return QApplication::palette().color(QPalette::Button);
    }
    return QColor(vbColor & 0xFF, (vbColor >> 8) & 0xFF, (vbColor >> 16) & 0xFF);
}

void setBackColor(QWidget* w, quint32 vbColor) {
    w->setProperty("BackColor", QVariant::fromValue(vbColor));
    QPalette p = w->palette();
    const QColor c = toQColor(vbColor);
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Base, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

quint32 backColor(const QWidget* w) {
    const QVariant v = w->property("BackColor");
    return v.isValid() ? v.value<quint32>() : vbButtonFace;
}

void setTag(QWidget* w, const QString& tag) { w->setProperty("tag", tag); }
QString tag(const QWidget* w) { return w->property("tag").toString(); }

}  // namespace vbControls

FractionBar::FractionBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 1000);
    setValue(0);
    setTextVisible(false);
}

void FractionBar::setFraction(double f) {
    m_fraction = f;
    setValue(static_cast<int>(f * 1000 + 0.5));
}
