#pragma once

#include <qwt_plot_curve.h>

// A line curve that draws a long series as one filled rectangle per pixel column: the pixels that
// the line through every point of the column, drawn with the curve's pen, would cover. The picture
// is the same as with every point drawn, with no stroking of a thick pen.
class ReducedPlotCurve : public QwtPlotCurve
{
public:
    explicit ReducedPlotCurve(const QString& title);

protected:
    void drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                   int from, int to) const override;

private:
    int pointsInView(const QwtScaleMap& xMap, const QRectF& canvasRect, int from, int to) const;
};
