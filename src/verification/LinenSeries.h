#pragma once

#include <QPointF>
#include <QRectF>
#include <QVector>
#include <qwt_series_data.h>

// The samples of one plot curve read in place from the plot's own x and value buffers. A curve
// that held copies would share the buffers, and the next sample written into them would copy them
// whole. The buffers outlive the series; their sizes may change under it. GUI thread only.
class LinenSeries : public QwtSeriesData<QPointF>
{
public:
    LinenSeries(const QVector<double>& x, const QVector<double>& y);

    size_t size() const override;
    QPointF sample(size_t i) const override;
    // Of the samples as they were when first asked for; the plot hands over a new series with
    // every update.
    QRectF boundingRect() const override;

private:
    const QVector<double>& m_x;
    const QVector<double>& m_y;
};
