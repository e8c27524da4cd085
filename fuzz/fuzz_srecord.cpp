// The S-record reader on any file: no crash, no hang, an image within its limit, and on
// success the image's bytes all placed by records.
#include "fuzzsupport.h"
#include "services/srecord.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    const QString path = fuzzsupport::writeInput(data, size, QStringLiteral(".s19"));
    QByteArray image;
    qint32 start = 0;
    const bool ok = modDownload::g_sRecToBin(path, image, start);
    if (image.size() > modDownload::maxSRecImageSize) std::abort();
    if (ok && image.isEmpty()) std::abort();
    return 0;
}
