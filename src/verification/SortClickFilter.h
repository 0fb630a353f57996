#pragma once

#include <QObject>

class QHeaderView;

// A table's header that sorts by a click keeps its arrow where the rows are sorted: a click on a
// column the model cannot sort does nothing, instead of moving the arrow there while the rows stay.
class SortClickFilter : public QObject
{
    Q_OBJECT
public:
    using Sortable = bool (*)(int column);

    // Lives on the header, as its child.
    SortClickFilter(QHeaderView* header, Sortable sortable);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHeaderView* m_header;
    Sortable m_sortable;
};
