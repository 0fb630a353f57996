#include "ReducedPlotCurve.h"

#include <QPolygonF>
#include <cmath>
#include <qwt_painter.h>
#include <qwt_scale_map.h>

namespace {

// Below this many points per column the plain drawing is as fast.
constexpr int pointsPerColumn = 4;

class ColumnRun
{
public:
    void start(double column, double y)
    {
        m_column = column;
        m_first = m_low = m_high = m_last = y;
        m_lowFirst = true;
    }
    bool holds(double column) const { return column == m_column; }
    void add(double y)
    {
        if (y < m_low) {
            m_low = y;
            m_lowFirst = false;
        } else if (y > m_high) {
            m_high = y;
            m_lowFirst = true;
        }
        m_last = y;
    }
    // In the order the extremes came, so the stroke joins its neighbours as the full line would.
    void appendTo(QPolygonF& line) const
    {
        const double x = m_column;
        line << QPointF(x, m_first);
        if (m_lowFirst)
            line << QPointF(x, m_low) << QPointF(x, m_high);
        else
            line << QPointF(x, m_high) << QPointF(x, m_low);
        line << QPointF(x, m_last);
    }

private:
    double m_column = 0;
    double m_first = 0;
    double m_low = 0;
    double m_high = 0;
    double m_last = 0;
    bool m_lowFirst = true;
};

}  // namespace

ReducedPlotCurve::ReducedPlotCurve(const QString& title) : QwtPlotCurve(title) {}

void ReducedPlotCurve::drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                 const QRectF& canvasRect, int from, int to) const
{
    if (to - from + 1 <= pointsPerColumn * canvasRect.width()) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    QPolygonF line;
    line.reserve(int(canvasRect.width()) * pointsPerColumn + pointsPerColumn);
    ColumnRun run;
    for (int i = from; i <= to; ++i) {
        const QPointF point = sample(size_t(i));
        const double column = std::floor(xMap.transform(point.x()));
        const double y = yMap.transform(point.y());
        if (i == from) {
            run.start(column, y);
        } else if (run.holds(column)) {
            run.add(y);
        } else {
            run.appendTo(line);
            run.start(column, y);
        }
    }
    run.appendTo(line);
    QwtPainter::drawPolyline(painter, line);
}
