#pragma once

#include "LinenCurve.h"

#include <QDateTime>
#include <QList>
#include <QVector>
#include <functional>
#include <qwt_plot.h>

class DateTimeScaleDraw;
class PanelLegend;
class QMutex;
class QPen;
class QwtPlotMagnifier;
class QwtPlotPanner;
class QwtPlotZoomer;
class QwtScaleDraw;
class QwtScaleEngine;
class QwtScaleWidget;
class TimeScaleEngine;

// The line plot of live poll values and of archive frames. It keeps its own buffers: one x buffer
// per axis mode (time or index) and one value buffer per curve, all of one length. They grow
// geometrically, then slide, so a live plot can run for days; the slots past the newest sample
// repeat it, so a curve ends flat instead of dropping to a stale value. GUI thread only.
class LinenPlot : public QwtPlot
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int growthStep = 10;
    static constexpr int growthLimit = 100000;
    static constexpr int shiftStep = 10;

    explicit LinenPlot(QWidget* parent = nullptr);
    ~LinenPlot() override;

    // The source of the time of a new sample; the system clock unless a test sets another.
    void setClock(Clock clock);

    void appendSample();
    void fillCurveValue(int curve, double value);
    void updateCurves();
    void resizeSamples(int length);
    void setXValue(int slot, double x);
    void setCurveValue(int curve, int slot, double y);
    void addCurve(const QString& title, const QPen& pen);
    void attachCurve(int curve);
    void detachCurve(int curve);
    void setAllItemsVisible(bool on);
    void insertPanelWidget(QWidget* widget, int position);

    // Saves a picture of the plot. A trailing image extension of the name gives way to the one of
    // the filter ("... (*.png)"). False, after saveFailed, when nothing could be written.
    bool saveImageAs(QString fileName, const QString& filter);

    QwtPlotCurve* curve(int index) const { return m_curves.at(index).curve; }
    const QVector<double>& curveValues(int index) const { return m_curves.at(index).values; }
    const QVector<double>& timeX() const { return m_timeX; }
    const QVector<double>& indexX() const { return m_indexX; }
    int sampleCount() const { return m_sampleCount; }
    int lastSlotIndex() const { return m_lastSlot; }
    int plotMode() const { return m_plotMode; }
    PanelLegend* panelLegend() const { return m_legend; }
    QwtPlotZoomer* zoomer() const { return m_zoomer; }
    QDateTime startTime() const { return m_startTime; }

signals:
    void saveFailed(const QString& text);

public slots:
    void clear();
    void setStandartPlotScale();
    void zoomIn();
    void zoomOut();
    void printGraphic();
    void saveGraphic();
    void setPlotMode(int mode);
    void setScaleMaxNumber(int number);
    void showItem(const QVariant& info, bool on);
    void replot() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setupAxes();
    void setEmptyScale();
    void setupNavigation();
    void installScale(QwtScaleDraw* draw, QwtScaleEngine* engine, const QString& title);
    bool fitTimeLabels();
    void growBuffers();
    void shiftBuffers();
    QVector<int> timeOrder() const;
    void handOver(QwtPlotCurve* curve, const QVector<double>& values, const QVector<int>& order) const;
    void applyCurves();
    void showDates();
    void fixNewestRange();
    void redraw();

    PanelLegend* m_legend = nullptr;
    QwtPlotPanner* m_panner = nullptr;
    QwtPlotZoomer* m_zoomer = nullptr;
    QwtScaleWidget* m_bottomAxis = nullptr;
    QwtPlotMagnifier* m_magnifier = nullptr;
    QwtScaleDraw* m_xScaleDraw = nullptr;
    // The draw and the engine of the time axis, owned by the axis; null on the index axis.
    DateTimeScaleDraw* m_timeDraw = nullptr;
    TimeScaleEngine* m_timeEngine = nullptr;
    // The width a time label takes on its axis, with the room that keeps it apart from the next.
    double m_timeLabelExtent = 0.0;
    QDateTime m_startTime;
    QList<LinenCurve> m_curves;
    int m_plotMode = 0;
    int m_maxPointsShown = 0;
    bool m_scaleChanged = false;
    int m_sampleCount = 0;
    // A sample is counted by the redraw that follows its append, never by a redraw alone.
    bool m_sampleOpen = false;
    bool m_curvesPending = false;
    int m_lastSlot = -1;
    double m_newestTime = 0.0;
    double m_newestIndex = 1.0;
    QMutex* m_mutex;
    QVector<double> m_timeX;
    QVector<double> m_indexX;
    Clock m_clock;
};
