#pragma once
// The builder window's log, which the alarm-index build writes into. The builder window
// registers itself here when it is created (a test registers a fake); until then the
// lines go nowhere.
#include "dcdatabase/logwindow.h"
#include "mainwindow/link.h"

class NoLogWindow : public LogWindow {
public:
    void addMessage(const QString&) override {}
    void updateProgress(float, bool) override {}
};

using frmDcBuilderLogLink = Link<LogWindow, NoLogWindow, struct frmDcBuilderLogTag>;
