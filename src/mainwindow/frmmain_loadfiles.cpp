// The load files: which file of the program-file directory each section row loads, as the
// configuration's `loadFiles` table names them, and the checks around that directory.
#include "mainwindow/frmmain.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"

#include "can/modapplicationmode.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

using namespace modGlobal;
using modStringFct::sprintf;

namespace {
const QString kMissing = QStringLiteral("---");

// The current date and time as the log lines end with it.
QString nowText() { return sprintf(QStringLiteral("{*}"), TimeService::now()); }

// A row's section number; a Tag that is no number offers no section.
int sectionOf(const QWidget* row) {
    bool ok = false;
    const int n = vbControls::tag(row).trimmed().toInt(&ok);
    return ok ? n : 0;
}

// The file at the path; else, as the file system the configuration was written for would
// find it, a file of the same folder whose name differs only in case; else the path.
QString existingFile(const QString& path) {
    const QFileInfo wanted(path);
    if (wanted.isFile()) return path;
    const QDir folder = wanted.absoluteDir();
    for (const QString& entry : folder.entryList(QDir::Files))
        if (entry.compare(wanted.fileName(), Qt::CaseInsensitive) == 0) return folder.filePath(entry);
    return path;
}

bool endsWithSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('\\')) || path.endsWith(QLatin1Char('/'));
}
QString withSeparator(const QString& path) { return endsWithSeparator(path) ? path : path + QDir::separator(); }

// The directory box's keys and its leaving reach the window's handlers. A change of
// window, a menu or a move of the focus by code is no leaving of the box; a leaving checks
// the folder only when it differs from the one checked last, so tabbing past the box keeps
// the rows the engineer ticked.
class FileDirectoryEvents : public QObject {
public:
    explicit FileDirectoryEvents(frmMain* w) : QObject(w), m_w(w) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            const auto* k = static_cast<QKeyEvent*>(e);
            const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
            m_w->txtFileDirectory_KeyDown(enter ? 13 : k->key(), (k->modifiers().toInt() >> 25) & 7);
        } else if (e->type() == QEvent::FocusOut) {
            const Qt::FocusReason r = static_cast<QFocusEvent*>(e)->reason();
            if (r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::MouseFocusReason ||
                r == Qt::ShortcutFocusReason) {
                if (m_w->fileDirectoryChanged()) {
                    bool cancel = false;
                    m_w->txtFileDirectory_Validate(cancel);
                }
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    frmMain* m_w;
};
}  // namespace

void frmMain::connectLoadFileControls() {
    txtFileDirectory->installEventFilter(new FileDirectoryEvents(this));
    connect(chkSectionNew, &QCheckBox::stateChanged, this, &frmMain::chkSectionNew_Click);
}

bool frmMain::fileDirectoryChanged() const {
    return withSeparator(txtFileDirectory->text()) != m_checkedDirectory;
}

void frmMain::lookUpLoadFiles(const QString& kind, bool quiet) {
    m_checkedDirectory = withSeparator(txtFileDirectory->text());
    trap("frmMain", "g_checkFileExist", [&] {
        if (!quiet) addMessage(QStringLiteral("CHECK LOAD FILES ") + QString(65, QLatin1Char('-')) + QLatin1Char(' ') + nowText());

        // The last row carries no section in any installation and is left as it is.
        for (int pos = 0; pos < sectionRows - 1; ++pos) {
            bool enable = true;
            if (pos == 2) enable = !g_forceFPGAdownload;
            // Bootloader 2 cannot be chosen on the M-Bus of a KELB installation.
            if (pos == 3) enable = !g_isMBusConnection || g_applicationType != modApplicationMode::appKELB;
            chkLoadSection[pos]->setEnabled(enable);
            vbCheck::setValue(chkLoadSection[pos], vbCheck::vbUnchecked);
            vbControls::setTag(txtEmh[pos], QString());
            txtVersion[pos]->setText(QString());
            txtBuild[pos]->setText(QString());
            txtEmh[pos]->setText(QString());
        }

        std::shared_ptr<dao::Database> db;
        std::shared_ptr<dao::Recordset> rs;
        // The kind is data of the query, not SQL.
        QString quotedKind = kind;
        quotedKind.replace(QLatin1Char('\''), QLatin1String("''"));
        const QString sql =
            sprintf(QStringLiteral("SELECT * FROM loadFiles WHERE module='{*}' AND fileType='OUT' ORDER BY section"), quotedKind);
        if (!modDataBase::g_iniRecordset(g_configDbPath, sql, db, rs, false, false, false)) {
            addMessage(QStringLiteral("   Error: Could not open ") + g_configDbPath);
            return;
        }

        const QLocale english = QLocale::c();
        for (; !rs->eof(); rs->MoveNext()) {
            const QString name = rs->Value(QStringLiteral("fileName")).toString();
            const int section = rs->Value(QStringLiteral("section")).toInt();
            const QString path = existingFile(modFileFct::g_fullName(txtFileDirectory->text(), name));
            int pos = -1;
            for (int p = 0; p < sectionRows && pos < 0; ++p)
                if (sectionOf(chkLoadSection[p]) == section) pos = p;
            if (pos < 0) continue;

            m_loadFileNames[pos] = name;
            m_loadFileExists[pos] = QFileInfo(path).isFile();
            const QString caption = chkLoadSection[pos]->text();
            if (m_loadFileExists[pos]) {
                const QDateTime modified = g_getFileDateLastModified(path);
                vbControls::setTag(txtEmh[pos], path);
                txtVersion[pos]->setText(english.toString(modified, QStringLiteral("MMM dd yyyy")));
                txtBuild[pos]->setText(modified.toString(QStringLiteral("HH:mm:ss")));
                txtEmh[pos]->setText(path);
                if (!quiet) addMessage(sprintf(QStringLiteral("   Section {*}: File {*} selected"), caption, path));
            } else {
                vbCheck::setValue(chkLoadSection[pos], vbCheck::vbUnchecked);
                addMessage(sprintf(QStringLiteral("   Section {*}: File {*} not found!"), caption, path));
                txtVersion[pos]->setText(kMissing);
                txtBuild[pos]->setText(kMissing);
                txtEmh[pos]->setText(kMissing);
                // A row that shows no file loads none, also after an earlier record of
                // the same section had found one.
                vbControls::setTag(txtEmh[pos], QString());
            }
        }
        rs->Close();
        if (!quiet) addMessage(QString(82, QLatin1Char('-')) + QLatin1Char(' ') + nowText());
    });
}

