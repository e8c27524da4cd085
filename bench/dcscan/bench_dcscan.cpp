// Scans a generated header set of 20,000 symbols into a data-container database and prints
// the time and the time per symbol: the first scan into an empty table, then a rescan that
// compares every symbol with the previous scan, then the rebuild of dcEnums and alarmEnums.
// Goal: a scan under 2 s.
#include "dao/dao.h"
#include "dcdatabase/dctables.h"
#include "dcdatabase/modscanheaderfiles.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kConstants = 2000;
constexpr int kDelays = 1000;
constexpr int kVariables = 8000;
constexpr int kAlarms = 4000;
constexpr int kParameters = 5000;
constexpr int kSymbols = kConstants + kDelays + kVariables + kAlarms + kParameters;

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
                  QString p;
                  for (int i = 0; i < kParameters - 2; ++i) p += QStringLiteral("  PAR_P%1,\t// 200.%1; parameter\r\n").arg(i);
                  return p;
              }() +
              QStringLiteral("  PARA_LAST_ENUM\r\n} tPar;\r\n// scanEnd\r\n"));
}

template <class F>
double seconds(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void print(const char* what, double s) {
    std::printf("%-28s %8.1f ms  %7.2f us per symbol\n", what, s * 1e3, s * 1e6 / kSymbols);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
        return 1;
    }
    std::printf("sourceScan %d rows, dcEnums %d rows\n", rows, dcRows);
    return 0;
}
