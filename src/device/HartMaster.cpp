#include "HartMaster.h"

#include "AsciiUail.h"
#include "CalibratorLink.h"
#include "CalibratorMap.h"
#include "DeviceSettings.h"
#include "HartAlgoritm.h"
#include "HartFrame.h"
#include "HartResponseCodes.h"
#include "LockKind.h"
#include "PollController.h"
#include "PortOwner.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QSerialPort>
#include <QThread>

namespace {

constexpr quint8 PollingAddressBase = 0x80;
constexpr int LastPollingAddress = 15;
constexpr int IdentityHexDigits = 10;
constexpr quint8 BurstBitMask = 0xBF;
// A calibrator status reply to a HART request becomes a response code this far below its number.
constexpr int CalibratorStatusOffset = 56;
constexpr int StatusHartTimeout = 14;
constexpr int StatusHartAbsent = 15;
constexpr int StatusModemOff = 16;
constexpr int PauseSliceMs = 50;

// Commands that change the transmitter by being run: a lost reply must not make them run twice.
bool sentOnce(quint8 command)
{
    switch (command) {
    case 42: case 43: case 45: case 46: case 82: case 83: case 123: case 136:
        return true;
    default:
        return false;
    }
}

QString qtr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

}  // namespace

HartMaster::HartMaster(CalibratorLink& link, PortOwner& owner, PollController& work, HartDeviceData& read,
                       HartDeviceData& edited, DeviceSettings& settings, QMutex& mutex, const QString& deviceName)
    : m_link(link)
    , m_owner(owner)
    , m_work(work)
    , m_read(read)
    , m_edited(edited)
    , m_settings(settings)
    , m_mutex(mutex)
    , m_deviceName(deviceName)
    , m_algoritm(std::make_unique<HartAlgoritm>(*this, work))
{
    qRegisterMetaType<HartDeviceData>("HartDeviceData");
}

DeviceSettings HartMaster::settingsSnapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings;
}

void HartMaster::storeSettings(const DeviceSettings& block)
{
    QMutexLocker lock(&m_mutex);
    m_settings = block;
}

// A running operation ends at its next command; the exchange under way is cut.
HartMaster::~HartMaster()
{
    if (m_thread && m_thread->isRunning()) {
        m_work.stopRequested = true;
        m_owner.abort();
        m_thread->wait();
    }
}

bool HartMaster::exchange(const QByteArray& text, int timeoutMs)
{
    if (!m_owner.prepareExchange()) {
        qDebug() << "DeviceZFN::sendHartFrame PORT BUSY";
        return false;
    }
    return m_link.command(text, timeoutMs) == CalibratorLink::Status::Ok;
}

bool HartMaster::sendHartFrame(QByteArray& frame)
{
    return sendFrame(frame, false);
}

// "40;", the text's length as one raw byte, ";" and the frame text up to its first zero byte.
bool HartMaster::sendFrame(QByteArray& frame, bool once)
{
    const QByteArray text = frame.left(int(qstrnlen(frame.constData(), uint(frame.size()))));
    const QByteArray command = QByteArray::number(CalibratorMap::CmdHartPassThrough) + ';' + char(text.size() % 256)
                               + ';' + text;
    const int retryLimit = m_link.retryLimit();
    if (once)
        m_link.setRetryLimit(0);
    const bool ok = exchange(command, m_work.hartTimeoutMs);
    m_link.setRetryLimit(retryLimit);
    if (ok)
        frame = m_link.reply();
    return ok;
}

bool HartMaster::sendHartCommand(quint8 command, int addressForm, int frameType, QByteArray& data,
                                 bool acceptDeviceError, bool showDeviceError)
{
    m_lastAnswer = Answer::NotSent;
    if (m_work.stopRequested)
        return false;
    if (!buildHartFrame(data, m_read, command, addressForm, frameType)) {
        qDebug() << "DeviceZFN::sendHartCommand NO ADDRESS" << command;
        return false;
    }
    if (!sendFrame(data, sentOnce(command))) {
        reportNoAnswer();
        return false;
    }
    if (!AsciiUail::checkPackageNoErrorCode(data)) {
        takeCalibratorStatus(data);
        return false;
    }
    HartReplyOutcome outcome = HartReplyOutcome::Invalid;
    if (!parseHartResponse(data, m_read, command, addressForm, &outcome)) {
        m_lastAnswer = Answer::Invalid;
        showMessage(qtr("Пришла неверная HART посылка!"));
        return false;
    }
    m_lastAnswer = Answer::Reply;
    reportResult(command);
    return judge(outcome, acceptDeviceError, showDeviceError);
}

// A communication error is never accepted: the transmitter did not run the command.
bool HartMaster::judge(HartReplyOutcome outcome, bool acceptDeviceError, bool showDeviceError)
{
    if (outcome != HartReplyOutcome::Success && showDeviceError && !g_hartResponseText.isEmpty())
        showMessage(g_hartResponsePrefix + g_hartResponseText);
    const bool ok = outcome == HartReplyOutcome::Success || outcome == HartReplyOutcome::Warning
                    || (outcome == HartReplyOutcome::DeviceError && acceptDeviceError);
    if (ok)
        stepProgress();
    return ok;
}

