// The info-block decoders of the uploads and the overview on any block of any length, for
// every section: each row has its 12 cells and nothing is read past the bytes received.
#include "can/modupload.h"
#include "fuzzsupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    if (size < 1) return 0;
    // A copy of exactly the received bytes, so the sanitizer sees any read past them.
    const QByteArray block(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qint32 section = data[0] % 9;
    const QStringList row = modUpload::infoBlockRow(section, block);
    if (row.size() != modUpload::infoTableColumns) std::abort();
    modUpload::buildVersionStr(section, block);
    for (int offset = -2; offset < block.size() + 2; ++offset) modUpload::g_byteArrayToLong(block, offset);
    return 0;
}
