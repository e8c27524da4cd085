// REPORT: the selected version's tables copied into its report database and shown as a PDF
// in the desktop's viewer.
#include "dcbuilder/dcreport.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/logrules.h"

#include "desktop/desktopservices.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modstringfct.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>

using modStringFct::sprintf;

void frmDcBuilder::cmdReport_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool waiting = true;
    addMessage(builderLog::openingLine(QStringLiteral("REPORT ")));
    trap("frmDcBuilder", "cmdReport_Click", [&] {
        const QListWidgetItem* selected = filSourceDC->currentItem();
        if (!selected) throw RuntimeError(53, QStringLiteral("File not found"));
        const QString db = modFileFct::g_fullName(txtFileDirectory->text(), selected->text());
        addMessage(QStringLiteral("Produce report out of ") + db);
        const QString base = db.left(db.size() - 3);
        const QString rep = base + QStringLiteral("rep");
        const QString pdf = base + QStringLiteral("pdf");
        // Remembered before it is made, so that even a half-made one goes when the window closes.
        if (!m_reports.contains(rep)) m_reports << rep;
        dcReport::fill(db, rep);
        dcReport::writePdf(rep, pdf, modFileFct::g_fileName(db));
        addMessage(QStringLiteral("Debug: \"") + pdf + QLatin1Char('"'));
        QApplication::restoreOverrideCursor();
        waiting = false;
        if (!desktop::openDocument(pdf)) addMessage(sprintf("   {*} could not be shown: no viewer for PDF files!", pdf));
    });
    if (waiting) QApplication::restoreOverrideCursor();
    addMessage(builderLog::closingLine());
}
