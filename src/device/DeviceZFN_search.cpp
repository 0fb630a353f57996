#include "DeviceZFN.h"

#include "AsciiUail.h"
#include "HartDeviceData.h"
#include "PollController.h"
#include "PollThread.h"

#include <QDebug>
#include <QSerialPort>
#include <QThread>

QList<PortEntry> g_portList;
QList<DeviceInfo> g_foundDevices;
QMutex g_searchMutex;

namespace {

constexpr int identifyReadTimeoutMs = 2000;
constexpr int identifySilenceMs = 20;
constexpr int identifyPieceLimit = 101;

void searchLine(const QString& event, const QString& detail = QString())
{
    qDebug().noquote() << "DeviceZFN::searchDevices::" + event + (detail.isEmpty() ? QString() : ' ' + detail);
}

}  // namespace

void DeviceZFN::refreshPortList()
{
    g_portList = PortEntry::availablePorts();
}

const QList<PortEntry>& DeviceZFN::portList() const
{
    return g_portList;
}

const QList<DeviceInfo>& DeviceZFN::foundDevices() const
{
    return g_foundDevices;
}

bool DeviceZFN::isPortHome() const
{
    return m_port->thread() == thread();
}

// Polling and archive work hold the port; they are stopped (never killed) before anything else uses it.
void DeviceZFN::stopWorkers()
{
    if (m_poll->isPollRunning()) {
        m_poll->stopPollThread();
        emit pollStopedSignal();
    }
    // The archive loop reports its own end as it leaves.
    if (m_poll->isArchiveRunning())
        m_poll->stopArchiveThread();
}

void DeviceZFN::startSearch(int first, int last)
{
    stopWorkers();
    if (!isPortHome()) {
        qDebug() << "DeviceZFN::startSearch::port busy";
        return;
    }
    if (m_searchThread)
        m_searchThread->wait();
    sendSessionEnd();
    emit lockInteface(0);
    {
        QMutexLocker lock(m_mutex);
        m_searchFirst = first;
        m_searchLast = last;
        m_poll->stopRequested = false;
    }
    QThread* searchThread = new QThread;
    connect(searchThread, &QThread::started, this, &DeviceZFN::searchSlot, Qt::DirectConnection);
    connect(searchThread, &QThread::finished, searchThread, &QObject::deleteLater);
    m_port->moveToThread(searchThread);
    m_searchThread = searchThread;
    searchThread->start(QThread::InheritPriority);
}

void DeviceZFN::searchSlot()
{
    const int first = m_searchFirst;
    const int last = m_poll->searchPortRange ? m_searchLast : m_searchFirst;
    searchDevices(first, last);
    m_port->moveToThread(thread());
    emit unlockInteface();
    emit searchFinished();
    QThread::currentThread()->quit();
}

void DeviceZFN::searchDevices(int first, int last)
{
    QMutexLocker searchLock(&g_searchMutex);
    emit showStatusMessageSignal(tr("Идет поиск устройств..."));
    QByteArray request;
    AsciiUail::makeSearchPackage(0, request);
    closePort();

    g_foundDevices.clear();
    m_foundIndex = -1;
    m_connectedDevice = nullptr;

    const int savedRetryLimit = m_retryLimit;
    m_retryLimit = 1;
    int k = qBound(0, first, g_portList.size());
    while (k <= last && k < g_portList.size()) {
        const PortEntry port = g_portList.at(k);
        ++k;
        if (scanPort(port, request) == ScanResult::End)
            break;
        emit sendProgress(int(double(k - first) * 100.0 / double(last - first + 1)));
        if (m_poll->stopRequested)
            break;
    }
    m_retryLimit = savedRetryLimit;
    closePort();
}

