#include "services/modmsgbox.h"

#include "desktop/dialogs.h"

// Provisional bodies over the dialog seam; the message window's hiding joins them with
// the message window itself.
namespace modMsgBox {
using namespace Dialogs;

static QString titleOr(const QString& t, const char* def) { return t.isEmpty() ? QString::fromLatin1(def) : t; }

bool g_questionMsgBox(const QString& text, const QString& title, bool) {
    return msgBox(text, vbYesNo | vbQuestion, titleOr(title, "QUESTION")) == vbYes;
}
void g_informationMsgBox(const QString& text, const QString& title, bool) {
    msgBox(text, vbInformation, titleOr(title, "INFORMATION"));
}
bool g_warningMsgBox(const QString& text, const QString& title, bool, int buttons) {
    return msgBox(text, buttons + vbExclamation + vbDefaultButton2, titleOr(title, "WARNING")) == vbOK;
}
void g_errorMsgBox(const QString& text, const QString& title, bool) { msgBox(text, vbCritical, titleOr(title, "ERROR")); }
void g_errMsgBox(const QString& text, const QString& title) { msgBox(text, vbCritical, titleOr(title, "ERROR")); }
void g_informationMsgBox2(const QString& text, const QString& title, bool, int) {
    msgBox(text, vbInformation, titleOr(title, "INFORMATION"));
}

}  // namespace modMsgBox
