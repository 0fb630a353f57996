#include "LinenSeries.h"

#include <algorithm>

LinenSeries::LinenSeries(const QVector<double>& x, const QVector<double>& y) : m_x(x), m_y(y) {}

size_t LinenSeries::size() const
{
    return size_t(std::min(m_x.size(), m_y.size()));
}

QPointF LinenSeries::sample(size_t i) const
{
    return QPointF(m_x.at(int(i)), m_y.at(int(i)));
}

QRectF LinenSeries::boundingRect() const
{
    if (d_boundingRect.width() < 0)
        d_boundingRect = qwtBoundingRect(*this);
    return d_boundingRect;
}
