// S-record reader and writer. Both work on raw bytes (a hex table, no per-byte QString
// work), so that a file of several MiB converts in milliseconds.
#include "can/srecord.h"

#include "bytes/bytes.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace modDownload {

namespace {

// A record line holds at most "S", the type, 255 bytes as hex and the line end.
constexpr qint64 maxLineLength = 2 + 2 * 256 + 2;
constexpr qint64 addressSpace = qint64(1) << 32;

constexpr std::array<qint8, 256> hexTable = [] {
    std::array<qint8, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 10; ++i) t['0' + i] = qint8(i);
    for (int i = 0; i < 6; ++i) t['A' + i] = t['a' + i] = qint8(10 + i);
    return t;
}();

// Decodes count hex pairs at text into out; false at the first character that is no digit.
bool decodeHex(const char* text, int count, uchar* out) {
    for (int i = 0; i < count; ++i) {
        const int hi = hexTable[uchar(text[2 * i])];
        const int lo = hexTable[uchar(text[2 * i + 1])];
        if (hi < 0 || lo < 0) return false;
        out[i] = uchar(hi << 4 | lo);
    }
    return true;
}

// Places records at their own addresses in a growing image. Gap fill is not a written
// byte, so a later record may fill a gap, but no byte may be written twice.
class ImageBuilder {
public:
    ImageBuilder(QByteArray& image, qint32& startAddress) : m_image(image), m_start(startAddress) {}

    bool place(qint64 address, const uchar* data, int count) {
        if (count == 0) return true;
        const qint64 end = address + count;
        if (end > addressSpace) return false;
        if (m_base < 0) m_base = address;
        const qint64 low = std::min(m_base, address);
        const qint64 high = std::max(m_base + m_image.size(), end);
        if (high - low > maxSRecImageSize || overlaps(address, end)) return false;
        if (address < m_base) {
            m_image.prepend(m_base - address, '\0');
            m_base = address;
        }
        growTo(end - m_base);
        std::memcpy(m_image.data() + (address - m_base), data, size_t(count));
        markWritten(address, end);
        m_start = qint32(quint32(m_base));
        return true;
    }

private:
    void growTo(qint64 size) {
        const qint64 old = m_image.size();
        if (size <= old) return;
        if (size > m_image.capacity()) m_image.reserve(std::min(std::max(size, 2 * m_image.capacity()), maxSRecImageSize));
        m_image.resize(size);
        std::memset(m_image.data() + old, 0, size_t(size - old));
    }

    // Written ranges are kept merged, so an image written in order is a single range.
    bool overlaps(qint64 begin, qint64 end) const {
        auto next = m_written.upper_bound(begin);
        if (next != m_written.end() && next->first < end) return true;
        return next != m_written.begin() && std::prev(next)->second > begin;
    }

    void markWritten(qint64 begin, qint64 end) {
        auto next = m_written.upper_bound(begin);
        if (next != m_written.end() && next->first == end) {
            end = next->second;
            next = m_written.erase(next);
        }
        if (next != m_written.begin() && std::prev(next)->second == begin) std::prev(next)->second = end;
        else m_written.emplace(begin, end);
    }

    QByteArray& m_image;
    qint32& m_start;
    qint64 m_base = -1;
    std::map<qint64, qint64> m_written;  // begin -> end (exclusive)
};

enum class LineResult { Data, Skip, End, Bad };

// One record line without its line end: checks it and places its data bytes.
LineResult readRecord(const char* line, qint64 length, ImageBuilder& builder) {
    if (length < 2 || line[0] != 'S') return LineResult::Bad;
    const char type = line[1];
    if (type == '0' || type == '4' || type == '5' || type == '6') return LineResult::Skip;
    if (type == '7' || type == '8' || type == '9') return LineResult::End;
    if (type < '1' || type > '3') return LineResult::Bad;

    const int addressBytes = type - '0' + 1;
    uchar count = 0;
    if (length < 4 || !decodeHex(line + 2, 1, &count)) return LineResult::Bad;
    if (count < addressBytes + 1 || length < 4 + 2 * qint64(count)) return LineResult::Bad;
    uchar record[256];
    if (!decodeHex(line + 4, count, record)) return LineResult::Bad;

    unsigned sum = count;
    for (int i = 0; i < count; ++i) sum += record[i];
    if ((sum & 0xFF) != 0xFF) return LineResult::Bad;

    const QByteArray field = QByteArray::fromRawData(reinterpret_cast<const char*>(record), addressBytes);
    const auto address = static_cast<qint64>(bytes::getUnsigned(field, 0, addressBytes, bytes::Order::BigEndian).value_or(0));
    const int dataBytes = count - addressBytes - 1;
    return builder.place(address, record + addressBytes, dataBytes) ? LineResult::Data : LineResult::Bad;
}

