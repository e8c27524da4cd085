// The data-container template: a copy of the project's newest data-container database in
// which the columns that the image's read pass restores hold placeholders, saved as
// "DC_Template_Build_{000}.mdb" for its build. It logs into the main window.
#include "dcbuilder/commandlog.h"
#include "dcbuilder/dcnumber.h"
#include "dcbuilder/dctemplate.h"
#include "dcbuilder/frmdcreconstruction.h"
#include "dcbuilder/mainlog.h"
#include "dcbuilder/openset.h"

#include "dao/transaction.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QDir>
#include <QFile>
#include <QListWidget>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcReconstruction";

const QString kFailed = QStringLiteral("DC Template creation failed: ");

// The placeholders and the change marks of every row of an enumeration set; the columns
// of a row come from columnsOf(its class).
template <class ColumnsOf>
void markRows(dao::Recordset& rows, ColumnsOf columnsOf, bool online) {
    for (rows.MoveFirst(); !rows.eof(); rows.MoveNext()) {
        const QString cls = rows.Value(QStringLiteral("class")).toString();
        rows.Edit();
        for (const QString& column : columnsOf(cls)) rows.SetValue(column, dcTemplate::placeholder(column));
        if (online) rows.SetValue(QStringLiteral("onlineValue"), 0);
        rows.SetValue(QStringLiteral("upDate"), 1);
        rows.Update();
    }
}
}  // namespace

void frmDcReconstruction::g_createDCTemplate(const QString& directory) {
    if (!m_loaded) Form_Load();
    LogWindow& log = frmMainLogLink::get();
    trap(kObject, "g_createDCTemplate", [&] {
        log.addMessage(commandLog::opening(QStringLiteral("CREATE DC TEMPLATE "), 63));
        const QString source = newestDataContainer(directory);
        if (source.isEmpty()) {
            log.addMessage(kFailed + QStringLiteral("no Data Container file in current project."));
            log.addMessage(commandLog::closing());
            frmMessage2::instance().errorMsgBox(
                QStringLiteral("DC Template creation failed because there is no DataContainer file in current project ") +
                    modGlobal::g_toolTitle + QStringLiteral("."),
                QString(), false, -1);
            return;
        }
        log.addMessage(QStringLiteral("Creating DataContainer Template from File: \r") + source);
        createTemplate(source, log);
        log.addMessage(commandLog::closing());
    });
    unload();
}

QString frmDcReconstruction::newestDataContainer(const QString& directory) {
    const QDir dir(directory);
    for (const QString& pattern : {QStringLiteral("*-PXM-DC-???.mdb"), QStringLiteral("-PXM-DC*.MDB")}) {
        filDCTemplate->clear();
        if (!directory.isEmpty())
            filDCTemplate->addItems(dir.entryList({modGlobal::g_toolTitle + pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase));
        if (filDCTemplate->count() > 0) {
            filDCTemplate->setCurrentRow(filDCTemplate->count() - 1);
            return modFileFct::g_fullName(directory, filDCTemplate->currentItem()->text());
        }
    }
    return QString();
}

bool frmDcReconstruction::createTemplate(const QString& source, LogWindow& log) {
    const QString templates = dcTemplate::g_templateDirectory();
    const dcTemplate::WorkingFile workingCopy{templates + QStringLiteral("temp.mdb")};
    if (!QDir().mkpath(templates) || !dcTemplate::replaceFile(source, workingCopy.path)) {
        log.addMessage(kFailed + sprintf("could not copy {*} to {*}", source, workingCopy.path));
        return false;
    }
    const std::optional<QString> build = writePlaceholders(workingCopy.path, log);
    if (!build) return false;

    const QString templ = templates + dcTemplate::templateFileName(build->toLongLong());
    if (QFile::exists(templ) &&
        !frmMessage2::instance().questionMsgBox(QStringLiteral("The DataContainer template for build ") + *build +
                                                    QStringLiteral(" already exists. Do you want to replace it? "),
                                                QString(), QStringLiteral("Yes"), QStringLiteral("No"), false)) {
        log.addMessage(QStringLiteral("DataContainer Template creation cancelled."));
        return false;
    }
    if (!dcTemplate::replaceFile(workingCopy.path, templ)) {
        log.addMessage(kFailed + QStringLiteral("could not write ") + templ);
        return false;
    }
    log.addMessage(QStringLiteral("DataContainer Template created for Build No: ") + *build);
    return true;
}

std::optional<QString> frmDcReconstruction::writePlaceholders(const QString& workingCopy, LogWindow& log) {
    OpenSet parameterSteps, variableSteps, alarmSteps, dcEnums, alarmEnums;
    const bool open =
        parameterSteps.open(workingCopy, sprintf("SELECT * FROM {*} WHERE CLASS = 'PARAMETER' ", QStringLiteral("dcBinFile"))) &&
        variableSteps.open(workingCopy, sprintf("SELECT * FROM {*} WHERE CLASS = 'VARIABLE' ", QStringLiteral("dcBinFile"))) &&
        alarmSteps.open(workingCopy, QStringLiteral("Select * from alarmBinFile")) &&
        dcEnums.open(workingCopy, sprintf("Select * from {*} WHERE id>=0", QStringLiteral("dcEnums"))) &&
        alarmEnums.open(workingCopy, sprintf("Select * from {*} WHERE id>=0", QStringLiteral("alarmEnums")));
    if (!open) {
        log.addMessage(kFailed + QStringLiteral("could not open source Database"));
        return std::nullopt;
    }
    // The build names the template; without one no template could ever be found.
    dcEnums.rs->FindFirst(QStringLiteral("name=?"), {modGlobal::g_getSymbolName(QStringLiteral("DC_SWINFO_BUILD"))});
    const std::optional<qint32> build =
        dcEnums.rs->NoMatch() ? std::nullopt : dcNumber::whole32(dcEnums.rs->Value(QStringLiteral("value")));
    if (!build || *build < 0) {
        log.addMessage(kFailed + QStringLiteral("no build number in the Data Container file."));
        return std::nullopt;
    }
    const bool written = trap(kObject, "g_createDCTemplate", [&] {
        const QStringList parameters = dcTemplate::restoredColumns(*parameterSteps.rs);
        const QStringList variables = dcTemplate::restoredColumns(*variableSteps.rs);
        const QStringList alarms = dcTemplate::restoredColumns(*alarmSteps.rs);
        // The read pass takes a record by its class, so its class chooses the step rows
        // (parameters have ids below 2048, variables from 2048 on).
        auto ofClass = [&](const QString& cls) {
            if (cls.compare(QLatin1String("PARAMETER"), Qt::CaseInsensitive) == 0) return parameters;
            if (cls.compare(QLatin1String("VARIABLE"), Qt::CaseInsensitive) == 0) return variables;
            return QStringList();
        };
        // One commit for all rows, not one per row.
        dao::Transaction write(*dcEnums.db);
        markRows(*dcEnums.rs, ofClass, true);
        markRows(*alarmEnums.rs, [&](const QString&) { return alarms; }, false);
        write.release();
    });
    if (!written) {
        log.addMessage(kFailed + QStringLiteral("could not write the placeholders."));
        return std::nullopt;
    }
    return sprintf("{000}", *build);
}
