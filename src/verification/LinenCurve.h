#pragma once

#include <QVector>

class QwtPlotCurve;

// One curve of a live plot: the Qwt item (attached to and owned by the plot) and its y value for
// every slot of the plot's x buffers.
class LinenCurve
{
public:
    QwtPlotCurve* curve = nullptr;
    QVector<double> values;
};
