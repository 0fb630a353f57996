#include "DeviceZFN.h"

#include "ArchiveModel.h"
#include "ArchiveWorker.h"
#include "AsciiUail.h"
#include "CalibratorMap.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "DeviceAuxBlock.h"
#include "DeviceSearch.h"
#include "DeviceSettings.h"
#include "ExchangeWait.h"
#include "HartDeviceData.h"
#include "HartMaster.h"
#include "MeasurementPoller.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "ResultsCollector.h"
#include "ResultsModel.h"
#include "SettingsOperations.h"
#include "VerificationSettings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSerialPort>
#include <QThread>

DeviceZFN* g_device = nullptr;
ChannelRecord* g_currentChannel = nullptr;

namespace {

constexpr int releaseWriteTimeoutMs = 2000;

DeviceZFN::PopUpSink& popUpSink()
{
    static DeviceZFN::PopUpSink sink;
    return sink;
}

}  // namespace

DeviceZFN::DeviceZFN(QObject* parent) : QObject(parent) {}

void DeviceZFN::init()
{
    g_device = this;
    auto* port = new QSerialPort;
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::SoftwareControl);
    m_portOwner = new PortOwner(port);
    m_link = new CalibratorLink(port, &m_portOwner->abortFlag());
    m_link->setDebugSink([this](const QString& event, const QByteArray& detail) { debugLine(event, detail); });
    m_mutex = new QMutex;

    m_foundIndex = -1;
    m_connected = false;

    m_settings = new DeviceSettings;
    m_channel = new ChannelRecord;
    g_currentChannel = m_channel;
    m_secondChannel = new ChannelRecord;
    m_hartData = new HartDeviceData;
    m_hartData->pollingAddressByte = 0x80;
    m_hartEdited = new HartDeviceData;
    m_channelsModel = new ChannelsModel(this);
    m_channelsModel->append(*m_channel);
    m_resultsModel = new ResultsModel(this);
    connect(m_resultsModel, &ResultsModel::showPopUpMessageSignal, this, &DeviceZFN::showPopUpMessage);
    m_archiveModel = new ArchiveModel(this);
    m_verificationSettings = new VerificationSettings;
    g_verificationSettings = m_verificationSettings;
    m_resultsModel->setUncertaintySources(m_verificationSettings);

    m_poll = new PollController;
    m_poll->abortFlag = &m_portOwner->abortFlag();
    m_poll->longWaitNotifier = [this](bool waiting) {
        if (waiting)
            emit lockInteface(LockKind::Exchange);
        else
            emit unlockInteface();
    };
    m_exchangeWait = new ExchangeWait(*m_portOwner, m_poll->longWaitNotifier);
    m_link->setWaitObserver(m_exchangeWait);
    connect(m_poll->pollThread, &QThread::started, this, &DeviceZFN::pollSlot, Qt::DirectConnection);
    connect(this, &DeviceZFN::showPopUpMessageSignal, this, &DeviceZFN::showPopUpMessage, Qt::QueuedConnection);

    m_auxBlock = new DeviceAuxBlock;
    createWorkers();
    m_deviceName = tr("Калибратор");
}

// The workers hold the device's state only through what they are given; their signals are the
// device object's own.
void DeviceZFN::createWorkers()
{
    createPoller();
    createCollector();
    createSearch();
    createArchiveWorker();
    createHartMaster();
    createSettingsOperations();
}

void DeviceZFN::createPoller()
{
    const MeasurementPoller::Records records{*m_channel, *m_channelsModel, *m_settings, *m_hartData};
    m_poller = new MeasurementPoller(*m_link, *m_portOwner, *m_poll, *m_mutex, records, m_connected);
    connect(m_poller, &MeasurementPoller::firstCycleDone, this, &DeviceZFN::firstCycleSignal, Qt::DirectConnection);
    connect(m_poller, &MeasurementPoller::cycleDone, this, &DeviceZFN::pollUpdateSignal, Qt::DirectConnection);
    connect(m_poller, &MeasurementPoller::stopped, this, &DeviceZFN::poolFullyStoped, Qt::DirectConnection);
    connect(m_poller, &MeasurementPoller::failed, this, &DeviceZFN::stopPollingWith, Qt::DirectConnection);
    connect(m_poller, &MeasurementPoller::noAnswer, this, [this] { stopPollingWith(noAnswerText()); },
            Qt::DirectConnection);
}

