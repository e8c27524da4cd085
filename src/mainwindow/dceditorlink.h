#pragma once
// What the main window uses of the data-container editor frmEditDC: the exit procedure
// closes it third, after the CAN master and the builder, when it is loaded.
#include "services/link.h"
#include "mainwindow/windowlink.h"

// The program's own: the editor window, when it was made.
class EditorWindow : public WindowLink {
public:
    bool isLoaded() const override;
    void unload() override;
};

using frmEditDCLink = Link<WindowLink, EditorWindow, struct frmEditDCTag>;