bool readSRecFile(const QString& fileName, QByteArray& image, qint32& startAddress) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // About two text characters per data byte; the reserve saves the regrowth.
    image.reserve(std::min(file.size() / 2, maxSRecImageSize));
    ImageBuilder builder(image, startAddress);
    char line[maxLineLength + 2];
    for (;;) {
        qint64 length = file.readLine(line, sizeof line);
        if (length <= 0) return false;  // end of file before an end record
        if (line[length - 1] == '\n') --length;
        else if (!file.atEnd()) return false;  // longer than any record
        if (length > 0 && line[length - 1] == '\r') --length;
        switch (readRecord(line, length, builder)) {
        case LineResult::Bad: return false;
        case LineResult::End: return !image.isEmpty();
        case LineResult::Data:
        case LineResult::Skip: break;
        }
    }
}

constexpr char hexDigits[] = "0123456789ABCDEF";

void appendHex(QByteArray& out, uchar value) {
    out.append(hexDigits[value >> 4]);
    out.append(hexDigits[value & 0x0F]);
}

// One record: type digit, count, address of addressBytes bytes, data and checksum, CR LF.
void appendRecord(QByteArray& out, char type, int addressBytes, quint32 address, const char* data, int count) {
    const uchar countByte = uchar(addressBytes + count + 1);
    out.append('S');
    out.append(type);
    appendHex(out, countByte);
    QByteArray body;
    body.reserve(addressBytes + count);
    bytes::put(body, 0, address, addressBytes, bytes::Order::BigEndian);
    body.append(data, count);
    unsigned sum = countByte;
    for (const char c : body) {
        appendHex(out, uchar(c));
        sum += uchar(c);
    }
    appendHex(out, uchar(0xFF - (sum & 0xFF)));
    out.append("\r\n", 2);
}

bool writeSRecFile(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName) {
    int type = 0;
    if (format == QLatin1String("S19")) type = 1;
    else if (format == QLatin1String("S28")) type = 2;
    else if (format == QLatin1String("S37")) type = 3;
    else return false;
    const int addressBytes = type + 1;
    const quint32 start = quint32(startAddress);
    // Every address must fit the address field: a cut address would put data elsewhere.
    const qint64 fieldEnd = qint64(1) << (8 * addressBytes);
    if (!image.isEmpty() && qint64(start) + image.size() > fieldEnd) return false;

    // The old file is replaced only once the new one is complete.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    constexpr qint64 lineBytes = 16;
    constexpr qint64 chunk = 64 * 1024;
    QByteArray out;
    out.reserve(chunk + 2 * maxLineLength);
    for (qint64 i = 0; i < image.size(); i += lineBytes) {
        const int count = int(std::min(lineBytes, image.size() - i));
        appendRecord(out, char('0' + type), addressBytes, start + quint32(i), image.constData() + i, count);
        if (out.size() >= chunk) {
            if (file.write(out) != out.size()) return false;
            out.resize(0);
        }
    }
    appendRecord(out, char('0' + 10 - type), addressBytes, 0, nullptr, 0);
    return file.write(out) == out.size() && file.commit();
}

}  // namespace

bool g_sRecToBin(const QString& fileName, QByteArray& image, qint32& startAddress) {
    bool ok = false;
    image.clear();
    startAddress = -1;
    trap("modDownload", "g_sRecToBin", [&] { ok = readSRecFile(fileName, image, startAddress); });
    return ok;
}

bool g_binToSRec(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName) {
    bool ok = false;
    trap("modDownload", "g_binToSRec", [&] { ok = writeSRecFile(image, startAddress, format, fileName); });
    return ok;
}

void g_readBinFile(const QString& fileName, QByteArray& bytes) {
    bytes.clear();
    trap("modDownload", "g_readBinFile", [&] {
        QFile file(fileName);
        if (!file.exists()) throw RuntimeError(53, QStringLiteral("File not found"));
        if (!file.open(QIODevice::ReadOnly)) throw RuntimeError(75, QStringLiteral("Path/File access error"));
        if (file.size() == 0) throw RuntimeError(9, QStringLiteral("Subscript out of range"));
        QByteArray read = file.readAll();
        if (read.size() != file.size()) throw RuntimeError(62, QStringLiteral("Input past end of file"));
        bytes = std::move(read);
    });
}

}  // namespace modDownload