void DeviceZFN::createCollector()
{
    const ResultsCollector::Sources sources{*m_channel, *m_verificationSettings, *m_archiveModel};
    m_collector = new ResultsCollector(*m_mutex, *m_poll, sources, *m_resultsModel, *m_poller);
    connect(m_collector, &ResultsCollector::message, this, &DeviceZFN::showPopUpMessageSignal, Qt::DirectConnection);
    connect(m_collector, &ResultsCollector::groupStarted, this, [this] { emit lockInteface(LockKind::StoppableExchange); }, Qt::DirectConnection);
    connect(m_collector, &ResultsCollector::groupEnded, this, &DeviceZFN::unlockInteface, Qt::DirectConnection);
    connect(m_collector, &ResultsCollector::progress, this, &DeviceZFN::sendProgress, Qt::DirectConnection);
    connect(m_collector, &ResultsCollector::groupAdded, this, &DeviceZFN::groupAdded, Qt::DirectConnection);
    connect(m_collector, &ResultsCollector::archiveSerialFound, this, &DeviceZFN::archiveSerialFound,
            Qt::DirectConnection);
}

void DeviceZFN::createSearch()
{
    m_search = new DeviceSearch(*m_link, *m_portOwner, *m_poll, g_portList, g_foundDevices);
    connect(m_search, &DeviceSearch::statusMessage, this, &DeviceZFN::showStatusMessageSignal, Qt::DirectConnection);
    connect(m_search, &DeviceSearch::progress, this, &DeviceZFN::sendProgress, Qt::DirectConnection);
    connect(m_search, &DeviceSearch::finished, this, &DeviceZFN::unlockInteface, Qt::DirectConnection);
    connect(m_search, &DeviceSearch::finished, this, &DeviceZFN::searchFinished, Qt::DirectConnection);
}

void DeviceZFN::createArchiveWorker()
{
    m_archive = new ArchiveWorker(*m_link, *m_portOwner, *m_poll, *m_archiveModel, m_connected);
    connect(m_archive, &ArchiveWorker::readStopped, this, &DeviceZFN::archiveReadStoped, Qt::DirectConnection);
    connect(m_archive, &ArchiveWorker::readFinished, this, &DeviceZFN::archiveReadFinished, Qt::DirectConnection);
    connect(m_archive, &ArchiveWorker::clearStopped, this, &DeviceZFN::archiveClearStoped, Qt::DirectConnection);
    connect(m_archive, &ArchiveWorker::clearFinished, this, &DeviceZFN::archiveClearFinished, Qt::DirectConnection);
    connect(m_archive, &ArchiveWorker::progress, this, &DeviceZFN::sendProgress, Qt::DirectConnection);
    connect(m_archive, &ArchiveWorker::noAnswer, this, [this] { emit showPopUpMessageSignal(noAnswerText()); },
            Qt::DirectConnection);
}

void DeviceZFN::createSettingsOperations()
{
    const SettingsOperations::Targets targets{*m_settings, *m_secondChannel, *m_hartData, *m_verificationSettings};
    SettingsOperations::HartHooks hart{[this] { return checkHartConnection(false); },
                                       [this](int operation) { return m_hart->runNested(operation); }};
    m_settingsOperations = new SettingsOperations(*m_link, *m_portOwner, *m_poll, *m_mutex, targets, std::move(hart));
    connect(m_settingsOperations, &SettingsOperations::lockInterface, this, &DeviceZFN::lockInteface, Qt::DirectConnection);
    connect(m_settingsOperations, &SettingsOperations::unlockInterface, this, &DeviceZFN::unlockInteface,
            Qt::DirectConnection);
    connect(m_settingsOperations, &SettingsOperations::progress, this, &DeviceZFN::sendProgress, Qt::DirectConnection);
    connect(m_settingsOperations, &SettingsOperations::popUp, this, &DeviceZFN::showPopUpMessageSignal,
            Qt::DirectConnection);
    connect(m_settingsOperations, &SettingsOperations::finished, this, &DeviceZFN::algoritmFinished,
            Qt::DirectConnection);
}

