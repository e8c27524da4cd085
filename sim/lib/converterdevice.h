#pragma once
// A USB-to-CAN converter as a kernel CAN driver presents it to Qt: a transmit queue that
// holds at most N frames (10, the interface's default txqueuelen), drained at the bus's
// bit rate. A write into the full queue is refused with a WriteError and errno's text,
// "No buffer space available". The frames are passed on to the virtual bus as they are
// taken, and the queue empties by the bus model's clock: the simulator on the bus paces
// them itself, so that a late wake-up here costs the bus nothing. Switches have it stop
// draining (it then holds the frames it takes), or lose its connection and get it back;
// a queue of 0 frames takes nothing from the start. Lives in the thread that made it; the
// switches may be thrown from any thread.
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <atomic>
#include <deque>
#include <memory>

namespace sim {

class ConverterDevice : public QCanBusDevice {
    Q_OBJECT
public:
    struct Options {
        int queueLength = 10;
        int bitRate = 125000;
        // The converter stops draining once this many frames have left; -1: never.
        int stopAfterFrames = -1;
    };
    // What left the converters for the bus and what they refused; shared by the devices a
    // test makes one after the other, and kept after them.
    struct Traffic {
        // Frames that have left the queue for the bus, in order.
        QList<QCanBusFrame> sent() const;
        // Writes refused because the queue was full.
        int refusals() const { return refused.load(); }

        mutable QMutex mutex;
        QList<QCanBusFrame> frames;
        std::atomic<int> refused{0};
    };

    ConverterDevice(const QString& busUrl, Options options, std::shared_ptr<Traffic> traffic = nullptr,
                    QObject* parent = nullptr);

    bool writeFrame(const QCanBusFrame& frame) override;
    QString interpretErrorFrame(const QCanBusFrame&) override { return {}; }

    // Off: the queue keeps what it holds, and fills.
    void setDraining(bool on);
    // Off: the connection is lost, with whatever the queue held; on: it is back.
    void setConnected(bool on);
    const Traffic& traffic() const { return *m_traffic; }

protected:
    bool open() override;
    void close() override;

private:
    // Frames whose last bit is still to come on the bus, and those held while not draining.
    int occupied();
    void passOn(const QCanBusFrame& frame);
    void onBusState(QCanBusDevice::CanBusDeviceState state);
    void onBusFrames();
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    const QString m_url;
    const Options m_options;
    const std::shared_ptr<Traffic> m_traffic;
    QCanBusDevice* m_bus = nullptr;  // the virtualcan device behind
    std::deque<qint64> m_onBus;      // the last-bit times of the frames passed on, still to come
    std::deque<QCanBusFrame> m_held; // taken while not draining
    qint64 m_busFreeUs = 0;          // the last bit of the last frame passed on
    QElapsedTimer m_clock;
    bool m_draining = true;
    bool m_linked = true;
    int m_left = 0;  // frames this device has passed on
};

}  // namespace sim
