#pragma once
// The one stand-in for the CAN master (can/canmaster.h). An operation the test sets
// answers; one left empty goes to `fallback` when that is set (the real frmCANopen, for a
// test that stands in for a few operations beside the in-process bus), and otherwise
// answers as a master whose bus is not set up: flags kept, an NMT start and a release do
// nothing and succeed, transfers fail, every module silent, no window.
#include "can/canmaster.h"

#include <QString>
#include <functional>
#include <vector>

namespace testsupport {

struct FakeCanMaster : CanMaster {
    using ModuleState = moduleProtocol::ModuleState;
    using ModuleStates = moduleProtocol::ModuleStates;

    CanMaster* fallback = nullptr;
    // Kept here unless fallback is set.
    bool noCAN = false, blockTransfer = false, bootupReceived = false, heartBeatRefresh = true;
    // What every state query answers unless fallback is set (heartbeats, query, rows).
    ModuleStates states{};
    bool oldBootloader = false, enoughCylinders = true;
    qint32 engineStandStill = 0;
    bool loaded = false;
    // The release, the window's unload and the M-Bus module check record themselves here.
    std::vector<QString>* calls = nullptr;

    std::function<bool(const QString& busName, bool darvo, quint8 deviceNo)> onInitialise;
    std::function<bool(quint8 node)> onSetOperational;
    std::function<bool(quint8 node, qint32 index, quint8 subIndex, QByteArray& data)> onReadSDO;
    std::function<bool(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, qint32 timeoutMs)> onWriteSDO;
    std::function<bool(qint16 module, quint8 base)> onSearchNode;
    std::function<double(quint8 node)> onBootLoaderVersion;
    std::function<QString(qint16 module, bool isInBootloader)> onHardwareVersion;
    std::function<void(qint16 module)> onResetSDOTransferMode;
    std::function<bool(qint32 key, quint8 state)> onSetServiceBit;
    std::function<bool(quint8 level)> onSetUserLevel;
    std::function<bool(qint32 key, qint16 cylNo, const QByteArray& value)> onWriteSymbol;
    std::function<bool()> onBusUp;

    bool g_noCAN() const override { return fallback ? fallback->g_noCAN() : noCAN; }
    void set_g_noCAN(bool on) override { fallback ? fallback->set_g_noCAN(on) : void(noCAN = on); }
    bool g_blockTransferEnable() const override { return fallback ? fallback->g_blockTransferEnable() : blockTransfer; }
    void set_g_blockTransferEnable(bool on) override {
        fallback ? fallback->set_g_blockTransferEnable(on) : void(blockTransfer = on);
    }
    bool g_bootupReceived() const override { return fallback ? fallback->g_bootupReceived() : bootupReceived; }
    void set_g_bootupReceived(bool on) override { fallback ? fallback->set_g_bootupReceived(on) : void(bootupReceived = on); }
    bool g_heartBeatRefresh() const override { return fallback ? fallback->g_heartBeatRefresh() : heartBeatRefresh; }
    void set_g_heartBeatRefresh(bool on) override {
        fallback ? fallback->set_g_heartBeatRefresh(on) : void(heartBeatRefresh = on);
    }

    bool g_initialise(const CanMessageForm& form, double& dllVersion, const QString& busName, bool darvo,
                      quint8 deviceNo) override {
        record(QStringLiteral("g_initialise(%1,%2,%3)").arg(busName).arg(darvo).arg(deviceNo));
        if (onInitialise) return onInitialise(busName, darvo, deviceNo);
        return fallback && fallback->g_initialise(form, dllVersion, busName, darvo, deviceNo);
    }
    void g_releaseCanOpen(bool onlyHW) override {
        record(onlyHW ? QStringLiteral("release(onlyHW)") : QStringLiteral("release(all)"));
        if (fallback) fallback->g_releaseCanOpen(onlyHW);
    }
    bool busUp() const override {
        if (onBusUp) return onBusUp();
        return fallback ? fallback->busUp() : !noCAN;
    }
    bool busLost() const override { return fallback && fallback->busLost(); }
    int busLosses() const override { return fallback ? fallback->busLosses() : 0; }
    bool takeTransmitQueueFull() override { return fallback && fallback->takeTransmitQueueFull(); }