// Workers first, so nothing else holds the port; then the release frame from the GUI thread;
// only then the records the workers used are freed.
DeviceZFN::~DeviceZFN()
{
    if (m_poll) {
        m_poll->stopRequested = true;
        m_portOwner->abort();
        m_poll->stopAll();
    }
    if (m_search)
        m_search->wait();
    if (m_settingsOperations)
        m_settingsOperations->waitForEnd();
    delete m_hart;
    if (m_portOwner)
        sendSessionEnd();

    delete m_archive;
    delete m_collector;
    delete m_poller;
    delete m_search;
    delete m_settingsOperations;
    delete m_poll;
    delete m_settings;
    delete m_verificationSettings;
    delete m_hartData;
    delete m_hartEdited;
    delete m_channel;
    delete m_secondChannel;
    delete m_auxBlock;
    delete m_link;
    delete m_exchangeWait;
    delete m_portOwner;
    delete m_mutex;
    if (g_verificationSettings == m_verificationSettings)
        g_verificationSettings = nullptr;
    if (g_currentChannel == m_channel)
        g_currentChannel = nullptr;
    if (g_device == this)
        g_device = nullptr;
}

void DeviceZFN::debugLine(const QString& event, const QByteArray& detail) const
{
    if (m_poll && m_poll->debugLog)
        qDebug().noquote() << "DeviceZFN::sendAndRead::" + event + ' ' + QString::fromLatin1(detail);
}

quint8 DeviceZFN::busAddress() const
{
    return m_link->address();
}

// The link speaks to the connected calibrator's address, to address 1 while none is connected.
void DeviceZFN::setConnectedDevice(const DeviceInfo* device)
{
    m_connectedDevice = device;
    m_link->setAddress(device ? device->address : quint8(1));
}

QSerialPort* DeviceZFN::serialPort() const
{
    return m_portOwner->port();
}

void DeviceZFN::setExchangeTimeout(int ms)
{
    m_poll->exchangeTimeoutMs = ms;
}

// Polling ended on a failure, in the poll thread.
void DeviceZFN::stopPollingWith(const QString& message)
{
    emit showPopUpMessageSignal(message);
    emit pollStopedSignal();
}

QString DeviceZFN::noAnswerText() const
{
    return m_deviceName + tr(" не отвечает!");
}

void DeviceZFN::refuseBusyPort()
{
    showPopUpMessage(tr("Дождитесь окончания текущей операции!"));
}

bool DeviceZFN::ensurePortFree()
{
    if (m_portOwner->isFree())
        return true;
    refuseBusyPort();
    return false;
}

bool DeviceZFN::readyToStart()
{
    return checkConnection() && ensurePortFree();
}

bool DeviceZFN::sendAndRead(const QByteArray& request)
{
    return exchangeFrame(request, m_poll->exchangeTimeoutMs);
}

// Only the thread that holds the port may use it. In the home thread a direct exchange is a job of
// its own, so a stop left over from an earlier job does not cut it.
bool DeviceZFN::exchangeFrame(const QByteArray& request, int timeoutMs)
{
    m_lastReply.clear();
    if (!m_portOwner->prepareExchange()) {
        debugLine(QStringLiteral("PORT BUSY"), request);
        m_lastStatus = ExchangeStatus::NoAnswer;
        return false;
    }
    m_lastStatus = m_link->exchange(request, timeoutMs);
    m_lastReply = m_link->reply();
    return m_lastStatus == ExchangeStatus::Ok;
}

bool DeviceZFN::exchangeCommand(const QByteArray& text, int timeoutMs)
{
    return exchangeFrame(AsciiUail::makePackage(QString::fromLatin1(text), busAddress()), timeoutMs);
}

