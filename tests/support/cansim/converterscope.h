#pragma once
// For its lifetime, the CAN layer opens a virtual bus (an interface tcp://…) through a
// converter with a small transmit queue (sim::ConverterDevice); other interfaces as usual.
#include "caninterface/caninterface.h"
#include "lib/converterdevice.h"

#include <QMutex>
#include <QPointer>

namespace cansim {

class ConverterScope : public CanDeviceFactory {
public:
    explicit ConverterScope(sim::ConverterDevice::Options options) : m_options(options) {
        canDeviceLink::install(this);
    }
    ~ConverterScope() override { canDeviceLink::install(nullptr); }
    ConverterScope(const ConverterScope&) = delete;
    ConverterScope& operator=(const ConverterScope&) = delete;

    // Called in the CAN layer's thread.
    QCanBusDevice* createDevice(const QString& plugin, const QString& interfaceName, QString* error) override {
        if (!interfaceName.startsWith(QLatin1String("tcp://"))) return CanDeviceFactory::createDevice(plugin, interfaceName, error);
        auto* device = new sim::ConverterDevice(interfaceName, m_options, m_traffic);
        QMutexLocker lock(&m_mutex);
        m_device = device;
        return device;
    }
    // The converter opened last while it is open, else nullptr.
    sim::ConverterDevice* device() const {
        QMutexLocker lock(&m_mutex);
        return m_device.data();
    }
    // What every converter of the scope passed on and refused, kept after they are gone.
    const sim::ConverterDevice::Traffic& traffic() const { return *m_traffic; }

private:
    const sim::ConverterDevice::Options m_options;
    const std::shared_ptr<sim::ConverterDevice::Traffic> m_traffic = std::make_shared<sim::ConverterDevice::Traffic>();
    mutable QMutex m_mutex;
    QPointer<sim::ConverterDevice> m_device;
};

}  // namespace cansim
