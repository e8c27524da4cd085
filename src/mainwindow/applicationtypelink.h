#pragma once
// What the start-up and the update run use of the application type of module and file (modApplicationMode).
#include "services/link.h"
#include "services/modglobal.h"

#include <QString>

class ApplicationTypeLink {
public:
    virtual ~ApplicationTypeLink() = default;
    // g_checkAppFileType(file): 6 in QTM mode, 7 in BZM mode; otherwise the marker found in
    // the file's image ("KELB-3817" 0, "VEDR" 1, "DRVO" 2), 0 when none is found.
    virtual qint32 g_checkAppFileType(const QString& fileName) = 0;
    // g_getApplStartAddr(file): the 24-bit address of the S2 record on the file's second
    // line; 0 when the file cannot be opened.
    virtual qint32 g_getApplStartAddr(const QString& fileName) = 0;
    // g_checkAppConnectionType(): the type of the modules on the bus (4 when none answered).
    virtual qint32 g_checkAppConnectionType() = 0;
};

// The program's own: modApplicationMode.
class ApplicationTypeOfFiles : public ApplicationTypeLink {
public:
    qint32 g_checkAppFileType(const QString& fileName) override;
    qint32 g_getApplStartAddr(const QString& fileName) override;
    qint32 g_checkAppConnectionType() override;
};

using applicationTypeLink = Link<ApplicationTypeLink, ApplicationTypeOfFiles>;