bool DeviceZFN::readRegisters(QByteArray& out, int p1, int p2, int p3, int p4, int p5, int p6)
{
    const bool ok = exchangeCommand(CalibratorLink::commandText(CalibratorMap::CmdReadRegisters, {p1, p2, p3, p4, p5, p6}),
                                    m_poll->exchangeTimeoutMs);
    if (ok)
        out = m_lastReply;
    return ok;
}

bool DeviceZFN::writeRegisters(QByteArray& out, int reg, int type, int count, const QByteArray& data)
{
    const bool ok = exchangeCommand(CalibratorLink::registerWriteText(reg, type, count, data), m_poll->exchangeTimeoutMs);
    if (ok)
        out = m_lastReply;
    return ok;
}

bool DeviceZFN::readValues(int p1, int p2, int p3, int p4, int p5, int p6)
{
    return exchangeCommand(CalibratorLink::commandText(CalibratorMap::CmdReadValue, {p1, p2, p3, p4, p5, p6}), m_poll->exchangeTimeoutMs);
}

bool DeviceZFN::readValuesTo(QByteArray& out, int p1, int p2, int p3, int p4, int p5, int p6)
{
    const bool ok = readValues(p1, p2, p3, p4, p5, p6);
    if (ok)
        out = m_lastReply;
    return ok;
}

QByteArray DeviceZFN::sessionFrame(int reg, int value) const
{
    const QString text = QStringLiteral("%1;%2;0;1;%3").arg(CalibratorMap::CmdWriteRegisters).arg(reg).arg(value);
    return AsciiUail::makePackage(text, busAddress());
}

// Only an acknowledged start frame counts: a refusal ("$n") leaves the calibrator unconnected. A
// ping that may not use the port now says nothing about the connection.
bool DeviceZFN::sendSessionStart()
{
    if (m_foundIndex == -1 || !m_connectedDevice || !m_portOwner->canExchange()) {
        m_lastStatus = ExchangeStatus::NoAnswer;
        return false;
    }
    const bool ok = sendAndRead(sessionFrame(CalibratorMap::RegSessionStart, CalibratorMap::SessionStartValue))
                    && AsciiUail::isOkAnswer(m_lastReply);
    m_connected = ok;
    return ok;
}

// Callers stop every worker first; a port still lent is not written from here. The release is a job
// of its own: a stop left from an earlier job does not cut its wait for the acknowledgement, a quit
// does.
void DeviceZFN::sendSessionEnd()
{
    if (m_foundIndex != -1 && m_portOwner->isFree() && m_portOwner->prepareExchange())
        m_link->release(sessionFrame(CalibratorMap::RegSessionEnd, CalibratorMap::SessionEndValue), releaseWriteTimeoutMs);
    m_connected = false;
}

// The busy overlay's cancel: it cuts the exchange in flight of whichever job holds the port. It
// also ends a group collection, whose poll exchanges must go on.
void DeviceZFN::stopSearch()
{
    m_poll->stopRequested = true;
    if (!m_portOwner->isLentTo(m_poll->pollThread))
        m_portOwner->abort();
}

void DeviceZFN::cutExchangesForExit()
{
    m_poll->stopRequested = true;
    m_portOwner->abortForExit();
}

void DeviceZFN::setPopUpSink(PopUpSink sink)
{
    popUpSink() = std::move(sink);
}

void DeviceZFN::showPopUpMessage(QString text)
{
    if (popUpSink())
        popUpSink()(text);
    else
        qWarning().noquote() << text;
}

bool DeviceZFN::checkConnection()
{
    if (m_connected) {
        emit showStatusMessageSignal(m_deviceName + tr(" на связи."));
        return true;
    }
    const QString text = m_deviceName + tr(" не подключен.");
    emit showStatusMessageSignal(text);
    showPopUpMessage(text);
    return false;
}

void DeviceZFN::setProgressSteps(int n)
{
    m_poll->progressStep = 100 / qMax(n, 1);
}
