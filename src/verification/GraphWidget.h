#pragma once

#include <QWidget>

class LinenPlot;
class LinenPlotControl;

// A plot as the pages use it: the control strip above the plot, wired to it.
class GraphWidget : public QWidget
{
    Q_OBJECT
public:
    explicit GraphWidget(QWidget* parent = nullptr);

    void clear();
    void setScaleMaxNumberVisible(bool visible);
    void setAllCurvesVisible(bool on);
    LinenPlot* plot() const { return m_plot; }
    LinenPlotControl* control() const { return m_control; }

private:
    LinenPlot* m_plot;
    LinenPlotControl* m_control;
};