    bool g_setOperational(quint8 node, bool noMessage) override {
        if (onSetOperational) return onSetOperational(node);
        return fallback ? fallback->g_setOperational(node, noMessage) : true;
    }
    bool g_readSDO(quint8 node, qint32 index, quint8 subIndex, qint32& rxLen, QByteArray& rxData, bool recursiveCall,
                   bool noMessage, bool noBlockTransfer) override {
        if (onReadSDO) {
            const bool ok = onReadSDO(node, index, subIndex, rxData);
            rxLen = qint32(rxData.size());
            return ok;
        }
        return fallback && fallback->g_readSDO(node, index, subIndex, rxLen, rxData, recursiveCall, noMessage, noBlockTransfer);
    }
    bool g_writeSDO(quint8 node, qint32 index, quint8 subIndex, qint32 txLen, const QByteArray& txData, bool noMessage,
                    qint32 timeoutMs) override {
        if (onWriteSDO) return onWriteSDO(node, index, subIndex, txData, timeoutMs);
        return fallback && fallback->g_writeSDO(node, index, subIndex, txLen, txData, noMessage, timeoutMs);
    }
    bool g_searchNode(qint16 module, quint8 base, bool noMessage, qint32& status) override {
        if (onSearchNode) return onSearchNode(module, base);
        return fallback && fallback->g_searchNode(module, base, noMessage, status);
    }
    double g_getBootLoaderVersion(quint8 node) override {
        if (onBootLoaderVersion) return onBootLoaderVersion(node);
        return fallback ? fallback->g_getBootLoaderVersion(node) : 0;
    }
    QString g_getHardwareVersion(qint16 module, bool isInBootloader) override {
        if (onHardwareVersion) return onHardwareVersion(module, isInBootloader);
        return fallback ? fallback->g_getHardwareVersion(module, isInBootloader) : QStringLiteral("?");
    }
    void g_resetSDOTransferMode(qint16 module) override {
        if (onResetSDOTransferMode) return onResetSDOTransferMode(module);
        if (fallback) fallback->g_resetSDOTransferMode(module);
    }

    void g_forceHeartBeatCheck() override {
        if (fallback) fallback->g_forceHeartBeatCheck();
    }
    bool g_setServiceBit(qint32 key, quint8 state) override {
        if (onSetServiceBit) return onSetServiceBit(key, state);
        return fallback && fallback->g_setServiceBit(key, state);
    }
    bool g_setUserLevel(quint8 level) override {
        if (onSetUserLevel) return onSetUserLevel(level);
        return fallback && fallback->g_setUserLevel(level);
    }
    bool g_writeSymbol(qint32 key, qint16 cylNo, const QByteArray& value) override {
        if (onWriteSymbol) return onWriteSymbol(key, cylNo, value);
        return fallback && fallback->g_writeSymbol(key, cylNo, value);
    }

    ModuleStates heartBeatStates() override { return fallback ? fallback->heartBeatStates() : states; }
    ModuleStates connectionStates() override { return fallback ? fallback->connectionStates() : states; }
    ModuleState moduleState(int module) override {
        return fallback ? fallback->moduleState(module) : states.at(size_t(module));
    }
    ModuleStates shownStates() override { return fallback ? fallback->shownStates() : states; }
    bool oldBootloaderDetectedOnMBus() override {
        return fallback ? fallback->oldBootloaderDetectedOnMBus() : oldBootloader;
    }
    void checkMBusModuleID(bool inBootloader) override {
        record(inBootloader ? QStringLiteral("checkMBusModuleID(boot)") : QStringLiteral("checkMBusModuleID(app)"));
        if (fallback) fallback->checkMBusModuleID(inBootloader);
    }
    qint32 engineStandStillStatus() override { return fallback ? fallback->engineStandStillStatus() : engineStandStill; }
    bool enoughCylindersToRunEngine() override {
        return fallback ? fallback->enoughCylindersToRunEngine() : enoughCylinders;
    }

    bool isLoaded() const override { return fallback ? fallback->isLoaded() : loaded; }
    void unload() override {
        record(QStringLiteral("frmCANopen"));
        fallback ? fallback->unload() : void(loaded = false);
    }
    void g_show() override {
        fallback ? fallback->g_show() : void(loaded = true);
    }

private:
    void record(const QString& what) {
        if (calls) calls->push_back(what);
    }
};

}  // namespace testsupport
