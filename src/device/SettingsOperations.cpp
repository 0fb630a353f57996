#include "SettingsOperations.h"

#include "AsciiUail.h"
#include "CalibratorLink.h"
#include "CalibratorMap.h"
#include "ChannelRecord.h"
#include "HartDeviceData.h"
#include "HartDeviceTypeNames.h"
#include "LockKind.h"
#include "PollController.h"
#include "PortOwner.h"
#include "VerificationSettings.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <cmath>
#include <limits>

namespace {

using namespace CalibratorMap;

constexpr int readStep = 20;
constexpr int writeStep = 33;
constexpr int verificationStep = 16;
constexpr int verificationStepWithHart = 6;
constexpr int zeroStep = 100;
constexpr int switchStep = 50;

constexpr int waitSliceMs = 10;

constexpr int hartIdentify = 23;
constexpr int hartOutputGroup = 16;
constexpr int hartSquareRootGroup = 25;

QString qtr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

QByteArray readCommand(int reg, int type, int count)
{
    return CalibratorLink::commandText(CmdReadRegisters, {reg, type, count});
}

// A decimal whole number from 0 to maximum, nothing else.
bool parseWhole(const QByteArray& text, quint32 maximum, quint32& value)
{
    bool ok = false;
    const qulonglong number = text.toULongLong(&ok);
    if (!ok || number > maximum)
        return false;
    value = quint32(number);
    return true;
}

bool parseByte(const QByteArray& text, quint8& byte)
{
    quint32 value = 0;
    if (!parseWhole(text, 255, value))
        return false;
    byte = quint8(value);
    return true;
}

}  // namespace

SettingsOperations::SettingsOperations(CalibratorLink& link, PortOwner& owner, PollController& work, QMutex& mutex,
                                       const Targets& targets, HartHooks hart)
    : m_link(link), m_owner(owner), m_work(work), m_mutex(mutex), m_targets(targets), m_hart(std::move(hart))
{
}

// The thread object is handed to this object's thread, so that it is deleted there even when a
// worker that has since ended created it. A worker that passes the port on still reports its end
// and uses this object afterwards: the next worker starts only once it has left, so the ends come
// in order and waiting for the last worker waits for both.
bool SettingsOperations::start(int operation, bool flag, int argument, const Calibrator& calibrator)
{
    auto* thread = new QThread;
    const bool passedOn = m_owner.handOver(thread);
    if (!passedOn && !m_owner.lend(thread)) {
        delete thread;
        return false;
    }
    m_work.settingsOperation = operation;
    m_work.operationFlag = flag ? 1 : 0;
    m_work.operationArgument = argument;
    m_calibrator = calibrator;
    {
        QMutexLocker lock(&m_threadMutex);
        m_thread = thread;
    }
    thread->moveToThread(this->thread());
    connect(thread, &QThread::started, this, &SettingsOperations::run, Qt::DirectConnection);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (passedOn)
        connect(QThread::currentThread(), &QThread::finished, thread,
                [thread] { thread->start(QThread::InheritPriority); }, Qt::DirectConnection);
    else
        thread->start(QThread::InheritPriority);
    return true;
}

// The port is home before the end is reported, so a listener may use it at once.
void SettingsOperations::run()
{
    const int operation = m_work.settingsOperation;
    m_work.stopRequested = false;
    emit lockInterface(m_work.operationFlag ? LockKind::StoppableExchange : LockKind::Exchange);
    bool passedOn = false;
    m_owner.serve([&] { passedOn = runOperation(operation); });
    emit finished(operation);
    if (!passedOn)
        emit unlockInterface();
    {
        QMutexLocker lock(&m_threadMutex);
        if (m_thread == QThread::currentThread())
            m_thread = nullptr;
    }
    QThread::currentThread()->quit();
}

void SettingsOperations::waitForEnd()
{
    for (;;) {
        QThread* thread = nullptr;
        {
            QMutexLocker lock(&m_threadMutex);
            thread = m_thread;
        }
        if (!thread)
            return;
        thread->wait(waitSliceMs);
    }
}

