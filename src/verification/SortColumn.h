#pragma once

#include <Qt>

// One entry of MultiSortFilterProxyModel's sort list, marked in the header.
struct SortColumn
{
    int column = 0;
    Qt::SortOrder order = Qt::AscendingOrder;
};
