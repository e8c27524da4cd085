#include "desktop/dialogs.h"

#include "desktop/timeservice.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace Dialogs {
namespace {
struct ButtonSpec {
    QMessageBox::StandardButton qt;
    int vb;
};

std::vector<ButtonSpec> buttonsFor(int style) {
    switch (style & 7) {
    case vbOKCancel: return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
    case vbAbortRetryIgnore: return {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
    case vbYesNoCancel: return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
    case vbYesNo: return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
    case vbRetryCancel: return {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
    default: return {{QMessageBox::Ok, vbOK}};
    }
}

// A box without a title of its own shows the application's.
QString captionOf(const QString& title) { return title.isEmpty() ? QApplication::applicationName() : title; }

Request request(Kind kind, const QString& title, const QString& text = QString()) {
    Request r;
    r.kind = kind;
    r.title = title;
    r.text = text;
    return r;
}
}  // namespace

int cautiousButton(int style) {
    switch (style & 7) {
    case vbOKCancel: case vbYesNoCancel: case vbRetryCancel: return vbCancel;
    case vbAbortRetryIgnore: return vbAbort;
    case vbYesNo: return vbNo;
    default: return vbOK;
    }
}

// The real message box; its buttons answer with their VB codes.
static int messageBoxButton(const Request& r) {
    QMessageBox box;
    box.setWindowTitle(r.title);
    box.setText(r.text);
    switch (r.style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const auto specs = buttonsFor(r.style);
    std::vector<QAbstractButton*> buttons;
    for (const auto& s : specs) buttons.push_back(box.addButton(s.qt));
    const int def = (r.style >> 8) & 3;
    if (def < static_cast<int>(buttons.size())) box.setDefaultButton(static_cast<QPushButton*>(buttons[def]));
    // Closing by the title bar gives the cautious answer, never an earlier or default Yes.
    const int cautious = cautiousButton(r.style);
    for (size_t i = 0; i < specs.size(); ++i)
        if (specs[i].vb == cautious) box.setEscapeButton(buttons[i]);
    if (r.style & (vbSystemModal | vbMsgBoxTopMost)) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (size_t i = 0; i < specs.size(); ++i)
        if (buttons[i] == clicked) return specs[i].vb;
    return cautious;
}

Answer ShownDialogs::answer(const Request& r) {
    // The engineer's answer is awaited in a nested event loop: ticks that run meanwhile
    // know they run inside a command.
    const TimeService::WaitScope wait;
    Answer a;
    switch (r.kind) {
    case Kind::Message: a.button = messageBoxButton(r); break;
    case Kind::Input: {
        bool ok = false;
        const QString s = QInputDialog::getText(nullptr, r.title, r.text, QLineEdit::Normal, r.defaultText, &ok);
        if (ok) a.text = s;
        break;
    }
    case Kind::OpenFile: a.text = QFileDialog::getOpenFileName(nullptr, r.title, r.directory, r.filter); break;
    case Kind::SaveFile: a.text = QFileDialog::getSaveFileName(nullptr, r.title, r.defaultText, r.filter); break;
    case Kind::Directory: a.text = QFileDialog::getExistingDirectory(nullptr, r.title, r.directory); break;
    case Kind::Form: a.button = r.form->exec(); break;
    }
    return a;
}

int msgBox(const QString& prompt, int style, const QString& title) {
    Request r = request(Kind::Message, captionOf(title), prompt);
    r.style = style;
    return answererLink::get().answer(r).button;
}

QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    Request r = request(Kind::Input, captionOf(title), prompt);
    r.defaultText = defaultText;
    return answererLink::get().answer(r).text;
}

static QString fileRequest(Kind kind, const QString& title, const QString& dir, const QString& name, const QString& filter) {
    Request r = request(kind, title);
    r.directory = dir;
    r.defaultText = name;
    r.filter = filter;
    return answererLink::get().answer(r).text;
}

QString getOpenFileName(const QString& title, const QString& directory, const QString& filter) {
    return fileRequest(Kind::OpenFile, title, directory, QString(), filter);
}

QString getSaveFileName(const QString& title, const QString& suggestedPath, const QString& filter) {
    return fileRequest(Kind::SaveFile, title, QString(), suggestedPath, filter);
}

QString getExistingDirectory(const QString& title, const QString& directory) {
    return fileRequest(Kind::Directory, title, directory, QString(), QString());
}

int showModal(QDialog* form) {
    Request r = request(Kind::Form, form->windowTitle(), form->objectName());
    r.form = form;
    const Answer a = answererLink::get().answer(r);
    return a.button == -1 ? form->result() : a.button;
}

}  // namespace Dialogs
