#pragma once
// The simulator's bus connection: a virtualcan QCanBusDevice on the given URL, made again
// whenever the bus host goes away, and an output queue that holds frames back for delays.
// With a bit rate set it models the one shared bus: every frame received or sent occupies
// it for its bit time, in the order the frames reach it. A frame sent reaches the others
// once its last bit would be on the bus; one received is answered from its last bit.
// Lives in one thread; only isConnected() may be called from others.
#include "lib/frame.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <deque>
#include <functional>

class QCanBusDevice;
class QSocketNotifier;

namespace sim {

class BusConnection : public QObject {
    Q_OBJECT
public:
    explicit BusConnection(QObject* parent = nullptr);
    ~BusConnection() override;

    // False with an error when the virtualcan plugin is missing; otherwise keeps trying.
    bool open(const QString& url, QString* error = nullptr);
    void close();
    bool isConnected() const { return m_connected.load(); }

    void send(const Frame& f, int delayMs = 0);
    void setBitRate(int bitsPerSecond) { m_bitRate = bitsPerSecond; }
    // Sees every frame on the bus, received or sent, in bus order, with the microsecond on
    // the monotonic clock its last bit was on the bus (unpaced: when it came or went).
    using Recorder = std::function<void(const Frame& f, qint64 lastBitUs)>;
    void setRecorder(Recorder r) { m_recorder = std::move(r); }

signals:
    void frameReceived(const sim::Frame& f);
    void connected();

private:
    struct Pending {
        Frame frame;
        qint64 dueUs;
    };
    void connectDevice();
    void dropDevice();
    void retryLater();
    void readFrames();
    void quickAck();
    void pump();
    void armPump(qint64 atUs);
    void makeWakeClock();
    void disarmWake();
    void write(const Frame& f, qint64 lastBitUs);
    // Microseconds on the monotonic clock.
    static qint64 nowUs();

    QString m_url;
    bool m_wanted = false;
    QCanBusDevice* m_device = nullptr;
    std::atomic<bool> m_connected{false};
    QTimer m_retry;
    QTimer m_pumpTimer;           // delays, and pacing where there is no wake-up clock
    int m_wakeFd = -1;            // pacing: wakes the event loop at a frame's end
    QSocketNotifier* m_wake = nullptr;
    std::deque<Pending> m_queue;     // not yet on the bus, in the order they fall due
    std::deque<Pending> m_onBus;     // ours on the bus, in bus order, until their last bit is (dueUs)
    qint64 m_busFreeUs = 0;          // end of the last frame that took the bus
    qint64 m_answerAtUs = -1;        // while a received frame is taken in: its last bit
    int m_bitRate = 0;
    Recorder m_recorder;
};

}  // namespace sim
