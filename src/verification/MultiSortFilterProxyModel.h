#pragma once

#include "FilterCondition.h"
#include "SortColumn.h"

#include <QList>
#include <QSortFilterProxyModel>
#include <QVector>

// A proxy over a table that keeps the source rows passing an ordered list of column conditions,
// each joined to the result so far by AND or OR, and marks a list of sort columns in the horizontal
// header with an arrow and their position. It sorts by its sort role as the base class compares
// values, numbers by value and anything else as text: ascending, the numbers come before the texts
// and rows without a value last; descending, the other way round. The values of one parent's rows
// are read once per column and ranked, and the ranks kept until the source changes, so a sort of
// many rows compares integers.
class MultiSortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit MultiSortFilterProxyModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setFilters(const QList<FilterCondition>& filters);
    const QList<FilterCondition>& filters() const { return m_filters; }

    void addSortColumn(int column, Qt::SortOrder order);
    void changeSortOrder(int column, Qt::SortOrder order);
    void removeSortColumn(int column);
    bool isSorted(int column) const;
    // Ascending for a column that is not listed.
    Qt::SortOrder sortOrder(int column) const;

public slots:
    void clearSort();
    void removeFilter();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    static bool holds(const FilterCondition& condition, const QString& text);
    int sortPosition(int column) const;
    void resort();
    void readSortRanks(const QModelIndex& parent, int column) const;
    void dropSortRanks();

    QList<SortColumn> m_sortColumns;
    QList<FilterCondition> m_filters;
    QList<QMetaObject::Connection> m_sourceConnections;
    // The place of the sort role value of every row under one source parent among the distinct
    // values of its siblings; rows without a value share the place after the last. Any change of
    // the source drops them, so the parent is only compared, never used as an index.
    mutable QVector<int> m_sortRanks;
    mutable QModelIndex m_ranksParent;
    mutable bool m_flatSource = false;
    mutable int m_ranksColumn = -1;
    mutable int m_ranksRole = -1;
};
