// The scan commands: the header files of the module software, or a signal list, into the
// working copy; each completed scan is saved as a new version at once.
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/logrules.h"
#include "dcbuilder/modexcel.h"

#include "dcdatabase/modscanheaderfiles.h"
#include "desktop/dialogs.h"
#include "services/dbtransaction.h"
#include "services/errtrap.h"
#include "services/modstringfct.h"

#include <QPushButton>
#include <QTabBar>
#include <optional>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";
const QString kSourceScan = QStringLiteral("sourceScan");
const QString kSheets[] = {QStringLiteral("dcEnums"), QStringLiteral("alarmEnums")};
}  // namespace

void frmDcBuilder::cmdScanHeader_Click() {
    CommandLock lock(*this);
    addMessage(builderLog::openingLine(QStringLiteral("SCAN HEADER FILES ")));
    trap(kObject, "cmdScanHeader_Click", [&] {
        const QString db = m_tempDc;
        if (!modScanHeaderFiles::g_scanHeaderFiles(*this, db, kSourceScan)) return;
        modScanHeaderFiles::g_buildEnumTable(*this, db, QStringLiteral("dcEnums"), kSourceScan);
        modScanHeaderFiles::g_buildEnumTable(*this, db, QStringLiteral("alarmEnums"), kSourceScan);
        buildAlarmListIndexes(db);
        setSwInfos(db);
        setDcVersion(db);
        m_dcModified = true;
        closeTempDc();
        createTempDc();
    });
    addMessage(builderLog::closingLine());
}

void frmDcBuilder::cmdScanSignalList_Click() {
    const QString file =
        Dialogs::getOpenFileName(QStringLiteral("Choose Signal-List"), QString(), QStringLiteral("*.xls* (*.xls*)"));
    if (file.isEmpty()) return;  // cancelled: nothing logged, nothing changed
    CommandLock lock(*this);
    addMessage(builderLog::openingLine(QStringLiteral("SCAN SIGNAL LIST ")));
    trap(kObject, "cmdScanSignalList_Click", [&] {
        addMessage(sprintf("Scan Signal-List {*}", file));
        if (!signalListImported(file)) {
            addMessage(QStringLiteral("   Signal-List not imported -> DC unchanged, no new DC-Version!"));
            return;
        }
        buildAlarmListIndexes(m_tempDc);
        m_dcModified = true;
        closeTempDc();
        createTempDc();
    });
    addMessage(builderLog::closingLine());
}

bool frmDcBuilder::signalListImported(const QString& file) {
    modExcel::initiateExcel(*this);
    addMessage(sprintf("   Open Excel {*}", file));
    bool ok = modExcel::openExcelForm(file, true, QStringList(std::begin(kSheets), std::end(kSheets)));
    // Both sheets are checked before either table is touched.
    for (const QString& sheet : kSheets) {
        if (!ok) break;
        const QString problem = signalSheetProblem(m_tempDc, sheet);
        if (problem.isEmpty()) continue;
        addMessage(sprintf("   Scan Sheet {*}", sheet));
        addMessage(problem);
        ok = false;
    }
    {
        // Both sheets go in as one write: a sheet that fails leaves the other's table as it was.
        std::optional<modDataBase::WriteTransaction> write;
        ok = ok && trap(kObject, "signalListImported", [&] { write.emplace(m_tempDc); });
        for (const QString& sheet : kSheets) ok = ok && readExcelSheet(m_tempDc, sheet);
        ok = ok && trap(kObject, "signalListImported", [&] { write->release(); });
    }
    modExcel::closeExcelForm();
    modExcel::terminateExcel();
    return ok;
}
