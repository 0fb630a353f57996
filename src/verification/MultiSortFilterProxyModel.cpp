#include "MultiSortFilterProxyModel.h"

namespace {

const QChar ascendingArrow(0x2193);
const QChar descendingArrow(0x2191);

// Every match removed leaves nothing, and there was at least one: "*" holds for an empty text,
// "0" holds for "0" but not for "10" or "".
bool madeOfMatches(const QRegExp& pattern, const QString& text)
{
    return pattern.indexIn(text) >= 0 && QString(text).remove(pattern).isEmpty();
}

int compareTexts(const QRegExp& pattern, const QString& text)
{
    return text.compare(pattern.pattern(), pattern.caseSensitivity());
}

}  // namespace

MultiSortFilterProxyModel::MultiSortFilterProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {}

QVariant MultiSortFilterProxyModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const int position = orientation == Qt::Horizontal && role == Qt::DisplayRole ? sortPosition(section) : -1;
    const QVariant title = QSortFilterProxyModel::headerData(section, orientation, role);
    if (position < 0)
        return title;
    QString text(m_sortColumns.at(position).order == Qt::AscendingOrder ? ascendingArrow : descendingArrow);
    if (position > 0)
        text += QString::number(position + 1);
    return text + QLatin1Char(' ') + title.toString();
}

void MultiSortFilterProxyModel::setFilters(const QList<FilterCondition>& filters)
{
    m_filters = filters;
    invalidateFilter();
}

void MultiSortFilterProxyModel::removeFilter()
{
    setFilters({});
}

bool MultiSortFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    bool accepted = true;
    for (int i = 0; i < m_filters.size(); ++i) {
        const FilterCondition& condition = m_filters.at(i);
        const QModelIndex index = sourceModel()->index(sourceRow, condition.column, sourceParent);
        const bool result = holds(condition, index.isValid() ? index.data(Qt::DisplayRole).toString() : QString());
        const int combine = i == 0 ? FilterCondition::And : condition.combine;
        if (combine == FilterCondition::And)
            accepted = accepted && result;
        else if (combine == FilterCondition::Or)
            accepted = accepted || result;
    }
    return accepted;
}

bool MultiSortFilterProxyModel::holds(const FilterCondition& condition, const QString& text)
{
    switch (condition.operation) {
    case FilterCondition::Matches:
        return madeOfMatches(condition.pattern, text);
    case FilterCondition::NotMatches:
        return !madeOfMatches(condition.pattern, text);
    case FilterCondition::Less:
        return compareTexts(condition.pattern, text) < 0;
    case FilterCondition::LessOrEqual:
        return compareTexts(condition.pattern, text) <= 0;
    case FilterCondition::Greater:
        return compareTexts(condition.pattern, text) > 0;
    case FilterCondition::GreaterOrEqual:
        return compareTexts(condition.pattern, text) >= 0;
    default:
        return true;
    }
}

void MultiSortFilterProxyModel::addSortColumn(int column, Qt::SortOrder order)
{
    m_sortColumns.append({column, order});
    resort();
}

void MultiSortFilterProxyModel::changeSortOrder(int column, Qt::SortOrder order)
{
    const int position = sortPosition(column);
    if (position >= 0)
        m_sortColumns[position].order = order;
    resort();
}

void MultiSortFilterProxyModel::removeSortColumn(int column)
{
    const int position = sortPosition(column);
    if (position >= 0)
        m_sortColumns.removeAt(position);
    resort();
}

void MultiSortFilterProxyModel::clearSort()
{
    m_sortColumns.clear();
    resort();
}

bool MultiSortFilterProxyModel::isSorted(int column) const
{
    return sortPosition(column) >= 0;
}

Qt::SortOrder MultiSortFilterProxyModel::sortOrder(int column) const
{
    const int position = sortPosition(column);
    return position < 0 ? Qt::AscendingOrder : m_sortColumns.at(position).order;
}

int MultiSortFilterProxyModel::sortPosition(int column) const
{
    for (int i = 0; i < m_sortColumns.size(); ++i)
        if (m_sortColumns.at(i).column == column)
            return i;
    return -1;
}

// The header shows the list, so it is told as well.
void MultiSortFilterProxyModel::resort()
{
    sort(sortColumn(), Qt::AscendingOrder);
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}
