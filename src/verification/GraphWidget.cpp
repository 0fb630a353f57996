#include "GraphWidget.h"

#include "LinenPlot.h"
#include "LinenPlotControl.h"

#include <QGridLayout>

GraphWidget::GraphWidget(QWidget* parent)
    : QWidget(parent), m_plot(new LinenPlot(this)), m_control(new LinenPlotControl(this))
{
    auto* layout = new QGridLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_control);
    layout->addWidget(m_plot);
    connect(m_control, &LinenPlotControl::clearSelection, m_plot, &LinenPlot::setStandartPlotScale);
    connect(m_control, &LinenPlotControl::zoomIn, m_plot, &LinenPlot::zoomIn);
    connect(m_control, &LinenPlotControl::zoomOut, m_plot, &LinenPlot::zoomOut);
    connect(m_control, &LinenPlotControl::save, m_plot, &LinenPlot::saveGraphic);
    connect(m_control, &LinenPlotControl::print, m_plot, &LinenPlot::printGraphic);
    connect(m_control, &LinenPlotControl::setMode, m_plot, &LinenPlot::setPlotMode, Qt::DirectConnection);
    connect(m_control, &LinenPlotControl::setScaleMaxNumber, m_plot, &LinenPlot::setScaleMaxNumber);
}

void GraphWidget::clear()
{
    m_plot->clear();
    m_plot->setStandartPlotScale();
}

void GraphWidget::setScaleMaxNumberVisible(bool visible)
{
    m_control->setScaleMaxNumberVisible(visible);
}

void GraphWidget::setAllCurvesVisible(bool on)
{
    m_plot->setAllItemsVisible(on);
}
