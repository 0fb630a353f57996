#pragma once

#include <QFontMetricsF>
#include <QRectF>
#include <QStringList>
#include <qwt_plot.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

// The labels an axis shows at its major ticks, their lines joined by a blank; blank ones are left out.
inline QStringList axisLabelTexts(const QwtPlot* plot, int axis)
{
    QStringList texts;
    for (double tick : plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick))
        texts << plot->axisScaleDraw(axis)->label(tick).text().simplified();
    texts.removeAll(QString());
    return texts;
}

// How many labels of the axis fit side by side on it, each a digit's width from the next.
inline int axisLabelRoom(const QwtPlot* plot, int axis)
{
    const QwtScaleWidget* widget = plot->axisWidget(axis);
    const QwtScaleDraw* draw = widget->scaleDraw();
    const QList<double> ticks = plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick);
    const double label = draw->labelSize(widget->font(), ticks.value(0)).width();
    return int(draw->length() / (label + QFontMetricsF(widget->font()).horizontalAdvance(QLatin1Char('0'))));
}

// The tick labels of a plot's axis that cannot be read as they are drawn: a label whose rectangle
// comes nearer than a digit's width to the one of the label before it, and a text that an earlier
// tick already shows. Each is named by its text, its lines joined by a blank. A blank label is
// not drawn.
inline QStringList clashingAxisLabels(const QwtPlot* plot, int axis)
{
    const QwtScaleWidget* widget = plot->axisWidget(axis);
    const QwtScaleDraw* draw = widget->scaleDraw();
    const double digit = QFontMetricsF(widget->font()).horizontalAdvance(QLatin1Char('0'));
    QStringList clashes;
    QStringList shown;
    QRectF previous;
    for (double tick : plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick)) {
        const QString text = draw->label(tick).text().simplified();
        if (text.isEmpty())
            continue;
        const QRectF place = draw->labelRect(widget->font(), tick)
                                 .translated(draw->labelPosition(tick))
                                 .adjusted(-digit / 2, 0, digit / 2, 0);
        if (place.intersects(previous) || shown.contains(text))
            clashes << text;
        shown << text;
        previous = place;
    }
    return clashes;
}
