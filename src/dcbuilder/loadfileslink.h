#pragma once
// The main window's look-up of the load files in the `loadFiles` table, which the builder
// runs again after a build; the program's wiring installs the main window's.
#include "services/link.h"

#include <QString>

class LoadFilesLink {
public:
    virtual ~LoadFilesLink() = default;
    // g_checkFileExist(kind, quiet): binds the `loadFiles` rows of the module kind to the
    // section rows by their Tags: txtEmh Text and Tag := the file's path, txtVersion and
    // txtBuild := its date and time, "---" when the file is missing; every section box
    // ends unchecked. Logs "CHECK LOAD FILES ..." unless quiet.
    virtual void g_checkFileExist(const QString& kind, bool quiet) = 0;
};

// Until the wiring installs the main window's look-up: the rows keep what they show.
class LoadFilesStub : public LoadFilesLink {
public:
    void g_checkFileExist(const QString&, bool) override {}
};

using loadFilesLink = Link<LoadFilesLink, LoadFilesStub>;
