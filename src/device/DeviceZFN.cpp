#include "DeviceZFN.h"

#include "ArchiveModel.h"
#include "AsciiUail.h"
#include "CalibratorMap.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "ConfiguratorModule.h"
#include "DeviceAuxBlock.h"
#include "DeviceSettings.h"
#include "HartDeviceData.h"
#include "HartStatusWidget.h"
#include "PollController.h"
#include "PollThread.h"
#include "ResultsModel.h"
#include "VerificationSettings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSerialPort>
#include <QThread>

DeviceZFN* g_device = nullptr;
ChannelRecord* g_currentChannel = nullptr;

namespace {

constexpr int silentReadsAllowed = 2;
constexpr int replyPieceWaitMs = 500;
constexpr int replyCollectLimitMs = 11 * replyPieceWaitMs;
constexpr int secondChanceMs = 500;
constexpr int releaseSettleMs = 100;
constexpr int abortSliceMs = 50;

DeviceZFN::PopUpSink& popUpSink()
{
    static DeviceZFN::PopUpSink sink;
    return sink;
}

// A reply counts as complete only when it already passes the frame checks: a piece may end in the
// carriage return of the echoed request, which is not the end of the reply.
bool isCompleteReply(const QByteArray& reply, quint8 address)
{
    if (reply.size() <= 5 || !reply.endsWith('\r'))
        return false;
    QByteArray trial = reply;
    return AsciiUail::unpackPackage(trial, address);
}

}  // namespace

DeviceZFN::DeviceZFN(QObject* parent) : QObject(parent) {}

void DeviceZFN::init()
{
    g_device = this;
    m_port = new QSerialPort;
    m_mutex = new QMutex;
    m_port->setBaudRate(QSerialPort::Baud9600);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::SoftwareControl);

    m_foundIndex = -1;
    m_connected = false;
    m_abort = false;
    m_retryLimit = 5;
    m_pollMode = 0;
    m_resultTaken = true;

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

    m_poll = new PollController;
    m_poll->abortFlag = &m_abort;
    m_poll->longWaitNotifier = [this](bool waiting) {
        if (waiting)
            emit lockInteface(2);
        else
            emit unlockInteface();
    };
    m_exchangeTimeoutMs = m_poll->exchangeTimeoutMs;
    connect(m_poll->pollThread, &QThread::started, this, &DeviceZFN::pollSlot, Qt::DirectConnection);
    connect(this, &DeviceZFN::showPopUpMessageSignal, this, &DeviceZFN::showPopUpMessage, Qt::QueuedConnection);

    m_configurator = new ConfiguratorModule(this);
    m_auxBlock = new DeviceAuxBlock;
    m_deviceName = tr("Калибратор");
}

// Workers first, so nothing else holds the port; then the release frame from the GUI thread;
// only then the records the workers used are freed.
DeviceZFN::~DeviceZFN()
{
    if (m_poll) {
        m_poll->stopRequested = true;
        m_poll->stopAll();
    }
    if (m_searchThread)
        m_searchThread->wait();
    if (m_port)
        sendSessionEnd();

    delete m_poll;
    delete m_settings;
    delete m_verificationSettings;
    delete m_hartData;
    delete m_hartEdited;
    delete m_channel;
    delete m_secondChannel;
    delete m_auxBlock;
    delete m_port;
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
    return m_connectedDevice ? m_connectedDevice->address : quint8(1);
}

bool DeviceZFN::openPort()
{
    return m_port->open(QIODevice::ReadWrite);
}

void DeviceZFN::closePort()
{
    if (m_port->isOpen())
        m_port->close();
}

// Waits for input in short slices so that a cancel ends a silent wait promptly.
bool DeviceZFN::waitForInput(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!m_abort) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            return false;
        if (m_port->waitForReadyRead(qMin(left, abortSliceMs)))
            return true;
        if (!m_port->isOpen())
            return false;
    }
    return false;
}

// QSerialPort fills its buffer only when polled; waitForReadyRead(0) pulls in what has arrived.
QByteArray DeviceZFN::takeAvailableInput()
{
    while (m_port->isOpen() && m_port->waitForReadyRead(0)) {
    }
    return m_port->readAll();
}

bool DeviceZFN::writeRequest(const QByteArray& request)
{
    takeAvailableInput();
    m_lastReply.clear();
    m_port->write(request);
    debugLine(QStringLiteral("WRITE"), request);
    return m_port->waitForBytesWritten(m_exchangeTimeoutMs);
}

void DeviceZFN::collectReply()
{
    // At 9600 baud a reply may trickle in byte by byte, so the bound is the time the pieces may take
    // (eleven silent waits' worth), not their count.
    QElapsedTimer timer;
    timer.start();
    m_lastReply += m_port->readAll();
    while (!isCompleteReply(m_lastReply, busAddress()) && timer.elapsed() < replyCollectLimitMs) {
        if (!m_port->waitForReadyRead(replyPieceWaitMs))
            break;
        m_lastReply += m_port->readAll();
    }
    m_lastReply += takeAvailableInput();
    debugLine(QStringLiteral("READ"), m_lastReply);
}

// One second chance: late bytes may complete a frame that failed the check.
bool DeviceZFN::checkReply()
{
    if (AsciiUail::unpackPackage(m_lastReply, busAddress()))
        return true;
    QThread::msleep(secondChanceMs);
    m_lastReply += takeAvailableInput();
    if (AsciiUail::unpackPackage(m_lastReply, busAddress()))
        return true;
    debugLine(QStringLiteral("READ WRONG PACKAGE"), m_lastReply);
    return false;
}

