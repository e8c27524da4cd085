// S-record reader and writer. Both work on raw bytes (a hex table, no per-byte QString
// work), so that a file of several MiB converts in milliseconds.
#include "services/srecord.h"

#include "bytes/bytes.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/wholefile.h"

#include <QDir>
#include <QFile>
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

    enum Placing { Placed, PastAddressSpace, TooLarge, Overlap };

    Placing place(qint64 address, const uchar* data, int count) {
        if (count == 0) return Placed;
        const qint64 end = address + count;
        if (end > addressSpace) return PastAddressSpace;
        const qint64 base = m_base < 0 ? address : m_base;
        const qint64 low = std::min(base, address);
        const qint64 high = std::max(base + m_image.size(), end);
        if (high - low > maxSRecImageSize) return TooLarge;
        if (overlaps(address, end)) return Overlap;
        m_base = base;
        if (address < m_base) {
            m_image.prepend(m_base - address, '\0');
            m_base = address;
        }
        growTo(end - m_base);
        std::memcpy(m_image.data() + (address - m_base), data, size_t(count));
        markWritten(address, end);
        m_start = qint32(quint32(m_base));
        return Placed;
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

// A refusal: the reason, and the line it stands on (0: the file as a whole).
struct Refusal {
    qint64 line;
    QString reason;
};

[[noreturn]] void refuse(qint64 line, const QString& reason) { throw Refusal{line, reason}; }

// The address length of each record type. S4 is reserved and has no address field.
constexpr int addressLength(char type) {
    switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '6': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// One record line without its line end, checked whole as strict readers of the format
// do: the count byte must cover the line exactly, so that a line cut short or two records
// joined on one line are refused instead of losing a record. Gives the record type; data
// records are placed, counted and checked against count records here.
class RecordReader {
public:
    explicit RecordReader(ImageBuilder& builder) : m_builder(builder) {}

    char read(const char* line, qint64 length, qint64 lineNo) {
        while (length > 0 && isBlank(line[length - 1])) --length;
        if (length == 0) refuse(lineNo, QStringLiteral("an empty line"));
        if (line[0] != 'S') refuse(lineNo, QStringLiteral("the line does not begin with \"S\""));
        const char type = length > 1 ? line[1] : '\0';
        if (type < '0' || type > '9') refuse(lineNo, QStringLiteral("no record type after \"S\""));

        uchar count = 0;
        if (length < 4 || !decodeHex(line + 2, 1, &count)) refuse(lineNo, QStringLiteral("no count byte"));
        const qint64 expected = 4 + 2 * qint64(count);
        if (length < expected)
            refuse(lineNo, QStringLiteral("the line ends before the %1 bytes its count byte announces").arg(count));
        if (length > expected) refuse(lineNo, QStringLiteral("characters after the checksum"));
        uchar record[256];
        if (!decodeHex(line + 4, count, record)) refuse(lineNo, QStringLiteral("a character that is no hexadecimal digit"));
        unsigned sum = count;
        for (int i = 0; i < count; ++i) sum += record[i];
        if (count == 0 || (sum & 0xFF) != 0xFF) refuse(lineNo, QStringLiteral("the checksum does not match"));

        const int addressBytes = addressLength(type);
        const int dataBytes = count - addressBytes - 1;
        if (dataBytes < 0) refuse(lineNo, QStringLiteral("the count byte is smaller than the address length"));
        const QByteArray field = QByteArray::fromRawData(reinterpret_cast<const char*>(record), addressBytes);
        const auto address = addressBytes == 0 ? 0 : qint64(*bytes::getUnsigned(field, 0, addressBytes, bytes::Order::BigEndian));
        // The checksum leaves the type digit out: a damaged one would read a record with
        // the wrong address length, or skip it, unless the types must agree.
        if (type == '4') refuse(lineNo, QStringLiteral("an S4 record, a reserved type that holds no data"));
        if (type == '0' && m_records > 0) {
            // A header stands before the data; one after it is a data record with a damaged type.
            refuse(lineNo, QStringLiteral("a header record after data records"));
        } else if (type == '0' && address != 0) {
            refuse(lineNo, QStringLiteral("a header record with the address %1, not 0").arg(address));
        } else if (type >= '1' && type <= '3') {
            if (m_dataType != 0 && type != m_dataType)
                refuse(lineNo, QStringLiteral("an S%1 record in a file of S%2 records").arg(type).arg(m_dataType));
            m_dataType = type;
            place(lineNo, address, record + addressBytes, dataBytes);
            ++m_records;
        } else if ((type == '5' || type == '6' || type >= '7') && dataBytes != 0) {
            // A count or end record carries no data: this is a data record with a damaged type.
            refuse(lineNo, QStringLiteral("data bytes in an S%1 record, which holds none").arg(type));
        } else if ((type == '5' || type == '6') && address != m_records) {
            refuse(lineNo, QStringLiteral("the count record says %1 data records, the file holds %2 before it")
                               .arg(address).arg(m_records));
        } else if (type >= '7' && m_dataType != 0 && type != endTypeOf(m_dataType)) {
            refuse(lineNo, QStringLiteral("an S%1 end record in a file of S%2 records, which end with S%3")
                               .arg(type).arg(m_dataType).arg(endTypeOf(m_dataType)));
        }
        return type;
    }

private:
    // S1 records end with S9, S2 with S8, S3 with S7.
    static char endTypeOf(char dataType) { return char('0' + 10 - (dataType - '0')); }

    void place(qint64 lineNo, qint64 address, const uchar* data, int count) {
        switch (m_builder.place(address, data, count)) {
        case ImageBuilder::Placed: return;
        case ImageBuilder::PastAddressSpace: refuse(lineNo, QStringLiteral("the record runs past the 32-bit address space"));
        case ImageBuilder::TooLarge:
            refuse(lineNo, QStringLiteral("the image would grow beyond %1 bytes").arg(maxSRecImageSize));
        case ImageBuilder::Overlap: refuse(lineNo, QStringLiteral("the record writes bytes that another record wrote"));
        }
    }

    ImageBuilder& m_builder;
    qint64 m_records = 0;  // data records so far, for the count records
    char m_dataType = 0;   // the type of the data records, 0 before the first
};

// Reads the next line into line and gives its length without the line end (CR LF or LF),
// or -1 at the end of the file. A Ctrl-Z that ends the file, the old end-of-file mark, is
// dropped.
qint64 nextLine(QFile& file, char* line, qint64 size, qint64 lineNo) {
    qint64 length = file.readLine(line, size);
    if (length <= 0) return -1;
    if (line[length - 1] == '\n') --length;
    else if (!file.atEnd()) refuse(lineNo, QStringLiteral("the line is longer than any record"));
    if (length > 0 && line[length - 1] == '\r') --length;
    if (file.atEnd() && length > 0 && line[length - 1] == '\x1A') --length;
    return length;
}

void readSRecFile(QFile& file, QByteArray& image, qint32& startAddress) {
    if (!file.open(QIODevice::ReadOnly)) refuse(0, QStringLiteral("the file cannot be opened"));
    // About two text characters per data byte; the reserve saves the regrowth.
    image.reserve(std::min(file.size() / 2, maxSRecImageSize));
    ImageBuilder builder(image, startAddress);
    RecordReader reader(builder);
    // Room for a record with trailing blanks; longer lines are refused.
    char line[4 * maxLineLength];
    qint64 lineNo = 0;
    for (;;) {
        const qint64 length = nextLine(file, line, sizeof line, ++lineNo);
        if (length < 0) refuse(0, QStringLiteral("the file ends without an end record (S7, S8 or S9)"));
        const char type = reader.read(line, length, lineNo);
        if (type >= '7') break;
    }
    // Only blank lines may follow the end record: a record after it would be lost.
    for (;;) {
        const qint64 length = nextLine(file, line, sizeof line, ++lineNo);
        if (length < 0) break;
        for (qint64 i = 0; i < length; ++i)
            if (!isBlank(line[i])) refuse(lineNo, QStringLiteral("characters after the end record"));
    }
    if (image.isEmpty()) refuse(0, QStringLiteral("the file holds no data bytes"));
}

bool readSRecords(const QString& fileName, QByteArray& image, qint32& startAddress, QString& error) {
    try {
        QFile file(fileName);
        readSRecFile(file, image, startAddress);
        return true;
    } catch (const Refusal& r) {
        error = QDir::toNativeSeparators(fileName) +
                (r.line > 0 ? QStringLiteral(", line %1: ").arg(r.line) : QStringLiteral(": ")) + r.reason;
        return false;
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

bool writeSRecFile(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName,
                   QString& error) {
    int type = 0;
    if (format == QLatin1String("S19")) type = 1;
    else if (format == QLatin1String("S28")) type = 2;
    else if (format == QLatin1String("S37")) type = 3;
    else {
        error = QStringLiteral("unknown S-record format \"%1\"").arg(format);
        return false;
    }
    const int addressBytes = type + 1;
    const quint32 start = quint32(startAddress);
    // Every address must fit the address field: a cut address would put data elsewhere.
    const qint64 fieldEnd = qint64(1) << (8 * addressBytes);
    if (!image.isEmpty() && qint64(start) + image.size() > fieldEnd) {
        error = QStringLiteral("the image does not fit the addresses of format %1").arg(format);
        return false;
    }

    // The old file is replaced only once the new one is complete.
    WholeFile file(fileName);
    const auto failed = [&] {
        error = file.error();
        return false;
    };
    if (!file.open()) return failed();
    constexpr qint64 lineBytes = 16;
    constexpr qint64 chunk = 64 * 1024;
    QByteArray out;
    out.reserve(chunk + 2 * maxLineLength);
    for (qint64 i = 0; i < image.size(); i += lineBytes) {
        const int count = int(std::min(lineBytes, image.size() - i));
        appendRecord(out, char('0' + type), addressBytes, start + quint32(i), image.constData() + i, count);
        if (out.size() >= chunk) {
            if (!file.write(out)) return failed();
            out.resize(0);
        }
    }
    appendRecord(out, char('0' + 10 - type), addressBytes, 0, nullptr, 0);
    if (!file.write(out) || !file.commit()) return failed();
    return true;
}

}  // namespace

bool g_sRecToBin(const QString& fileName, QByteArray& image, qint32& startAddress, QString& error) {
    bool ok = false;
    image.clear();
    startAddress = -1;
    error.clear();
    trap("modDownload", "g_sRecToBin", [&] { ok = readSRecords(fileName, image, startAddress, error); });
    return ok;
}

bool g_sRecToBin(const QString& fileName, QByteArray& image, qint32& startAddress) {
    QString error;
    return g_sRecToBin(fileName, image, startAddress, error);
}

bool g_binToSRec(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName,
                 QString& error) {
    bool ok = false;
    error.clear();
    trap("modDownload", "g_binToSRec", [&] { ok = writeSRecFile(image, startAddress, format, fileName, error); });
    return ok;
}

bool g_binToSRec(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName) {
    QString error;
    return g_binToSRec(image, startAddress, format, fileName, error);
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
