#pragma once
// What the main window uses of the data-container builder and reconstruction windows.
#include "services/link.h"
#include "mainwindow/windowlink.h"

#include <QString>

class DcBuilderLink : public WindowLink {
public:
    // frmDcBuilder.g_show(fileDirectory_): finds the newest data-container database of the
    // program-file directory ("DataContainer {*} not available!" when there is none), makes
    // its working copy, upgrades it and shows the builder.
    virtual void g_show(const QString& fileDirectory) = 0;
    // A scan or the report is under way: it serves the event loop, and the program must
    // not end beneath it.
    virtual bool commandRunning() const = 0;
    // isLoaded/unload: the exit procedure closes the builder second; its unload settles
    // the working copy (a changed copy becomes the next version, an unchanged one is
    // deleted) and deletes the "*.rep" report databases of its directory.
};

// The program's own: the builder window, made on its first use.
class DcBuilderWindow : public DcBuilderLink {
public:
    void g_show(const QString& fileDirectory) override;
    bool commandRunning() const override;
    bool isLoaded() const override;
    void unload() override;
};

class DcReconstructionLink : public WindowLink {
public:
    // frmDcReconstruction.g_show: fills the window (directory, proposed "-Upload.mdb"
    // result) and shows it; without "PXM_DATA.S19" in the upload folder it logs
    // "Cannot Reconstruct DataContainter: S19 file has to be uploaded first!".
    virtual void g_show() = 0;
    // frmDcReconstruction.g_createDCTemplate(programFileDir): builds a data-container
    // template database from the project's data-container database in that directory.
    virtual void g_createDCTemplate(QString& programFileDir) = 0;
    // isLoaded/unload: the exit procedure closes the reconstruction window after the builder.
};

// The program's own: the reconstruction window, made on its first use.
class DcReconstructionWindow : public DcReconstructionLink {
public:
    void g_show() override;
    void g_createDCTemplate(QString& programFileDir) override;
    bool isLoaded() const override;
    void unload() override;
};

using frmDcBuilderLink = Link<DcBuilderLink, DcBuilderWindow>;
using frmDcReconstructionLink = Link<DcReconstructionLink, DcReconstructionWindow>;
