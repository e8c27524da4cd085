#pragma once
// The program's modal message boxes. Every expected failure, warning and question is
// shown through these; run-time errors go to the error handler instead.
#include <QString>

namespace modMsgBox {

bool g_questionMsgBox(const QString& text, const QString& title = QString(), bool hideWindow = false);
void g_informationMsgBox(const QString& text, const QString& title = QString(), bool hideWindow = false);
bool g_warningMsgBox(const QString& text, const QString& title, bool hideWindow, int buttons);
void g_errorMsgBox(const QString& text, const QString& title = QString(), bool hideWindow = false);
void g_errMsgBox(const QString& text, const QString& title = QString());
// Opens the program's own information window (the message window), modal or not,
// closing itself after the given time.
void g_informationMsgBox2(const QString& text, const QString& title, bool modal, int autoCloseMs);

}  // namespace modMsgBox
