#include "servers.h"

#include "canfixture.h"
#include "crclibrary/crclibrary.h"

#include <algorithm>

namespace cantest {

namespace {
QByteArray bytes(int command, const QByteArray& payload = {}) {
    QByteArray f(8, '\0');
    f[0] = static_cast<char>(command);
    std::copy(payload.cbegin(), payload.cbegin() + std::min<qsizetype>(7, payload.size()), f.begin() + 1);
    return f;
}
quint16 crcOf(const QByteArray& b) { return CrcCalculation(b.constData(), static_cast<qint32>(b.size()), 0); }
}  // namespace

ScriptedPeer::Script uploadServer(const UploadServer& cfg) {
    struct State {
        int offset = 0, subStart = 0, blockSize = 0, toggle = 0, responses = 0;
        bool dropped = false;
    };
    auto st = std::make_shared<State>();
    const QByteArray& v = cfg.value;
    const quint32 announced = static_cast<quint32>(cfg.announced >= 0 ? cfg.announced : v.size());

    auto subBlock = [cfg, st](QList<Reply>& out) {
        const QByteArray& v = cfg.value;
        st->subStart = st->offset;
        for (int seq = 1; seq <= st->blockSize; ++seq) {
            const int from = st->subStart + (seq - 1) * 7;
            const bool last = from + 7 >= v.size();
            if (!(cfg.dropSeqOnce == seq && !st->dropped))
                out.append({bytes((last ? 0x80 : 0) | seq, v.mid(from, 7))});
            else
                st->dropped = true;
            if (last) break;
        }
    };
    auto plain = [cfg, st, announced]() -> Reply {
        const QByteArray& v = cfg.value;
        if (v.size() >= 1 && v.size() <= 4 && cfg.announced < 0) {
            QByteArray f = sdo(cfg.sized ? 0x43 | (4 - v.size()) << 2 : 0x42);
            std::copy(v.cbegin(), v.cend(), f.begin() + 4);
            return {f};
        }
        st->offset = 0;
        st->toggle = 0;
        return {sdo(cfg.sized ? 0x41 : 0x40, cfg.sized ? announced : 0)};
    };

    return [=](const QByteArray& r) -> QList<Reply> {
        QList<Reply> out;
        const quint8 cmd = static_cast<quint8>(r[0]);
        if (cmd == 0x80 || cmd == 0xA1) return out;
        if (cfg.silentAfter >= 0 && st->responses >= cfg.silentAfter) return out;
        ++st->responses;
        if (cmd == 0x40) {
            out.append(plain());
        } else if ((cmd & 0xEF) == 0x60) {
            const int t = (cmd >> 4) & 1;
            const int chunk = std::min<int>(7, v.size() - st->offset);
            const bool last = st->offset + chunk >= v.size();
            out.append({bytes((cfg.wrongToggle ? t ^ 1 : t) << 4 | (7 - chunk) << 1 | (last ? 1 : 0),
                              v.mid(st->offset, chunk))});
            st->offset += chunk;
        } else if (cmd == 0xA4 || cmd == 0xA0) {
            if (cfg.plainForBlock) {
                out.append(plain());
            } else {
                st->blockSize = quint8(r[4]);
                st->offset = 0;
                out.append({sdo(0xC0 | (cfg.blockCrc ? 4 : 0) | (cfg.sized ? 2 : 0), cfg.sized ? announced : 0)});
            }
        } else if (cmd == 0xA3) {
            subBlock(out);
        } else if (cmd == 0xA2) {
            st->offset = std::min<int>(v.size(), st->subStart + quint8(r[1]) * 7);
            st->blockSize = quint8(r[2]);
            const bool allIn = st->offset >= v.size() && (v.size() > 0 || quint8(r[1]) > 0);
            if (allIn) {
                const int segments = std::max<int>(1, (v.size() + 6) / 7);
                quint16 crc = crcOf(v);
                if (cfg.corruptCrc) crc ^= 0x0101;
                out.append({bytes(0xC1 | (segments * 7 - v.size()) << 2,
                                  QByteArray(1, char(crc & 0xFF)) + QByteArray(1, char(crc >> 8)))});
            } else {
                subBlock(out);
            }
        }
        for (Reply& rep : out) rep.delayMs = cfg.delayMs;
        return out;
    };
}

ScriptedPeer::Script downloadServer(std::shared_ptr<Stored> stored, const DownloadServer& cfg) {
    struct State {
        enum { Idle, Segments, Block, BlockEnd } mode = Idle;
        int lastSeq = 0, blockSize = 0;
        bool partialDone = false, crc = false;
        QByteArray data;
    };
    auto st = std::make_shared<State>();
    auto keep = [stored](const QByteArray& v, bool crcChecked) {
        QMutexLocker lock(&stored->mutex);
        stored->value = v;
        stored->complete = true;
        stored->crcChecked = crcChecked;
    };
    return [=](const QByteArray& r) -> QList<Reply> {
        const quint8 cmd = static_cast<quint8>(r[0]);
        if (cmd == 0x80) {
            st->mode = State::Idle;
            return {};
        }
        if (st->mode == State::Block) {
            const int seq = cmd & 0x7F;
            if (seq == st->lastSeq + 1) {
                st->data += r.mid(1, 7);
                st->lastSeq = seq;
            }
            if (!(cmd & 0x80) && seq < st->blockSize) return {};
            int ack = st->lastSeq;
            if (cfg.partialAckOnce > 0 && !st->partialDone) {
                st->partialDone = true;
                st->data.chop((ack - cfg.partialAckOnce) * 7);
                ack = cfg.partialAckOnce;
            } else if (cmd & 0x80) {
                st->mode = State::BlockEnd;
            }
            st->lastSeq = 0;
            return {r8({0xA2, ack, cfg.blockSize})};
        }
        if (st->mode == State::BlockEnd && (cmd & 0xE3) == 0xC1) {
            st->data.chop((cmd >> 2) & 7);
            st->mode = State::Idle;
            if (st->crc && quint16(quint8(r[1]) | quint8(r[2]) << 8) != crcOf(st->data))
                return {{sdo(0x80, 0x05040004)}};
            keep(st->data, st->crc);
            return {r8({0xA1})};
        }
        if ((cmd & 0xE0) == 0x20) {  // initiate download
            if (cmd & 0x02) {
                keep(r.mid(4, (cmd & 0x01) ? 4 - ((cmd >> 2) & 3) : 4), false);
            } else {
                st->mode = State::Segments;
                st->data.clear();
            }
            return {{sdo(0x60)}};
        }
        if ((cmd & 0xE0) == 0x00 && st->mode == State::Segments) {
            st->data += r.mid(1, 7 - ((cmd >> 1) & 7));
            if (cmd & 1) {
                keep(st->data, false);
                st->mode = State::Idle;
            }
            return {r8({0x20 | (cmd & 0x10)})};
        }
        if ((cmd & 0xF9) == 0xC0) {  // initiate block download
            st->mode = State::Block;
            st->crc = cfg.blockCrc && (cmd & 0x04);
            st->lastSeq = 0;
            st->blockSize = cfg.blockSize;
            st->data.clear();
            st->partialDone = false;
            QByteArray f = sdo(0xA0 | (cfg.blockCrc ? 4 : 0));
            f[4] = static_cast<char>(cfg.blockSize);
            return {{f}};
        }
        return {{sdo(0x80, 0x05040001)}};
    };
}

}  // namespace cantest
