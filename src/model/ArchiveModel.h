#pragma once

#include "ArchiveRecord.h"

#include <QAbstractTableModel>
#include <QVector>
#include <atomic>

// The archive frames read from the calibrator or loaded from a file, as a sortable table. Rows
// change in the GUI thread only: a frame appended by the archive thread is queued there.
class ArchiveModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The last column stays empty so that it can take the remaining width of the view.
    static constexpr int columnTotal = 14;

    explicit ArchiveModel(QObject* parent = nullptr);

    // Without the base class's calls of rowCount and columnCount: a sorting proxy asks for two
    // indexes at every comparison.
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Any column's data in this role is the row of its record, so views through proxies can find it.
    static constexpr int RecordRowRole = Qt::UserRole + 1;
    // The number this model's own sort orders a column by (dates as time); none for a column it
    // does not sort and for a value that is not a number.
    static constexpr int SortKeyRole = Qt::UserRole + 2;

    // Whether sort orders the rows by this column.
    static bool sortsColumn(int column);

    // The text of the HART-online column.
    static QString hartOnlineText(bool online);

    void append(const ArchiveRecord& record);
    void clear();
    // All rows at once, in one reset.
    void replaceRecords(const QVector<ArchiveRecord>& records);
    bool isEmpty() const;
    // row must exist.
    const ArchiveRecord& record(int row) const;

    // Archive frame at which the next read or clear starts. Written by the archive thread while it
    // runs and by the GUI thread only while it does not.
    std::atomic<int> resumePosition{0};

signals:
    // The rows were replaced at once (cleared or loaded), in the order they came.
    void recordsReplaced();

private:
    QVariant displayValue(const ArchiveRecord& record, int column) const;

    QVector<ArchiveRecord> m_rows;
    // Counts replacements of the rows; frames queued from another thread carry the count they saw.
    std::atomic<int> m_generation{0};
};
