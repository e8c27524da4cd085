// The modules' bootloaders: program control, info blocks, section data in pieces, the
// loading status, uploads, the flash kept in a state folder, and the fault switches.
#include "lib/bootoptions.h"
#include "lib/crc16.h"
#include "lib/crc32.h"
#include "lib/flashmodel.h"
#include "lib/personality_boot.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "simargs.h"
#include "simbus.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

using namespace simtest;
using sim::ModuleBootloader;
using sim::PxmModule;
namespace ib = sim::infoblock;

namespace {
constexpr int kFlashMs = 80;

QByteArray pattern(int size, int seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 13 + i / 256 + seed) & 0xFF);
    return b;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

sim::ProfileOptions profile(sim::Profile p, int cylinders = 0) {
    sim::ProfileOptions o;
    o.profile = p;
    o.cylinders = cylinders;
    o.heartbeatMs = 50;
    o.publishMs = 50;
    return o;
}

// The ids and sub-indices a profile's module 0 answers at.
struct Ids {
    sim::Profile profile;
    quint8 application, bootloader, toBootloader, toApplication, status;
    int appSection;
};
const Ids kSBus{sim::Profile::SBus, 0x20, 0x70, 3, 6, 3, 6};
const Ids kMBus{sim::Profile::MBus, 0x11, 0x7F, 3, 6, 3, 6};
const Ids kQtm{sim::Profile::Qtm, 0x50, 0x40, 1, 2, 0, 2};
const Ids kBzm{sim::Profile::Bzm, 0x30, 0x20, 1, 2, 0, 2};
}  // namespace

