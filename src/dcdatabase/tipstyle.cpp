#include "dcdatabase/tipstyle.h"

#include <QApplication>
#include <QProxyStyle>

namespace {
class TipDelayStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return tipStyle::wakeUpDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
}  // namespace

namespace tipStyle {

void install() {
    if (QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay) == wakeUpDelayMs) return;
    // The application's own style stays underneath; only the tip delay changes.
    QApplication::setStyle(new TipDelayStyle(QApplication::style()->name()));
}

}  // namespace tipStyle
