#include "dcbuilder/dctemplate.h"

#include "dao/dbfiles.h"
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

bool replaceFile(const QString& source, const QString& target) { return dao::CopyFileSafely(source, target); }

WorkingFile::~WorkingFile() { dao::RemoveDatabaseFile(path); }

}  // namespace dcTemplate
