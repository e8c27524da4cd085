// Scans a generated header set of 20,000 symbols into a data-container database, first
// silently (a log that only counts its lines): the first scan into an empty table, then a
// rescan that compares every symbol with the previous scan, then the rebuild of dcEnums
// and alarmEnums, each with its time per symbol.
// Then the engineer's road, through the builder window (offscreen) with its own log: its
// Scan Header command on the same headers, first scan and rescan, and its signal-list
// import of a workbook that fills both sheets from row 2 to row 10000, the last row the
// import reads; the file dialog is answered through the dialog seam. The last two lines
// give the slower run of each. Goal: each at most 2 s.
#include "builderwindow.h"
#include "dao/dao.h"
#include "dcbuilder/bintables.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcdatabase/dctables.h"
#include "dcdatabase/modscanheaderfiles.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <xlsxwriter.h>

namespace {

constexpr int kConstants = 2000;
constexpr int kDelays = 1000;
constexpr int kVariables = 8000;
constexpr int kAlarms = 4000;
constexpr int kParameters = 5000;
constexpr int kSymbols = kConstants + kDelays + kVariables + kAlarms + kParameters;
constexpr int kLastSheetRow = 10000;  // the last row the signal-list import reads

class QuietLog : public ScanLogWindow {
public:
    void addMessage(const QString& text) override { ++lines; }
    void updateProgress(float, bool) override {}
    scriptcontrol::ScriptControl& sc() override { return m_sc; }
    int lines = 0;

private:
    scriptcontrol::ScriptControl m_sc;
};

void write(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) std::exit(2);
    f.write(text.toLatin1());
}

QString enumeration(const char* section, const char* first, const char* last, const char* prefix, int count, int start) {
    QString t = QStringLiteral("// scanStart: %1\r\ntypedef enum\r\n{\r\n").arg(QLatin1String(section));
    if (first) t += QStringLiteral("  %1 = %2,\r\n").arg(QLatin1String(first)).arg(start);
    for (int i = 0; i < count - (first ? 2 : 1); ++i)
        t += QStringLiteral("  %1_%2,\t\t// %3.%4; symbol number %2\r\n").arg(QLatin1String(prefix)).arg(i).arg(100 + i % 50).arg(i);
    t += last ? QStringLiteral("  %1\r\n").arg(QLatin1String(last)) : QStringLiteral("  %1_END\r\n").arg(QLatin1String(prefix));
    return t + QStringLiteral("} tEnum;\r\n// scanEnd\r\n");
}

void writeHeaders(const QString& dir) {
    QString g = QStringLiteral("// scanStart: global constants\r\n#define APPL_DEVELOPER_NO 2042\r\n#define PARAMETER_OFFSET_1024 0\r\n");
    for (int i = 2; i < kConstants; ++i)
        g += i % 3 ? QStringLiteral("#define CONST_%1 (0x%2u << 2)\r\n").arg(i).arg(i, 0, 16)
                   : QStringLiteral("#define CONST_%1 CONST_%2 + (u16)%1\r\n").arg(i).arg(i - 1);
    write(dir + "/global.h", g + QStringLiteral("// scanEnd\r\n"));
    write(dir + "/library.h", enumeration("global on-off-delay", nullptr, nullptr, "DLY_ON", kDelays, 0));
    write(dir + "/dataContainer.h",
          enumeration("global variables", "FIRST_VARIABLE", "LAST_VARIABLE", "VAR", kVariables, 10000) +
              enumeration("alarms", "FIRST_ALARM", "LAST_ALARM", "AL", kAlarms, 30000) +
              QStringLiteral("// scanStart: global parameters\r\ntypedef enum\r\n{\r\n  PARA_FIRST_ENUM = 300,\r\n") +
              [] {
                  // The developer number's entry, as the builder writes it after a scan.
                  QString p = QStringLiteral("  PAR_SWINFO_DEVELOPER_NO,\t// 200.0; developer\r\n");
                  for (int i = 1; i < kParameters - 2; ++i) p += QStringLiteral("  PAR_P%1,\t// 200.%1; parameter\r\n").arg(i);
                  return p;
              }() +
              QStringLiteral("  PARA_LAST_ENUM\r\n} tPar;\r\n// scanEnd\r\n"));
}

using builderBench::seconds;

void print(const char* what, double s) {
    std::printf("%-28s %8.1f ms  %7.2f us per symbol\n", what, s * 1e3, s * 1e6 / kSymbols);
}