DeviceZFN::ScanResult DeviceZFN::scanPort(const PortEntry& port, const QByteArray& request)
{
    m_port->setPortName(port.location);
    if (!openPort()) {
        searchLine(QStringLiteral("port open error"), port.name);
        return ScanResult::Next;
    }
    if (m_poll->stopRequested)
        return ScanResult::End;
    ScanResult result = ScanResult::Next;
    takeAvailableInput();
    m_lastReply.clear();
    m_port->write(request);
    if (!m_port->waitForBytesWritten(m_exchangeTimeoutMs))
        searchLine(QStringLiteral("port write error"), port.name);
    else if (!m_port->waitForReadyRead(identifyReadTimeoutMs))
        searchLine(QStringLiteral("ctimeout"), port.name);
    else
        result = takeIdentifyReply(port);
    closePort();
    return result;
}

// The identify reply has no end test: it is collected until 20 ms of silence.
DeviceZFN::ScanResult DeviceZFN::takeIdentifyReply(const PortEntry& port)
{
    m_lastReply += m_port->readAll();
    for (int piece = 0; piece < identifyPieceLimit && m_port->waitForReadyRead(identifySilenceMs); ++piece)
        m_lastReply += m_port->readAll();

    QByteArray data = m_lastReply;
    quint8 address = 0;
    if (!AsciiUail::unpackPackageGetAddress(data, address)) {
        searchLine(QStringLiteral("wrong package"), port.name + ' ' + QString::fromLatin1(m_lastReply));
        return ScanResult::Next;
    }
    bool numeric = false;
    const int type = data.startsWith('$') ? data.mid(1).toInt(&numeric) : 0;
    if (numeric && DeviceInfo::isKnownType(type))
        g_foundDevices.append(DeviceInfo(port, address, quint8(type)));
    else
        searchLine(QStringLiteral("unknown device type"), QString::fromLatin1(data));
    return m_poll->searchFirstOnly ? ScanResult::End : ScanResult::Next;
}

void DeviceZFN::connectToDevice(int index)
{
    QMutexLocker searchLock(&g_searchMutex);
    emit stopAllExternalPolls();
    stopWorkers();
    if (m_foundIndex != -1) {
        sendSessionEnd();
        closePort();
    }
    m_connected = false;
    m_foundIndex = -1;
    m_connectedDevice = nullptr;
    if (index < 0) {
        releaseDevice();
        return;
    }
    if (index >= g_foundDevices.size())
        return;

    const DeviceInfo& device = g_foundDevices.at(index);
    m_port->setPortName(device.port.location);
    m_deviceName = device.familyName;
    if (!openPort()) {
        emit showStatusMessageSignal(tr("Ошибка при подключении!"));
        return;
    }
    closePort();
    m_foundIndex = index;
    m_connectedDevice = &device;
    m_deviceType = device.type;
    emit setDeviceType(m_deviceType);
    if (!sendSessionStart()) {
        m_foundIndex = -1;
        m_connectedDevice = nullptr;
        emit showStatusMessageSignal(tr("Ошибка при подключении!"));
        emit showPopUpMessageSignal(tr("Ошибка при подключении!"));
        return;
    }
    emit deviceConnected();
    emit showStatusMessageSignal(m_deviceName + tr(" на связи."));
}

void DeviceZFN::releaseDevice()
{
    stopWorkers();
    sendSessionEnd();
    m_hartData->present = false;
    m_connected = false;
    m_foundIndex = -1;
    m_connectedDevice = nullptr;
    emit showStatusMessageSignal(QString());
}

void DeviceZFN::setFlag(quint16 key, const QVariant& value)
{
    QMutexLocker lock(m_mutex);
    if (key == SearchFirstOnly)
        m_poll->searchFirstOnly = value.toBool();
    else if (key == SearchPortRange)
        m_poll->searchPortRange = value.toBool();
}

QVariant DeviceZFN::getFlag(quint16 key) const
{
    QMutexLocker lock(m_mutex);
    if (key == SearchFirstOnly)
        return QVariant(bool(m_poll->searchFirstOnly));
    if (key == SearchPortRange)
        return QVariant(bool(m_poll->searchPortRange));
    qDebug() << "UNKNOWN PARAMETR";
    return QVariant(0);
}