// True when the port went on to another settings worker, which then reports the end.
bool SettingsOperations::runOperation(int operation)
{
    switch (operation) {
    case ReadSettings:
        readSettings();
        return false;
    case WriteSettings:
        return writeSettings();
    case ReadForVerification:
        readForVerification();
        return false;
    case ZeroModule:
        zeroModule();
        return false;
    case SwitchSupply:
        switchRegister(RegSupply24V, DeviceSettings::Supply24VByte, qtr("Включение 24 В"));
        return false;
    case SwitchHartModem:
        switchRegister(RegHartModem, DeviceSettings::HartModemByte, qtr("HART протокол"));
        return false;
    default:
        return false;
    }
}

void SettingsOperations::readSettings()
{
    m_readOk = false;
    m_work.resetProgress(readStep);
    DeviceSettings block = snapshot();
    if (!readImage(block))
        return;
    if (m_calibrator.type == TypeZfn030 && !readByte(RegModuleInUse, RegTypeMemory, block.bytes[DeviceSettings::ModuleChoiceByte])) {
        showReadError(QString());
        return;
    }
    if (!readModuleUnit(block))
        return;
    readSwitch(RegSupply24V, DeviceSettings::Supply24VByte, qtr("Включение 24 В"), block);
    readSwitch(RegHartModem, DeviceSettings::HartModemByte, qtr("HART протокол"), block);
    store(block);
    m_readOk = true;
}

bool SettingsOperations::writeSettings()
{
    m_work.resetProgress(writeStep);
    const DeviceSettings block = snapshot();
    bool failed = false;
    QByteArray data = block.imageHex(0, DeviceSettings::FirstImageBytes);
    failed |= !writeParameter(data, RegSettingsFirst, QString(), RegTypeMemory, 4);
    stepDone();
    data = block.imageHex(DeviceSettings::SecondImageFirst, DeviceSettings::SecondImageBytes);
    failed |= !writeParameter(data, RegSettingsSecond, QString(), RegTypeMemory, 4);
    stepDone();
    if (m_calibrator.type == TypeZfn030) {
        data = QByteArray::number(block.bytes[DeviceSettings::ModuleChoiceByte]);
        failed |= !writeParameter(data, RegModuleInUse, qtr("Индекс ТЖС"), RegTypeMemory, 1);
    }
    data = "0";
    writeParameter(data, RegSettingsClose, QString(), RegTypeByte, 1);
    stepDone();
    if (failed)
        tell(QStringLiteral("Настройки записаны с ошибкой!"));
    return start(ReadSettings, false, 0, m_calibrator);
}

void SettingsOperations::readForVerification()
{
    m_verificationReadOk = false;
    m_work.resetProgress(m_hart.reachable() ? verificationStepWithHart : verificationStep);
    DeviceSettings block = snapshot();
    QString accuracyClass;
    if (!readImage(block) || !readModuleUnit(block) || !readModuleTemperature(block) || !readCalibratorSerial(block)
        || !readAccuracyClass(accuracyClass))
        return;
    store(block);
    m_targets.verification.accuracyClassText = accuracyClass;
    takeSecondChannel(block.bytes[DeviceSettings::CurrentInputByte]);
    m_verificationReadOk = true;
}

void SettingsOperations::zeroModule()
{
    m_work.resetProgress(zeroStep);
    QByteArray data = "0";
    if (writeParameter(data, RegModuleZero, qtr("Установка нуля ТЖС"), RegTypeByte, 1))
        tell(qtr("Ноль ТЖС успешно установлен."));
    else
        tell(qtr("При установке нуля ТЖС произошла ошибка!"));
    stepDone();
}

void SettingsOperations::switchRegister(int reg, int byte, const QString& name)
{
    m_work.resetProgress(switchStep);
    QByteArray data = m_work.operationArgument != 0 ? "1" : "0";
    writeParameter(data, reg, name, RegTypeByte, 1);
    stepDone();
    QByteArray reply;
    if (readParameter(reply, reg, name, RegTypeByte, 1))
        storeByte(byte, reply.at(0) == '1' ? 1 : 0);
    stepDone();
}

bool SettingsOperations::exchange(const QByteArray& text, QByteArray& reply)
{
    reply.clear();
    if (m_link.command(text, m_work.exchangeTimeoutMs) != CalibratorLink::Status::Ok)
        return false;
    reply = m_link.reply();
    return true;
}

