#pragma once
// A log window for tests: records every line and follows the progress bar as the tool
// windows do (relative steps added, the result clamped to 0..1).
#include "dcdatabase/logwindow.h"

#include <QStringList>
#include <algorithm>

namespace dcfixture {

class RecordingLog : public ScanLogWindow {
public:
    void addMessage(const QString& text) override { lines << text; }
    void updateProgress(float value, bool relative = false) override {
        if (relative) value += progress;
        progress = std::clamp(value, 0.0f, 1.0f);
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
