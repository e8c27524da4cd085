#include "dcbuilder/dctemplate.h"

#include "dao/dbfiles.h"
#include "dcbuilder/dcnumber.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QDir>

namespace dcTemplate {

QString g_templateDirectory() {
    return modFileFct::g_fullName(modFileFct::g_filePath(modGlobal::g_configDir), QStringLiteral("PXM_Templates")) +
           QDir::separator();
}

std::optional<qint64> buildNumberOf(const QByteArray& image) {
    if (image.size() < kMinImageSize) return std::nullopt;
    qint64 build = 0, scale = 1;
    for (int i = 0; i < 4; ++i) {
        const auto b = quint8(image.at(71 - i));
        build += (b & 0x0F) * scale + (b >> 4) * scale * 10;
        scale *= 100;
    }
    return build;
}

QString templateFileName(qint64 build) { return modStringFct::sprintf("DC_Template_Build_{000}.mdb", build); }

QStringList restoredColumns(dao::Recordset& steps) {
    QStringList columns;
    for (steps.MoveFirst(); !steps.eof(); steps.MoveNext()) {
        const QString value = steps.Value(QStringLiteral("value")).toString();
        const qint32 width = dcNumber::whole32(steps.Value(QStringLiteral("noOfBytes"))).value_or(0);
        const QString column = steps.Value(QStringLiteral("content")).toString();
        if (value.startsWith(QLatin1String("TABLE")) && (width == 1 || width == 2 || width == 4) &&
            !columns.contains(column, Qt::CaseInsensitive))
            columns << column;
    }
    return columns;
}

QString placeholder(const QString& column) {
    return column.compare(QLatin1String("minValue"), Qt::CaseInsensitive) == 0 ? QStringLiteral("32767")
                                                                                : QStringLiteral("-32768");
}

bool replaceFile(const QString& source, const QString& target) { return dao::CopyFileSafely(source, target); }

WorkingFile::~WorkingFile() { dao::RemoveDatabaseFile(path); }

}  // namespace dcTemplate
