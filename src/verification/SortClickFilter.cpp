#include "SortClickFilter.h"

#include <QHeaderView>
#include <QMouseEvent>

SortClickFilter::SortClickFilter(QHeaderView* header, Sortable sortable)
    : QObject(header), m_header(header), m_sortable(sortable)
{
    header->viewport()->installEventFilter(this);
}

// The header sorts on a release over the section that took the press, so a press kept from it
// leaves the release nothing to sort.
bool SortClickFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QObject::eventFilter(watched, event);
    const int section = m_header->logicalIndexAt(static_cast<QMouseEvent*>(event)->pos());
    return section >= 0 && !m_sortable(section);
}