// A reply that came and is data, not a status.
bool SettingsOperations::readData(const QByteArray& text, QByteArray& reply)
{
    return exchange(text, reply) && AsciiUail::isDataPackage(reply);
}

// The calibrator's reply is left in data.
bool SettingsOperations::writeParameter(QByteArray& data, int reg, const QString& name, int type, int count)
{
    const bool written = m_link.writeRegister(reg, type, count, data, m_work.exchangeTimeoutMs);
    data = m_link.reply();
    if (!written)
        tell(AsciiUail::writeErrorText(name));
    return written;
}

bool SettingsOperations::readParameter(QByteArray& out, int reg, const QString& name, int type, int count)
{
    if (readData(readCommand(reg, type, count), out))
        return true;
    tell(name.isEmpty() ? qtr("При чтении параметра произошла ошибка!")
                              : qtr("При чтении параметра \"") + name + qtr("\" произошла ошибка!"));
    return false;
}

void SettingsOperations::showReadError(const QString& name)
{
    tell(name.isEmpty() ? qtr("При чтении параметров произошла ошибка")
                              : qtr("При чтении параметра") + ' ' + name + qtr(" произошла ошибка"));
}

bool SettingsOperations::readImage(DeviceSettings& block)
{
    return readImagePart(RegSettingsFirst, 0, DeviceSettings::FirstImageBytes, block)
           && readImagePart(RegSettingsSecond, DeviceSettings::SecondImageFirst, DeviceSettings::SecondImageBytes, block);
}

// A reply that is data and that take accepts is a step done; any other shows the read error.
bool SettingsOperations::readChecked(const QByteArray& request, const QString& name,
                                     const std::function<bool(const QByteArray&)>& take)
{
    QByteArray reply;
    if (!readData(request, reply) || !take(reply)) {
        showReadError(name);
        return false;
    }
    stepDone();
    return true;
}

// The reply must be whole hexadecimal pairs, at least as many as the part has bytes.
bool SettingsOperations::readImagePart(int reg, int first, int count, DeviceSettings& block)
{
    return readChecked(readCommand(reg, RegTypeMemory, 4), QString(), [&](const QByteArray& reply) {
        return reply.size() >= 2 * count && AsciiUail::hexPairsToBytes(block.bytes.data() + first, reply, count) == count;
    });
}

bool SettingsOperations::readByte(int reg, int type, quint8& byte)
{
    QByteArray reply;
    return readData(readCommand(reg, type, 1), reply) && parseByte(reply, byte);
}

bool SettingsOperations::readModuleUnit(DeviceSettings& block)
{
    return readChecked(readCommand(RegModuleUnit, RegTypeByte, 1), QString(), [&](const QByteArray& reply) {
        return parseByte(reply, block.bytes[DeviceSettings::ModuleUnitByte]);
    });
}

// A switch that cannot be read keeps its state, and the read goes on.
void SettingsOperations::readSwitch(int reg, int byte, const QString& name, DeviceSettings& block)
{
    QByteArray reply;
    if (readData(readCommand(reg, RegTypeByte, 1), reply))
        block.bytes[size_t(byte)] = reply.at(0) == '1' ? 1 : 0;
    else
        showReadError(name);
    stepDone();
}

bool SettingsOperations::readModuleTemperature(DeviceSettings& block)
{
    const QByteArray request = CalibratorLink::commandText(CmdReadValue, {ValueModuleTemperature});
    return readChecked(request, qtr("Температура ТЖС"), [&](const QByteArray& reply) {
        bool ok = false;
        const float temperature = reply.toFloat(&ok);
        if (!ok || !std::isfinite(temperature))
            return false;
        block.setFloatAt(DeviceSettings::ModuleTemperatureByte, temperature);
        return true;
    });
}

bool SettingsOperations::readCalibratorSerial(DeviceSettings& block)
{
    return readChecked(readCommand(RegSerialNumber, RegTypeFloat, 2), qtr("Серйиный номер ") + m_calibrator.name,
                       [&](const QByteArray& reply) {
                           quint32 serial = 0;
                           if (!parseWhole(reply, std::numeric_limits<quint32>::max(), serial))
                               return false;
                           block.setU32At(DeviceSettings::CalibratorSerialByte, serial);
                           return true;
                       });
}

