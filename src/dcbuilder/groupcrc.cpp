#include "dcbuilder/groupcrc.h"

#include "bytes/bytes.h"
#include "crclibrary/crclibrary.h"
#include "dcbuilder/dcnumber.h"
#include "dcbuilder/openset.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

namespace groupCrc {

using modStringFct::sprintf;

QString symbolOf(int group) {
    return modGlobal::g_getSymbolName(QStringLiteral("DC_CRC_FIRST_GROUP") + QString::number(group));
}

QByteArray buffer(const std::vector<qint32>& values) {
    QByteArray buf;
    bytes::Writer w(buf, bytes::Order::BigEndian);
    for (qint32 v : values) w.number(v, 4);
    return buf;
}

Result compute(const QString& db, int group) {
    Result r;
    OpenSet s;
    if (!s.open(db, sprintf("SELECT * FROM dcEnums WHERE id>=0 AND crcGroup={*} ORDER BY id", group))) return r;
    std::vector<qint32> values;
    for (s.rs->MoveFirst(); !s.rs->eof(); s.rs->MoveNext()) {
        const QVariant v = s.rs->Value(QStringLiteral("value"));
        const std::optional<qint32> n = dcNumber::whole32(v);
        if (!n) {
            r.error = sprintf("value '{*}' of {*} is no 32-bit number: no CRC stored!", v.toString(),
                              s.rs->Value(QStringLiteral("name")).toString());
            return r;
        }
        values.push_back(*n);
    }
    const QByteArray buf = buffer(values);
    r.crc = CrcCalculation(buf.constData(), qint32(buf.size()), 0);
    r.length = qint32(buf.size());
    return r;
}

bool store(const QString& db, const QString& symbol, quint16 crc) {
    OpenSet s;
    if (!s.open(db, QStringLiteral("SELECT * FROM dcEnums ORDER BY id"))) return false;
    s.rs->FindFirst(QStringLiteral("name=?"), {symbol});
    if (s.rs->NoMatch()) return false;
    if (dcNumber::whole32(s.rs->Value(QStringLiteral("value"))) != qint32(crc)) {
        s.rs->Edit();
        s.rs->SetValue(QStringLiteral("value"), qint32(crc));
        s.rs->Update();
    }
    return true;
}

}  // namespace groupCrc