bool HartMaster::send(quint8 command, const QByteArray& data, bool acceptDeviceError, bool showDeviceError)
{
    QByteArray frame = data;
    return sendHartCommand(command, HartFrame::LongAddress, HartFrame::MasterToSlave, frame, acceptDeviceError,
                           showDeviceError);
}

bool HartMaster::sendHartCommandNoData(quint8 command, bool acceptDeviceError, bool showDeviceError)
{
    return send(command, QByteArray(), acceptDeviceError, showDeviceError);
}

bool HartMaster::leaveFixedCurrent()
{
    return send(40, QByteArray(4, '\0'), false, true);
}

bool HartMaster::readSpecificInfo()
{
    const bool guidelines = send(81, QByteArray(1, '\0'), false, false);
    const bool points = send(80, QByteArray(1, '\0'), false, false);
    m_read.trimInfoRead = guidelines && points;
    return m_read.trimInfoRead;
}

void HartMaster::stepProgress()
{
    m_work.progress += m_work.progressStep;
    emit progress(qMin(m_work.progress, 100));
}

// A cut exchange is the user's cancel, not a silent calibrator: it changes nothing. Otherwise the
// transmitter is out of reach until it is found again.
void HartMaster::reportNoAnswer()
{
    m_lastAnswer = Answer::NoAnswer;
    qDebug() << "DeviceZFN::sendHartCommand ZFN does not ANWSER!";
    if (m_owner.isAborted())
        return;
    showMessage(m_deviceName + qtr(" не отвечает!"));
    setPresent(false);
}

// A time-out of the transmitter may mean another one answers now: look for it again. An absent
// transmitter or a modem switched off is no transmitter; other codes leave the state as it was.
void HartMaster::takeCalibratorStatus(const QByteArray& reply)
{
    m_lastAnswer = Answer::CalibratorStatus;
    showMessage(AsciiUail::errorCodeText(reply, m_deviceName));
    const int code = reply.mid(1).toInt();
    m_read.responseCode = quint8(code - CalibratorStatusOffset);
    if (code == StatusHartTimeout)
        hartConnect(true, true);
    else if (code == StatusHartAbsent || code == StatusModemOff)
        setPresent(false);
}

HartMaster::ValueRead HartMaster::readValue(int number, QByteArray& reply)
{
    const QByteArray text = CalibratorLink::commandText(CalibratorMap::CmdReadValue, {number, 0, 2});
    if (!exchange(text, m_work.exchangeTimeoutMs) || m_link.reply().isEmpty())
        return ValueRead::Failed;
    reply = m_link.reply();
    return AsciiUail::isDataPackage(reply) ? ValueRead::Data : ValueRead::Status;
}

bool HartMaster::hartConnect(bool quiet, bool readIdentity)
{
    m_work.hartErrorShown = false;
    QByteArray reply;
    const ValueRead address = readValue(CalibratorMap::ValueHartPollAddress, reply);
    if (address == ValueRead::Status)
        takeConnectStatus(reply, quiet);
    if (address != ValueRead::Data || !takePollingAddress(reply))
        return notFound();
    if (readIdentity) {
        const ValueRead identity = readValue(CalibratorMap::ValueHartIdentity, reply);
        if (identity == ValueRead::Status)
            takeConnectStatus(reply, quiet);
        if (identity != ValueRead::Data || !takeIdentity(reply))
            return notFound();
    }
    return setPresent(true);
}

// A cut exchange leaves the transmitter as it was known.
bool HartMaster::notFound()
{
    if (!m_owner.isAborted())
        setPresent(false);
    return false;
}

void HartMaster::takeConnectStatus(const QByteArray& reply, bool quiet)
{
    if (quiet)
        return;
    showMessage(AsciiUail::errorCodeText(reply, m_deviceName));
    m_work.hartErrorShown = true;
    m_read.responseCode = quint8(reply.mid(1).toInt() - CalibratorStatusOffset);
}

bool HartMaster::takePollingAddress(const QByteArray& reply)
{
    bool numeric = false;
    const uint address = reply.toUInt(&numeric);
    const bool digitsOnly = numeric && reply.at(0) >= '0' && reply.at(0) <= '9';
    if (!digitsOnly || address > LastPollingAddress) {
        m_read.pollingAddressByte = PollingAddressBase;
        return false;
    }
    m_read.pollingAddressByte = quint8(PollingAddressBase + address);
    return true;
}