// The reply's bytes are the class text in Latin-1, ended by the first zero byte.
bool SettingsOperations::readAccuracyClass(QString& text)
{
    return readChecked(readCommand(RegAccuracyClass, RegTypeByte, 4), qtr("Класс точности"), [&](const QByteArray& reply) {
        if (!AsciiUail::isHexText(reply))
            return false;
        const QByteArray bytes = QByteArray::fromHex(reply);
        text = QString::fromLatin1(bytes.constData(), int(qstrnlen(bytes.constData(), uint(bytes.size()))));
        return true;
    });
}

// Without a transmitter the calibrator's current input describes the output; with one, only what
// its commands read is taken.
void SettingsOperations::takeSecondChannel(quint8 currentInput)
{
    changeSecondChannel([](ChannelRecord& channel) { channel.hartOutput = false; });
    if (!m_hart.reachable()) {
        changeSecondChannel([currentInput](ChannelRecord& channel) { channel.outputType = currentInput; });
        return;
    }
    if (runNestedHart(hartIdentify)) {
        const QString name = hartDeviceTypeName(m_targets.hart.deviceTypeKey);
        changeSecondChannel([&name](ChannelRecord& channel) { channel.name = name; });
    }
    stepDone();
    const bool outputRead = runNestedHart(hartOutputGroup);
    const quint8 outputType = outputRead ? m_targets.hart.currentOutputType : currentInput;
    changeSecondChannel([outputRead, outputType](ChannelRecord& channel) {
        channel.hartOutput = outputRead;
        channel.outputType = outputType;
    });
    stepDone();
    takeTransferFunction();
    stepDone();
}

void SettingsOperations::takeTransferFunction()
{
    HartDeviceData& hart = m_targets.hart;
    hart.transferFunction = 0;
    hart.sqrtLinearizationThreshold = 0.0f;
    hart.sqrtCutoffThreshold = 0.0f;
    hart.sqrtHysteresisWidth = 0.0f;
    if (!runNestedHart(hartSquareRootGroup)) {
        showReadError(qtr("Передаточная функция"));
        return;
    }
    const quint8 transferFunction = hart.transferFunction;
    if (transferFunction > 1) {
        tell(qtr("У подключенного HART прибора используется неизвестная зависимость."));
        return;
    }
    changeSecondChannel([transferFunction](ChannelRecord& channel) { channel.characteristic = transferFunction; });
    if (hart.sqrtLinearizationThreshold != 0.0f || hart.sqrtCutoffThreshold != 0.0f || hart.sqrtHysteresisWidth != 0.0f)
        tell(qtr("У подключенного HART прибора с корнеизвлекающей передаточной функцией необходимо установить "
                       "параметрам 'Порог линеаризации', 'Порог отсечки', 'Ширина гистерезиса' значение 0. "
                       "Вкладка HART > Специфические > Корнеизвлекающая зависимость."));
}

bool SettingsOperations::runNestedHart(int hartOperation)
{
    return m_hart.run(hartOperation);
}

// A cancelled operation says nothing more: its exchanges were cut, the calibrator did not fail.
void SettingsOperations::tell(const QString& text)
{
    if (!m_owner.isAborted())
        emit popUp(text);
}

void SettingsOperations::stepDone()
{
    m_work.progress += m_work.progressStep;
    emit progress(m_work.progress);
}

DeviceSettings SettingsOperations::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_targets.block;
}

void SettingsOperations::store(const DeviceSettings& block)
{
    QMutexLocker lock(&m_mutex);
    m_targets.block = block;
}

void SettingsOperations::storeByte(int byte, quint8 value)
{
    QMutexLocker lock(&m_mutex);
    m_targets.block.bytes[size_t(byte)] = value;
}

void SettingsOperations::changeSecondChannel(const std::function<void(ChannelRecord&)>& change)
{
    QMutexLocker lock(&m_mutex);
    change(m_targets.secondChannel);
}
