#pragma once

#include "ChannelRecord.h"

#include <QAbstractTableModel>
#include <QVector>
#include <atomic>
#include <functional>

// The channel table of the measurement tab: the sensor under test as one row, refreshed after
// every poll cycle. Rows change in the GUI thread only; a change asked for by the poll thread is
// queued there. The operator's choices below are written by the GUI thread and read by the poll
// thread, hence atomics.
class ChannelsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int columnTotal = 7;

    explicit ChannelsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void append(const ChannelRecord& record);
    // The fixed reference value is in kPa; it is kept only when switched on.
    void setFixedEtalon(bool on, double value);
    double fixedEtalon() const;
    bool isFixedEtalon() const;
    void setCurrentEditable(bool editable);
    void setHartInterval(bool on, double low, double high);
    bool isHartInterval() const;
    // Takes the measured values of the record; the current too unless the operator types it.
    void updateMeasurement(int row, const ChannelRecord& record);
    // A poll session starts: until a cycle of it comes, the rows show no measured value. A cycle of
    // an earlier session still on its way is not shown.
    void beginSession();
    void setRecord(int row, const ChannelRecord& record);

    // Measured pressure typed by the operator for manual polling, in the channel's unit.
    std::atomic<float> manualValue{0};

private:
    void changeRow(int row, const std::function<void(ChannelRecord&)>& change);
    void hideMeasurements();
    QString cellText(int row, int column) const;

    QVector<ChannelRecord> m_rows;
    // Per row: a cycle of the running or last session has been taken.
    QVector<bool> m_measured;
    // Counts the sessions begun; an update is shown only in the session it was given in.
    std::atomic<quint32> m_session{0};
    std::atomic<bool> m_fixedEtalonOn{false};
    std::atomic<double> m_fixedEtalonValue{0};
    std::atomic<bool> m_currentEditable{false};
    // Row 0's HART range switch, for the poll thread.
    std::atomic<bool> m_hartInterval{false};
};
