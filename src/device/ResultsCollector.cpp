#include "ResultsCollector.h"

#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "ChannelRecord.h"
#include "MeasurementPoller.h"
#include "ParametrDouble.h"
#include "PollController.h"
#include "PollThread.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QAbstractItemModel>
#include <QMutex>
#include <cmath>

namespace {
constexpr int archiveGroup = 1;
}  // namespace

ResultsCollector::ResultsCollector(QMutex& mutex, PollController& work, const Sources& sources, ResultsModel& results,
                                   MeasurementPoller& poller)
    : m_mutex(mutex), m_work(work), m_sources(sources), m_results(results), m_poller(poller)
{
}

// A result carrying the channel's range, output ends, allowed error and expected output, and the
// committed accuracy coefficient.
ResultRecord ResultsCollector::channelResult(const ChannelRecord& channel, double reference, double measured,
                                             double error) const
{
    ResultRecord result;
    result.setReference(reference);
    result.setMeasured(measured);
    result.setExpectedCurrent(channel.expectedOutput(reference));
    result.setError(error);
    result.setAllowedError(channel.allowedError);
    result.setCoefficient(m_sources.settings.prAnalysisCoeffAccuracy->value());
    result.setRangeText(channel.rangeText());
    result.setRangeLow(channel.rangeLow);
    result.setRangeHigh(channel.rangeHigh);
    result.setOutputLow(channel.outputLow);
    result.setOutputHigh(channel.outputHigh);
    return result;
}

// At most one result per poll cycle: the cycle clears the flag when it has new values, a start sets
// it. Everything of the point comes from that cycle, even when the mode, the reference, the unit or
// the range was changed since.
bool ResultsCollector::storeCurrentResult()
{
    if (m_work.resultTaken)
        return false;
    if (m_results.isFull()) {
        emit message(tr("Достигнуто максимальное количество результатов (%1). Очистите часть "
                                       "списка на вкладке Результаты.")
                                        .arg(ResultsModel::maxCount));
        return false;
    }
    m_work.resultTaken = true;
    const ChannelRecord& cycle = m_poller.publishedCycle();
    ResultRecord result = channelResult(cycle, cycle.reference, cycle.measured, cycle.error);
    result.setUnit(cycle.unit);
    result.setKind(quint8(cycle.pollMode));
    result.setReferenceFromDevice(cycle.referenceFromDevice);
    result.setGroup(m_results.currentGroup());
    result.setHasCurrent(!std::isnan(cycle.current));
    result.setCurrent(cycle.current);
    m_results.append(result);
    return true;
}

void ResultsCollector::addResult()
{
    QMutexLocker lock(&m_mutex);
    storeCurrentResult();
}

// The group is collected in the poll thread, one point after each cycle. A loop that is already
// leaving may have reported its end before the connections existed, so that case ends the group here.
void ResultsCollector::addGroupResult()
{
    if (!m_work.isPollRunning())
        return;
    {
        QMutexLocker lock(&m_mutex);
        m_work.resetProgress(100 / qMax(1, m_sources.settings.groupPointCount));
        m_work.groupCount = 0;
    }
    emit groupStarted();
    const auto direct = Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection);
    connect(&m_poller, &MeasurementPoller::stopped, this, &ResultsCollector::stopAddingGroup, direct);
    connect(&m_poller, &MeasurementPoller::cycleDone, this, &ResultsCollector::addGroupElement, direct);
    if (!m_work.isPollRunning() || m_work.pollThread->isStopRequested())
        stopAddingGroup();
}

bool ResultsCollector::isGroupFull() const
{
    return m_work.groupCount >= qMax(1, m_sources.settings.groupPointCount);
}

// The point of this cycle is stored first; a cancel then ends the group.
void ResultsCollector::addGroupElement()
{
    QMutexLocker lock(&m_mutex);
    if (!storeCurrentResult()) {
        stopAddingGroup();
        return;
    }
    m_work.progress += m_work.progressStep;
    ++m_work.groupCount;
    emit progress(m_work.progress);
    if (!isGroupFull()) {
        if (m_work.stopRequested)
            stopAddingGroup();
        return;
    }
    stopAddingGroup();
    m_results.processNewRows();
    m_results.setCurrentGroup(m_results.currentGroup() + 1);
    emit groupAdded();
}

// May run in the GUI thread and in the poll thread at once; only the call that removes the
// connections unlocks the interface.
void ResultsCollector::stopAddingGroup()
{
    disconnect(&m_poller, &MeasurementPoller::stopped, this, &ResultsCollector::stopAddingGroup);
    if (disconnect(&m_poller, &MeasurementPoller::cycleDone, this, &ResultsCollector::addGroupElement))
        emit groupEnded();
}

// Replaces the results with the chosen archive rows. The device mutex pauses polling meanwhile; the
// serial number is announced afterwards, outside the lock.
void ResultsCollector::addArchiveFramesToResults()
{
    if (!m_archiveProxy)
        return;
    QList<quint32> serials;
    {
        QMutexLocker lock(&m_mutex);
        m_results.clear();
        const int rowCount = m_archiveProxy->rowCount();
        if (m_archiveSelectedOnly) {
            for (const int row : qAsConst(m_archiveSelectedRows))
                if (row >= 0 && row < rowCount)
                    serials.append(archiveFrameToResult(row));
        } else {
            for (int row = 0; row < rowCount; ++row)
                serials.append(archiveFrameToResult(row));
        }
    }
    if (!serials.isEmpty() && serials.count(serials.first()) == serials.size())
        emit archiveSerialFound(serials.first());
}

// Converts the record behind one proxy row and returns the calibrator serial number of its frame.
quint32 ResultsCollector::archiveFrameToResult(int row)
{
    const int recordRow = m_archiveProxy->data(m_archiveProxy->index(row, 0), ArchiveModel::RecordRowRole).toInt();
    const ArchiveRecord& frame = m_sources.archive.record(recordRow);
    const bool hart = frame.hartOnline() == 1;
    const double reference = widenFloat(frame.reference());
    const double measured = widenFloat(hart ? frame.hartPressure() : frame.measured());
    const double error = widenFloat(hart ? frame.hartError() : frame.error());
    ResultRecord result = channelResult(m_sources.channel, reference, measured, error);
    result.setUnit(quint8(frame.unitIndex()));
    result.setKind(hart ? 1 : 0);
    result.setReferenceFromDevice(true);
    result.setGroup(archiveGroup);
    m_results.append(result);
    return frame.deviceSerial();
}
