#pragma once
// Stand-ins for the CAN part's seams (can/links.h) that a test fills with what it needs:
// each operation that is set replaces the CAN master's; one left empty goes to the master.
#include "can/links.h"

#include <functional>

namespace cantest {

struct FakeModeChangeMaster : ModeChangeMaster {
    std::function<bool(quint8, qint32, quint8, const QByteArray&, qint32)> onWriteSDO;
    std::function<bool(quint8)> onSetOperational;
    std::function<bool(qint16, quint8)> onSearchNode;
    std::function<void(qint16)> onResetSDOTransferMode;

    bool writeSDO(quint8 node, qint32 index, quint8 sub, const QByteArray& data, qint32 timeoutMs) override {
        return onWriteSDO ? onWriteSDO(node, index, sub, data, timeoutMs)
                          : ModeChangeMaster::writeSDO(node, index, sub, data, timeoutMs);
    }
    bool setOperational(quint8 node) override {
        return onSetOperational ? onSetOperational(node) : ModeChangeMaster::setOperational(node);
    }
    bool searchNode(qint16 module, quint8 base) override {
        return onSearchNode ? onSearchNode(module, base) : ModeChangeMaster::searchNode(module, base);
    }
    void resetSDOTransferMode(qint16 module) override {
        if (onResetSDOTransferMode) return onResetSDOTransferMode(module);
        ModeChangeMaster::resetSDOTransferMode(module);
    }
};

struct FakeAutoDownloadMaster : AutoDownloadMaster {
    std::function<bool(quint8)> onSetUserLevel;
    std::function<bool(qint32, quint8)> onSetServiceBit;
    std::function<bool(qint32, qint16, const QByteArray&)> onWriteSymbol;
    std::function<bool(qint32, qint32, quint8, QByteArray&)> onReadSDO;

    bool setUserLevel(quint8 level) override {
        return onSetUserLevel ? onSetUserLevel(level) : AutoDownloadMaster::setUserLevel(level);
    }
    bool setServiceBit(qint32 key, quint8 state) override {
        return onSetServiceBit ? onSetServiceBit(key, state) : AutoDownloadMaster::setServiceBit(key, state);
    }
    bool writeSymbol(qint32 symbol, qint16 cylNo, const QByteArray& value) override {
        return onWriteSymbol ? onWriteSymbol(symbol, cylNo, value) : AutoDownloadMaster::writeSymbol(symbol, cylNo, value);
    }
    bool readSDO(qint32 node, qint32 index, quint8 sub, QByteArray& data) override {
        return onReadSDO ? onReadSDO(node, index, sub, data) : AutoDownloadMaster::readSDO(node, index, sub, data);
    }
};

// Counts the auto-download state's calls up into the main window.
struct FakeAutoDownloadMainWindow : AutoDownloadMainWindow {
    int spareReplacedBy = 0, logOffs = 0;
    void notConnectedToSpare(int module) override { spareReplacedBy = module; }
    void logOffApplication() override { ++logOffs; }
};

}  // namespace cantest
