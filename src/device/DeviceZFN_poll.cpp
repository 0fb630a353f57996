#include "DeviceZFN.h"

#include "CalibratorMap.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "DeviceSettings.h"
#include "HartDeviceData.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "PressureUnits.h"

#include <QDebug>
#include <QThread>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

enum PollMode { CurrentMode = 0, HartMode = 1, ManualMode = 2 };
enum PollKey { ReferenceKey = 0, CurrentKey = 1, HartKey = 2 };

}  // namespace

bool DeviceZFN::startPoll()
{
    stopPoll();
    if (!m_portOwner->lend(m_poll->pollThread)) {
        refuseBusyPort();
        return false;
    }
    m_poll->restartPollThread();
    return true;
}

// A running loop reports its own end as it leaves; an idle one is reported at once.
void DeviceZFN::stopPoll()
{
    if (m_poll->isPollRunning())
        m_poll->stopPollThread();
    else
        emit poolFullyStoped();
}

void DeviceZFN::setPollMode(int mode)
{
    m_pollMode = mode;
}

void DeviceZFN::pollSlot()
{
    m_portOwner->serve([this] {
        while (runPollCycle())
            m_poll->pollThread->pauseUnlessStopped(m_poll->pollIntervalMs);
    });
    emit poolFullyStoped();
    QThread::currentThread()->quit();
}

// Returns false when the loop is to end. A cycle whose exchange was cut short without a stop of
// polling is dropped, and polling goes on. The device mutex is held only while the channel record
// changes, never across an exchange, so the window never waits for the line.
bool DeviceZFN::runPollCycle()
{
    if (!m_connected)
        m_poll->pollThread->requestStop();
    if (pollStopRequested())
        return false;
    const bool measured = takeReference() && measureByMode();
    if (pollStopRequested())
        return false;
    if (!measured)
        return true;
    {
        QMutexLocker lock(m_mutex);
        m_resultTaken = false;
    }
    emit pollUpdateSignal();
    return true;
}

bool DeviceZFN::pollStopRequested()
{
    return m_poll->pollThread->isStopRequested();
}

bool DeviceZFN::takeReference()
{
    if (!m_channelsModel->isFixedEtalon())
        return getEventByKey(ReferenceKey);
    QMutexLocker lock(m_mutex);
    m_channel->reference = PressureUnits::fromKpa(m_channel->unit, m_channelsModel->fixedEtalon());
    return true;
}

bool DeviceZFN::measureByMode()
{
    switch (m_pollMode) {
    case CurrentMode:
        return getEventByKey(CurrentKey);
    case HartMode:
        return getEventByKey(HartKey);
    case ManualMode: {
        QMutexLocker lock(m_mutex);
        takeMeasured(m_channelsModel->manualValue, m_channel->rangeHigh - m_channel->rangeLow, notANumber);
        return true;
    }
    default:
        stopPollingWith(tr("Ошибка в типе опроса"));
        return false;
    }
}

// False when the cycle cannot go on: a read failed, or polling is being stopped.
bool DeviceZFN::getEventByKey(int key)
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
bool DeviceZFN::readPollValue(int number, double* value)
{
    const PollThread* pollThread = m_poll->pollThread;
    bool ok = !pollThread->isStopRequested() && readValues(number);
    double read = 0;
    if (ok)
        read = m_lastReply.trimmed().toDouble(&ok);
    if (ok)
        *value = read;
    if (!ok && !pollThread->isStopRequested() && m_lastStatus != ExchangeStatus::Aborted)
        reportNoAnswer();
    return ok;
}

bool DeviceZFN::readReference()
{
    double raw = 0;
    if (!readPollValue(CalibratorMap::ValueReferencePressure, &raw))
        return false;
    QMutexLocker lock(m_mutex);
    m_channel->rawReference = raw;
    m_channel->reference = referenceInChannelUnit(raw);
    return true;
}

bool DeviceZFN::readLoopCurrent()
{
    double current = 0;
    if (!readPollValue(CalibratorMap::ValueLoopCurrent, &current))
        return false;
    QMutexLocker lock(m_mutex);
    m_channel->currentToValue(current);
    m_channelsModel->updateMeasurement(0, *m_channel);
    return true;
}

bool DeviceZFN::readHartValues()
{
    double primary = 0;
    double second = 0;
    double current = 0;
    if (!readPollValue(CalibratorMap::ValueHartPrimary, &primary)
        || !readPollValue(CalibratorMap::ValueHartSecond, &second)
        || !readPollValue(CalibratorMap::ValueLoopCurrent, &current))
        return false;
    QMutexLocker lock(m_mutex);
    m_channel->hartCurrent = second;
    const double span = m_channelsModel->isHartInterval() ? m_channel->hartHigh - m_channel->hartLow
                                                          : m_channel->rangeHigh - m_channel->rangeLow;
    takeMeasured(PressureUnits::convertFromHart(m_hartData->pvUnit, m_channel->unit, primary), span, current);
    return true;
}

// The caller holds the device mutex.
void DeviceZFN::takeMeasured(double measured, double span, double current)
{
    m_channel->measured = measured;
    m_channel->error = (measured - m_channel->reference) * 100 / span;
    m_channel->current = current;
    m_channelsModel->updateMeasurement(0, *m_channel);
}

// The calibrator reports the reference in its module's unit; an unknown unit gives no value.
double DeviceZFN::referenceInChannelUnit(double raw) const
{
    const int moduleUnit = m_settings->etalonUnitIndex();
    if (moduleUnit < 0 || moduleUnit >= PressureUnits::unitCount)
        return notANumber;
    return PressureUnits::convert(quint8(moduleUnit), m_channel->unit, raw);
}

void DeviceZFN::reportNoAnswer()
{
    stopPollingWith(noAnswerText());
}

// Runs in the poll thread; the loop hands the port back at its next test of the stop flag.
void DeviceZFN::stopPollingWith(const QString& message)
{
    emit showPopUpMessageSignal(message);
    emit pollStopedSignal();
    m_poll->pollThread->requestStop();
}
