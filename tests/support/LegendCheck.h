#pragma once

#include "LinenPlot.h"
#include "PanelLegend.h"

#include <QFontMetrics>
#include <QStringList>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>

// Titles of the plot's legend entries that do not show whole on one line: an entry must hold its
// text in its own font after the icon and its spacing, within its frame, and the legend must show
// the whole entry.
inline QStringList cutLegendEntries(const LinenPlot* plot)
{
    QStringList cut;
    for (QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        auto* label = qobject_cast<QwtLegendLabel*>(plot->panelLegend()->legendWidget(plot->itemToInfo(item)));
        const QString text = label->text().text();
        const int needed = QFontMetrics(label->font()).horizontalAdvance(text) + label->indent()
                           + 2 * (label->frameWidth() + label->margin());
        const QWidget* view = label->parentWidget()->parentWidget();
        const QRect place(label->mapTo(view, QPoint()), label->size());
        const QRect legendPlace(plot->panelLegend()->mapTo(plot, QPoint()), plot->panelLegend()->size());
        if (text.contains(QLatin1Char('\n')) || needed > label->width() || !view->rect().contains(place)
            || !plot->rect().contains(legendPlace))
            cut << text;
    }
    return cut;
}
