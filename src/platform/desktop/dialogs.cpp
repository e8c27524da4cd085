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
Answerer& answerer() {
    static Answerer a;
    return a;
}

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

void setAnswerer(Answerer a) { answerer() = std::move(a); }
bool hasAnswerer() { return static_cast<bool>(answerer()); }

int cautiousButton(int style) {
    switch (style & 7) {
    case vbOKCancel: case vbYesNoCancel: case vbRetryCancel: return vbCancel;
    case vbAbortRetryIgnore: return vbAbort;
    case vbYesNo: return vbNo;
    default: return vbOK;
    }
}

int msgBox(const QString& prompt, int style, const QString& title) {
    const QString caption = captionOf(title);
    if (answerer()) {
        Request r = request(Kind::Message, caption, prompt);
        r.style = style;
        return answerer()(r).button;
    }
    QMessageBox box;
    box.setWindowTitle(caption);
    box.setText(prompt);
    switch (style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const auto specs = buttonsFor(style);
    std::vector<QAbstractButton*> buttons;
    for (const auto& s : specs) buttons.push_back(box.addButton(s.qt));
    const int def = (style >> 8) & 3;
    if (def < static_cast<int>(buttons.size())) box.setDefaultButton(static_cast<QPushButton*>(buttons[def]));
    // Closing by the title bar gives the cautious answer, never an earlier or default Yes.
    const int cautious = cautiousButton(style);
    for (size_t i = 0; i < specs.size(); ++i)
        if (specs[i].vb == cautious) box.setEscapeButton(buttons[i]);
    if (style & (vbSystemModal | vbMsgBoxTopMost)) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    {
        const TimeService::WaitScope wait;
        box.exec();
    }
    QAbstractButton* clicked = box.clickedButton();
    for (size_t i = 0; i < specs.size(); ++i)
        if (buttons[i] == clicked) return specs[i].vb;
    return cautious;
}

QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    const QString caption = captionOf(title);
    if (answerer()) {
        Request r = request(Kind::Input, caption, prompt);
        r.defaultText = defaultText;
        return answerer()(r).text;
    }
    bool ok = false;
    const TimeService::WaitScope wait;
    QString s = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? s : QString();
}

static QString fileRequest(Kind kind, const QString& title, const QString& dir, const QString& name, const QString& filter) {
    Request r = request(kind, title);
    r.directory = dir;
    r.defaultText = name;
    r.filter = filter;
    return answerer()(r).text;
}

QString getOpenFileName(const QString& title, const QString& directory, const QString& filter) {
    if (answerer()) return fileRequest(Kind::OpenFile, title, directory, QString(), filter);
    const TimeService::WaitScope wait;
    return QFileDialog::getOpenFileName(nullptr, title, directory, filter);
}

QString getSaveFileName(const QString& title, const QString& suggestedPath, const QString& filter) {
    if (answerer()) return fileRequest(Kind::SaveFile, title, QString(), suggestedPath, filter);
    const TimeService::WaitScope wait;
    return QFileDialog::getSaveFileName(nullptr, title, suggestedPath, filter);
}

QString getExistingDirectory(const QString& title, const QString& directory) {
    if (answerer()) return fileRequest(Kind::Directory, title, directory, QString(), QString());
    const TimeService::WaitScope wait;
    return QFileDialog::getExistingDirectory(nullptr, title, directory);
}

int showModal(QDialog* form) {
    if (answerer()) {
        Request r = request(Kind::Form, form->windowTitle(), form->objectName());
        r.form = form;
        const Answer a = answerer()(r);
        return a.button == -1 ? form->result() : a.button;
    }
    const TimeService::WaitScope wait;
    return form->exec();
}

}  // namespace Dialogs
