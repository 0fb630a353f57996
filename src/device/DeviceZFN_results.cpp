#include "DeviceZFN.h"

#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "HartTextTables.h"
#include "ParametrDouble.h"
#include "PollController.h"
#include "PollThread.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "VerificationSettings.h"

#include <QAbstractItemModel>
#include <cmath>

namespace {
constexpr int archiveGroup = 1;
}  // namespace

// A result carrying the channel's range, allowed error and expected output, and the committed
// accuracy coefficient.
ResultRecord DeviceZFN::channelResult(double reference, double measured, double error) const
{
    ResultRecord result;
    result.setReference(reference);
    result.setMeasured(measured);
    result.setExpectedCurrent(m_channel->expectedOutput(reference));
    result.setError(error);
    result.setAllowedError(m_channel->allowedError);
    result.setCoefficient(m_verificationSettings->prAnalysisCoeffAccuracy->value());
    result.setRangeText(m_channel->rangeText());
    result.setRangeLow(m_channel->rangeLow);
    result.setRangeHigh(m_channel->rangeHigh);
    return result;
}

// At most one result per poll cycle: the cycle clears the flag when it has new values.
bool DeviceZFN::storeCurrentResult()
{
    if (m_poll->resultTaken)
        return false;
    if (m_resultsModel->isFull()) {
        emit showPopUpMessageSignal(tr("Достигнуто максимальное количество результатов (%1). Очистите часть "
                                       "списка на вкладке Результаты.")
                                        .arg(ResultsModel::maxCount));
        return false;
    }
    m_poll->resultTaken = true;
    ResultRecord result = channelResult(m_channel->reference, m_channel->measured, m_channel->error);
    result.setUnit(m_channel->unit);
    result.setKind(quint8(m_poll->pollMode));
    result.setReferenceFromDevice(!m_channelsModel->isFixedEtalon());
    result.setGroup(m_resultsModel->currentGroup());
    result.setHasCurrent(!std::isnan(m_channel->current));
    result.setCurrent(m_channel->current);
    m_resultsModel->append(result);
    return true;
}

void DeviceZFN::addResult()
{
    QMutexLocker lock(m_mutex);
    storeCurrentResult();
}

// The group is collected in the poll thread, one point after each cycle. A loop that is already
// leaving may have reported its end before the connections existed, so that case ends the group here.
void DeviceZFN::addGroupResult()
{
    if (!m_poll->isPollRunning())
        return;
    {
        QMutexLocker lock(m_mutex);
        m_poll->resetProgress(100 / qMax(1, m_verificationSettings->groupPointCount));
        m_poll->groupCount = 0;
    }
    emit lockInteface(1);
    const auto direct = Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection);
    connect(this, &DeviceZFN::poolFullyStoped, this, &DeviceZFN::stopAddingGroup, direct);
    connect(this, &DeviceZFN::pollUpdateSignal, this, &DeviceZFN::addGroupElement, direct);
    if (!m_poll->isPollRunning() || m_poll->pollThread->isStopRequested())
        stopAddingGroup();
}

bool DeviceZFN::isGroupFull() const
{
    return m_poll->groupCount >= qMax(1, m_verificationSettings->groupPointCount);
}

// The point of this cycle is stored first; a cancel then ends the group.
void DeviceZFN::addGroupElement()
{
    QMutexLocker lock(m_mutex);
    if (!storeCurrentResult()) {
        stopAddingGroup();
        return;
    }
    m_poll->progress += m_poll->progressStep;
    ++m_poll->groupCount;
    emit sendProgress(m_poll->progress);
    if (!isGroupFull()) {
        if (m_poll->stopRequested)
            stopAddingGroup();
        return;
    }
    stopAddingGroup();
    m_resultsModel->processNewRows();
    m_resultsModel->setCurrentGroup(m_resultsModel->currentGroup() + 1);
    emit groupAdded();
}

// May run in the GUI thread and in the poll thread at once; only the call that removes the
// connections unlocks the interface.
void DeviceZFN::stopAddingGroup()
{
    disconnect(this, &DeviceZFN::poolFullyStoped, this, &DeviceZFN::stopAddingGroup);
    if (disconnect(this, &DeviceZFN::pollUpdateSignal, this, &DeviceZFN::addGroupElement))
        emit unlockInteface();
}

// Replaces the results with the chosen archive rows. The device mutex pauses polling meanwhile; the
// serial number is announced afterwards, outside the lock.
void DeviceZFN::addArchiveFramesToResults()
{
    if (!m_archiveProxy)
        return;
    QList<quint32> serials;
    {
        QMutexLocker lock(m_mutex);
        m_resultsModel->clear();
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
quint32 DeviceZFN::archiveFrameToResult(int row)
{
    const int recordRow = m_archiveProxy->data(m_archiveProxy->index(row, 0), ArchiveModel::RecordRowRole).toInt();
    const ArchiveRecord& frame = m_archiveModel->record(recordRow);
    const bool hart = frame.hartOnline() == 1;
    const double reference = widenFloat(frame.reference());
    const double measured = widenFloat(hart ? frame.hartPressure() : frame.measured());
    const double error = widenFloat(hart ? frame.hartError() : frame.error());
    ResultRecord result = channelResult(reference, measured, error);
    result.setUnit(quint8(frame.unitIndex()));
    result.setKind(hart ? 1 : 0);
    result.setReferenceFromDevice(true);
    result.setGroup(archiveGroup);
    m_resultsModel->append(result);
    return frame.deviceSerial();
}
