#include "ReducedPlotCurve.h"

#include <QPainter>
#include <cmath>
#include <qwt_scale_map.h>

namespace {

// Below this many points per column the plain drawing is as fast.
constexpr int pointsPerColumn = 4;

// Coordinates far outside any canvas are held here, so they convert to whole pixels.
constexpr double farthest = 1e7;

double held(double coordinate)
{
    return std::max(-farthest, std::min(coordinate, farthest));
}

// The first and last pixel rows whose centres lie in a span from top to bottom, as the rasterizer
// takes them without antialiasing; the first and last pixel columns of a vertical stroke of a
// width at a whole x, whose edges fall on pixel centres for an odd width, as it rounds them there.
int firstRow(double y)
{
    return int(std::ceil(y - 0.5));
}

int lastRow(double y)
{
    return int(std::ceil(y - 0.5)) - 1;
}

int firstColumn(double x, double width)
{
    return int(std::floor(x - width / 2 - 0.5)) + 1;
}

int lastColumn(double x, double width)
{
    return int(std::floor(x + width / 2 - 0.5));
}

// The reach of a thick line through one pixel column. A turn inside the column adds nothing to
// it; the column's first and last points, joined to the neighbouring columns by slanted lines,
// reach half the pen width up and down, and each joining line's half nearer the column is the
// column's.
class ColumnRun
{
public:
    void start(double column, double y, double enteringY, double halfWidth)
    {
        m_column = column;
        m_halfWidth = halfWidth;
        m_low = std::min(y - halfWidth, enteringY);
        m_high = std::max(y + halfWidth, enteringY);
        m_last = y;
    }
    bool holds(double column) const { return column == m_column; }
    void add(double y)
    {
        m_low = std::min(m_low, y);
        m_high = std::max(m_high, y);
        m_last = y;
    }
    // Ends the column with the line towards the next column's first point, up to leavingY.
    void leave(double leavingY)
    {
        m_low = std::min({m_low, m_last - m_halfWidth, leavingY});
        m_high = std::max({m_high, m_last + m_halfWidth, leavingY});
    }
    double column() const { return m_column; }
    double last() const { return m_last; }
    QRect pixels() const
    {
        const double column = held(m_column);
        const int left = firstColumn(column, 2 * m_halfWidth);
        const int top = firstRow(held(m_low));
        return QRect(left, top, lastColumn(column, 2 * m_halfWidth) - left + 1, lastRow(held(m_high)) - top + 1);
    }

private:
    double m_column = 0;
    double m_halfWidth = 0;
    double m_low = 0;
    double m_high = 0;
    double m_last = 0;
};

}  // namespace

ReducedPlotCurve::ReducedPlotCurve(const QString& title) : QwtPlotCurve(title) {}

int ReducedPlotCurve::pointsInView(const QwtScaleMap& xMap, const QRectF& canvasRect, int from, int to) const
{
    int count = 0;
    for (int i = from; i <= to; ++i) {
        const double x = xMap.transform(sample(size_t(i)).x());
        if (x >= canvasRect.left() && x <= canvasRect.right())
            ++count;
    }
    return count;
}

// A line between neighbouring columns is split between them; a longer one, across a pause of the
// samples, is stroked as it is.
void ReducedPlotCurve::drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                 const QRectF& canvasRect, int from, int to) const
{
    if (pointsInView(xMap, canvasRect, from, to) <= pointsPerColumn * canvasRect.width()) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    const double halfWidth = std::max(1.0, pen().widthF()) / 2;
    const QBrush brush = pen().brush();
    ColumnRun run;
    for (int i = from; i <= to; ++i) {
        const QPointF point = sample(size_t(i));
        const double column = std::floor(xMap.transform(point.x()));
        const double y = yMap.transform(point.y());
        if (i == from) {
            run.start(column, y, y, halfWidth);
        } else if (run.holds(column)) {
            run.add(y);
        } else if (std::fabs(column - run.column()) == 1) {
            const double middle = (run.last() + y) / 2;
            run.leave(middle);
            painter->fillRect(run.pixels(), brush);
            run.start(column, y, middle, halfWidth);
        } else {
            run.leave(run.last());
            painter->fillRect(run.pixels(), brush);
            painter->drawLine(QPointF(run.column(), run.last()), QPointF(column, y));
            run.start(column, y, y, halfWidth);
        }
    }
    run.leave(run.last());
    painter->fillRect(run.pixels(), brush);
}
