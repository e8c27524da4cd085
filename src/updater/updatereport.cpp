// The update report: one block per run, appended to the report file.
#include "updater/updaterun.h"
#include "updater/updatetime.h"
#include "updater/updatewindow.h"

#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "services/wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>

namespace {
QString reportName() { return modGlobal::g_toolTitle + QStringLiteral(" Report.txt"); }

bool folderWritable(const QString& dir) {
    const QFileInfo report(QDir(dir).filePath(reportName()));
    if (report.exists()) return report.isWritable();
    const QFileInfo folder(dir);
    return !dir.isEmpty() && folder.isDir() && folder.isWritable();
}
}  // namespace

QString UpdateRun::reportPath(const QString& programDir) {
    const QString dir = folderWritable(programDir) ? programDir : modGlobal::g_configDir;
    return QDir(dir).filePath(reportName());
}

void UpdateRun::programEnds() {
    if (!m_reportWritten && !m_finished && !m_updateFailed) {
        addMessageUpdater(QStringLiteral("  Update failed: the program ended before the update was done"), -1);
        m_updateFailed = true;
    }
    writeReport();
}

void UpdateRun::writeReport() {
    if (m_reportWritten) return;
    trap("frmMain", "writeReport", [&] {
        const QString programDir = updateModulesLink::get().programDir();
        const QString path = reportPath(programDir);
        if (QFileInfo(path).dir() != QDir(programDir))
            addMessageUpdater(QStringLiteral("  Report written to ") + QDir::toNativeSeparators(path), -1);

        QStringList lines(m_reportLines.begin(), m_reportLines.end());
        if (m_updateFailed) {
            lines << QStringLiteral("KELB-3817 Software update failed. Find more details in the report below.") << QString()
                  << QStringLiteral("------------------------------------- Report Details  -------------------------------------");
            for (int i = 0; i < m_w.lstMessageUpdater->count(); ++i) lines << m_w.lstMessageUpdater->item(i)->text();
            lines << QString();
        } else if (m_finished && m_updateNotNecessary) {
            lines << QStringLiteral("KELB-3817 Software update was not necessary.") << QString();
        } else if (m_finished && !m_updateCanceled) {
            lines << QStringLiteral("KELB-3817 Software is successfully updated.") << QString();
        } else {
            // Canceled at the update prompt, or left before the run reached its end.
            lines << QStringLiteral("KELB-3817 Software update was canceled by the user!") << QStringLiteral("Software is not updated!")
                  << QString();
        }
        lines << QStringLiteral("------------------- KELB-3817 Update Tool terminated  ") + updateTime::nowText() +
                     QStringLiteral(" -------------------")
              << QString();

        QFile file(path);
        const bool created = !file.exists();
        if (!file.open(QIODevice::Append))
            throw RuntimeError(75, QStringLiteral("Path/File access error: ") + QDir::toNativeSeparators(path));
        const QByteArray bytes = modStringFct::toAnsi(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        // The block must be on the disk before the run counts its report as written.
        QString reason;
        if (file.write(bytes) != bytes.size() || !file.flush()) reason = file.errorString();
        else if (wholeFile::syncOpenFile(file.handle(), &reason) && created)
            wholeFile::syncFolderOf(path, &reason);  // a new file's name must reach the disk too
        if (!reason.isEmpty())
            throw RuntimeError(57, QStringLiteral("Device I/O error: ") + QDir::toNativeSeparators(path) +
                                       QStringLiteral(": ") + reason);
        file.close();
        m_reportFile = path;
        m_reportWritten = true;
    });
}
