#pragma once
// The log and progress contract of the data-container tool windows: the binary-image walk
// and the scans report through whatever window they are handed.
#include <QString>

class DcLogWindow {
public:
    virtual ~DcLogWindow() = default;
    // Appends the text to the window's log, one list line per carriage return.
    virtual void addMessage(const QString& text) = 0;
    // Moves the progress bar (range 0 to 1); relative adds to the current value.
    virtual void updateProgress(float value, bool relative = false) = 0;
};
