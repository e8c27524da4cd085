#include "dcdatabase/grouping.h"

#include "desktop/dialogs.h"
#include "services/modstringfct.h"
#include "services/programinfo.h"

#include <algorithm>

using modStringFct::sprintf;

namespace grouping {

namespace {

// More elements than a 16-bit symbol key can address is a broken header, not an array.
constexpr qint64 kMaxElements = 65536;

bool isClass(const ScanRow& row, const char* cls) { return row.cls.compare(QLatin1String(cls), Qt::CaseInsensitive) == 0; }

bool isArrayEntry(const ScanRow& row) {
    const QString comment = row.comment.toString();
    return comment.contains(QLatin1String("* n")) || comment.contains(QLatin1String("* x"));
}

QString twoDigits(qint64 k) { return QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')); }

void assign(std::vector<ScanRow>& rows, const QString& group, qint64 firstId, qint64 lastId) {
    const qsizetype us = group.indexOf(QLatin1Char('_'));
    for (ScanRow& row : rows) {
        if (row.cls != QLatin1String("?") || row.id < firstId || row.id > lastId) continue;
        if (us < 0) {
            row.cls = group;
        } else {
            row.varGroup = group.left(us);
            row.cls = group.mid(us + 1);
        }
    }
}

bool groupPairs(std::vector<ScanRow>& rows, const std::vector<size_t>& markers, LogWindow& log) {
    QString lastName;
    qint64 lastId = 0;
    for (size_t i = 0; i < markers.size(); i += 2) {
        const QString firstName = rows[markers[i]].name;
        const qint64 firstId = rows[markers[i]].id;
        if (i + 1 < markers.size()) {
            lastName = rows[markers[i + 1]].name;
            lastId = rows[markers[i + 1]].id;
        }
        const bool matches = firstName.startsWith(QLatin1String("FIRST_")) && lastName.startsWith(QLatin1String("LAST_")) &&
                             firstName.mid(6) == lastName.mid(5);
        if (!matches) {
            Dialogs::msgBox(sprintf("Error in grouping dc-nums \\n{*} / {*}", firstName, lastName), Dialogs::vbOKOnly,
                            programInfo::title());
            log.addMessage(sprintf("      Error in grouping dc-nums {*} / {*}", firstName, lastName));
            return false;
        }
        assign(rows, firstName.mid(6), firstId, lastId);
    }
    return true;
}

bool expandArrays(std::vector<ScanRow>& rows, LogWindow& log) {
    std::vector<size_t> walk;
    for (size_t i = 0; i < rows.size(); ++i)
        if (!isClass(rows[i], "ALARM")) walk.push_back(i);
    std::stable_sort(walk.begin(), walk.end(), [&](size_t a, size_t b) {
        return rows[a].id != rows[b].id ? rows[a].id < rows[b].id : rows[a].sourceLine < rows[b].sourceLine;
    });
    for (size_t k = 0; k < walk.size(); ++k) {
        const ScanRow entry = rows[walk[k]];
        if (!isArrayEntry(entry)) continue;
        if (k + 1 == walk.size()) {
            log.addMessage(sprintf("      Array {*} is the last symbol: its number of elements is unknown", entry.name));
            return false;
        }
        const ScanRow& next = rows[walk[k + 1]];
        const qint64 end = next.id + (next.name.startsWith(QLatin1String("LAST_")) ? 1 : 0);
        const qint64 count = end - entry.id;
        if (count > kMaxElements) {
            log.addMessage(sprintf("      Array {*} would have {*} elements", entry.name, count));
            return false;
        }
        for (qint64 i = 2; i <= count; ++i) {
            ScanRow element = entry;
            element.id = entry.id + i - 1;
            element.name = elementName(entry.name, i - 1);
            rows.push_back(std::move(element));
        }
    }
    return true;
}

}  // namespace

QString elementName(const QString& name, qint64 k) {
    const QString digits = twoDigits(k);
    if (name.endsWith(QLatin1String("_N"))) return name.left(name.size() - 1) + digits;
    if (name.contains(QLatin1String("_N_"))) return QString(name).replace(QLatin1String("_N_"), QLatin1Char('_') + digits + QLatin1Char('_'));
    if (name.endsWith(QLatin1String("_00"))) return name.left(name.size() - 2) + digits;
    if (name.contains(QLatin1String("_00_"))) return QString(name).replace(QLatin1String("_00_"), QLatin1Char('_') + digits + QLatin1Char('_'));
    return name + QLatin1Char('_') + digits;
}

bool buildGroup(std::vector<ScanRow>& rows, LogWindow& log) {
    std::vector<size_t> markers;
    for (size_t i = 0; i < rows.size(); ++i)
        if (isClass(rows[i], "INSTRUCTION")) markers.push_back(i);
    if (markers.empty()) return true;
    std::stable_sort(markers.begin(), markers.end(), [&](size_t a, size_t b) {
        if (rows[a].id != rows[b].id) return rows[a].id < rows[b].id;
        return rows[a].name.compare(rows[b].name, Qt::CaseInsensitive) < 0;
    });
    return groupPairs(rows, markers, log) && expandArrays(rows, log);
}

}  // namespace grouping
