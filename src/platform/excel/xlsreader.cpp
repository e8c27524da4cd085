// The .xls reader over FreeXL: every worksheet with its cells. FreeXL reads out of bounds
// on some damaged files, so it runs in a child process with a time limit: a damaged signal
// list then fails to open instead of taking the program (and the engineer's unsaved work)
// down with it or holding it for ever.
#include "excel/workbook.h"
#include "excel/xlsrecords.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <cerrno>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/common_interface_defs.h>
#define KELB_UNDER_SANITIZER 1
#endif
#endif

namespace excel::detail {
namespace {

// Longer texts than this FreeXL does not read: it opens such a workbook without a handle.
constexpr qsizetype kFreeXlTextLimit = 16384;

// Why FreeXL could not read the file, as far as it can be told.
QString freeXlCause(const QByteArray& file, int rc, bool noHandle) {
    const qsizetype longest = longestSharedText(file);
    if (noHandle && longest > kFreeXlTextLimit)
        return QStringLiteral("A text in it holds %1 characters: FreeXL, the library that reads .xls workbooks, reads no "
                              "text of more than about %2 characters. Save the workbook as .xlsx.")
            .arg(longest)
            .arg(kFreeXlTextLimit);
    if (noHandle) return QStringLiteral("FreeXL, the library that reads .xls workbooks, refuses it as damaged.");
    return QStringLiteral("FreeXL, the library that reads .xls workbooks, fails on it with error %1.").arg(rc);
}

// Every worksheet asked for with its cells; formula and boolean cells, which FreeXL gives
// no value for, from the records themselves. Any failing call fails the whole reading;
// `cause` then says why where it can be told.
bool readWithFreeXL(const QByteArray& path, const QStringList& only, std::vector<Sheet>& sheets, QString& cause) {
    QFile f(QFile::decodeName(path));
    RecordCells records;
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray file = f.readAll();
    f.close();
    if (!readFormulaCells(file, records)) return false;
    const void* handle = nullptr;
    const int rc = freexl_open(path.constData(), &handle);
    struct Closer {
        const void* h;
        ~Closer() {
            if (h) freexl_close(h);
        }
    } closer{handle};
    unsigned int count = 0;
    if (rc != FREEXL_OK || !handle) {
        cause = freeXlCause(file, rc, rc == FREEXL_OK);
        return false;
    }
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) return false;
    for (unsigned int s = 0; s < count && s < 65535; ++s) {
        Sheet sheet;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, (unsigned short)s, &name) != FREEXL_OK || !name) return false;
        sheet.name = QString::fromUtf8(name);
        if (!only.isEmpty() && !only.contains(sheet.name)) continue;
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, (unsigned short)s) != FREEXL_OK ||
            freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK || !records.contains(sheet.name))
            return false;
        rows = qMin(rows, (unsigned int)Workbook::maxRows);
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < columns && c < Workbook::maxColumns; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK) return false;
                QString text;
                switch (v.type) {
                case FREEXL_CELL_INT: text = QString::number(v.value.int_value); break;
                case FREEXL_CELL_DOUBLE: text = numberText(v.value.double_value); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    text = v.value.text_value ? QString::fromUtf8(v.value.text_value) : QString();
                    break;
                default: break;
                }
                if (!text.isEmpty()) sheet.cells.insert(Sheet::key(int(r + 1), c + 1), text);
            }
        const auto& own = records[sheet.name];
        for (auto it = own.cbegin(); it != own.cend(); ++it) {
            sheet.cells.remove(it.key());
            if (!it.value()) sheet.withoutValue.insert(it.key());
            else if (!it.value()->isEmpty()) sheet.cells.insert(it.key(), *it.value());
        }
        sheets.push_back(std::move(sheet));
    }
    return true;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

std::unique_ptr<Workbook> readXls(const QString& path, QString& error, const QStringList& only, int timeLimitMs) {
    error = QStringLiteral("%1 is no readable .xls workbook.").arg(path);
    const QByteArray file = QFile::encodeName(path);
    int fds[2];
    if (::pipe(fds) != 0) return nullptr;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return nullptr;
    }
    if (child == 0) {
        ::close(fds[0]);
#ifdef KELB_UNDER_SANITIZER
        // Under the fuzzer the child's crash is the library's, which the parent survives:
        // it is no finding to write down.
        __sanitizer_set_death_callback([] { _exit(3); });
#endif
        std::vector<Sheet> sheets;
        QByteArray out;
        QDataStream ds(&out, QIODevice::WriteOnly);
        QString cause;
        const bool ok = readWithFreeXL(file, only, sheets, cause);
        ds << ok << cause << quint32(sheets.size());
        for (const Sheet& s : sheets) ds << s.name << s.cells << s.withoutValue;
        _exit(writeAll(fds[1], out) ? 0 : 1);
    }
    ::close(fds[1]);
    // A damaged file may keep the library busy for ever: the child gets a time limit.
    QByteArray in;
    char buf[65536];
    QElapsedTimer clock;
    clock.start();
    bool late = false;
    for (;;) {
        const qint64 left = timeLimitMs - clock.elapsed();
        pollfd p{fds[0], POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            late = ready == 0;
            break;
        }
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0) in.append(buf, n);
        else if (n == 0 || errno != EINTR) break;
    }
    ::close(fds[0]);
    if (late) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (late) {
        error = QStringLiteral("%1 was not read within %2 seconds: the .xls workbook is refused as damaged.")
                    .arg(path)
                    .arg(timeLimitMs / 1000.0);
        return nullptr;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = QStringLiteral("%1 is a damaged .xls workbook.").arg(path);
        return nullptr;
    }
    QDataStream ds(in);
    bool ok = false;
    QString cause;
    quint32 count = 0;
    ds >> ok >> cause >> count;
    if (!ok && ds.status() == QDataStream::Ok && !cause.isEmpty()) error += QLatin1Char(' ') + cause;
    if (!ok || ds.status() != QDataStream::Ok) return nullptr;
    auto book = std::make_unique<Workbook>();
    for (quint32 i = 0; i < count && ds.status() == QDataStream::Ok; ++i) {
        Sheet s;
        ds >> s.name >> s.cells >> s.withoutValue;
        book->m_sheets.push_back(std::move(s));
    }
    if (ds.status() != QDataStream::Ok) return nullptr;
    error.clear();
    return book;
}

}  // namespace excel::detail
