// Converts a 4 MiB S-record file both ways (image -> S28 file -> image) and prints the
// throughput of each direction, best of several runs.
#include "services/srecord.h"

#include <QTemporaryDir>
#include <QFileInfo>
#include <chrono>
#include <cstdio>

namespace {

constexpr qint64 fileBytes = 4 * 1024 * 1024;
constexpr qint64 lineBytes = 46;  // "S2", count, 3 address bytes, 16 data bytes, checksum, CR LF
constexpr int runs = 5;

template <class F>
double bestSeconds(F&& f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

}  // namespace

int main() {
    QByteArray image(fileBytes / lineBytes * 16, '\0');
    for (qsizetype i = 0; i < image.size(); ++i) image[i] = char((i * 131 + (i >> 8)) & 0xFF);
    const qint32 start = 0x100000;

    QTemporaryDir dir;
    const QString path = dir.filePath("bench.s28");
    bool ok = true;
    const double write = bestSeconds([&] { ok = modDownload::g_binToSRec(image, start, "S28", path) && ok; });
    const double size = double(QFileInfo(path).size());

    QByteArray back;
    qint32 backStart = 0;
    const double read = bestSeconds([&] { ok = modDownload::g_sRecToBin(path, back, backStart) && ok; });
    if (!ok || back != image || backStart != start) {
        std::fprintf(stderr, "round trip failed\n");
        return 1;
    }

    const double mb = 1024.0 * 1024.0;
    std::printf("S-record file %.2f MiB, image %.2f MiB, best of %d runs\n", size / mb, image.size() / mb, runs);
    std::printf("bin -> srec: %7.1f ms  %8.1f MB/s of S-record text\n", write * 1e3, size / mb / write);
    std::printf("srec -> bin: %7.1f ms  %8.1f MB/s of S-record text\n", read * 1e3, size / mb / read);
    return 0;
}
