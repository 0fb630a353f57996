#include "DeviceZFN.h"

#include "DeviceSearch.h"

#include "HartDeviceData.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "VerificationSettings.h"

#include <QDebug>
#include <QSerialPort>


QList<PortEntry> g_portList;
QList<DeviceInfo> g_foundDevices;
QMutex g_searchMutex;

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

// Polling and archive work give the port up for a search; any other job holding it refuses it.
bool DeviceZFN::portFreeOnceWorkersStop() const
{
    return m_portOwner->isFree() || m_portOwner->isLentTo(m_poll->pollThread)
           || m_portOwner->isLentTo(m_poll->archiveThread);
}

// The search starts from no connection: the calibrator in session is released first. A port held
// by a job other than polling or archive work is refused before any worker is stopped; once they
// have stopped for the search, they stay stopped even when the port is then still refused.
bool DeviceZFN::startSearch(int first, int last)
{
    if (!portFreeOnceWorkersStop()) {
        refuseBusyPort();
        return false;
    }
    stopWorkers();
    if (!ensurePortFree())
        return false;
    m_search->wait();
    sendSessionEnd();
    m_foundIndex = -1;
    setConnectedDevice(nullptr);
    emit lockInteface(LockKind::Search);
    if (!m_search->start(first, last, m_poll->exchangeTimeoutMs)) {
        // The calibrator of the list is released already, so the list goes with it.
        g_foundDevices.clear();
        refuseBusyPort();
        emit unlockInteface();
        emit searchFinished();
    }
    return true;
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
    // A quit during the release of the calibrator in session leaves the other one unasked.
    if (m_portOwner->isLeaving())
        return;
    if (index < 0) {
        releaseDevice();
        return;
    }
    if (index >= g_foundDevices.size())
        return;

    const DeviceInfo& device = g_foundDevices.at(index);
    m_link->close();
    serialPort()->setPortName(device.port.location);
    m_deviceName = device.familyName;
    if (!m_link->open()) {
        emit showStatusMessageSignal(tr("Ошибка при подключении!"));
        return;
    }
    m_foundIndex = index;
    setConnectedDevice(&device);
    m_deviceType = device.type;
    emit setDeviceType(m_deviceType);
    if (!sendSessionStart()) {
        // A connect cut by a cancel or the program's quit has not failed, but its start frame may
        // have reached the calibrator, which is released all the same.
        const bool cut = m_lastStatus == ExchangeStatus::Aborted;
        if (cut)
            sendSessionEnd();
        m_link->close();
        m_foundIndex = -1;
        setConnectedDevice(nullptr);
        if (cut)
            return;
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