bool DeviceZFN::sendAndRead(const QByteArray& request)
{
    closePort();
    openPort();
    debugLine(QStringLiteral("CKECK"),
              QByteArray(QThread::currentThread() == m_port->thread() ? "true" : "false") + ' '
                  + (m_port->isOpen() ? "true" : "false"));

    int attempts = 0;
    int silentReads = 0;
    bool writeFailedBefore = false;
    bool result = false;
    m_abort = false;
    while (!result && attempts <= m_retryLimit && !m_abort) {
        ++attempts;
        if (!writeRequest(request)) {
            debugLine(QStringLiteral("WRITE ERROR"), m_port->errorString().toLatin1());
            if (writeFailedBefore)
                break;
            writeFailedBefore = true;
            attempts = qMax(attempts, m_retryLimit);
            continue;
        }
        if (!waitForInput(m_exchangeTimeoutMs)) {
            debugLine(QStringLiteral("TIMEOUT"), m_port->errorString().toLatin1());
            if (++silentReads > silentReadsAllowed)
                break;
            continue;
        }
        collectReply();
        result = checkReply();
    }

    m_lastStatus = result ? ExchangeStatus::Ok : (m_abort ? ExchangeStatus::Aborted : ExchangeStatus::NoAnswer);
    if (!result)
        debugLine(QStringLiteral("ERROR"), (m_port->portName() + ' ' + m_port->errorString()).toLatin1());
    debugLine(QStringLiteral("RESULT"), result ? "true" : "false");
    closePort();
    return result;
}

QByteArray DeviceZFN::commandText(int command, std::initializer_list<int> parameters) const
{
    QByteArray text = QByteArray::number(command);
    for (const int p : parameters)
        if (p != -1)
            text += ';' + QByteArray::number(p);
    return text;
}

bool DeviceZFN::exchangeCommand(const QByteArray& text)
{
    return sendAndRead(AsciiUail::makePackage(QString::fromLatin1(text), busAddress()));
}

bool DeviceZFN::readRegisters(QByteArray& out, int p1, int p2, int p3, int p4, int p5, int p6)
{
    const bool ok = exchangeCommand(commandText(CalibratorMap::CmdReadRegisters, {p1, p2, p3, p4, p5, p6}));
    if (ok)
        out = m_lastReply;
    return ok;
}

bool DeviceZFN::writeRegisters(QByteArray& out, int reg, int type, int count, const QByteArray& data)
{
    // The data goes out as text up to its first NUL byte.
    const QByteArray text = commandText(CalibratorMap::CmdWriteRegisters, {}) + ';' + QByteArray::number(reg) + ';'
                            + QByteArray::number(type) + ';' + QByteArray::number(count) + ';'
                            + QByteArray(data.constData(), int(qstrnlen(data.constData(), uint(data.size()))));
    const bool ok = exchangeCommand(text);
    if (ok)
        out = m_lastReply;
    return ok;
}

bool DeviceZFN::readValues(int p1, int p2, int p3, int p4, int p5, int p6)
{
    return exchangeCommand(commandText(CalibratorMap::CmdReadValue, {p1, p2, p3, p4, p5, p6}));
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

// Only an acknowledged start frame counts: a refusal ("$n") leaves the calibrator unconnected.
bool DeviceZFN::sendSessionStart()
{
    if (m_foundIndex == -1 || !m_connectedDevice)
        return false;
    const bool ok = sendAndRead(sessionFrame(CalibratorMap::RegSessionStart, CalibratorMap::SessionStartValue))
                    && AsciiUail::isOkAnswer(m_lastReply);
    m_connected = ok;
    return ok;
}

void DeviceZFN::sendSessionEnd()
{
    if (m_foundIndex == -1)
        return;
    closePort();
    if (!openPort()) {
        m_connected = false;
        return;
    }
    m_port->write(sessionFrame(CalibratorMap::RegSessionEnd, CalibratorMap::SessionEndValue));
    m_port->waitForBytesWritten(2000);
    QThread::msleep(releaseSettleMs);
    closePort();
    m_connected = false;
}

void DeviceZFN::stopSearch()
{
    QMutexLocker lock(m_mutex);
    m_poll->stopRequested = true;
    m_abort = true;
}

void DeviceZFN::setPopUpSink(PopUpSink sink)
{
    popUpSink() = std::move(sink);
}

void DeviceZFN::showPopUpMessage(QString text)
{
    if (popUpSink()) {
        popUpSink()(text);
        return;
    }
    QMessageBox box;
    box.setText(text);
    box.exec();
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

// The HART connect step that looks for a transmitter comes with the HART master; until then a
// transmitter counts as present only when the working record says so.
bool DeviceZFN::checkHartConnection(bool showMessages)
{
    if (!m_connected) {
        if (showMessages) {
            const QString text = m_deviceName + tr(" не подключен.");
            emit showStatusMessageSignal(text);
            showPopUpMessage(text);
        }
    } else if (!m_settings->isHartEnabled()) {
        if (showMessages)
            showPopUpMessage(tr("HART протокол на устройстве не включен."));
    } else if (!m_hartData->present) {
        if (showMessages && !m_poll->hartErrorShown)
            showPopUpMessage(tr("HART устройство не подключено!"));
        emit sendHartDeviceConnectionState(false);
        HartStatusWidget::deliverConnectionState(false);
        return false;
    } else {
        HartStatusWidget::deliverConnectionState(true);
        emit sendHartDeviceConnectionState(true);
        return true;
    }
    HartStatusWidget::deliverConnectionState(false);
    return false;
}

void DeviceZFN::setProgressSteps(int n)
{
    m_poll->progressStep = 100 / qMax(n, 1);
}
