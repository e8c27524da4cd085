#pragma once
// The layer's own queue in front of the bus device. A converter whose transmit queue is
// full refuses a frame with a write error while it stays connected (on Linux the kernel's
// queue of 10 frames: "No buffer space available"). Such a frame is kept, in order with
// every frame after it, and written again on a short timer as the converter drains; it is
// given up only when no frame has left for longer than its own time-out. Lives in the
// worker thread.
#include <QCanBusFrame>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

class QCanBusDevice;

class TransmitQueue : public QObject {
    Q_OBJECT
public:
    // The wait before a refused frame is written again: at 500 kbit/s a converter's queue
    // of 10 frames lasts 2.5 ms, so the bus keeps busy.
    static constexpr int RetryMs = 1;
    // Told once per frame: handed to the device (true) or given up (false).
    using Sent = std::function<void(bool left)>;

    explicit TransmitQueue(QObject* parent = nullptr);

    // Every frame still waiting is given up when the device changes.
    void setDevice(QCanBusDevice* device);
    // Writes the frame at once when none waits before it, else queues it behind them. False
    // when the device refused it for another reason than a full queue: it is not kept, and
    // `sent` is not called.
    bool push(const QCanBusFrame& frame, int timeoutMs, int tag, Sent sent = {});
    // Gives up the waiting frames of that tag, without telling them.
    void discard(int tag);
    bool empty() const { return m_queue.empty(); }
    // True inside a write of the queue's own: a write error then is the converter's answer,
    // not a fault to report.
    bool writing() const { return m_writing; }
    // The device's text for the last refusal of a full queue.
    const QString& refusal() const { return m_refusal; }

signals:
    // The last waiting frame has been handed to the device.
    void emptied();

private:
    struct Entry {
        QCanBusFrame frame;
        int timeoutMs;
        int tag;
        Sent sent;
        qint64 queuedAt;
    };
    enum class Write { Left, Full, Refused };
    Write write(const QCanBusFrame& frame);
    void pump();
    void takeFront(bool left);

    QCanBusDevice* m_device = nullptr;
    std::deque<Entry> m_queue;
    QTimer m_retry;
    QElapsedTimer m_clock;
    qint64 m_lastLeftAt = 0;
    bool m_writing = false;
    QString m_refusal;
};
