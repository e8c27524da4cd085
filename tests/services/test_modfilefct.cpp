#include "services/modfilefct.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace modFileFct;

namespace {

QString nat(const QString& p) { return QDir::toNativeSeparators(p); }
QString backslashed(QString p) { return p.replace(QLatin1Char('/'), QLatin1Char('\\')); }

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

}  // namespace

TEST(ModFileFct, PathHelperTable) {
    struct Case {
        const char* op;
        QString a, b;
        QString expected;  // written with "/"
    };
    const Case cases[] = {
        {"full", "C:\\dir\\", "f.mdb", "C:/dir/f.mdb"},
        {"full", "C:\\dir", "f.mdb", "C:/dir/f.mdb"},
        {"full", "/a/b/", "c", "/a/b/c"},
        {"full", "/a", "\\c", "/a/c"},
        {"full", "", "f.mdb", "f.mdb"},
        {"name", "C:\\x\\y.mdb", {}, "y.mdb"},
        {"name", "a/b\\c", {}, "c"},
        {"name", "plain", {}, "plain"},
        {"name", "dir/", {}, ""},
        {"path", "C:\\x\\y.mdb", {}, "C:/x"},
        {"path", "a/b\\c", {}, "a/b"},
        {"path", "/y", {}, "/"},
        {"path", "plain", {}, ""},
    };
    for (const Case& k : cases) {
        const std::string op = k.op;
        const QString got = op == "full" ? g_fullName(k.a, k.b) : op == "name" ? g_fileName(k.a) : g_filePath(k.a);
        EXPECT_EQ(got, nat(k.expected)) << op << " " << k.a.toStdString();
    }
}

TEST(ModFileFct, HighestFileVersionTable) {
    struct Case {
        const char* what;
        QStringList files;
        QString pattern;                       // relative to the folder
        QString result, workingCopy, next;     // relative; "=" : left unchanged
        QString box;                           // error box text, if any
    };
    const QString pat = "T-PXM-DC-???.mdb";
    const Case cases[] = {
        {"newest of two", {"T-PXM-DC-003.mdb", "T-PXM-DC-012.mdb", "T-PXM-DC-temp.md", "Other-PXM-DC-050.mdb"}, pat,
         "T-PXM-DC-012.mdb", "T-PXM-DC-temp.md", "T-PXM-DC-013.mdb", {}},
        {"version 000 listed first", {"T-PXM-DC-000.mdb", "T-PXM-DC-005.mdb"}, pat, "", "=", "=",
         "Invalid Data Container version number: 000"},
        {"unversioned only", {"T-PXM-DC.mdb"}, pat, "T-PXM-DC.mdb", "T-PXM-DC-temp.md", "T-PXM-DC-001.mdb", {}},
        {"nothing", {"T-PXM-DC-12.mdb"}, pat, "", "=", "=", {}},
        {"last version refuses a next one", {"T-PXM-DC-998.mdb", "T-PXM-DC-999.mdb"}, pat, "T-PXM-DC-999.mdb",
         "T-PXM-DC-temp.md", "", {}},
        {"case ignored", {"t-pxm-dc-004.MDB"}, pat, "t-pxm-dc-004.MDB", "t-pxm-dc-temp.MD", "t-pxm-dc-005.MDB", {}},
        {"brackets are plain characters", {"T[1]-PXM-DC-002.mdb", "T1-PXM-DC-009.mdb"}, "T[1]-PXM-DC-???.mdb",
         "T[1]-PXM-DC-002.mdb", "T[1]-PXM-DC-temp.md", "T[1]-PXM-DC-003.mdb", {}},
        {"no version place", {"T-PXM-DC-003.mdb"}, "T-PXM-DC-003.mdb", "", "=", "=", {}},
        {"missing folder", {}, "nofolder/" + pat, "", "=", "=", {}},
    };
    int n = 0;
    for (const Case& k : cases) {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/";
        for (const QString& f : k.files) touch(dir + f);
        // Every other case gives its pattern with "\" separators.
        const QString pattern = ++n % 2 ? dir + k.pattern : backslashed(dir + k.pattern);
        const auto full = [&](const QString& rel) { return rel.isEmpty() ? QString() : nat(dir + rel); };
        testsupport::ScriptedAnswerer answers;
        QString workingCopy = "unchanged", next = "unchanged";
        EXPECT_EQ(g_getHighestFileVersion(pattern, workingCopy, next), full(k.result)) << k.what;
        EXPECT_EQ(workingCopy, k.workingCopy == "=" ? QString("unchanged") : full(k.workingCopy)) << k.what;
        EXPECT_EQ(next, k.next == "=" ? QString("unchanged") : full(k.next)) << k.what;
        EXPECT_EQ(answers.texts(), k.box.isEmpty() ? QStringList() : QStringList{k.box}) << k.what;
    }
}

