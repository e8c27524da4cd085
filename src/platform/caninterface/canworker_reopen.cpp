// The CAN layer's side of a converter that drops out and comes back (a cable pulled and
// pushed back): the loss is told once, the running transfer fails, and while the bus is
// started the same converter is opened again about once a second until that succeeds.
#include "caninterface/canstatus.h"
#include "caninterface/canworker.h"

void CanWorker::keepForReopen(const QString& plugin, const QString& interfaceName, int bitRate) {
    m_reopenPlugin = plugin;
    m_reopenInterface = interfaceName;
    m_reopenBitRate = bitRate;
}

void CanWorker::connectionLost(const QString& message) {
    const bool first = !m_lost;
    m_lost = true;
    if (first) report(CanStatus::HardwareError, message);
    if (m_transfer) endTransfer(CanStatus::HardwareError);
    if (m_started && !m_reopenTimer.isActive()) m_reopenTimer.start(ReopenEveryMs);
}

// Qt's virtual bus hosts the bus itself when no host is on its port, so a success here says
// nothing of the modules behind the converter: the commands still wait for them.
void CanWorker::reopen() {
    if (!m_lost || !m_started) return;
    // The loss was told once; a try that fails again is no news.
    m_reopening = true;
    open(m_reopenPlugin, m_reopenInterface, m_reopenBitRate, [this](qint32 status) {
        // The open began with a close; the bus ran before its loss and runs on.
        m_started = true;
        if (status == CanStatus::Success) return onReconnected();
        m_lost = true;
        m_reopenTimer.start(ReopenEveryMs);
    });
}

void CanWorker::onReconnected() {
    m_reopenTimer.stop();
    m_lost = false;
    const QString message = QStringLiteral("connection to %1 is back").arg(m_description);
    qCInfo(lcCan).noquote() << "CAN:" << message;
    emit reconnected(message);
}
