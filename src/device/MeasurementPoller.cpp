#include "MeasurementPoller.h"

#include "CalibratorLink.h"
#include "CalibratorMap.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "DeviceSettings.h"
#include "HartDeviceData.h"
#include "HartTextTables.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "PressureUnits.h"

#include <QMutex>
#include <limits>

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
}  // namespace

MeasurementPoller::MeasurementPoller(CalibratorLink& link, PortOwner& owner, PollController& work, QMutex& mutex,
                                     const Records& records, const std::atomic<bool>& connected)
    : m_link(link), m_owner(owner), m_work(work), m_mutex(mutex), m_records(records), m_connected(connected)
{
}

bool MeasurementPoller::start()
{
    stop();
    if (!m_owner.lend(m_work.pollThread))
        return false;
    m_work.restartPollThread();
    return true;
}

void MeasurementPoller::stop()
{
    if (m_work.isPollRunning())
        m_work.stopPollThread();
    else
        emit stopped();
}

void MeasurementPoller::run()
{
    m_owner.serve([this] {
        while (runCycle())
            m_work.pollThread->pauseUnlessStopped(m_work.pollIntervalMs);
    });
    emit stopped();
    QThread::currentThread()->quit();
}

// Returns false when the loop is to end. A cycle whose exchange was cut short without a stop of
// polling is dropped, and polling goes on.
bool MeasurementPoller::runCycle()
{
    if (!m_connected)
        m_work.pollThread->requestStop();
    if (stopRequested())
        return false;
    const bool measured = takeReference() && measureByMode();
    if (stopRequested())
        return false;
    if (!measured)
        return true;
    {
        QMutexLocker lock(&m_mutex);
        m_work.resultTaken = false;
    }
    emit cycleDone();
    return true;
}

bool MeasurementPoller::stopRequested() const
{
    return m_work.pollThread->isStopRequested();
}

bool MeasurementPoller::takeReference()
{
    if (!m_records.channels.isFixedEtalon())
        return getEventByKey(ReferenceKey);
    QMutexLocker lock(&m_mutex);
    m_records.channel.reference = PressureUnits::fromKpa(m_records.channel.unit, m_records.channels.fixedEtalon());
    return true;
}

bool MeasurementPoller::measureByMode()
{
    switch (m_work.pollMode) {
    case CurrentMode:
        return getEventByKey(CurrentKey);
    case HartMode:
        return getEventByKey(HartKey);
    case ManualMode: {
        QMutexLocker lock(&m_mutex);
        const ChannelRecord& channel = m_records.channel;
        takeMeasured(widenFloat(m_records.channels.manualValue), channel.rangeHigh - channel.rangeLow, notANumber);
        return true;
    }
    default:
        stopWith(tr("Ошибка в типе опроса"));
        return false;
    }
}

bool MeasurementPoller::getEventByKey(int key)
{
    switch (key) {
    case ReferenceKey:
        return readReference();
    case CurrentKey:
        return readLoopCurrent();
    case HartKey:
        return readHartValues();
    default:
        return true;
    }
}

// Every value comes as a decimal number; a status reply ("$n") or other text counts as no answer.
bool MeasurementPoller::readValue(int number, double* value)
{
    const QByteArray command = CalibratorLink::commandText(CalibratorMap::CmdReadValue, {number});
    bool ok = !stopRequested() && m_link.command(command, m_work.exchangeTimeoutMs) == CalibratorLink::Status::Ok;
    double read = 0;
    if (ok)
        read = m_link.reply().trimmed().toDouble(&ok);
    if (ok)
        *value = read;
    if (!ok && !stopRequested() && m_link.lastStatus() != CalibratorLink::Status::Aborted) {
        emit noAnswer();
        m_work.pollThread->requestStop();
    }
    return ok;
}

bool MeasurementPoller::readReference()
{
    double raw = 0;
    if (!readValue(CalibratorMap::ValueReferencePressure, &raw))
        return false;
    QMutexLocker lock(&m_mutex);
    m_records.channel.rawReference = raw;
    m_records.channel.reference = referenceInChannelUnit(raw);
    return true;
}

bool MeasurementPoller::readLoopCurrent()
{
    double current = 0;
    if (!readValue(CalibratorMap::ValueLoopCurrent, &current))
        return false;
    QMutexLocker lock(&m_mutex);
    m_records.channel.currentToValue(current);
    m_records.channels.updateMeasurement(0, m_records.channel);
    return true;
}

bool MeasurementPoller::readHartValues()
{
    double primary = 0;
    double second = 0;
    double current = 0;
    if (!readValue(CalibratorMap::ValueHartPrimary, &primary) || !readValue(CalibratorMap::ValueHartSecond, &second)
        || !readValue(CalibratorMap::ValueLoopCurrent, &current))
        return false;
    QMutexLocker lock(&m_mutex);
    ChannelRecord& channel = m_records.channel;
    channel.hartCurrent = second;
    const double span = m_records.channels.isHartInterval() ? channel.hartHigh - channel.hartLow
                                                            : channel.rangeHigh - channel.rangeLow;
    takeMeasured(PressureUnits::convertFromHart(m_records.hart.pvUnit, channel.unit, primary), span, current);
    return true;
}

// The caller holds the device mutex.
void MeasurementPoller::takeMeasured(double measured, double span, double current)
{
    ChannelRecord& channel = m_records.channel;
    channel.measured = measured;
    channel.error = (measured - channel.reference) * 100 / span;
    channel.current = current;
    m_records.channels.updateMeasurement(0, channel);
}

// The calibrator reports the reference in its module's unit; an unknown unit gives no value.
double MeasurementPoller::referenceInChannelUnit(double raw) const
{
    const int moduleUnit = m_records.settings.etalonUnitIndex();
    if (moduleUnit < 0 || moduleUnit >= PressureUnits::unitCount)
        return notANumber;
    return PressureUnits::convert(quint8(moduleUnit), m_records.channel.unit, raw);
}

// Runs in the poll thread; the loop hands the port back at its next test of the stop flag.
void MeasurementPoller::stopWith(const QString& message)
{
    emit failed(message);
    m_work.pollThread->requestStop();
}
