#pragma once
// A module's flash as its bootloader keeps it: per section (1 to 9) the stored info block
// and image. With a state folder every section lives in two files that outlast the
// simulator, <folder>/moduleNN/sectionS.info and .bin, so that a test can read them back
// or lay them out beforehand. Used in the simulator's thread only.
#include <QByteArray>
#include <QString>
#include <map>

namespace sim {

// The section info block: big-endian numbers, 44 bytes (312 for section 1) with the block
// size at 0, identification at 4, version at 12, date text at 16, start address at 28, and
// the data length, data CRC and block CRC in the last 12 bytes.
namespace infoblock {
int size(int section);
quint32 be32(const QByteArray& b, int pos);  // missing bytes read 0
void putBe32(QByteArray& b, int pos, quint32 v);
quint32 length(const QByteArray& block);
quint32 dataCrc(const QByteArray& block);
// The block is as long as its section's blocks, says so at 0, and its block CRC holds.
bool wellFormed(int section, const QByteArray& block);
// Stores the block CRC over the bytes before it.
void seal(QByteArray& block);
QByteArray make(int section, const QByteArray& identification, quint32 version, const QByteArray& date, quint32 start,
                const QByteArray& image);
}  // namespace infoblock

class FlashModel {
public:
    static constexpr int kFirstSection = 1, kLastSection = 9;
    static bool isSection(int s) { return s >= kFirstSection && s <= kLastSection; }

    // Reads what the folder holds for the module; without a folder the flash lives in memory.
    explicit FlashModel(const QString& stateDir = QString(), int module = 0);

    bool hasInfo(int s) const { return m_info.count(s) != 0; }
    // The stored block; erased flash (0xFF) when there is none.
    QByteArray info(int s) const;
    QByteArray image(int s) const;
    // Stored and written through to the folder.
    void setInfo(int s, const QByteArray& block);
    void setImage(int s, const QByteArray& image);
    // Factory contents: taken only for a section that holds nothing yet.
    void seed(int s, const QByteArray& block, const QByteArray& image);
    // The info block is well formed and the image has the length and CRC it states.
    bool valid(int s) const;

    // Empty without a state folder.
    QString infoPath(int s) const;
    QString imagePath(int s) const;

private:
    void write(const QString& path, const QByteArray& data) const;

    QString m_dir;  // the module's own folder
    std::map<int, QByteArray> m_info, m_image;
};

}  // namespace sim
