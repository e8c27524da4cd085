#include "services/modmsgbox.h"

#include "desktop/dialogs.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

namespace modMsgBox {
using namespace Dialogs;

namespace {
constexpr char kObject[] = "modMsgBox";
const QString kWindow = QStringLiteral("frmMessage2");

QString titleOr(const QString& t, const char* def) { return t.isEmpty() ? QString::fromLatin1(def) : t; }

// The message window steps aside while a box is open; neither step may fail the box.
void hideMessageWindow(bool hide) {
    if (!hide) return;
    try {
        if (modGlobal::g_isLoaded(kWindow, QString(), false))
            if (frmMessage2* w = frmMessage2::existing()) w->hide();
    } catch (...) {
    }
}

void showMessageWindowAgain(bool hide) {
    if (!hide) return;
    try {
        if (modGlobal::g_isLoaded(kWindow, QString(), true)) frmMessage2::instance().show();
    } catch (...) {
    }
}

int boxBesideWindow(const QString& text, int style, const QString& title, bool hideWindow) {
    hideMessageWindow(hideWindow);
    const int answer = msgBox(text, style, title);
    showMessageWindowAgain(hideWindow);
    return answer;
}
}  // namespace

bool g_questionMsgBox(const QString& text, const QString& title, bool hideWindow) {
    bool yes = false;
    trap(kObject, "g_questionMsgBox", [&] {
        yes = boxBesideWindow(text, vbYesNo | vbQuestion, titleOr(title, "QUESTION"), hideWindow) == vbYes;
    });
    return yes;
}

void g_informationMsgBox(const QString& text, const QString& title, bool) {
    trap(kObject, "g_informationMsgBox", [&] { msgBox(text, vbInformation, titleOr(title, "INFORMATION")); });
}

bool g_warningMsgBox(const QString& text, const QString& title, bool hideWindow, int buttons) {
    bool ok = false;
    trap(kObject, "g_warningMsgBox", [&] {
        ok = boxBesideWindow(text, buttons + vbExclamation + vbDefaultButton2, titleOr(title, "WARNING"), hideWindow) == vbOK;
    });
    return ok;
}

void g_errorMsgBox(const QString& text, const QString& title, bool hideWindow) {
    trap(kObject, "g_errorMsgBox", [&] { boxBesideWindow(text, vbCritical, titleOr(title, "ERROR"), hideWindow); });
}

void g_errMsgBox(const QString& text, const QString& title) {
    trap(kObject, "g_errMsgBox", [&] { msgBox(text, vbCritical, titleOr(title, "ERROR")); });
}

void g_informationMsgBox2(const QString& text, const QString& title, bool modal, int autoCloseMs) {
    trap(kObject, "g_informationMsgBox2", [&] {
        frmMessage2::instance().informationMsgBox(text, title, modal, autoCloseMs, false, true);
    });
}

}  // namespace modMsgBox
