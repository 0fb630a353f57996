#include "DeviceTestBench.h"

#include "BoundedWait.h"
#include "ConfiguratorModule.h"
#include "DeviceSettings.h"
#include "Watchdog.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

DeviceTestBench::DeviceTestBench(int emulatorCount)
{
    DeviceZFN::setPopUpSink([this](const QString& text) { m_popUps.append(text); });
    for (int i = 0; i < emulatorCount; ++i) {
        m_emulators.push_back(std::make_unique<CalibratorEmulator>());
        if (!m_emulators.back()->start())
            qFatal("emulator did not start");
    }
    m_device = std::make_unique<DeviceZFN>();
    m_device->init();
    m_device->setConfiguratorModule(new ConfiguratorModule(m_device.get()));
    // Workers send status texts from their own threads: they are recorded in this one.
    QObject::connect(m_device.get(), &DeviceZFN::showStatusMessageSignal, m_device.get(),
                     [this](const QString& text) { m_statusTexts.append(text); });
    publishPorts();
}

DeviceTestBench::~DeviceTestBench()
{
    destroyDevice();
    m_emulators.clear();
    DeviceZFN::setPopUpSink(nullptr);
    g_foundDevices.clear();
    g_portList.clear();
}

// The device object waits for its workers without a bound as it goes.
void DeviceTestBench::destroyDevice()
{
    const Watchdog watchdog(BoundedWait::jobMs, "the device object did not end its workers");
    m_device.reset();
}

void DeviceTestBench::publishPorts(const QStringList& extraEntries)
{
    QStringList entries;
    for (size_t i = 0; i < m_emulators.size(); ++i)
        entries << QStringLiteral("COM%1=%2").arg(i + 1).arg(m_emulators[i]->portPath());
    entries << extraEntries;
    qputenv("ZFN_PORTS", entries.join(';').toUtf8());
    m_device->refreshPortList();
}

void DeviceTestBench::offer(int index, int address, int type)
{
    emulator(index).setAddress(address);
    emulator(index).setDeviceType(type);
    g_foundDevices.clear();
    g_foundDevices.append(DeviceInfo(g_portList.at(index), quint8(address), quint8(type)));
}

bool DeviceTestBench::connectTo(int index, int address, int type)
{
    offer(index, address, type);
    m_device->connectToDevice(0);
    // With the window there, a connect starts the settings read; the caller gets the port after it.
    const bool settled = BoundedWait::until([this] { return m_device->portOwner()->isFree(); }, BoundedWait::jobMs);
    const bool connected = settled && m_device->isConnected();
    if (!connected)
        printWhyNotConnected();
    return connected;
}

// The device object sends its pop-ups queued: those of the failed connect are delivered first.
void DeviceTestBench::printWhyNotConnected()
{
    QCoreApplication::sendPostedEvents(m_device.get(), QEvent::MetaCall);
    qWarning().noquote() << "not connected; pop-ups:" << m_popUps.join(" | ")
                         << "; status texts:" << m_statusTexts.join(" | ");
}

bool DeviceTestBench::connectWithTransmitter(HartVariant variant)
{
    emulator().attachHartTransmitter(variant);
    const bool connected = connectTo(0);
    m_device->deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
    return connected;
}

bool DeviceTestBench::cutSlowPassThrough(int transmitterDelayMs)
{
    if (!m_device->checkHartConnection(false))
        return false;
    HartTransmitterOptions slow;
    slow.replyDelayMs = transmitterDelayMs;
    emulator().hartTransmitter().setOptions(slow);
    emulator().clearRequests();
    const auto passThroughLeft = [this] {
        const QList<EmulatorRequest> requests = emulator().requests();
        return std::any_of(requests.cbegin(), requests.cend(),
                           [](const EmulatorRequest& request) { return request.command.startsWith("40;"); });
    };
    if (!m_device->startHartAlgorithm(1, true, 0) || !BoundedWait::until(passThroughLeft))
        return false;
    m_device->stopSearch();
    return BoundedWait::until([this] { return m_device->portOwner()->isFree(); });
}

bool DeviceTestBench::flushLine()
{
    return m_device->readValues(1);
}

QStringList DeviceTestBench::readValues(std::initializer_list<int> numbers)
{
    QStringList values;
    for (const int number : numbers) {
        QByteArray value;
        values << (m_device->readValuesTo(value, number) ? QString::fromLatin1(value) : QStringLiteral("failed"));
    }
    return values;
}

void DeviceTestBench::runInWorker(const std::function<void()>& fn)
{
    PortOwner* owner = m_device->portOwner();
    QThread* worker = QThread::create([&] { owner->serve(fn); });
    if (!owner->lend(worker))
        qFatal("the port is lent");
    worker->start();
    // A worker that never ends still uses the caller's data: the program cannot go on past it.
    if (!BoundedWait::threadEnds(*worker, BoundedWait::jobMs))
        qFatal("the worker did not end");
    delete worker;
}

ChannelRecord DeviceTestBench::channel()
{
    QMutexLocker lock(m_device->mutex());
    return *m_device->currentChannel();
}
