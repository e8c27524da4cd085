// REPORT: the selected version's tables copied into its report database and shown as a PDF
// in the desktop's viewer.
#include "dcbuilder/dcreport.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/logrules.h"

#include "desktop/desktopservices.h"
#include "desktop/timeservice.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modstringfct.h"

#include <QLineEdit>
#include <QListWidget>

using modStringFct::sprintf;

namespace {
constexpr qint64 kEventsMs = 150;
}  // namespace

void frmDcBuilder::cmdReport_Click() {
    // A report of a large container takes seconds: the window keeps painting its bar and
    // takes no other command meanwhile.
    CommandLock lock(*this);
    addMessage(builderLog::openingLine(QStringLiteral("REPORT ")));
    QString pdf;
    const bool written = trap("frmDcBuilder", "cmdReport_Click", [&] {
        const QListWidgetItem* selected = filSourceDC->currentItem();
        if (!selected) throw RuntimeError(53, QStringLiteral("File not found"));
        const QString db = modFileFct::g_fullName(txtFileDirectory->text(), selected->text());
        addMessage(QStringLiteral("Produce report out of ") + db);
        const QString base = db.left(db.size() - 3);
        const QString rep = base + QStringLiteral("rep");
        pdf = base + QStringLiteral("pdf");
        // Remembered before it is made, so that even a half-made one goes when the window closes.
        if (!m_reports.contains(rep)) m_reports << rep;
        dcReport::fill(db, rep);
        // The event loop runs a few times a second, not on every page: each turn repaints
        // the window, which costs more than a page.
        qint64 handedOver = TimeService::elapsedMs() - kEventsMs;
        dcReport::writePdf(rep, pdf, modFileFct::g_fileName(db), [&](float share) {
            updateProgress(share, false);
            const qint64 now = TimeService::elapsedMs();
            if (now - handedOver < kEventsMs) return;
            handedOver = now;
            TimeService::doEvents();
        });
        addMessage(QStringLiteral("Debug: \"") + pdf + QLatin1Char('"'));
    });
    updateProgress(0, false);
    // A report that could not be written was told by the error handler: nothing to show.
    if (!written) return;
    lock.release();
    trap("frmDcBuilder", "cmdReport_Click", [&] {
        if (!desktop::openDocument(pdf)) addMessage(sprintf("   {*} could not be shown: no viewer for PDF files!", pdf));
    });
    addMessage(builderLog::closingLine());
}
