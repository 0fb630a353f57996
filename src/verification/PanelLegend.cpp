#include "PanelLegend.h"

#include <QBoxLayout>

PanelLegend::PanelLegend(QWidget* parent) : QwtLegend(parent) {}

// Entry 0 of the legend's own box is the list of entries.
void PanelLegend::insertPanelWidget(QWidget* widget, int position)
{
    auto* box = qobject_cast<QBoxLayout*>(layout());
    Q_ASSERT(box);
    box->insertWidget(position, widget);
}

QSize PanelLegend::panelSize() const
{
    QSize size(0, 0);
    const QLayout* box = layout();
    for (int i = 0; i < box->count(); ++i) {
        const QWidget* widget = box->itemAt(i)->widget();
        if (!widget || widget->isAncestorOf(contentsWidget()) || widget->isHidden())
            continue;
        const QSize hint = widget->sizeHint();
        size.setWidth(qMax(size.width(), hint.width()));
        size.rheight() += hint.height() + box->spacing();
    }
    return size;
}

QSize PanelLegend::sizeHint() const
{
    const QSize entries = QwtLegend::sizeHint();
    const QSize panel = panelSize();
    return QSize(qMax(entries.width(), panel.width()), entries.height() + panel.height());
}

int PanelLegend::heightForWidth(int width) const
{
    return QwtLegend::heightForWidth(width) + panelSize().height();
}
