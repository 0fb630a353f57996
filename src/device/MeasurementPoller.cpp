#include "MeasurementPoller.h"

#include "CalibratorLink.h"
#include "CalibratorMap.h"
#include "ChannelsModel.h"
#include "DeviceSettings.h"
#include "HartDeviceData.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "PressureUnits.h"
#include "TextDiscription.h"

#include <QMutex>
#include <limits>

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The reference of the cycle is already in the channel.
void takeMeasured(ChannelRecord& channel, double measured, double span, double current)
{
    channel.measured = measured;
    channel.error = (measured - channel.reference) * 100 / span;
    channel.current = current;
}
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
    forgetPreviousSession();
    m_work.restartPollThread();
    return true;
}

// The table still holds the previous session's values, which the calibrator may no longer show: no
// point is made of them, and the table shows them no longer.
void MeasurementPoller::forgetPreviousSession()
{
    {
        QMutexLocker lock(&m_mutex);
        m_work.resultTaken = true;
        m_sessionPublished = false;
    }
    m_records.channels.beginSession();
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
    m_cycle = Readings();
    const bool measured = takeReference() && measureByMode();
    if (stopRequested())
        return false;
    if (!measured)
        return true;
    publish();
    emit cycleDone();
    return true;
}

bool MeasurementPoller::stopRequested() const
{
    return m_work.pollThread->isStopRequested();
}

bool MeasurementPoller::takeReference()
{
    m_cycle.fixedReference = m_records.channels.isFixedEtalon();
    if (!m_cycle.fixedReference)
        return getEventByKey(ReferenceKey);
    m_cycle.reference = m_records.channels.fixedEtalon();
    return true;
}

bool MeasurementPoller::measureByMode()
{
    m_cycle.mode = m_work.pollMode;
    switch (m_cycle.mode) {
    case CurrentMode:
        return getEventByKey(CurrentKey);
    case HartMode:
        return getEventByKey(HartKey);
    case ManualMode:
        m_cycle.manual = widenFloat(m_records.channels.manualValue);
        return true;
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
// A loop that is to stop (it may have told its failure already) asks nothing more.
bool MeasurementPoller::readValue(int number, double* value)
{
    if (stopRequested())
        return false;
    const QByteArray command = CalibratorLink::commandText(CalibratorMap::CmdReadValue, {number});
    bool ok = m_link.command(command, m_work.exchangeTimeoutMs) == CalibratorLink::Status::Ok;
    double read = 0;
    if (ok)
        read = m_link.reply().trimmed().toDouble(&ok);
    if (ok)
        *value = read;
    if (!ok && !m_owner.isAborted()) {
        emit noAnswer();
        m_work.pollThread->requestStop();
    }
    return ok;
}

bool MeasurementPoller::readReference()
{
    return readValue(CalibratorMap::ValueReferencePressure, &m_cycle.reference);
}

bool MeasurementPoller::readLoopCurrent()
{
    return readValue(CalibratorMap::ValueLoopCurrent, &m_cycle.current);
}

bool MeasurementPoller::readHartValues()
{
    return readValue(CalibratorMap::ValueHartPrimary, &m_cycle.hartPrimary)
           && readValue(CalibratorMap::ValueHartSecond, &m_cycle.hartSecond)
           && readValue(CalibratorMap::ValueLoopCurrent, &m_cycle.current);
}

// The units, ranges and switches of the channel are taken in the same step, so the set is computed
// from one state of the channel too; the cycle's mode and source of the reference go with it. The
// copy kept of it is what a point is made of, whatever the channel becomes before the point is
// stored. It clears "already taken": a point may now be stored from it.
void MeasurementPoller::publish()
{
    bool first = false;
    {
        QMutexLocker lock(&m_mutex);
        ChannelRecord& channel = m_records.channel;
        publishReference(channel);
        publishMeasurement(channel);
        channel.pollMode = m_cycle.mode;
        channel.referenceFromDevice = !m_cycle.fixedReference;
        m_records.channels.updateMeasurement(0, channel);
        m_published = channel;
        m_work.resultTaken = false;
        first = !m_sessionPublished;
        m_sessionPublished = true;
    }
    if (first)
        emit firstCycleDone();
}

// The caller holds the device mutex.
void MeasurementPoller::publishReference(ChannelRecord& channel) const
{
    if (m_cycle.fixedReference) {
        channel.reference = PressureUnits::fromKpa(channel.unit, m_cycle.reference);
        return;
    }
    channel.rawReference = m_cycle.reference;
    channel.reference = referenceInChannelUnit(m_cycle.reference);
}

// The caller holds the device mutex; the reference of the cycle is already in the channel.
void MeasurementPoller::publishMeasurement(ChannelRecord& channel) const
{
    switch (m_cycle.mode) {
    case CurrentMode:
        channel.currentToValue(m_cycle.current);
        break;
    case HartMode: {
        channel.hartCurrent = m_cycle.hartSecond;
        const double span = m_records.channels.isHartInterval() ? channel.hartHigh - channel.hartLow
                                                                : channel.rangeHigh - channel.rangeLow;
        const double measured =
            PressureUnits::convertFromHart(m_records.hart.pvUnit, channel.unit, m_cycle.hartPrimary);
        takeMeasured(channel, measured, span, m_cycle.current);
        break;
    }
    default:
        takeMeasured(channel, m_cycle.manual, channel.rangeHigh - channel.rangeLow, notANumber);
        break;
    }
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
