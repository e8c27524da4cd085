#include "services/errtrap.h"
#include "services/srecord.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include "errorlog.h"

#include <gtest/gtest.h>
#include <span>
#include <string>
#include <vector>

using modDownload::g_binToSRec;
using modDownload::g_readBinFile;
using modDownload::g_sRecToBin;

namespace {

using testsupport::ErrorLog;

QByteArray pattern(int n, int seed) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = char((seed * 37 + i * 11) & 0xFF);
    return b;
}

// A data record of type 1, 2 or 3 with a correct checksum, without line end.
std::string rec(int type, quint32 address, const QByteArray& data) {
    const int addressBytes = type + 1;
    QByteArray body;
    body.append(char(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i) body.append(char(address >> (8 * i)));
    body.append(data);
    int sum = 0;
    for (char c : body) sum += uchar(c);
    body.append(char(~sum & 0xFF));
    return "S" + std::to_string(type) + body.toHex().toUpper().toStdString();
}

std::string lines(const std::vector<std::string>& ls, const char* eol = "\r\n") {
    std::string s;
    for (const auto& l : ls) s += l + eol;
    return s;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Piece {
    quint32 address;
    QByteArray data;
};

struct ReadCase {
    const char* name;
    std::string content;
    bool ok;
    qint64 start = -1;  // expected image, when ok
    int size = 0;
    std::vector<Piece> pieces = {};  // the rest of the image is 0x00
};

// A damaged file and what the reader says of it.
struct Refusal {
    const char* name;
    std::string content;
    int line;  // 0: the file as a whole
    const char* reason;
};

// Each file, written to path in turn, is refused with the path, the line and the reason.
void expectRefused(const QString& path, std::span<const Refusal> cases) {
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        writeFile(path, QByteArray::fromStdString(t.content));
        QByteArray image;
        qint32 start = 0;
        QString error;
        EXPECT_FALSE(g_sRecToBin(path, image, start, error));
        const QString where = t.line > 0 ? QStringLiteral(", line %1: ").arg(t.line) : QStringLiteral(": ");
        EXPECT_EQ(error, QDir::toNativeSeparators(path) + where + QString::fromLatin1(t.reason));
    }
}

}  // namespace

