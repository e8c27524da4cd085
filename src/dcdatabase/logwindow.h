#pragma once
// The log and progress of the tool windows that long data-container operations report
// into. The builder window and the reconstruction window offer it; the header scan also
// needs the window's expression evaluator, `sc`. A test hands in a fake.
#include "scriptcontrol/scriptcontrol.h"

#include <QString>
#include <QStringList>

class LogWindow {
public:
    virtual ~LogWindow() = default;
    // Appends the text to the window's message list, one list line per CR-separated piece.
    virtual void addMessage(const QString& text) = 0;
    // Sets the progress bar (0..1, clamped); relative adds the value to the bar's position.
    virtual void updateProgress(float value, bool relative = false) = 0;
};

class ScanLogWindow : public LogWindow {
public:
    // The evaluator of header-file expressions.
    virtual scriptcontrol::ScriptControl& sc() = 0;
};

// What the tool windows share of these two operations, so that each window only shows it.
namespace logWindow {
// The list lines of an addMessage text: the pieces between carriage returns (a line feed
// after a CR stays at the start of the next piece); an empty text gives none.
QStringList messageLines(QString text);
// The bar's new position: value, plus the current position when relative, held in 0..1.
float progressValue(float current, float value, bool relative);
}  // namespace logWindow