TEST(SimFlashModel, Crc32IsTheCommonOne) {
    EXPECT_EQ(sim::crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(sim::crc32(QByteArray()), 0u);
}

TEST(SimFlashModel, InfoBlockLayout) {
    const QByteArray image = pattern(100, 1);
    const QByteArray b = ib::make(6, "KELB", 1, "Dec 08 2026", 0x00100000, image);
    ASSERT_EQ(b.size(), 44);
    EXPECT_EQ(b.mid(0, 4), QByteArray::fromHex("0000002C"));
    EXPECT_EQ(b.mid(4, 8), QByteArray("KELB\0\0\0\0", 8));
    EXPECT_EQ(b.mid(12, 4), QByteArray::fromHex("00000001"));
    EXPECT_EQ(b.mid(16, 12), QByteArray("Dec 08 2026\0", 12));
    EXPECT_EQ(b.mid(28, 4), QByteArray::fromHex("00100000"));
    EXPECT_EQ(b.mid(32, 4), QByteArray::fromHex("00000064"));
    EXPECT_EQ(ib::be32(b, 36), sim::crc32(image));
    EXPECT_EQ(ib::be32(b, 40), sim::crc32(b.left(40)));
    EXPECT_TRUE(ib::wellFormed(6, b));
    EXPECT_FALSE(ib::wellFormed(1, b));

    const QByteArray hw = ib::make(1, "HW", 7, QByteArray(), 0, image);
    ASSERT_EQ(hw.size(), 312);
    EXPECT_EQ(ib::be32(hw, 300), 100u);
    EXPECT_EQ(ib::be32(hw, 304), sim::crc32(image));
    EXPECT_EQ(ib::be32(hw, 308), sim::crc32(hw.left(308)));
    EXPECT_TRUE(ib::wellFormed(1, hw));
}

TEST(SimFlashModel, ValidityAndTheStateFolder) {
    QTemporaryDir dir;
    const QByteArray image = pattern(300, 2), block = ib::make(4, "DC", 1, "Jan 01 2024", 0x80000, image);
    {
        sim::FlashModel f(dir.path(), 3);
        EXPECT_FALSE(f.valid(4));
        EXPECT_EQ(f.info(4), QByteArray(44, char(0xFF)));  // erased
        f.seed(4, block, image);
        EXPECT_TRUE(f.valid(4));
        f.seed(4, ib::make(4, "X", 1, "", 0, "x"), "x");  // taken only where nothing is
        EXPECT_EQ(f.info(4), block);
        f.setImage(4, image.left(299));
        EXPECT_FALSE(f.valid(4));  // length
        QByteArray flipped = image;
        flipped[7] = char(flipped[7] ^ 1);
        f.setImage(4, flipped);
        EXPECT_FALSE(f.valid(4));  // CRC
        f.setImage(4, image);
        EXPECT_EQ(f.infoPath(4), QDir(dir.path()).filePath("module03/section4.info"));
        EXPECT_EQ(f.imagePath(4), QDir(dir.path()).filePath("module03/section4.bin"));
    }
    EXPECT_EQ(fileBytes(dir.filePath("module03/section4.info")), block);
    EXPECT_EQ(fileBytes(dir.filePath("module03/section4.bin")), image);
    sim::FlashModel again(dir.path(), 3);
    EXPECT_TRUE(again.valid(4));
    EXPECT_EQ(again.image(4), image);
}

TEST(SimBootOptions, ReadsTheCommandLine) {
    QTemporaryDir tmp;
    expectReads<sim::BootOptions>(
        {
            {{"--state", tmp.filePath("s"), "--flash-ms", "20", "--boot-version", "2.05", "--boot-fault", "image-crc",
              "--boot-fault", "refuse-start", "--boot-fault-modules", "0x6", "--differ", "2:6", "--differ", "0x0E:1"},
             true},
            {{}, true},
            {{"--flash-ms", "0"}, false},
            {{"--boot-fault", "meltdown"}, false},
            {{"--boot-fault-modules", "0x8000"}, false},
            {{"--differ", "15:6"}, false},
            {{"--differ", "1:0"}, false},
            {{"--differ", "1"}, false},
        },
        [&](const QStringList& args, const sim::BootOptions& o) {
            if (args.isEmpty()) return;
            EXPECT_TRUE(QDir(tmp.filePath("s")).exists());
            EXPECT_EQ(o.flashMs, 20);
            EXPECT_EQ(o.version, "2.05");
            EXPECT_TRUE(o.faults.badImageCrc && o.faults.refuseStart && !o.faults.refuseData);
            EXPECT_FALSE(o.faultsHit(0));
            EXPECT_TRUE(o.faultsHit(2));
            EXPECT_TRUE(o.differs(2, 6) && o.differs(14, 1));
            EXPECT_FALSE(o.differs(2, 1) || o.differs(6, 2));
        });
}

class SimBootloader : public SimBus {
protected:
    void build(const sim::ProfileOptions& p, sim::BootOptions o = {}) {
        if (o.flashMs == sim::BootOptions().flashMs) o.flashMs = kFlashMs;
        m_modules = std::make_unique<sim::PxmModules>(*m_sim, p);
        m_boot = std::make_unique<sim::PxmBootloaders>(*m_sim, *m_modules, p, o);
        drain();
    }
    // Ends the modules of one part of a test, after the frames under way have arrived.
    void end() {
        if (m_modules) drain();
        m_boot.reset();
        m_modules.reset();
    }
    // The check on the module of each of the ids in turn: made anew, its application
    // reporting the factory hardware version 7, then switched into its bootloader; ended
    // after the check. A fatal failure ends the whole run.
    void eachInBootloader(std::initializer_list<Ids> all, const std::function<void(const Ids&)>& check) {
        for (const Ids& ids : all) {
            SCOPED_TRACE(int(ids.application));
            build(ids);
            EXPECT_EQ(read(ids.application, 0x1009, 0), QByteArray("7"));
            ASSERT_TRUE(rebootIntoBootloader());
            ASSERT_NO_FATAL_FAILURE(check(ids));
            end();
        }
    }
    void build(const Ids& ids, sim::BootOptions o = {}) {
        m_ids = ids;
        build(profile(ids.profile), std::move(o));
    }
    void TearDown() override {
        end();
        SimBus::TearDown();
    }

    // Expedited or segmented upload; the abort code, 0 when done.
    quint32 read(quint8 node, quint16 index, quint8 sub, QByteArray& out, int timeoutMs = 1000) {
        return upload(node, index, sub, out, timeoutMs);
    }
    QByteArray read(quint8 node, quint16 index, quint8 sub) {
        QByteArray out;
        return read(node, index, sub, out) == 0 ? out : QByteArray("<abort>");
    }
    // Expedited (1-4 bytes) or segmented download with size; the abort code.
    quint32 write(quint8 node, quint16 index, quint8 sub, const QByteArray& data) { return download(node, index, sub, data); }
    // Block download with CRC, as the tool sends its pieces; the abort code.
    quint32 blockWrite(quint8 node, quint16 index, quint8 sub, const QByteArray& data) {
        return blockDownload(node, index, sub, data);
    }
    // Block upload with CRC; the abort code.
    quint32 blockRead(quint8 node, quint16 index, quint8 sub, QByteArray& out) {
        bool crcOk = false;
        if (quint32 a = blockUpload(node, index, sub, out, 127, 0, true, 0, &crcOk)) return a;
        return crcOk ? 0 : sim::abort::CrcError;
    }
    QByteArray piece(int section) {
        QByteArray out;
        return blockRead(m_ids.bootloader, 0x1F50, quint8(section), out) == 0 ? out : QByteArray("<abort>");
    }
    quint32 writeByte(quint8 node, quint16 index, quint8 sub, int v) { return write(node, index, sub, QByteArray(1, char(v))); }

    int status() {
        QByteArray s;
        return read(m_ids.bootloader, 0x5FFF, m_ids.status, s) == 0 && s.size() == 1 ? quint8(s[0]) : -1;
    }
    // The image in pieces of up to 8192 bytes; the first abort code.
    quint32 writeImage(int section, const QByteArray& image) {
        for (int pos = 0; pos < image.size(); pos += 8192)
            if (quint32 a = blockWrite(m_ids.bootloader, 0x1F50, quint8(section), image.mid(pos, 8192))) return a;
        return 0;
    }
    // Info block and data of a section; the loading status after each.
    std::pair<int, int> program(int section, const QByteArray& image, quint32 start = 0x100000) {
        EXPECT_EQ(write(m_ids.bootloader, 0x5FFE, quint8(section), ib::make(section, "TEST", 1, "Mar 03 2025", start, image)), 0u);
        const int afterBlock = status();
        EXPECT_EQ(writeImage(section, image), 0u);
        return {afterBlock, status()};
    }
    bool flashed(int timeoutMs = 20 * kFlashMs) {
        return waitFor([&] { return status() == ModuleBootloader::kFlashDone; }, timeoutMs);
    }
    // Module 0 through its application's program control; true once its bootloader booted.
    bool rebootIntoBootloader() {
        clearInbox();
        if (writeByte(m_ids.application, 0x1F51, m_ids.toBootloader, 1) != 0) return false;
        return next(0x700 + m_ids.bootloader).has_value();
    }
    bool startApplication() {
        clearInbox();
        if (writeByte(m_ids.bootloader, 0x1F51, m_ids.toApplication, 1) != 0) return false;
        return next(0x700 + m_ids.application).has_value();
    }
    bool answers(quint8 node) {
        QByteArray out;
        return read(node, 0x1000, 0, out, 150) == 0;
    }

    Ids m_ids = kSBus;
    std::unique_ptr<sim::PxmModules> m_modules;
    std::unique_ptr<sim::PxmBootloaders> m_boot;
};

TEST_F(SimBootloader, ProgramControlSwitchesBetweenTheIdsOfEachProfile) {
    for (const Ids& ids : {kSBus, kMBus, kQtm, kBzm}) {
        SCOPED_TRACE(int(ids.application));
        build(ids);
        ASSERT_TRUE(answers(ids.application));
        EXPECT_FALSE(answers(ids.bootloader));
        EXPECT_EQ(writeByte(ids.application, 0x1F51, ids.toBootloader, 2), sim::abort::InvalidValue);
        ASSERT_TRUE(rebootIntoBootloader());
        EXPECT_EQ(m_modules->mode(0), PxmModule::Mode::Bootloader);
        EXPECT_FALSE(answers(ids.application));
        EXPECT_EQ(read(ids.bootloader, 0x100A, 0), QByteArray("3.10"));
        EXPECT_TRUE(read(ids.bootloader, 0x1008, 0).endsWith(" Bootloader #00"));
        EXPECT_EQ(status(), ModuleBootloader::kIdle);
        QByteArray out;
        EXPECT_EQ(read(ids.bootloader, 0x5FFF, ids.status == 3 ? 0 : 3, out), sim::abort::NoSubIndex);
        // Heartbeats of the bootloader, at its own id.
        clearInbox();
        auto hb = next(0x700 + ids.bootloader);
        ASSERT_TRUE(hb.has_value());
        EXPECT_EQ(hb->data, QByteArray(1, char(0x7F)));
        EXPECT_EQ(writeByte(ids.bootloader, 0x1F51, ids.toApplication, 2), sim::abort::InvalidValue);
        ASSERT_TRUE(startApplication());
        EXPECT_EQ(m_modules->mode(0), PxmModule::Mode::Application);
        EXPECT_FALSE(answers(ids.bootloader));
        EXPECT_TRUE(answers(ids.application));
        end();
    }
}

TEST_F(SimBootloader, CylinderBootloadersOnTheMBusAnswerAtTheirSBusIdsWithoutHeartbeats) {
    build(profile(sim::Profile::MBus, 2));
    m_modules->setMode(1, PxmModule::Mode::Bootloader);
    m_modules->setMode(2, PxmModule::Mode::Bootloader);
    m_boot->sync();
    EXPECT_EQ(read(0x72, 0x1008, 0), QByteArray("KELB-3817 PXM-20 Bootloader #02"));
    EXPECT_TRUE(answers(0x71));
    // Not even a boot-up: one at 0x771 would pass for an old bootloader of module 0.
    EXPECT_TRUE(silent(0x771, 200));
    EXPECT_TRUE(silent(0x772, 10));
    EXPECT_FALSE(answers(0x22));
    m_modules->setMode(2, PxmModule::Mode::Application);
    m_boot->sync();
    EXPECT_FALSE(answers(0x72));
    EXPECT_EQ(writeByte(0x22, 0x1F51, 3, 1), 0u);  // the application can hand over again
    EXPECT_TRUE(waitFor([&] { return answers(0x72); }, 1000));
    EXPECT_TRUE(silent(0x772, 10));
}

TEST_F(SimBootloader, ApplicationAndBootloaderReportTheHardwareVersionOfTheInfoBlock) {
    eachInBootloader({kSBus, kMBus}, [&](const Ids& ids) {
        EXPECT_EQ(read(ids.bootloader, 0x1009, 0), QByteArray("7"));
        EXPECT_EQ(ib::be32(read(ids.bootloader, 0x5FFE, 1), 12), 7u);
        // A repaired block with another version counts in both programs.
        ASSERT_EQ(write(ids.bootloader, 0x5FFE, 1, ib::make(1, "HW", 8, QByteArray(), 0, QByteArray())), 0u);
        EXPECT_EQ(read(ids.bootloader, 0x1009, 0), QByteArray("8"));
        ASSERT_TRUE(startApplication());
        EXPECT_EQ(read(ids.application, 0x1009, 0), QByteArray("8"));
    });
}

// QTM and BZM load Bootloader 2 into section 1; their hardware block is kept apart.
TEST_F(SimBootloader, QtmAndBzmTakeBootloader2InSection1AndKeepTheirHardwareVersion) {
    eachInBootloader({kQtm, kBzm}, [&](const Ids& ids) {
        const QByteArray application = m_boot->image(0, ids.appSection);
        const QByteArray bl2 = pattern(2000, 9);
        const auto [afterBlock, afterData] = program(1, bl2, 0x8000);
        EXPECT_EQ(afterBlock, ModuleBootloader::kBlockAccepted);
        EXPECT_EQ(afterData, 0);
        ASSERT_TRUE(waitFor([&] { return m_boot->image(0, 1) == bl2; }, 20 * kFlashMs));
        EXPECT_EQ(read(ids.bootloader, 0x1009, 0), QByteArray("7"));
        EXPECT_EQ(m_boot->image(0, ids.appSection), application);
        ASSERT_TRUE(startApplication());
        EXPECT_EQ(read(ids.application, 0x1009, 0), QByteArray("7"));
    });
}

// The repair reads the hardware info block from section 1 on every module type.
TEST_F(SimBootloader, QtmAndBzmLeaveTheFactoryWithTheHardwareInfoBlockInSection1) {
    eachInBootloader({kQtm, kBzm}, [&](const Ids& ids) {
        const QByteArray hw = read(ids.bootloader, 0x5FFE, 1);
        EXPECT_TRUE(ib::wellFormed(1, hw));
        EXPECT_EQ(ib::be32(hw, 12), 7u);
        EXPECT_EQ(hw.mid(16, 4), QByteArray("1520"));
        EXPECT_EQ(ib::be32(hw, 20), 10000u);
        // The block describes the Bootloader 2 that section 1 holds.
        EXPECT_EQ(ib::length(hw), quint32(m_boot->image(0, 1).size()));
        EXPECT_EQ(ib::dataCrc(hw), sim::crc32(m_boot->image(0, 1)));
    });
}

TEST_F(SimBootloader, BootloaderRestartDropsTheOpenTransfer) {
    build(kSBus);
    ASSERT_TRUE(rebootIntoBootloader());
    ASSERT_EQ(write(0x70, 0x5FFE, 4, ib::make(4, "DC", 1, "", 0, pattern(50, 1))), 0u);
    EXPECT_EQ(status(), ModuleBootloader::kBlockAccepted);
    clearInbox();
    ASSERT_EQ(writeByte(0x70, 0x1F51, 3, 2), 0u);
    ASSERT_TRUE(next(0x770).has_value());  // boots again
    EXPECT_EQ(status(), ModuleBootloader::kIdle);
    EXPECT_EQ(writeImage(4, pattern(50, 1)), sim::abort::DeviceState);
    // An NMT reset restarts it too.
    ASSERT_EQ(write(0x70, 0x5FFE, 4, ib::make(4, "DC", 1, "", 0, pattern(50, 1))), 0u);
    clearInbox();
    send(0x000, bytes({0x81, 0x70}));
    ASSERT_TRUE(next(0x770).has_value());
    EXPECT_EQ(status(), ModuleBootloader::kIdle);
}

TEST_F(SimBootloader, InfoBlocksAreCheckedForSizeAndBlockCrc) {
    build(kSBus);
    ASSERT_TRUE(rebootIntoBootloader());
    const QByteArray good = ib::make(6, "KELB", 1, "Mar 03 2025", 0x100000, pattern(64, 3));
    QByteArray badCrc = good;
    badCrc[43] = char(badCrc[43] ^ 0x01);
    QByteArray badSizeField = good;
    ib::putBe32(badSizeField, 0, 45);
    ib::seal(badSizeField);
    const QByteArray hw = ib::make(1, "HW", 7, QByteArray(), 0, QByteArray());
    struct Case {
        const char* what;
        int section;
        QByteArray block;
        quint32 abort;
        int status;
    };
    const Case cases[] = {
        {"good", 6, good, 0, ModuleBootloader::kBlockAccepted},
        {"block CRC wrong", 6, badCrc, 0, ModuleBootloader::kBlockRefused},
        {"size field wrong", 6, badSizeField, 0, ModuleBootloader::kBlockRefused},
        {"43 bytes", 6, good.left(43), sim::abort::LengthTooLow, -2},
        {"312 bytes for section 6", 6, hw, sim::abort::LengthTooHigh, -2},
        {"44 bytes for section 1", 1, good, sim::abort::LengthTooLow, -2},
        {"hardware info block", 1, hw, 0, ModuleBootloader::kBlockAccepted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray before = m_boot->info(0, c.section);
        EXPECT_EQ(write(0x70, 0x5FFE, quint8(c.section), c.block), c.abort);
        if (c.status != -2) {
            EXPECT_EQ(status(), c.status);
        }
        const bool stored = c.status == ModuleBootloader::kBlockAccepted;
        EXPECT_EQ(read(0x70, 0x5FFE, quint8(c.section)), stored ? c.block : before);
    }
}

TEST_F(SimBootloader, DataInPiecesIsCheckedAgainstTheInfoBlockThenFlashed) {
    build(kSBus);
    ASSERT_TRUE(rebootIntoBootloader());
    const QByteArray image = pattern(20000, 4);
    const auto [afterBlock, afterData] = program(6, image);
    EXPECT_EQ(afterBlock, ModuleBootloader::kBlockAccepted);
    EXPECT_EQ(afterData, 127);
    EXPECT_FALSE(m_boot->applicationValid(0));  // not before the flash time is over
    EXPECT_NE(m_boot->image(0, 6), image);
    ASSERT_TRUE(flashed());
    EXPECT_EQ(m_boot->image(0, 6), image);
    EXPECT_TRUE(m_boot->applicationValid(0));

    // The same image with one byte changed fails the image CRC.
    QByteArray changed = image;
    changed[12345] = char(changed[12345] ^ 0x40);
    ASSERT_EQ(write(0x70, 0x5FFE, 6, ib::make(6, "KELB", 1, "", 0x100000, image)), 0u);
    EXPECT_EQ(writeImage(6, changed), 0u);
    EXPECT_EQ(status(), ModuleBootloader::kImageRefused);
    EXPECT_EQ(m_boot->image(0, 6), image);  // nothing flashed
}

TEST_F(SimBootloader, PiecesThatDoNotFitAreRefused) {
    // A flash slow enough that the checks made while it runs still find it running on a
    // machine under load.
    sim::BootOptions slow;
    slow.flashMs = 3000;
    build(kSBus, slow);
    ASSERT_TRUE(rebootIntoBootloader());
    const QByteArray image = pattern(9000, 5);
    EXPECT_EQ(writeImage(6, image), sim::abort::DeviceState);  // no info block yet
    ASSERT_EQ(write(0x70, 0x5FFE, 6, ib::make(6, "KELB", 1, "", 0x100000, image)), 0u);
    EXPECT_EQ(blockWrite(0x70, 0x1F50, 6, image.left(8193)), sim::abort::LengthTooHigh);
    EXPECT_EQ(write(0x70, 0x1F50, 4, image.left(100)), sim::abort::DeviceState);  // another section
    ASSERT_EQ(blockWrite(0x70, 0x1F50, 6, image.left(8192)), 0u);
    EXPECT_EQ(blockWrite(0x70, 0x1F50, 6, image.mid(8192) + 'x'), sim::abort::LengthTooHigh);  // past the length
    EXPECT_EQ(status(), ModuleBootloader::kBlockAccepted);
    ASSERT_EQ(write(0x70, 0x1F50, 6, image.mid(8192)), 0u);  // segmented alike
    EXPECT_EQ(status(), 127);
    // Nothing is taken while flashing.
    EXPECT_EQ(write(0x70, 0x5FFE, 4, ib::make(4, "DC", 1, "", 0, image)), sim::abort::DeviceState);
    ASSERT_TRUE(flashed(10000));
}

TEST_F(SimBootloader, LoadingStatusSequencePerProfile) {
    struct Case {
        Ids ids;
        int afterData;
    };
    for (const Case& c : {Case{kSBus, 127}, Case{kMBus, 127}, Case{kQtm, 0}, Case{kBzm, 0}}) {
        SCOPED_TRACE(int(c.ids.application));
        build(c.ids);
        ASSERT_TRUE(rebootIntoBootloader());
        EXPECT_EQ(status(), 255);
        const auto [afterBlock, afterData] = program(c.ids.appSection, pattern(3000, 6));
        EXPECT_EQ(afterBlock, 1);
        EXPECT_EQ(afterData, c.afterData);
        EXPECT_FALSE(m_boot->applicationValid(0));
        ASSERT_TRUE(waitFor([&] { return m_boot->applicationValid(0); }, 20 * kFlashMs));
        EXPECT_EQ(status(), 0);
        end();
    }
}

TEST_F(SimBootloader, TheApplicationStartsOnlyFromAValidImage) {
    build(kSBus);
    ASSERT_TRUE(rebootIntoBootloader());
    const QByteArray image = pattern(5000, 7);
    ASSERT_EQ(write(0x70, 0x5FFE, 6, ib::make(6, "KELB", 1, "", 0x100000, image)), 0u);
    EXPECT_EQ(writeByte(0x70, 0x1F51, 6, 1), sim::abort::DeviceState);  // data still missing
    ASSERT_EQ(writeImage(6, image.left(4000)), 0u);
    EXPECT_EQ(writeByte(0x70, 0x1F51, 6, 1), sim::abort::DeviceState);
    ASSERT_EQ(writeImage(6, image.mid(4000)), 0u);
    EXPECT_EQ(writeByte(0x70, 0x1F51, 6, 1), sim::abort::DeviceState);  // still flashing
    ASSERT_TRUE(flashed());
    EXPECT_TRUE(answers(0x70));
    EXPECT_EQ(m_modules->mode(0), PxmModule::Mode::Bootloader);
    ASSERT_TRUE(startApplication());
    EXPECT_EQ(read(0x20, 0x1008, 0), QByteArray("KELB-3817 PXM-20 #00"));
}

TEST_F(SimBootloader, UploadGivesBackWhatWasWrittenPieceByPiece) {
    build(kSBus);
    ASSERT_TRUE(rebootIntoBootloader());
    const QByteArray image = pattern(20000, 8);
    program(4, image, 0xC0000);
    ASSERT_TRUE(flashed());
    const QByteArray block = read(0x70, 0x5FFE, 4);
    EXPECT_EQ(ib::be32(block, 28), 0xC0000u);
    ASSERT_EQ(ib::length(block), 20000u);
    QByteArray got;
    QList<int> sizes;
    while (got.size() < image.size()) {
        const QByteArray p = piece(4);
        ASSERT_NE(p, "<abort>");
        sizes << int(p.size());
        got += p;
    }
    EXPECT_EQ(sizes, (QList<int>{8192, 8192, 3616}));
    EXPECT_EQ(got, image);
    EXPECT_EQ(sim::crc32(got), ib::dataCrc(block));
    // Past the end it begins again; reading the info block starts over too.
    EXPECT_EQ(piece(4), image.left(8192));
    read(0x70, 0x5FFE, 4);
    EXPECT_EQ(piece(4), image.left(8192));
}

TEST_F(SimBootloader, FactoryFlashServesTheModuleOverview) {
    build(kSBus);
    ASSERT_TRUE(rebootIntoBootloader());
    for (int s : {1, 2, 3, 4, 6, 7}) {
        SCOPED_TRACE(s);
        const QByteArray block = read(0x70, 0x5FFE, quint8(s));
        EXPECT_TRUE(ib::wellFormed(s, block));
    }
    const QByteArray hw = read(0x70, 0x5FFE, 1);
    EXPECT_EQ(ib::be32(hw, 12), 7u);
    EXPECT_EQ(hw.mid(16, 4), QByteArray("1520"));
    EXPECT_EQ(read(0x70, 0x1009, 0), QByteArray("7"));
    EXPECT_EQ(read(0x70, 0x5FFE, 6).mid(4, 8), QByteArray("KELB\0\0\0\0", 8));
    EXPECT_EQ(read(0x70, 0x5FFE, 5), QByteArray(44, char(0xFF)));  // never written
}

TEST_F(SimBootloader, ModulesHoldTheSameSoftwareUnlessOneIsToDiffer) {
    sim::BootOptions o;
    o.differing = {{2, 6}};
    build(profile(sim::Profile::SBus, 2), o);
    for (int s : {2, 3, 4, 6, 7}) {
        SCOPED_TRACE(s);
        EXPECT_EQ(m_boot->info(1, s), m_boot->info(0, s));
        EXPECT_EQ(m_boot->image(1, s), m_boot->image(0, s));
        if (s != 6) {
            EXPECT_EQ(m_boot->info(2, s), m_boot->info(0, s));
        }
    }
    const QByteArray odd = m_boot->info(2, 6), usual = m_boot->info(0, 6);
    EXPECT_TRUE(ib::wellFormed(6, odd));
    EXPECT_NE(ib::dataCrc(odd), ib::dataCrc(usual));
    EXPECT_EQ(ib::length(odd), ib::length(usual));
    EXPECT_EQ(odd.left(36), usual.left(36));  // only the CRCs differ
    // The hardware blocks differ by their serial numbers, as on real modules.
    EXPECT_EQ(ib::be32(m_boot->info(1, 1), 20), ib::be32(m_boot->info(0, 1), 20) + 1);
}

TEST_F(SimBootloader, TheStateFolderKeepsTheSectionsAcrossRuns) {
    QTemporaryDir dir;
    sim::BootOptions o;
    o.stateDir = dir.path();
    const QByteArray image = pattern(10000, 9);
    QByteArray hw = ib::make(1, "HW", 8, QByteArray(), 0, QByteArray());
    ib::putBe32(hw, 20, 4711);
    ib::seal(hw);
    build(kSBus, o);
    EXPECT_EQ(fileBytes(dir.filePath("module00/section6.bin")), m_boot->image(0, 6));  // factory, written out
    ASSERT_TRUE(rebootIntoBootloader());
    program(4, image, 0xC0000);
    ASSERT_TRUE(flashed());
    ASSERT_EQ(write(0x70, 0x5FFE, 1, hw), 0u);
    EXPECT_EQ(fileBytes(dir.filePath("module00/section4.bin")), image);
    EXPECT_EQ(fileBytes(dir.filePath("module00/section4.info")), read(0x70, 0x5FFE, 4));
    EXPECT_EQ(fileBytes(dir.filePath("module00/section1.info")), hw);
    end();

    build(kSBus, o);
    ASSERT_TRUE(rebootIntoBootloader());
    EXPECT_EQ(read(0x70, 0x5FFE, 1), hw);
    EXPECT_EQ(read(0x70, 0x1009, 0), QByteArray("8"));
    QByteArray got = piece(4);
    got += piece(4);
    EXPECT_EQ(got, image);
    end();

    // A damaged application image keeps the module in its bootloader from the start.
    QFile f(dir.filePath("module00/section6.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("broken");
    f.close();
    build(kSBus, o);
    EXPECT_EQ(m_modules->mode(0), PxmModule::Mode::Bootloader);
    EXPECT_TRUE(answers(0x70));
    EXPECT_FALSE(answers(0x20));
    EXPECT_EQ(writeByte(0x70, 0x1F51, 6, 1), sim::abort::DeviceState);
}

TEST_F(SimBootloader, EachFaultSwitchFailsItsStep) {
    const QByteArray image = pattern(2000, 10);
    const QByteArray block = ib::make(4, "DC", 1, "", 0xC0000, image);
    struct Case {
        const char* fault;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"refuse-info", [&] { EXPECT_EQ(write(0x70, 0x5FFE, 4, block), sim::abort::HardwareError); }},
        {"block-crc",
         [&] {
             EXPECT_EQ(write(0x70, 0x5FFE, 4, block), 0u);
             EXPECT_EQ(status(), ModuleBootloader::kBlockRefused);
         }},
        {"refuse-data",
         [&] {
             EXPECT_EQ(write(0x70, 0x5FFE, 4, block), 0u);
             EXPECT_EQ(writeImage(4, image), sim::abort::HardwareError);
         }},
        {"image-crc",
         [&] {
             EXPECT_EQ(program(4, image).second, ModuleBootloader::kImageRefused);
         }},
        {"flash",
         [&] {
             EXPECT_EQ(program(4, image).second, 127);
             EXPECT_FALSE(flashed(5 * kFlashMs));
             EXPECT_EQ(status(), 127);
             // A hardware block is never done either, and the old one stays.
             end();
             sim::BootOptions again;
             again.faults.set("flash");
             build(kSBus, again);
             ASSERT_TRUE(rebootIntoBootloader());
             const QByteArray before = read(0x70, 0x5FFE, 1);
             EXPECT_EQ(write(0x70, 0x5FFE, 1, ib::make(1, "HW", 8, QByteArray(), 0, QByteArray())), 0u);
             EXPECT_EQ(status(), 127);
             EXPECT_EQ(read(0x70, 0x5FFE, 1), before);
         }},
        {"refuse-status", [&] { EXPECT_EQ(status(), -1); }},
        {"refuse-start", [&] { EXPECT_EQ(writeByte(0x70, 0x1F51, 6, 1), sim::abort::HardwareError); }},
        {"refuse-upload",
         [&] {
             QByteArray out;
             EXPECT_EQ(read(0x70, 0x1F50, 4, out), sim::abort::HardwareError);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        sim::BootOptions o;
        ASSERT_TRUE(o.faults.set(c.fault));
        build(kSBus, o);
        ASSERT_TRUE(rebootIntoBootloader());
        c.check();
        end();
    }
    // The application's side, and a module the switches do not hit.
    sim::BootOptions o;
    o.faults.set("refuse-reboot");
    o.faultModules = 0x0002;
    build(profile(sim::Profile::SBus, 1), o);
    EXPECT_EQ(writeByte(0x21, 0x1F51, 3, 1), sim::abort::HardwareError);
    EXPECT_TRUE(answers(0x21));
    EXPECT_TRUE(rebootIntoBootloader());
}
