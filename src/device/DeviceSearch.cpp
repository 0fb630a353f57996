#include "DeviceSearch.h"

#include "AsciiUail.h"
#include "CalibratorLink.h"
#include "DeviceInfo.h"
#include "PollController.h"
#include "PortOwner.h"

#include <QDebug>
#include <QSerialPort>
#include <QThread>

namespace {

void searchLine(const QString& event, const QString& detail = QString())
{
    qDebug().noquote() << "DeviceZFN::searchDevices::" + event + (detail.isEmpty() ? QString() : ' ' + detail);
}

}  // namespace

DeviceSearch::DeviceSearch(CalibratorLink& link, PortOwner& owner, PollController& work,
                           const QList<PortEntry>& ports, QList<DeviceInfo>& found)
    : m_link(link), m_owner(owner), m_work(work), m_ports(ports), m_found(found)
{
}

DeviceSearch::~DeviceSearch()
{
    wait();
}

bool DeviceSearch::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void DeviceSearch::wait()
{
    if (m_thread)
        m_thread->wait();
}

bool DeviceSearch::start(int first, int last, int writeTimeoutMs)
{
    wait();
    auto* thread = new QThread;
    if (!m_owner.lend(thread)) {
        delete thread;
        return false;
    }
    m_first = first;
    m_last = m_work.searchPortRange ? last : first;
    m_writeTimeoutMs = writeTimeoutMs;
    m_work.stopRequested = false;
    connect(thread, &QThread::started, this, &DeviceSearch::run, Qt::DirectConnection);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_thread = thread;
    thread->start(QThread::InheritPriority);
    return true;
}

void DeviceSearch::run()
{
    m_owner.serve([this] { searchDevices(m_first, m_last); });
    emit finished();
    QThread::currentThread()->quit();
}

void DeviceSearch::searchDevices(int first, int last)
{
    emit statusMessage(tr("Идет поиск устройств..."));
    QByteArray request;
    AsciiUail::makeSearchPackage(0, request);
    m_found.clear();
    int k = qBound(0, first, m_ports.size());
    while (k <= last && k < m_ports.size()) {
        const PortEntry port = m_ports.at(k);
        ++k;
        if (scanPort(port, request) == ScanResult::End)
            break;
        emit progress(int(double(k - first) * 100.0 / double(last - first + 1)));
        if (m_work.stopRequested)
            break;
    }
    m_link.close();
}

DeviceSearch::ScanResult DeviceSearch::scanPort(const PortEntry& port, const QByteArray& request)
{
    m_owner.port()->setPortName(port.location);
    if (!m_link.open()) {
        searchLine(QStringLiteral("port open error"), port.name);
        return ScanResult::Next;
    }
    if (m_work.stopRequested)
        return ScanResult::End;
    ScanResult result = ScanResult::Next;
    switch (m_link.identify(request, m_writeTimeoutMs)) {
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
    m_link.close();
    return result;
}

// Any frame with a good check value names its sender's address; only a known type is a calibrator.
DeviceSearch::ScanResult DeviceSearch::takeIdentifyReply(const PortEntry& port)
{
    QByteArray data = m_link.reply();
    quint8 address = 0;
    if (!AsciiUail::unpackPackageGetAddress(data, address)) {
        searchLine(QStringLiteral("wrong package"), port.name + ' ' + QString::fromLatin1(m_link.reply()));
        return ScanResult::Next;
    }
    bool numeric = false;
    const int type = data.startsWith('$') ? data.mid(1).toInt(&numeric) : 0;
    if (numeric && DeviceInfo::isKnownType(type))
        m_found.append(DeviceInfo(port, address, quint8(type)));
    else
        searchLine(QStringLiteral("unknown device type"), QString::fromLatin1(data));
    return m_work.searchFirstOnly ? ScanResult::End : ScanResult::Next;
}