bool HartMaster::takeIdentity(const QByteArray& reply)
{
    if (reply.size() != IdentityHexDigits || !AsciiUail::isHexText(reply))
        return false;
    const QByteArray bytes = QByteArray::fromHex(reply);
    m_read.manufacturerCode = quint8(bytes.at(0));
    m_read.deviceTypeCode = quint8(bytes.at(1));
    for (int i = 0; i < 3; ++i)
        m_read.deviceId[i] = quint8(bytes.at(2 + i));
    m_read.uniqueId = char(m_read.manufacturerCode & BurstBitMask) + bytes.mid(1);
    m_read.deviceTypeKey = quint16(m_read.manufacturerCode << 8 | m_read.deviceTypeCode);
    return true;
}

bool HartMaster::setPresent(bool present)
{
    m_read.present = present;
    emit connectionState(present);
    return present;
}

void HartMaster::forgetTransmitter()
{
    m_read.present = false;
    m_read.pollingAddressByte = PollingAddressBase;
    m_read.manufacturerCode = 0;
    m_read.deviceTypeCode = 0;
    std::fill(std::begin(m_read.deviceId), std::end(m_read.deviceId), quint8(0));
    m_read.uniqueId.clear();
    m_read.deviceTypeKey = 0;
}

// A worker that has handed the port back may still be leaving its thread; the new one waits for it.
HartMaster::Start HartMaster::start(int algorithm, bool flag, int fieldMask)
{
    if (!HartAlgoritm::accepts(algorithm, fieldMask))
        return Start::Refused;
    if (m_thread && m_owner.isFree())
        m_thread->wait();
    auto* thread = new QThread;
    if (!m_owner.lend(thread)) {
        delete thread;
        return Start::PortBusy;
    }
    m_work.hartOperation = algorithm;
    m_work.operationFlag = flag ? 1 : 0;
    m_work.operationArgument = fieldMask;
    m_staged = m_edited;
    // A measured current serves one trim only.
    if (HartAlgoritm::consumesMeasuredCurrents(algorithm))
        m_edited.measuredCurrentValid = false;
    connect(thread, &QThread::started, this, &HartMaster::workerSlot, Qt::DirectConnection);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_thread = thread;
    thread->start(QThread::InheritPriority);
    return Start::Started;
}

void HartMaster::waitForWorker()
{
    if (m_thread && m_thread->isRunning())
        m_thread->wait(ulong(m_timing.workerWaitMs));
}

void HartMaster::workerSlot()
{
    m_owner.serve([this] { runChain(); });
    emitEnd();
    QThread::currentThread()->quit();
}

bool HartMaster::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void HartMaster::runInCurrentThread(bool nested)
{
    if (nested) {
        runNested(m_work.hartOperation);
        return;
    }
    m_staged = m_edited;
    runChain();
    emitEnd();
}

bool HartMaster::runNested(int algorithm)
{
    m_work.hartOperation = algorithm;
    return m_algoritm->run(algorithm);
}

// A follow-on runs in the same worker, so the port never leaves it between the two; a stop
// during the first ends the chain there.
void HartMaster::runChain()
{
    m_work.stopRequested = false;
    int algorithm = m_work.hartOperation;
    bool succeeded = runOperation(algorithm, m_work.operationFlag != 0);
    for (HartAlgoritm::FollowOn next = HartAlgoritm::followOn(algorithm);
         succeeded && next.algorithm != 0 && !m_work.stopRequested; next = HartAlgoritm::followOn(algorithm)) {
        algorithm = next.algorithm;
        m_work.hartOperation = algorithm;
        m_work.operationFlag = next.flag ? 1 : 0;
        m_work.operationArgument = 0;
        succeeded = runOperation(algorithm, next.flag);
    }
    if (m_read.deviceStatus & HartAlgoritm::MoreStatusAvailable)
        sendHartCommandNoData(48, true, true);
    m_endAlgorithm = algorithm;
    m_endSucceeded = succeeded;
}

bool HartMaster::runOperation(int algorithm, bool flag)
{
    emit lockInterface(flag ? LockKind::StoppableExchange : LockKind::Exchange);
    m_work.progress = 0;
    m_work.progressStep = 100 / qMax(1, HartAlgoritm::steps(algorithm, m_work.operationArgument));
    return m_algoritm->run(algorithm);
}

void HartMaster::emitEnd()
{
    emit commandResult(-1, m_read);
    emit operationFinished(m_endAlgorithm, m_endSucceeded, m_read);
}

bool HartMaster::writeParameter(const QByteArray& data, int reg, const QString& name, int type, int count)
{
    if (m_owner.prepareExchange() && m_link.writeRegister(reg, type, count, data, m_work.exchangeTimeoutMs))
        return true;
    showMessage(AsciiUail::writeErrorText(name));
    return false;
}

void HartMaster::reportResult(int command)
{
    emit commandResult(command, m_read);
}

// An operation the user cancelled says nothing more: its exchanges were cut, nothing failed.
void HartMaster::showMessage(const QString& text)
{
    if (!m_owner.isAborted())
        emit popUp(text);
}

bool HartMaster::pause(int ms)
{
    for (int left = ms; left > 0 && !m_work.stopRequested; left -= PauseSliceMs)
        QThread::msleep(ulong(qMin(left, PauseSliceMs)));
    return !m_work.stopRequested;
}
