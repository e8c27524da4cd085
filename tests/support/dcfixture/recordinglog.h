#pragma once
// A log window for tests: records every text as one line and follows the progress bar as
// the tool windows do.
#include "dcdatabase/logwindow.h"

#include <QStringList>

namespace dcfixture {

class RecordingLog : public ScanLogWindow {
public:
    void addMessage(const QString& text) override { lines << text; }
    void updateProgress(float value, bool relative = false) override {
        progress = logWindow::progressValue(progress, value, relative);
        ++progressCalls;
    }
    scriptcontrol::ScriptControl& sc() override { return m_sc; }

    QStringList lines;
    float progress = 0;
    int progressCalls = 0;

private:
    scriptcontrol::ScriptControl m_sc;
};

}  // namespace dcfixture
