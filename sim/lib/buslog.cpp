#include "lib/buslog.h"

namespace sim {

bool BusLog::open(const QString& path, QString* error) {
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return true;
    if (error) *error = QStringLiteral("cannot write \"%1\": %2").arg(path, m_file.errorString());
    return false;
}

void BusLog::record(const Frame& f, qint64 lastBitUs) {
    if (!m_file.isOpen()) return;
    m_file.write(QByteArray::number(lastBitUs) + ' ' + QByteArray::number(f.id, 16) + ' ' + f.data.toHex() + '\n');
}

bool readBusLog(const QString& path, std::vector<LoggedFrame>& out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    out.clear();
    for (int line = 1; !file.atEnd(); ++line) {
        const QList<QByteArray> parts = file.readLine().trimmed().split(' ');
        bool timeOk = false, idOk = false;
        LoggedFrame f;
        if (parts.size() == 3 || parts.size() == 2) {
            f.lastBitUs = parts[0].toLongLong(&timeOk);
            f.frame.id = parts[1].toUInt(&idOk, 16);
            if (parts.size() == 3) f.frame.data = QByteArray::fromHex(parts[2]);
        }
        const bool dataOk = parts.size() < 3 || (parts[2].size() % 2 == 0 && f.frame.data.size() * 2 == parts[2].size());
        if (!timeOk || !idOk || f.frame.id > 0x7FF || f.frame.data.size() > 8 || !dataOk) {
            if (error) *error = QStringLiteral("\"%1\", line %2: not a frame").arg(path).arg(line);
            return false;
        }
        out.push_back(f);
    }
    return true;
}

}  // namespace sim
