// The bus log that the download benchmark reads its times from: what pxm-sim writes reads
// back frame for frame, and a damaged line is refused with its number, never skipped.
#include "lib/buslog.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sim;

namespace {
QString writeText(const QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath(QStringLiteral("bus.log"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return QString();
    return path;
}
}  // namespace

TEST(SimBusLog, ReadsBackWhatWasWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.log"));
    const std::vector<LoggedFrame> frames = {{1000, {0x670, QByteArray::fromHex("c600601f00000400")}},
                                             {1230, {0x5f0, QByteArray::fromHex("a2")}},
                                             {987654321012, {0x7ff, QByteArray()}}};
    BusLog log;
    QString error;
    ASSERT_TRUE(log.open(path, &error)) << error.toStdString();
    for (const LoggedFrame& f : frames) log.record(f.frame, f.lastBitUs);
    ASSERT_TRUE(log.commit(&error)) << error.toStdString();

    std::vector<LoggedFrame> back;
    ASSERT_TRUE(readBusLog(path, back, &error)) << error.toStdString();
    ASSERT_EQ(back.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(back[i].lastBitUs, frames[i].lastBitUs) << i;
        EXPECT_EQ(back[i].frame.id, frames[i].frame.id) << i;
        EXPECT_EQ(back[i].frame.data, frames[i].frame.data) << i;
    }
}

TEST(SimBusLog, RefusesADamagedLineByItsNumber) {
    const QByteArray good = "1000 670 0102030405060708\n";
    const struct {
        const char* what;
        QByteArray line;
    } cases[] = {
        {"cut after the time", "1230\n"},
        {"a time that is no number", "12x0 5f0 a2\n"},
        {"an identifier past 11 bits", "1230 800 a2\n"},
        {"an odd number of hex digits", "1230 5f0 a20\n"},
        {"a byte that is no hex", "1230 5f0 zz\n"},
        {"nine data bytes", "1230 5f0 010203040506070809\n"},
        {"two lines joined", "1230 5f0 a2 1460 5f0 a2\n"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = writeText(dir, good + c.line + good);
        ASSERT_FALSE(path.isEmpty());
        std::vector<LoggedFrame> frames;
        QString error;
        EXPECT_FALSE(readBusLog(path, frames, &error)) << c.what;
        EXPECT_TRUE(error.contains(QStringLiteral("line 2"))) << c.what << ": " << error.toStdString();
    }
    std::vector<LoggedFrame> frames;
    QString error;
    EXPECT_FALSE(readBusLog(QStringLiteral("/nonexistent/bus.log"), frames, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot read"))) << error.toStdString();
}
