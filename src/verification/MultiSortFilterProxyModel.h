#pragma once

#include "FilterCondition.h"
#include "SortColumn.h"

#include <QList>
#include <QSortFilterProxyModel>

// A proxy that keeps the source rows passing an ordered list of column conditions, each joined to
// the result so far by AND or OR, and marks a list of sort columns in the horizontal header with an
// arrow and their position. Sorting itself is the base class's, by its sort role.
class MultiSortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit MultiSortFilterProxyModel(QObject* parent = nullptr);

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

private:
    static bool holds(const FilterCondition& condition, const QString& text);
    int sortPosition(int column) const;
    void resort();

    QList<SortColumn> m_sortColumns;
    QList<FilterCondition> m_filters;
};