TEST(ModFileFct, DcNameTable) {
    struct Case {
        const char* what;
        QStringList files;
        QString pattern, expected;  // relative to the folder
    };
    const QString pat = "T-PXM-DC-???.mdb";
    const Case cases[] = {
        {"pattern matches", {"T-PXM-DC-003.mdb", "T-Plant-PXM-DC-004.mdb"}, pat, pat},
        {"plant name part", {"T-Plant-PXM-DC-004.mdb"}, pat, "T-Plant-PXM-DC-???.mdb"},
        {"nothing at all", {"X-PXM-DC-004.mdb"}, pat, pat},
        {"only the name is widened", {"x-PXM/T-Plant-PXM-DC-001.mdb"}, "x-PXM/" + pat, "x-PXM/T-Plant-PXM-DC-???.mdb"},
        {"missing folder", {}, "nofolder/" + pat, "nofolder/" + pat},
    };
    for (const Case& k : cases) {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/";
        for (const QString& f : k.files) touch(dir + f);
        EXPECT_EQ(g_getDcName(backslashed(dir + k.pattern)), nat(dir + k.expected)) << k.what;
    }
}

TEST(ModFileFct, CheckFileTable) {
    struct Case {
        const char* what;
        QString file;  // relative; created unless it starts with "missing"
        bool readOnly, mustBeWriteable, show;
        int answer;  // to the question, 0: none expected
        int result;
        QString box;  // the text after the path
        bool writeableAfter;
    };
    const QString q = " is read-only.\r\nIt must be writeable to execute the program!\r\n\r\nDo you want to make it writeable?";
    const Case cases[] = {
        {"writeable", "c.mdb", false, true, true, 0, checkFileOk, {}, true},
        {"read-only, no need to write", "c.mdb", true, false, true, 0, checkFileOk, {}, false},
        {"read-only, declined", "c.mdb", true, true, false, Dialogs::vbNo, checkFileReadOnlyDeclined, q, false},
        {"read-only, made writeable", "c.mdb", true, true, false, Dialogs::vbYes, checkFileOk, q, true},
        {"not found", "missing.mdb", false, true, true, 0, checkFileNotFound, "\r\nFile not found!", false},
        {"not found, quiet", "missing.mdb", false, true, false, 0, checkFileNotFound, {}, false},
        {"a folder is no file", "sub", false, false, true, 0, checkFileNotFound, "\r\nFile not found!", false},
        {"no such folder", "missing/c.mdb", false, true, true, 0, checkFileInvalidPath, "\r\nNo valid drive or path!", false},
    };
    for (const Case& k : cases) {
        QTemporaryDir tmp;
        const QString path = tmp.path() + "/" + k.file;
        if (k.file == "sub") QDir().mkpath(path);
        else if (!k.file.startsWith("missing")) touch(path);
        if (k.readOnly) QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
        testsupport::ScriptedAnswerer answers;
        if (k.answer) answers.push(k.answer);
        EXPECT_EQ(g_checkFile(backslashed(path), k.mustBeWriteable, k.show), k.result) << k.what;
        EXPECT_EQ(answers.texts(), k.box.isEmpty() ? QStringList() : QStringList{nat(path) + k.box}) << k.what;
        if (!k.file.startsWith("missing") && k.file != "sub") {
            EXPECT_EQ(bool(QFileInfo(path).permissions() & QFile::WriteOwner), k.writeableAfter) << k.what;
        }
    }
}

TEST(ModFileFct, EmptyPathIsNoValidPath) {
    testsupport::ScriptedAnswerer answers;
    EXPECT_EQ(g_checkFile("", false, true), checkFileInvalidPath);
    EXPECT_EQ(answers.texts(), QStringList{"\r\nNo valid drive or path!"});
}
