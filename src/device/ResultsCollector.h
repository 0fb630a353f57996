#pragma once

#include <QList>
#include <QObject>

class ArchiveModel;
class ChannelRecord;
class MeasurementPoller;
class PollController;
class QAbstractItemModel;
class QMutex;
class ResultRecord;
class ResultsModel;
class VerificationSettings;

// Turns measurements into verification points: one point of the current poll cycle, a group of
// points collected one per cycle in the poll thread, or archive frames moved into the results.
class ResultsCollector : public QObject
{
    Q_OBJECT
public:
    struct Sources
    {
        const ChannelRecord& channel;
        const VerificationSettings& settings;
        const ArchiveModel& archive;
    };

    ResultsCollector(QMutex& mutex, PollController& work, const Sources& sources, ResultsModel& results,
                     MeasurementPoller& poller);

    // The caller holds the device mutex.
    bool storeCurrentResult();
    void addResult();
    void addGroupResult();
    void addGroupElement();
    void stopAddingGroup();

    // The rows of proxy carry their archive record's row (ArchiveModel::RecordRowRole).
    void setArchiveProxy(QAbstractItemModel* proxy) { m_archiveProxy = proxy; }
    void setArchiveSelectedRows(const QList<int>& rows) { m_archiveSelectedRows = rows; }
    void setArchiveSelectedOnly(bool selectedOnly) { m_archiveSelectedOnly = selectedOnly; }
    void addArchiveFramesToResults();

signals:
    void message(QString text);
    void groupStarted();
    void groupEnded();
    void progress(int percent);
    void groupAdded();
    // Every frame moved into the results came from the calibrator with this serial number.
    void archiveSerialFound(quint32 serial);

private:
    ResultRecord channelResult(const ChannelRecord& channel, double reference, double measured, double error) const;
    quint32 archiveFrameToResult(int row);
    bool isGroupFull() const;

    QMutex& m_mutex;
    PollController& m_work;
    Sources m_sources;
    ResultsModel& m_results;
    MeasurementPoller& m_poller;
    QAbstractItemModel* m_archiveProxy = nullptr;
    QList<int> m_archiveSelectedRows;
    bool m_archiveSelectedOnly = false;
};
