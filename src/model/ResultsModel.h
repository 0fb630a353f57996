#pragma once

#include "ResultRecord.h"

class VerificationSettings;

#include <QAbstractTableModel>
#include <QList>
#include <QVector>
#include <atomic>
#include <cmath>

// Order of two sort keys of a table column: NaN (no value) goes last in either direction.
inline bool sortKeyBefore(double a, double b, Qt::SortOrder order)
{
    if (std::isnan(a))
        return false;
    if (std::isnan(b))
        return true;
    return order == Qt::AscendingOrder ? a < b : a > b;
}

// The verification points of the results tab and the protocol. Rows change in the GUI thread only:
// an append or the processing of new rows asked for by the poll thread is queued there, in order.
class ResultsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int maxCount = 500;
    // Every row may form a group of its own, so group numbers reach the row limit.
    static constexpr int maxGroup = maxCount;
    static constexpr int columnTotal = 10;

    explicit ResultsModel(QObject* parent = nullptr);
    // What the uncertainty is computed from besides the points themselves.
    void setUncertaintySources(const VerificationSettings* settings);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    QVariant rawData(const QModelIndex& index) const;
    bool isEmpty() const;
    // Counts appends still queued from another thread, so the collector can test it there.
    bool isFull() const;
    // Null for a row that does not exist.
    ResultRecord* record(int row);

    // Gives the copy the next number. The limit is the caller's to test.
    void append(const ResultRecord& record);
    void clear();
    void removeResult(int row);
    void setCoefficient(double coefficient);
    void setCurrentGroup(int group);
    int currentGroup() const;
    void setGroup(const QList<int>& rows, int group);
    // Computes the uncertainty of every row not yet part of a computed set, as one set.
    void processNewRows();
    // False, with a message, when the set gives no number; its rows are then left uncomputed.
    bool computeUncertainty(const QList<int>& rows);

signals:
    void showPopUpMessageSignal(QString text);

private:
    struct Row
    {
        ResultRecord record;
        bool processed = false;
    };

    bool isForeignThread() const;
    QVector<int> existingRows(const QList<int>& rows) const;
    bool applyUncertainty(const QVector<int>& rows);
    void markUncomputed(const QVector<int>& rows);
    QString cellText(const ResultRecord& record, int column) const;

    const VerificationSettings* m_settings = nullptr;
    QVector<Row> m_rows;
    int m_nextNumber = 1;
    std::atomic<int> m_currentGroup{1};
    std::atomic<int> m_size{0};
    std::atomic<int> m_queuedAppends{0};
};
