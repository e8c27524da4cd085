#include "can/srecord.h"
#include "services/errtrap.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "errorlog.h"

#include <gtest/gtest.h>
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

}  // namespace

TEST(SRecord, ReaderCases) {
    const QByteArray a = pattern(16, 1), b = pattern(16, 2), c = pattern(8, 3);
    const std::string s9 = "S9030000FC", s0 = "S00600004844521B", s5 = "S5030002FA";
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
        {"below the first record moves the start down", lines({rec(2, 0x2000, a), rec(2, 0x1000, c), s9}), true,
         0x1000, 0x1010, {{0x1000, c}, {0x2000, a}}},
        {"exactly 16 MiB", lines({rec(3, 0, c), rec(3, 0xFFFFF8, c), s9}), true, 0, 0x1000000,
         {{0, c}, {0xFFFFF8, c}}},
        {"LF line ends", lines({rec(1, 0x10, c), s9}, "\n"), true, 0x10, 8, {{0x10, c}}},
        {"end record without line end", lines({rec(1, 0x10, c)}) + s9, true, 0x10, 8, {{0x10, c}}},
        {"nothing after the end record is read", lines({rec(1, 0x10, c), s9, "garbage"}), true, 0x10, 8, {{0x10, c}}},

        {"one checksum digit wrong", lines({"S1050010ABCD73", s9}), false},
        {"one data digit wrong", lines({"S1050010ABCE72", s9}), false},
        {"no end record", lines({rec(1, 0x10, c)}), false},
        {"only S0 and S9", lines({s0, s9}), false},
        {"empty file", "", false},
        {"overlapping records", lines({rec(1, 0x1000, a), rec(1, 0x1008, c), s9}), false},
        {"the same record twice", lines({rec(1, 0x1000, a), rec(1, 0x1000, a), s9}), false},
        {"overlap with a record below the first",
         lines({rec(1, 0x1000, a), rec(1, 0x0FF8, a), s9}), false},
        {"over 16 MiB", lines({rec(3, 0, c), rec(3, 0xFFFFF9, c), s9}), false},
        {"over 16 MiB through a record far below", lines({rec(3, 0xFFFF0000, c), rec(3, 0, c), s9}), false},
        {"past the end of the address space", lines({rec(3, 0xFFFFFFFC, c), s9}), false},
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
