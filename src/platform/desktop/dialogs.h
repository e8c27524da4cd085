#pragma once
// The one seam for every modal display: message boxes, questions, input boxes, file and
// folder dialogs, and the modal showing of the program's own dialog forms. In the program
// it shows the window; a test installs an answerer that replies and records the text.
#include "link/link.h"

#include <QString>

class QDialog;
class QWidget;

namespace Dialogs {

// VB MsgBox styles and results, kept because callers combine and compare them.
enum : int {
    vbOKOnly = 0, vbOKCancel = 1, vbAbortRetryIgnore = 2, vbYesNoCancel = 3, vbYesNo = 4, vbRetryCancel = 5,
    vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64,
    vbDefaultButton1 = 0, vbDefaultButton2 = 256, vbDefaultButton3 = 512,
    vbApplicationModal = 0, vbSystemModal = 4096, vbMsgBoxSetForeground = 0x10000, vbMsgBoxTopMost = 0x40000,
};
enum : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

enum class Kind { Message, Input, OpenFile, SaveFile, Directory, Form };

struct Request {
    Kind kind = Kind::Message;
    QString title;
    QString text;          // prompt, or the form's object name for Kind::Form
    int style = 0;         // message-box style bits
    QString defaultText;   // input default, or the suggested file name
    QString directory;     // start folder of file dialogs
    QString filter;        // file-type filter of file dialogs
    QDialog* form = nullptr;
};

struct Answer {
    int button = 0;   // message box: vbOK...vbNo; form: the dialog's result code
    QString text;     // input text or chosen path; empty = cancelled
};

// Whoever answers the displays below: every one of them reaches it as a request.
class Answerer {
public:
    virtual ~Answerer() = default;
    virtual Answer answer(const Request& request) = 0;
};

// The real dialogs: shows the box, dialog or form and waits for the engineer. A form's
// answer is its result code.
class ShownDialogs : public Answerer {
public:
    Answer answer(const Request& request) override;
};

using answererLink = Link<Answerer, ShownDialogs>;

int msgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString());
// Returns the entered text; a cancelled box returns the empty text, as VB's InputBox did.
QString inputBox(const QString& prompt, const QString& title = QString(), const QString& defaultText = QString());
QString getOpenFileName(const QString& title, const QString& directory, const QString& filter);
QString getSaveFileName(const QString& title, const QString& suggestedPath, const QString& filter);
QString getExistingDirectory(const QString& title, const QString& directory);
// Shows one of the program's own forms modally and returns its result code. Under an
// answerer the form is built but not run: the answerer may work its controls, and the
// result is the answer's button (or the form's own result when the answer gives -1).
int showModal(QDialog* form);

// The default answer a test answerer gives when nothing is scripted: the box's cancel or
// no-like button, so an unexpected question never says yes.
int cautiousButton(int style);

}  // namespace Dialogs
