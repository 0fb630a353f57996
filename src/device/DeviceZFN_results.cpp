#include "DeviceZFN.h"

#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "ParametrDouble.h"
#include "PollController.h"
#include "PollThread.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "TabConfiguration.h"
#include "VerificationSettings.h"

#include <QAbstractItemModel>
#include <cmath>

namespace {

// Columns of the archive table that a moved frame is read from.
constexpr int unitColumn = 3;
constexpr int serialColumn = 4;
constexpr int referenceColumn = 5;
constexpr int measuredColumn = 6;
constexpr int errorColumn = 7;
constexpr int hartMeasuredColumn = 9;
constexpr int hartErrorColumn = 10;
constexpr int hartFlagColumn = 12;
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
    if (m_resultTaken)
        return false;
    if (m_resultsModel->isFull()) {
        emit showPopUpMessageSignal(tr("Достигнуто максимальное количество результатов (%1). Очистите часть "
                                       "списка на вкладке Результаты.")
                                        .arg(ResultsModel::maxCount));
        return false;
    }
    m_resultTaken = true;
    ResultRecord result = channelResult(m_channel->reference, m_channel->measured, m_channel->error);
    result.setUnit(m_channel->unit);
    result.setKind(quint8(m_pollMode));
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

// A cancel ends the group before another point is taken.
void DeviceZFN::addGroupElement()
{
    QMutexLocker lock(m_mutex);
    if (m_poll->stopRequested || !storeCurrentResult()) {
        stopAddingGroup();
        return;
    }
    m_poll->progress += m_poll->progressStep;
    ++m_poll->groupCount;
    emit sendProgress(m_poll->progress);
    if (!isGroupFull())
        return;
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
// verification settings tab is told afterwards, outside the lock.
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
        applyArchiveSerial(serials.first());
}

// Returns the calibrator serial number of the frame.
quint32 DeviceZFN::archiveFrameToResult(int row)
{
    const auto cell = [this, row](int column, int role) {
        return m_archiveProxy->data(m_archiveProxy->index(row, column), role);
    };
    const bool hart = cell(hartFlagColumn, Qt::UserRole).toUInt() == 1;
    const double reference = cell(referenceColumn, Qt::DisplayRole).toDouble();
    const double measured = cell(hart ? hartMeasuredColumn : measuredColumn, Qt::DisplayRole).toDouble();
    const double error = cell(hart ? hartErrorColumn : errorColumn, Qt::DisplayRole).toDouble();
    ResultRecord result = channelResult(reference, measured, error);
    result.setUnit(quint8(cell(unitColumn, Qt::UserRole).toUInt()));
    result.setKind(hart ? 1 : 0);
    result.setReferenceFromDevice(true);
    result.setGroup(archiveGroup);
    m_resultsModel->append(result);
    return cell(serialColumn, Qt::UserRole).toUInt();
}

// The verification settings tab owns the editor of the calibrator serial number; applying the tab
// commits it together with the tab's other fields.
void DeviceZFN::applyArchiveSerial(quint32 serial)
{
    if (!g_tabConfiguration)
        return;
    g_tabConfiguration->setDeviceSerialNumber(serial);
    g_tabConfiguration->applySettings(true);
}