// The silent scans; false when they did not give every symbol.
bool silentScans() {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Bench-PXM-DC-001.mdb"));
    {
        auto d = dao::CreateDatabase(db);
        dcTables::g_createTables(*d);
        d->Close();
    }
    writeHeaders(dir.path());
    QuietLog log;
    bool ok = true;
    std::printf("%d symbols in three header files\n", kSymbols);
    print("first scan", seconds([&] { ok = modScanHeaderFiles::g_scanHeaderFiles(log, db, "sourceScan") && ok; }));
    print("rescan with comparison", seconds([&] { ok = modScanHeaderFiles::g_scanHeaderFiles(log, db, "sourceScan") && ok; }));
    print("rebuild dcEnums", seconds([&] { modScanHeaderFiles::g_buildEnumTable(log, db, "dcEnums", "sourceScan"); }));
    print("rebuild alarmEnums", seconds([&] { modScanHeaderFiles::g_buildEnumTable(log, db, "alarmEnums", "sourceScan"); }));
    auto d = dao::OpenDatabase(db, false, true);
    const int rows = d->OpenRecordset(QStringLiteral("SELECT * FROM sourceScan"))->RecordCount();
    const int dcRows = d->OpenRecordset(QStringLiteral("SELECT * FROM dcEnums"))->RecordCount();
    d->Close();
    if (!ok || rows != kSymbols) {
        std::fprintf(stderr, "scan failed: %d rows\n", rows);
        return false;
    }
    std::printf("sourceScan %d rows, dcEnums %d rows\n", rows, dcRows);
    return true;
}

// ---- The builder window's road ----

// A signal list with both sheets filled to the last row the import reads: the scanned
// variables and parameters, the scanned alarms, and past them names the database lacks.
void writeSignalList(const QString& path) {
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    const struct {
        const char* sheet;
        std::function<QString(int)> name;
    } sheets[] = {
        {"dcEnums", [](int i) { return i < kVariables - 2 ? QStringLiteral("VAR_%1").arg(i) : QStringLiteral("PAR_P%1").arg(i - kVariables + 3); }},
        {"alarmEnums", [](int i) { return i < kAlarms - 2 ? QStringLiteral("AL_%1").arg(i) : QStringLiteral("AL_NEW_%1").arg(i); }},
    };
    for (const auto& s : sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, s.sheet);
        const bool dc = s.sheet[0] == 'd';
        const char* columns[] = {"name", dc ? "minValue" : "criterion", dc ? "maxValue" : "producerMask", "comment"};
        for (int c = 0; c < 4; ++c) worksheet_write_string(ws, 0, lxw_col_t(c), columns[c], nullptr);
        for (int r = 1; r < kLastSheetRow; ++r) {
            worksheet_write_string(ws, lxw_row_t(r), 0, s.name(r - 1).toLatin1().constData(), nullptr);
            worksheet_write_number(ws, lxw_row_t(r), 1, r % 7, nullptr);
            worksheet_write_number(ws, lxw_row_t(r), 2, 100 + r % 50, nullptr);
            worksheet_write_string(ws, lxw_row_t(r), 3, QStringLiteral("signal of row %1").arg(r + 1).toLatin1().constData(), nullptr);
        }
    }
    if (workbook_close(wb) != LXW_NO_ERROR) std::exit(2);
}

// Runs one command of the window and lets the event loop show what it left; its seconds.
template <class F>
double command(F&& f) {
    return seconds([&] {
        f();
        QApplication::processEvents();
    });
}

bool hasLine(const QListWidget* list, const QString& line) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == line) return true;
    return false;
}

// The road through the builder window; false when a command did not complete.
bool builderRoad(double& scan, double& import) {
    QTemporaryDir dir;
    modGlobal::g_toolTitle = QStringLiteral("Bench");
    modGlobal::g_moduleKind = QStringLiteral("PXM");
    modGlobal::g_baseAdrDC = 0xC0000;
    builderBench::writeConfig(dir.path());
    builderBench::writeFirstVersion(dir.filePath(QStringLiteral("Bench-PXM-DC-001.mdb")));
    writeHeaders(dir.path());
    const QString book = dir.filePath(QStringLiteral("signals.xlsx"));
    writeSignalList(book);

    // The open-file dialog picks the workbook; any other box or error spoils the run.
    builderBench::Answerer bench("bench_dcscan");
    bench.file = book;

    frmDcBuilder& builder = frmDcBuilder::instance();
    builder.g_show(dir.path());
    const QString saved = QStringLiteral("Result saved in new DC-Version Bench-PXM-DC-%1.mdb");
    bool ok = builder.isLoaded();
    scan = 0;
    for (const char* run : {"first scan", "rescan"}) {
        builder.lstMessage->clear();
        const double s = command([&] { builder.cmdScanHeader_Click(); });
        std::printf("builder window, %-16s %8.1f ms  (%d log lines)\n", run, s * 1e3, builder.lstMessage->count());
        scan = std::max(scan, s);
    }
    ok = ok && hasLine(builder.lstMessage, saved.arg(QStringLiteral("003")));
    builder.lstMessage->clear();
    import = command([&] { builder.cmdScanSignalList_Click(); });
    std::printf("builder window, signal list  %8.1f ms  (%d log lines)\n", import * 1e3, builder.lstMessage->count());
    ok = ok && hasLine(builder.lstMessage, saved.arg(QStringLiteral("004")));
    builder.unload();
    modGlobal::g_rsAliasSymbolName.reset();
    if (!ok || !bench.quiet) std::fprintf(stderr, "bench_dcscan: a command of the builder window did not complete\n");
    return ok && bench.quiet;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!silentScans()) return 1;
    double scan = 0, import = 0;
    if (!builderRoad(scan, import)) return 1;
    std::printf("header scan of %d symbols through the builder window: %.2f s\n", kSymbols, scan);
    std::printf("signal-list import of %d rows through the builder window: %.2f s\n", kLastSheetRow, import);
    return 0;
}
