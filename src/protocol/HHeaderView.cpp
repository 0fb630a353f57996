#include "HHeaderView.h"

HHeaderView::HHeaderView(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
{
}

HHeaderView::~HHeaderView() = default;

QSize HHeaderView::sizeHint() const
{
    return QSize(QHeaderView::sizeHint().width(), 50);
}
