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

// Straight from the buffers: Qwt's own pass asks for every sample through a virtual call.
QRectF LinenSeries::boundingRect() const
{
    const int count = int(size());
    if (d_boundingRect.width() >= 0 || count == 0)
        return d_boundingRect;
    const auto x = std::minmax_element(m_x.cbegin(), m_x.cbegin() + count);
    const auto y = std::minmax_element(m_y.cbegin(), m_y.cbegin() + count);
    d_boundingRect = QRectF(QPointF(*x.first, *y.first), QPointF(*x.second, *y.second));
    return d_boundingRect;
}
