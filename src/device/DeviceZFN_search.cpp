#include "DeviceZFN.h"

#include "AsciiUail.h"
#include "HartDeviceData.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "VerificationSettings.h"

#include <QDebug>
#include <QSerialPort>
#include <QThread>

QList<PortEntry> g_portList;
QList<DeviceInfo> g_foundDevices;
QMutex g_searchMutex;

namespace {


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
    if (!ensurePortFree()) {
        emit searchFinished();
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
    m_portOwner->lend(searchThread);
    m_searchThread = searchThread;
    searchThread->start(QThread::InheritPriority);
}

void DeviceZFN::searchSlot()
{
    const int first = m_searchFirst;
    const int last = m_poll->searchPortRange ? m_searchLast : m_searchFirst;
    m_portOwner->serve([&] { searchDevices(first, last); });
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

    g_foundDevices.clear();
    m_foundIndex = -1;
    setConnectedDevice(nullptr);

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
    m_link->close();
}

DeviceZFN::ScanResult DeviceZFN::scanPort(const PortEntry& port, const QByteArray& request)
{
    serialPort()->setPortName(port.location);
    if (!m_link->open()) {
        searchLine(QStringLiteral("port open error"), port.name);
        return ScanResult::Next;
    }
    if (m_poll->stopRequested)
        return ScanResult::End;
    ScanResult result = ScanResult::Next;
    switch (m_link->identify(request, m_exchangeTimeoutMs)) {
    case CalibratorLink::Identify::WriteFailed:
        searchLine(QStringLiteral("port write error"), port.name);
        break;
    case CalibratorLink::Identify::Silent:
        searchLine(QStringLiteral("ctimeout"), port.name);
        break;
    case CalibratorLink::Identify::Aborted:
        result = ScanResult::End;
        break;
    case CalibratorLink::Identify::Reply:
        result = takeIdentifyReply(port);
        break;
    }
    m_link->close();
    return result;
}

// Any frame with a good check value names its sender's address; only a known type is a calibrator.
DeviceZFN::ScanResult DeviceZFN::takeIdentifyReply(const PortEntry& port)
{
    m_lastReply = m_link->reply();
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
    emit stopAllExternalPolls();
    stopWorkers();
    if (!ensurePortFree())
        return;
    QMutexLocker searchLock(&g_searchMutex);
    sendSessionEnd();
    m_connected = false;
    m_foundIndex = -1;
    setConnectedDevice(nullptr);
    if (index < 0) {
        releaseDevice();
        return;
    }
    if (index >= g_foundDevices.size())
        return;

    const DeviceInfo& device = g_foundDevices.at(index);
    serialPort()->setPortName(device.port.location);
    m_deviceName = device.familyName;
    if (!m_link->open()) {
        emit showStatusMessageSignal(tr("Ошибка при подключении!"));
        return;
    }
    m_link->close();
    m_foundIndex = index;
    setConnectedDevice(&device);
    m_deviceType = device.type;
    emit setDeviceType(m_deviceType);
    if (!sendSessionStart()) {
        m_foundIndex = -1;
        setConnectedDevice(nullptr);
        emit showStatusMessageSignal(tr("Ошибка при подключении!"));
        emit showPopUpMessageSignal(tr("Ошибка при подключении!"));
        return;
    }
    m_verificationSettings->connectedModelName = device.modelName;
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
    setConnectedDevice(nullptr);
    m_verificationSettings->connectedModelName.clear();
    emit showStatusMessageSignal(QString());
}

void DeviceZFN::setFlag(quint16 key, const QVariant& value)
{
    if (key == SearchFirstOnly)
        m_poll->searchFirstOnly = value.toBool();
    else if (key == SearchPortRange)
        m_poll->searchPortRange = value.toBool();
}

QVariant DeviceZFN::getFlag(quint16 key) const
{
    if (key == SearchFirstOnly)
        return QVariant(bool(m_poll->searchFirstOnly));
    if (key == SearchPortRange)
        return QVariant(bool(m_poll->searchPortRange));
    qDebug() << "UNKNOWN PARAMETR";
    return QVariant(0);
}
