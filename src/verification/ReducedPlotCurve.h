#pragma once

#include <qwt_plot_curve.h>

// A line curve that draws a long series as one vertical stroke per pixel column: the first, the
// lowest, the highest and the last point of every run of points falling into the same column. The
// picture is the same as with every point drawn, at the cost of a few points per column.
class ReducedPlotCurve : public QwtPlotCurve
{
public:
    explicit ReducedPlotCurve(const QString& title);

protected:
    void drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                   int from, int to) const override;
};
