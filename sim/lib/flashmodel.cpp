#include "lib/flashmodel.h"

#include "lib/crc32.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtDebug>

namespace sim {

namespace infoblock {

int size(int section) { return section == 1 ? 312 : 44; }

quint32 be32(const QByteArray& b, int pos) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | (pos + i >= 0 && pos + i < b.size() ? quint8(b[pos + i]) : 0u);
    return v;
}

void putBe32(QByteArray& b, int pos, quint32 v) {
    for (int i = 0; i < 4; ++i) b[pos + i] = char((v >> (24 - 8 * i)) & 0xFF);
}

quint32 length(const QByteArray& block) { return be32(block, int(block.size()) - 12); }
quint32 dataCrc(const QByteArray& block) { return be32(block, int(block.size()) - 8); }

bool wellFormed(int section, const QByteArray& block) {
    const int s = size(section);
    return block.size() == s && be32(block, 0) == quint32(s) && be32(block, s - 4) == crc32(block.left(s - 4));
}

void seal(QByteArray& block) {
    const int s = int(block.size());
    putBe32(block, s - 4, crc32(block.left(s - 4)));
}

QByteArray make(int section, const QByteArray& identification, quint32 version, const QByteArray& date, quint32 start,
                const QByteArray& image) {
    const int s = size(section);
    QByteArray b(s, '\0');
    putBe32(b, 0, quint32(s));
    b.replace(4, qMin<qsizetype>(8, identification.size()), identification.left(8));
    putBe32(b, 12, version);
    b.replace(16, qMin<qsizetype>(11, date.size()), date.left(11));
    putBe32(b, 28, start);
    putBe32(b, s - 12, quint32(image.size()));
    putBe32(b, s - 8, crc32(image));
    seal(b);
    return b;
}

}  // namespace infoblock

namespace {
QByteArray readFile(const QString& path, bool* found) {
    QFile f(path);
    *found = f.open(QIODevice::ReadOnly);
    return *found ? f.readAll() : QByteArray();
}
}  // namespace

FlashModel::FlashModel(const QString& stateDir, int module) {
    if (stateDir.isEmpty()) return;
    m_dir = QDir(stateDir).filePath(QStringLiteral("module%1").arg(module, 2, 10, QLatin1Char('0')));
    if (!QDir().mkpath(m_dir)) qWarning("pxm-sim: cannot make the state folder %s", qPrintable(m_dir));
    for (int s = kFirstSection; s <= kLastSection; ++s) {
        bool found = false;
        const QByteArray info = readFile(infoPath(s), &found);
        if (found) m_info[s] = info;
        const QByteArray image = readFile(imagePath(s), &found);
        if (found) m_image[s] = image;
    }
}

QByteArray FlashModel::info(int s) const {
    auto it = m_info.find(s);
    return it != m_info.end() ? it->second : QByteArray(infoblock::size(s), char(0xFF));
}

QByteArray FlashModel::image(int s) const {
    auto it = m_image.find(s);
    return it != m_image.end() ? it->second : QByteArray();
}

void FlashModel::setInfo(int s, const QByteArray& block) {
    m_info[s] = block;
    write(infoPath(s), block);
}

void FlashModel::setImage(int s, const QByteArray& image) {
    m_image[s] = image;
    write(imagePath(s), image);
}

void FlashModel::seed(int s, const QByteArray& block, const QByteArray& image) {
    if (hasInfo(s) || m_image.count(s)) return;
    setInfo(s, block);
    setImage(s, image);
}

bool FlashModel::valid(int s) const {
    if (!hasInfo(s)) return false;
    const QByteArray block = info(s), data = image(s);
    return infoblock::wellFormed(s, block) && infoblock::length(block) == quint32(data.size()) &&
           infoblock::dataCrc(block) == crc32(data);
}

QString FlashModel::infoPath(int s) const {
    return m_dir.isEmpty() ? QString() : QDir(m_dir).filePath(QStringLiteral("section%1.info").arg(s));
}

QString FlashModel::imagePath(int s) const {
    return m_dir.isEmpty() ? QString() : QDir(m_dir).filePath(QStringLiteral("section%1.bin").arg(s));
}

void FlashModel::write(const QString& path, const QByteArray& data) const {
    if (path.isEmpty()) return;
    // Whole or not at all: a reader never sees half a section.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        qWarning("pxm-sim: cannot write %s", qPrintable(path));
}

}  // namespace sim