TEST(SRecord, ReaderCases) {
    const QByteArray a = pattern(16, 1), b = pattern(16, 2), c = pattern(8, 3);
    // The count record counts the data records before it: one in the case that uses it.
    const std::string s9 = "S9030000FC", s7 = "S70500000000FA", s0 = "S00600004844521B", s5 = "S5030001FB";
    std::vector<ReadCase> cases = {
        {"S1 records with a gap", lines({rec(1, 0x1000, a), rec(1, 0x1020, b), s9}), true, 0x1000, 48,
         {{0x1000, a}, {0x1020, b}}},
        {"S2 record", lines({rec(2, 0x123456, a), "S804000000FB"}), true, 0x123456, 16, {{0x123456, a}}},
        {"S3 record above 2 GiB", lines({rec(3, 0x80000010, c), "S70500000000FA"}), true, qint32(0x80000010), 8,
         {{0x80000010, c}}},
        {"literal S1 record, lower-case hex", lines({"S1050010abcd72", s9}), true, 0x10, 2,
         {{0x10, QByteArray::fromHex("ABCD")}}},
        {"S0 header and S5 count are skipped", lines({s0, rec(1, 0x10, c), s5, s9}), true, 0x10, 8, {{0x10, c}}},
        {"out of order", lines({rec(1, 0x1010, b), rec(1, 0x1000, a), s9}), true, 0x1000, 32,
         {{0x1000, a}, {0x1010, b}}},
        {"a gap filled later", lines({rec(1, 0x1000, a), rec(1, 0x1020, a), rec(1, 0x1010, b), s9}), true, 0x1000, 48,
         {{0x1000, a}, {0x1010, b}, {0x1020, a}}},
        {"records without data place nothing",
         lines({rec(1, 0x0800, QByteArray()), rec(1, 0x1000, a), rec(1, 0x0400, QByteArray()), s9}), true, 0x1000, 16,
         {{0x1000, a}}},
        {"below the first record moves the start down", lines({rec(2, 0x2000, a), rec(2, 0x1000, c), "S804000000FB"}), true,
         0x1000, 0x1010, {{0x1000, c}, {0x2000, a}}},
        {"exactly 16 MiB", lines({rec(3, 0, c), rec(3, 0xFFFFF8, c), s7}), true, 0, 0x1000000,
         {{0, c}, {0xFFFFF8, c}}},
        {"LF line ends", lines({rec(1, 0x10, c), s9}, "\n"), true, 0x10, 8, {{0x10, c}}},
        {"end record without line end", lines({rec(1, 0x10, c)}) + s9, true, 0x10, 8, {{0x10, c}}},
        {"blanks after the checksum, blank lines after the end record",
         lines({rec(1, 0x10, c) + " \t", s9 + " ", "", "  "}), true, 0x10, 8, {{0x10, c}}},
        {"a final Ctrl-Z on its own line", lines({rec(1, 0x10, c), s9}) + "\x1A", true, 0x10, 8, {{0x10, c}}},
        {"a final Ctrl-Z after the end record", lines({rec(1, 0x10, c)}) + s9 + "\x1A", true, 0x10, 8, {{0x10, c}}},
        {"count records that match", lines({s0, rec(1, 0x10, c), rec(1, 0x18, c), "S5030002FA", "S604000002F9", s9}), true,
         0x10, 16, {{0x10, c}, {0x18, c}}},
        {"a count record of no records", lines({"S5030000FC", rec(1, 0x10, c), s9}), true, 0x10, 8, {{0x10, c}}},
        {"garbage after the end record", lines({rec(1, 0x10, c), s9, "garbage"}), false},

        {"one checksum digit wrong", lines({"S1050010ABCD73", s9}), false},
        {"one data digit wrong", lines({"S1050010ABCE72", s9}), false},
        {"no end record", lines({rec(1, 0x10, c)}), false},
        {"only S0 and S9", lines({s0, s9}), false},
        {"empty file", "", false},
        {"overlapping records", lines({rec(1, 0x1000, a), rec(1, 0x1008, c), s9}), false},
        {"the same record twice", lines({rec(1, 0x1000, a), rec(1, 0x1000, a), s9}), false},
        {"overlap with a record below the first",
         lines({rec(1, 0x1000, a), rec(1, 0x0FF8, a), s9}), false},
        {"over 16 MiB", lines({rec(3, 0, c), rec(3, 0xFFFFF9, c), s7}), false},
        {"over 16 MiB through a record far below", lines({rec(3, 0xFFFF0000, c), rec(3, 0, c), s7}), false},
        {"past the end of the address space", lines({rec(3, 0xFFFFFFFC, c), s7}), false},
        {"bad hex in the data", lines({"S1050010ABGD72", s9}), false},
        {"bad hex in the count", lines({"S1Z50010ABCD72", s9}), false},
        {"count below the address length", lines({"S1020010ED", s9}), false},
        {"line shorter than its count", lines({"S1090010ABCD72", s9}), false},
        {"unknown record type", lines({"SX050010ABCD72", s9}), false},
        {"lower-case s", lines({"s1050010ABCD72", s9}), false},
        {"empty line", lines({rec(1, 0x10, c), "", s9}), false},
        {"CR only line ends", rec(1, 0x10, c) + "\r" + s9 + "\r", false},
    };

    QTemporaryDir dir;
    ErrorLog errors;
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        const QString path = dir.filePath("case.s19");
        writeFile(path, QByteArray::fromStdString(t.content));
        QByteArray image("stale");
        qint32 start = 12345;
        EXPECT_EQ(g_sRecToBin(path, image, start), t.ok);
        if (!t.ok) continue;
        QByteArray expected(t.size, '\0');
        for (const auto& p : t.pieces) expected.replace(qint64(p.address - quint32(t.start)), p.data.size(), p.data);
        EXPECT_EQ(start, qint32(t.start));
        EXPECT_EQ(image.size(), expected.size());
        EXPECT_TRUE(image == expected);
    }

    SCOPED_TRACE("missing file");
    const QString missing = dir.filePath("missing.s19");
    QByteArray image;
    qint32 start = 0;
    EXPECT_FALSE(g_sRecToBin(missing, image, start));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_TRUE(errors.seen.empty());
}

