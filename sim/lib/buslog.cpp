#include "lib/buslog.h"

#include <QFile>

namespace sim {

bool BusLog::open(const QString& path, QString* error) {
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly)) return true;
    if (error) *error = QStringLiteral("cannot write \"%1\": %2").arg(path, m_file.errorString());
    return false;
}

void BusLog::record(const Frame& f, qint64 lastBitUs) {
    if (!m_file.isOpen()) return;
    m_file.write(QByteArray::number(lastBitUs) + ' ' + QByteArray::number(f.id, 16) + ' ' + f.data.toHex() + '\n');
}

bool BusLog::commit(QString* error) {
    if (!m_file.isOpen() || m_file.commit()) return true;
    if (error) *error = QStringLiteral("cannot write \"%1\": %2").arg(m_file.fileName(), m_file.errorString());
    return false;
}

bool readBusLog(const QString& path, std::vector<LoggedFrame>& out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    out.clear();
    for (int line = 1; !file.atEnd(); ++line) {
        // A frame without data has no third field.
        const QList<QByteArray> parts = file.readLine().trimmed().split(' ');
        const QByteArray hex = parts.size() == 3 ? parts[2] : QByteArray();
        bool timeOk = false, idOk = false;
        LoggedFrame f;
        f.lastBitUs = parts[0].toLongLong(&timeOk);
        if (parts.size() >= 2) f.frame.id = parts[1].toUInt(&idOk, 16);
        f.frame.data = QByteArray::fromHex(hex);
        // fromHex passes over what is no hex digit: the digits must be the whole field.
        if (parts.size() > 3 || !timeOk || !idOk || f.frame.id > 0x7FF || f.frame.data.size() > 8 ||
            f.frame.data.size() * 2 != hex.size()) {
            if (error) *error = QStringLiteral("\"%1\", line %2: not a frame").arg(path).arg(line);
            return false;
        }
        out.push_back(f);
    }
    return true;
}

}  // namespace sim
