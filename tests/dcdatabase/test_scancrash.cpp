// The header scan's one write: killed at any moment it leaves the symbol table of the last
// scan or of this one, and its report is written once the database is no longer held.
#include "dcdatabase/modscanheaderfiles.h"

#include "crashkill.h"
#include "dao/dbfiles.h"
#include "scanfixture.h"

#include <QFile>

namespace {
using modScanHeaderFiles::g_scanHeaderFiles;

// Notes for every line whether a write transaction of the database is open: its journal
// exists exactly that long.
class JournalWatchingLog : public dcfixture::RecordingLog {
public:
    explicit JournalWatchingLog(const QString& db) : m_journal(db + QStringLiteral("-journal")) {}
    void addMessage(const QString& text) override {
        RecordingLog::addMessage(text);
        if (QFile::exists(m_journal)) linesInTransaction << text;
    }
    QStringList linesInTransaction;

private:
    QString m_journal;
};
}  // namespace

class ScanCrash : public ScanTest {
public:
    void writeSymbols(const char* prefix, int n) {
        QString vars, pars;
        for (int i = 0; i < n; ++i) {
            vars += QStringLiteral("  %1_VAR_%2,  // 110.1; variable %2\n").arg(QLatin1String(prefix)).arg(i);
            pars += QStringLiteral("  PAR_%1_%2,  // 130.1; parameter %2\n").arg(QLatin1String(prefix)).arg(i);
        }
        writeHeaders(QStringLiteral("// scanStart: global constants\n#define PARAMETER_OFFSET_1024 0\n// scanEnd\n"),
                     QStringLiteral("// scanStart: global constants\n#define LIB_X 1\n// scanEnd\n"),
                     QStringLiteral("// scanStart: global variables\ntypedef enum\n{\n  FIRST_VARIABLE = 2000,\n") + vars +
                         QStringLiteral("  LAST_VARIABLE\n} tVar;\n// scanEnd\n"
                                        "// scanStart: global parameters\ntypedef enum\n{\n  PARA_FIRST_ENUM = 300,\n") +
                         pars + QStringLiteral("  PARA_LAST_ENUM\n} tPar;\n// scanEnd\n"));
    }
    QString state() const {
        const auto r = rows(QStringLiteral("SELECT count(*) AS c, min(name) AS lo, max(name) AS hi FROM sourceScan"));
        return r.front().value(QStringLiteral("c")).toString() + QLatin1Char('/') + r.front().value(QStringLiteral("lo")).toString() +
               QLatin1Char('/') + r.front().value(QStringLiteral("hi")).toString();
    }
};

TEST_F(ScanCrash, TheParserAndTheReportWriteOutsideTheTransaction) {
    writeSymbols("A", 20);
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    writeSymbols("B", 20);
    JournalWatchingLog watching(db);
    ASSERT_TRUE(g_scanHeaderFiles(watching, db, QStringLiteral("sourceScan")));
    ASSERT_TRUE(watching.lines.contains(QStringLiteral("      40 items renamed"))) << watching.lines.join(QLatin1Char('\n')).toStdString();
    // The parser's lines come before the write, the report after it: only the comparison's
    // heading stands inside.
    EXPECT_EQ(watching.linesInTransaction, QStringList({QStringLiteral("   Compare scan with previous scanned symbols")}));
}

TEST_F(ScanCrash, CrashTheScanKilledAtAnyMomentLeavesTheLastScanOrThisOne) {
    writeSymbols("A", 600);
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    const QByteArray before = testsupport::readFile(db);
    const QString oldState = state();
    writeSymbols("B", 900);
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    const QString newState = state();
    ASSERT_NE(oldState, newState);

    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        dao::RemoveDatabaseFile(db);
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before);
    };
    runs.write = [&] { g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")); };
    runs.check = [&](int run) {
        // The next open plays a killed run's journal back, as the program's next start does.
        EXPECT_EQ(dao::IntegrityProblem(db), QString()) << "run " << run;
        const QString s = state();
        EXPECT_TRUE(s == oldState || s == newState) << "run " << run << ": " << s.toStdString();
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}
