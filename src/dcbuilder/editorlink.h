#pragma once
// What the builder uses of the data-container table editor: it opens the editor on its
// working copy for one kind of rows and learns whether anything was changed.
#include "services/link.h"

#include <QString>

class DcEditorLink {
public:
    virtual ~DcEditorLink() = default;
    // frmEditDC.g_showForm(db, kind): kind is "PARAMETER", "VARIABLE" or "ALARM"; true
    // when the engineer changed the table.
    virtual bool g_showForm(const QString& dbName, const QString& kind) = 0;
};

// The program's own: the editor window frmEditDC.
class DcEditorWindow : public DcEditorLink {
public:
    bool g_showForm(const QString& dbName, const QString& kind) override;
};

using dcEditorLink = Link<DcEditorLink, DcEditorWindow>;