// Damage as it comes on the way: a line end turned into another byte, a type digit turned
// into a count or end type, a wrong count, a file cut short. Each is refused, naming the
// file and the line, where a lenient reader would lose a record or zero-fill its bytes.
TEST(SRecord, DamagedFilesAreRefusedNamingTheLine) {
    const QByteArray a = pattern(16, 1), b = pattern(16, 2), c = pattern(16, 3);
    const std::string s0 = "S00600004844521B", s9 = "S9030000FC", r1 = rec(1, 0x1000, a), r2 = rec(1, 0x1010, b),
                      r3 = rec(1, 0x1020, c);
    auto retyped = [](std::string record, char type) {
        record[1] = type;
        return record;
    };
    const Refusal cases[] = {
        {"characters after the checksum", lines({s0, r1, r2 + "x", r3, s9}), 3, "characters after the checksum"},
        {"a hex digit after the checksum", lines({s0, r1, r2 + "0", r3, s9}), 3, "characters after the checksum"},
        {"two records joined by a CR", lines({s0, r1, r2 + "\r" + r3, s9}), 3, "characters after the checksum"},
        {"two records joined by a blank", lines({s0, r1 + " " + r2, r3, s9}), 2, "characters after the checksum"},
        {"two records joined by a Ctrl-Z", lines({s0, r1 + "\r\x1A" + r2, r3, s9}), 2, "characters after the checksum"},
        {"header joined with the first record", lines({s0 + r1, r2, r3, s9}), 1, "characters after the checksum"},
        {"last record joined with the end record", lines({s0, r1, r2, r3 + s9}), 4, "characters after the checksum"},
        {"data record turned into S5", lines({s0, r1, retyped(r2, '5'), r3, s9}), 3, "data bytes in an S5 record, which holds none"},
        {"data record turned into S6", lines({s0, r1, retyped(rec(2, 0x1010, b), '6'), r3, s9}), 3, "data bytes in an S6 record, which holds none"},
        {"data record turned into S9", lines({s0, r1, retyped(r2, '9'), r3, s9}), 3, "data bytes in an S9 record, which holds none"},
        {"data record turned into S7", lines({s0, r1, retyped(rec(3, 0x1010, b), '7'), r3, s9}), 3,
         "data bytes in an S7 record, which holds none"},
        {"S5 count lower than the records", lines({s0, r1, r2, r3, "S5030002FA", s9}), 5,
         "the count record says 2 data records, the file holds 3 before it"},
        {"S6 count higher than the records", lines({s0, r1, r2, r3, "S604000004F7", s9}), 5,
         "the count record says 4 data records, the file holds 3 before it"},
        {"a data record turned into S0", lines({s0, r1, retyped(r2, '0'), r3, s9}), 3, "a header record after data records"},
        {"header with a bad checksum", lines({"S00600004844521C", r1, s9}), 1, "the checksum does not match"},
        {"end record with a bad checksum", lines({r1, "S9030000FD"}), 2, "the checksum does not match"},
        {"cut inside a record", lines({s0, r1, r2}) + r3.substr(0, 20), 4,
         "the line ends before the 19 bytes its count byte announces"},
        {"cut between records", lines({s0, r1, r2}), 0, "the file ends without an end record (S7, S8 or S9)"},
        {"a record after the end record", lines({s0, r1, s9, r2}), 4, "characters after the end record"},
        {"a Ctrl-Z before the end", lines({s0, r1, "\x1A", r2, s9}), 3, "the line does not begin with \"S\""},
        {"an empty line", lines({s0, r1, "", r2, s9}), 3, "an empty line"},
        {"overlapping records", lines({r1, r1, s9}), 2, "the record writes bytes that another record wrote"},
        {"no data", lines({s0, s9}), 0, "the file holds no data bytes"},
    };
    QTemporaryDir dir;
    ErrorLog errors;
    const QString path = dir.filePath("damaged.s19");
    expectRefused(path, cases);
    // The reason of a missing file, and no reason left over from a refusal after a success.
    QByteArray image;
    qint32 start = 0;
    QString error;
    EXPECT_FALSE(g_sRecToBin(dir.filePath("missing.s19"), image, start, error));
    EXPECT_EQ(error, QDir::toNativeSeparators(dir.filePath("missing.s19")) + QStringLiteral(": the file cannot be opened"));
    writeFile(path, QByteArray::fromStdString(lines({r1, s9})));
    EXPECT_TRUE(g_sRecToBin(path, image, start, error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(errors.seen.empty());
}

// The checksum does not cover the type digit, so one damaged digit there still checks:
// a data record retyped as S4 would be skipped and zero-filled, as another data type read
// with the wrong address length, as S0 taken for a header. Each is refused at its line.
TEST(SRecord, ADamagedRecordTypeIsRefusedNamingTheLine) {
    const QByteArray a = pattern(16, 4), b = pattern(16, 5), c = pattern(16, 6);
    auto retyped = [](std::string record, char type) {
        record[1] = type;
        return record;
    };
    // A file of each data type: header, three data records, end record.
    auto file = [&](int type, int damaged, char to, const std::string& end = {}) {
        std::vector<std::string> ls = {"S00600004844521B", rec(type, 0x1000, a), rec(type, 0x1010, b),
                                       rec(type, 0x1020, c)};
        static const char* ends[] = {"", "S9030000FC", "S804000000FB", "S70500000000FA"};
        ls.push_back(end.empty() ? ends[type] : end);
        if (damaged > 0) ls[size_t(damaged - 1)] = retyped(ls[size_t(damaged - 1)], to);
        return lines(ls);
    };
    const Refusal cases[] = {
        {"S2 data record turned into S4", file(2, 3, '4'), 3, "an S4 record, a reserved type that holds no data"},
        {"S1 data record turned into S4", file(1, 2, '4'), 2, "an S4 record, a reserved type that holds no data"},
        {"S2 data record turned into S1", file(2, 3, '1'), 3, "an S1 record in a file of S2 records"},
        {"S2 data record turned into S3", file(2, 4, '3'), 4, "an S3 record in a file of S2 records"},
        {"S3 data record turned into S2", file(3, 3, '2'), 3, "an S2 record in a file of S3 records"},
        {"S1 data record turned into S3", file(1, 3, '3'), 3, "an S3 record in a file of S1 records"},
        {"first S2 data record turned into S1", file(2, 2, '1'), 3, "an S2 record in a file of S1 records"},
        {"first S2 data record turned into S0", file(2, 2, '0'), 2, "a header record with the address 16, not 0"},
        {"first S1 data record turned into S0", file(1, 2, '0'), 2, "a header record with the address 4096, not 0"},
        {"S2 file ended by S9", file(2, 0, '0', "S9030000FC"), 5, "an S9 end record in a file of S2 records, which end with S8"},
        {"S3 file ended by S8", file(3, 0, '0', "S804000000FB"), 5, "an S8 end record in a file of S3 records, which end with S7"},
        {"S1 file ended by S7", file(1, 0, '0', "S70500000000FA"), 5, "an S7 end record in a file of S1 records, which end with S9"},
        {"header turned into S4", file(1, 1, '4'), 1, "an S4 record, a reserved type that holds no data"},
    };
    QTemporaryDir dir;
    ErrorLog errors;
    const QString path = dir.filePath("retyped.s28");
    expectRefused(path, cases);
    // The undamaged files of each type read whole.
    for (int type = 1; type <= 3; ++type) {
        SCOPED_TRACE(type);
        writeFile(path, QByteArray::fromStdString(file(type, 0, '0')));
        QByteArray image;
        qint32 start = 0;
        QString error;
        ASSERT_TRUE(g_sRecToBin(path, image, start, error)) << error.toStdString();
        EXPECT_EQ(start, 0x1000);
        EXPECT_TRUE(image == a + b + c);
    }
    EXPECT_TRUE(errors.seen.empty());
}

// Files another program wrote: srec_cat's header, count record, line lengths and address
// lengths are read as its own binary output shows them.
TEST(SRecord, FilesWrittenBySrecCatReadBack) {
    QTemporaryDir dir;
    const QString bin = dir.filePath("source.bin");
    const QByteArray image = pattern(1000, 7);
    writeFile(bin, image);
    const struct {
        const char* options;
        quint32 offset;
    } writes[] = {
        {"-execution-start-address 0", 0x1000},
        {"-address-length=3 -line-length 46 -crlf -execution-start-address 0x123456", 0x123456},
        {"-address-length=4 -Output_Block_Size 250 -execution-start-address 0", 0x80000000},
        {"-disable=data-count -disable=header -execution-start-address 0", 0},
    };
    const QString out = dir.filePath("srec_cat.s19");
    for (const auto& w : writes) {
        SCOPED_TRACE(w.options);
        const QString command = QStringLiteral("srec_cat '%1' -binary -offset 0x%2 -o '%3' -Motorola %4")
                                    .arg(bin, QString::number(w.offset, 16), out, QString::fromLatin1(w.options));
        ASSERT_EQ(std::system(command.toLocal8Bit().constData()), 0) << command.toStdString();
        QByteArray back;
        qint32 start = 0;
        QString error;
        ASSERT_TRUE(g_sRecToBin(out, back, start, error)) << error.toStdString();
        EXPECT_EQ(start, qint32(w.offset));
        EXPECT_TRUE(back == image);
        // The same file with its third record line joined to the fourth is refused.
        QList<QByteArray> ls = readFile(out).split('\n');
        ls[2] += ls[3];
        ls.removeAt(3);
        writeFile(out, ls.join('\n'));
        EXPECT_FALSE(g_sRecToBin(out, back, start, error));
        EXPECT_TRUE(error.endsWith(QStringLiteral(", line 3: characters after the checksum"))) << error.toStdString();
    }
}

TEST(SRecord, WriterProducesTheRecordsByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.s19");

    ASSERT_TRUE(g_binToSRec(QByteArray(1, 0x41), 0, "S19", path));
    EXPECT_EQ(readFile(path), QByteArray("S104000041BA\r\nS9030000FC\r\n"));

    const QByteArray image = pattern(33, 5);
    ASSERT_TRUE(g_binToSRec(image, 0x8000, "S28", path));
    const std::string expected =
        lines({rec(2, 0x8000, image.mid(0, 16)), rec(2, 0x8010, image.mid(16, 16)), rec(2, 0x8020, image.mid(32)),
               "S804000000FB"});
    EXPECT_EQ(readFile(path).toStdString(), expected);

    ASSERT_TRUE(g_binToSRec(QByteArray::fromHex("00FF"), qint32(0xFFFFFFFE), "S37", path));
    EXPECT_EQ(readFile(path), QByteArray("S307FFFFFFFE00FFFE\r\nS70500000000FA\r\n"));
}

TEST(SRecord, RoundTripGivesTheSameImageAndStart) {
    struct Trip {
        const char* format;
        qint32 start;
        int size;
    };
    const Trip trips[] = {{"S19", 0x0100, 1000}, {"S19", 0xFFF0, 16}, {"S28", 0x123456, 4097},
                          {"S28", 0xFFFF00, 256}, {"S37", qint32(0x80000000), 70001}, {"S37", 0, 1}};
    QTemporaryDir dir;
    for (const auto& t : trips) {
        SCOPED_TRACE(t.format);
        const QString path = dir.filePath("trip.srec");
        const QByteArray image = pattern(t.size, t.size);
        ASSERT_TRUE(g_binToSRec(image, t.start, t.format, path));
        QByteArray back;
        qint32 start = 0;
        ASSERT_TRUE(g_sRecToBin(path, back, start));
        EXPECT_EQ(start, t.start);
        EXPECT_TRUE(back == image);
    }
}

TEST(SRecord, WriterRefusalsLeaveAnExistingFileUntouched) {
    struct Refusal {
        const char* name;
        QByteArray image;
        qint32 start;
        const char* format;
    };
    const Refusal refusals[] = {
        {"lower-case format", QByteArray(4, 1), 0, "s19"},
        {"unknown format", QByteArray(4, 1), 0, "S20"},
        {"S19 past 0xFFFF", QByteArray(17, 1), 0xFFF0, "S19"},
        {"S19 start above 0xFFFF", QByteArray(1, 1), 0x10000, "S19"},
        {"S28 past 0xFFFFFF", QByteArray(2, 1), 0xFFFFFF, "S28"},
        {"S37 past 0xFFFFFFFF", QByteArray(2, 1), qint32(0xFFFFFFFF), "S37"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.s19");
    const QByteArray old = "S104000041BA\r\nS9030000FC\r\n";
    writeFile(path, old);
    ErrorLog errors;
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(g_binToSRec(r.image, r.start, r.format, path));
        EXPECT_EQ(readFile(path), old);
    }
    EXPECT_FALSE(g_binToSRec(QByteArray(4, 1), 0, "S19", dir.filePath("no such folder/x.s19")));
    EXPECT_TRUE(errors.seen.empty());
}

TEST(SRecord, ReadBinFile) {
    QTemporaryDir dir;
    ErrorLog errors;
    const QString path = dir.filePath("image.bin");
    const QByteArray content = pattern(3000, 9);
    writeFile(path, content);
    QByteArray bytes;
    g_readBinFile(path, bytes);
    EXPECT_TRUE(bytes == content);
    EXPECT_TRUE(errors.seen.empty());

    // A missing file is reported, not created; an empty one is reported too.
    const QString missing = dir.filePath("missing.bin");
    g_readBinFile(missing, bytes);
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_FALSE(QFile::exists(missing));
    const QString empty = dir.filePath("empty.bin");
    writeFile(empty, QByteArray());
    g_readBinFile(empty, bytes);
    ASSERT_EQ(errors.seen.size(), 2u);
    EXPECT_EQ(errors.seen[0].number, 53);
    EXPECT_EQ(errors.seen[0].procedure, "g_readBinFile");
    EXPECT_EQ(errors.seen[1].number, 9);
}