void frmMain::chkSectionNew_Click() {
    trap("frmMain", "chkSectionNew_Click", [&] {
        // A QTM or BZM module has no "new" sections: the box chooses only the file variant.
        if (g_qtmMode || g_bzmMode) return;
        static const char* const newTags[sectionRows] = {"6", "4", "9", "8", "-1"};
        static const char* const designTags[sectionRows] = {"6", "4", "7", "3", "-1"};
        const bool isNew = vbCheck::value(chkSectionNew) == vbCheck::vbChecked;
        for (int pos = 0; pos < sectionRows; ++pos)
            vbControls::setTag(chkLoadSection[pos], QString::fromLatin1(isNew ? newTags[pos] : designTags[pos]));
    });
}

void frmMain::txtFileDirectory_KeyDown(int KeyCode, int) {
    if (KeyCode != 13) return;
    bool cancel = false;
    txtFileDirectory_Validate(cancel);
}

void frmMain::txtFileDirectory_Validate(bool&) {
    trap("frmMain", "txtFileDirectory_Validate", [&] {
        txtFileDirectory->setText(withSeparator(txtFileDirectory->text()));
        m_checkedDirectory = txtFileDirectory->text();
        // An existing folder without a file in it is no program-file directory either.
        const QDir dir(txtFileDirectory->text());
        const bool anyFile = dir.exists() && !dir.entryList(QDir::Files).isEmpty();
        if (!anyFile) {
            modMsgBox::g_informationMsgBox(QStringLiteral("Directory doesn't exist!"));
            // Cleared first: a cleared box runs the section rules, which would unlock rows
            // that were locked before them.
            for (QCheckBox* row : chkLoadSection) vbCheck::setValue(row, vbCheck::vbUnchecked);
            for (QCheckBox* row : chkLoadSection) row->setEnabled(false);
            return;
        }
        g_checkFileExist(g_moduleKind, false);
    });
}

void frmMain::checkS19FileDate(bool& ok) {
    ok = false;
    trap("frmMain", "checkS19FileDate", [&] {
        QString name = modFileFct::g_fullName(txtFileDirectory->text(), g_toolTitle + QStringLiteral("-PXM-DC-???.mdb"));
        name = modFileFct::g_getDcName(name);
        name = modFileFct::g_getHighestFileVersion(name);
        const QDateTime mdbDate = g_getFileDateLastModified(name);
        const QDateTime s19Date = g_getFileDateLastModified(txtEmh[1]->text());
        if (mdbDate.secsTo(s19Date) < 0) {
            const QString format = QStringLiteral(
                "The datacontainer-S19-file is older then the newest datacontainer-mdb-file!\\n"
                "S19-File: {*}\\n"
                "MDB-File: {*}\\n"
                "Please check if the S19-file should be built first!\\n\\n"
                "Do you want to continue?");
            ok = modMsgBox::g_questionMsgBox(sprintf(format, s19Date, mdbDate), QString(), true);
        } else {
            ok = true;
        }
    });
}
