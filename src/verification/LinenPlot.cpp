#include "LinenPlot.h"

#include "DateTimeScaleDraw.h"
#include "FileChooser.h"
#include "LinenSeries.h"
#include "PanelLegend.h"
#include "ReducedPlotCurve.h"
#include "RussianScaleDraw.h"
#include "TimeScaleEngine.h"
#include "TryLocker.h"

#include <QDebug>
#include <QMutex>
#include <QPen>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_panner.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>

namespace {

constexpr double emptyScaleMin = 0.0;
constexpr double emptyScaleMax = 1000.0;

bool allFinite(const QVector<double>& values)
{
    return std::all_of(values.cbegin(), values.cend(), [](double v) { return std::isfinite(v); });
}

}  // namespace

LinenPlot::LinenPlot(QWidget* parent)
    : QwtPlot(parent),
      m_startTime(QDate(2000, 1, 1), QTime(0, 0)),
      m_mutex(new QMutex),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    setMinimumSize(10, 10);
    setAutoReplot(false);
    setCanvas(new QwtPlotCanvas);
    plotLayout()->setAlignCanvasToScales(true);
    m_legend = new PanelLegend(this);
    m_legend->setDefaultItemMode(QwtLegendData::Checkable);
    // The legend keeps the width of its widest entry, taken from the canvas, as long as the plot has it.
    insertLegend(m_legend, QwtPlot::RightLegend, 1.0);
    connect(m_legend, &QwtLegend::checked, this, &LinenPlot::showItem);
    setupAxes();
    setupNavigation();
    setPlotMode(0);
    (new QwtPlotGrid)->attach(this);
    replot();
}

LinenPlot::~LinenPlot()
{
    delete m_mutex;
}

void LinenPlot::setupAxes()
{
    m_bottomAxis = axisWidget(QwtPlot::xBottom);
    const QFont bottomFont = m_bottomAxis->font();
    m_bottomAxis->setMinBorderDist(0, QFontMetrics(bottomFont).height() / 2);
    m_timeLabelExtent = DateTimeScaleDraw(m_startTime).labelSize(bottomFont, 0.0).width()
                        + QFontMetricsF(bottomFont).horizontalAdvance(QLatin1Char('0'));
    // Qwt sizes a tick label without the font's descent, so the axis would cut the tail of the
    // decimal comma off the labels at its ends: "0,02" would read "0.02".
    QwtScaleWidget* leftAxis = axisWidget(QwtPlot::yLeft);
    const QFontMetrics leftMetrics(leftAxis->font());
    const int labelReach = (leftMetrics.ascent() + 1) / 2 + leftMetrics.descent();
    leftAxis->setMinBorderDist(labelReach, labelReach);
    setAxisScaleDraw(QwtPlot::yLeft, new RussianScaleDraw);
    setAxisTitle(QwtPlot::yLeft, tr("Давление, Па"));
    setEmptyScale();
}

// Automatic scaling keeps the last scale while nothing is plotted; from this one it scales
// to the first samples.
void LinenPlot::setEmptyScale()
{
    for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft}) {
        setAxisScale(axis, emptyScaleMin, emptyScaleMax);
        setAxisAutoScale(axis);
    }
}

// Pan with the left button, zoom a rectangle with the right one (Ctrl: back to the base, Shift:
// one step back), magnify with the middle button, the wheel and the "+" and "-" keys.
void LinenPlot::setupNavigation()
{
    m_magnifier = new QwtPlotMagnifier(canvas());
    m_magnifier->setMouseButton(Qt::MiddleButton, Qt::NoModifier);
    m_magnifier->setZoomInKey(Qt::Key_Plus, Qt::NoModifier);
    m_magnifier->setZoomOutKey(Qt::Key_Minus, Qt::NoModifier);
    m_panner = new QwtPlotPanner(canvas());
    m_panner->setCursor(Qt::ClosedHandCursor);
    m_zoomer = new QwtPlotZoomer(canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::green));
    m_zoomer->setRubberBand(QwtPicker::RectRubberBand);
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect1, Qt::RightButton);
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect2, Qt::RightButton, Qt::ControlModifier);
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect3, Qt::RightButton, Qt::ShiftModifier);
    // Qwt's zoomer also steps its stack on "+" and "-", which are the magnifier's keys: a key
    // would redo an old zoom and magnify it in one press.
    m_zoomer->setKeyPattern(QwtEventPattern::KeyRedo, Qt::Key_unknown);
    m_zoomer->setKeyPattern(QwtEventPattern::KeyUndo, Qt::Key_unknown);
    // Back at the base the zoomer has fixed the axes; a live plot scales itself again.
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, [this] {
        if (m_zoomer->zoomRectIndex() == 0)
            setStandartPlotScale();
    });
}

void LinenPlot::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void LinenPlot::installScale(QwtScaleDraw* draw, QwtScaleEngine* engine, const QString& title)
{
    m_xScaleDraw = draw;
    setAxisScaleDraw(QwtPlot::xBottom, draw);
    setAxisScaleEngine(QwtPlot::xBottom, engine);
    setAxisTitle(QwtPlot::xBottom, title);
    setAxisLabelRotation(QwtPlot::xBottom, 0);
    setAxisLabelAlignment(QwtPlot::xBottom, Qt::AlignLeft | Qt::AlignBottom);
}

void LinenPlot::setPlotMode(int mode)
{
    {
        TryLocker lock(m_mutex);
        if (!lock.isLocked() || (mode != 0 && mode != 1))
            return;
        m_plotMode = mode;
        m_timeDraw = mode == 0 ? new DateTimeScaleDraw(m_startTime) : nullptr;
        m_timeEngine = mode == 0 ? new TimeScaleEngine(m_startTime) : nullptr;
        if (mode == 0)
            installScale(m_timeDraw, m_timeEngine, tr(" Время"));
        else
            installScale(new RussianScaleDraw, new QwtLinearScaleEngine, tr(" Индекс"));
    }
    updateCurves();
    setStandartPlotScale();
}

void LinenPlot::appendSample()
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    m_newestTime = double(m_startTime.msecsTo(m_clock()));
    m_newestIndex = m_sampleCount + 1;
    if (m_sampleCount >= m_lastSlot) {
        if (m_lastSlot < growthLimit)
            growBuffers();
        else
            shiftBuffers();
    }
    std::fill(m_timeX.begin() + m_sampleCount, m_timeX.end(), m_newestTime);
    std::fill(m_indexX.begin() + m_sampleCount, m_indexX.end(), m_newestIndex);
    m_sampleOpen = true;
}

// About doubles the buffers, so a sample is written into slots that already exist.
void LinenPlot::growBuffers()
{
    const int growth = qMin(m_lastSlot + growthStep, growthLimit);
    const int oldLength = m_lastSlot + 1;
    m_lastSlot += growth;
    m_timeX.resize(m_lastSlot + 1);
    m_indexX.resize(m_lastSlot + 1);
    std::fill(m_timeX.begin() + oldLength, m_timeX.end(), m_newestTime);
    std::fill(m_indexX.begin() + oldLength, m_indexX.end(), m_newestIndex);
    for (LinenCurve& entry : m_curves)
        entry.values.resize(m_lastSlot + 1);
}

// Drops the oldest samples; the newest one kept stays, and the new sample follows it.
void LinenPlot::shiftBuffers()
{
    const int kept = m_lastSlot - shiftStep;
    auto shift = [kept](QVector<double>& buffer) {
        std::copy(buffer.cbegin() + shiftStep, buffer.cbegin() + shiftStep + kept, buffer.begin());
    };
    shift(m_timeX);
    shift(m_indexX);
    for (LinenCurve& entry : m_curves)
        shift(entry.values);
    m_sampleCount = kept;
}

void LinenPlot::fillCurveValue(int curve, double value)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked() || m_sampleCount > m_lastSlot)
        return;
    QVector<double>& values = m_curves[curve].values;
    std::fill(values.begin() + m_sampleCount, values.end(), value);
}

void LinenPlot::updateCurves()
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    if (m_sampleOpen) {
        ++m_sampleCount;
        m_sampleOpen = false;
    }
    m_curvesPending = !isVisible();
    if (m_curvesPending)
        return;
    applyCurves();
    redraw();
}

// The caller holds the plot mutex.
void LinenPlot::applyCurves()
{
    const QVector<int> order = timeOrder();
    for (const LinenCurve& entry : m_curves)
        handOver(entry.curve, entry.values, order);
    if (m_maxPointsShown != 0) {
        fixNewestRange();
    } else if (m_scaleChanged) {
        m_scaleChanged = false;
        setAxisAutoScale(QwtPlot::xBottom);
    }
    showDates();
}

// The caller holds the plot mutex. Blank labels take no room, so the axis is laid out anew.
void LinenPlot::showDates()
{
    if (m_timeDraw && m_timeDraw->setDatesShown(!m_timeX.isEmpty())) {
        updateLayout();
        m_bottomAxis->update();
    }
}

// A time line joins its points in time order, also when the slots were filled in another order
// (archive rows sorted by a value); slots of the same time keep their order. Empty when the slots
// are in order already, as live samples always are.
QVector<int> LinenPlot::timeOrder() const
{
    if (m_plotMode != 0 || std::is_sorted(m_timeX.cbegin(), m_timeX.cend()))
        return {};
    QVector<int> order(m_timeX.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return m_timeX[a] < m_timeX[b]; });
    return order;
}

// Qwt cannot draw a value that is not a number: such slots, and slots out of time order, are left
// to copies that the curve gets; otherwise it reads the buffers themselves.
void LinenPlot::handOver(QwtPlotCurve* curve, const QVector<double>& values, const QVector<int>& order) const
{
    const QVector<double>& x = m_plotMode == 0 ? m_timeX : m_indexX;
    if (order.isEmpty() && values.size() == x.size() && allFinite(values)) {
        curve->setData(new LinenSeries(x, values));
        return;
    }
    QVector<double> keptX;
    QVector<double> keptY;
    const int count = qMin(values.size(), x.size());
    const int total = order.isEmpty() ? count : order.size();
    for (int i = 0; i < total; ++i) {
        const int slot = order.isEmpty() ? i : order[i];
        if (slot < count && qIsFinite(values[slot])) {
            keptX.append(x[slot]);
            keptY.append(values[slot]);
        }
    }
    curve->setSamples(keptX, keptY);
}

// While zoomed the operator's view stays; an empty plot has no newest samples to show.
void LinenPlot::fixNewestRange()
{
    const QVector<double>& x = m_plotMode == 0 ? m_timeX : m_indexX;
    if (x.isEmpty() || m_zoomer->zoomRectIndex() != 0)
        return;
    const int first = qBound(0, m_sampleCount - m_maxPointsShown, x.size() - 1);
    setAxisScale(QwtPlot::xBottom, x[first], x.last());
}

// An unzoomed view is the zoomer's base, so zooming out returns to what the plot shows now.
void LinenPlot::redraw()
{
    replot();
    if (m_zoomer->zoomRectIndex() == 0)
        m_zoomer->setZoomBase(false);
}

// The ticks of the axis come from the length it had at the last layout; a layout that the new
// ticks change is followed by a second pass.
void LinenPlot::replot()
{
    fitTimeLabels();
    QwtPlot::replot();
    if (fitTimeLabels())
        QwtPlot::replot();
}

// A time axis puts its ticks no nearer than its labels fit side by side. True when that changed;
// a scale fixed by a zoom or by the newest points shown is divided again over what it shows.
bool LinenPlot::fitTimeLabels()
{
    if (!m_timeEngine)
        return false;
    const double length = m_bottomAxis->scaleDraw()->length();
    const double share = length > 0 ? qMin(1.0, m_timeLabelExtent / length) : 1.0;
    if (share == m_timeEngine->labelShare())
        return false;
    m_timeEngine->setLabelShare(share);
    if (!axisAutoScale(QwtPlot::xBottom)) {
        updateAxes();
        const QwtInterval shown = axisInterval(QwtPlot::xBottom);
        setAxisScale(QwtPlot::xBottom, shown.minValue(), shown.maxValue());
    }
    return true;
}

void LinenPlot::resizeSamples(int length)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    m_timeX.resize(length);
    m_indexX.resize(length);
    for (LinenCurve& entry : m_curves)
        entry.values.resize(length);
}

void LinenPlot::setXValue(int slot, double x)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    m_timeX[slot] = x;
    m_indexX[slot] = slot + 1;
}

void LinenPlot::setCurveValue(int curve, int slot, double y)
{
    TryLocker lock(m_mutex);
    if (lock.isLocked())
        m_curves[curve].values[slot] = y;
}

void LinenPlot::addCurve(const QString& title, const QPen& pen)
{
    auto* item = new ReducedPlotCurve(title);
    item->setPen(pen);
    item->attach(this);
    m_curves.append(LinenCurve{item, QVector<double>(m_timeX.size())});
    setAllItemsVisible(true);
}

void LinenPlot::attachCurve(int curve)
{
    m_curves.at(curve).curve->attach(this);
}

void LinenPlot::detachCurve(int curve)
{
    m_curves.at(curve).curve->detach();
}

void LinenPlot::setAllItemsVisible(bool on)
{
    for (QwtPlotItem* item : itemList()) {
        auto* label = qobject_cast<QwtLegendLabel*>(m_legend->legendWidget(itemToInfo(item)));
        if (label && label->isChecked() != on)
            label->setChecked(on);
        item->setVisible(on);
    }
    redraw();
}

void LinenPlot::insertPanelWidget(QWidget* widget, int position)
{
    m_legend->insertPanelWidget(widget, position);
    updateLayout();
}

// A curve with a value that is not a number holds its own copy of the samples: it is emptied
// here with the buffers, not left with the points of the samples cleared. The axes go back to
// those of a new plot, not kept from the samples cleared.
void LinenPlot::clear()
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    m_lastSlot = -1;
    m_sampleCount = 0;
    m_sampleOpen = false;
    m_timeX.resize(0);
    m_indexX.resize(0);
    for (LinenCurve& entry : m_curves)
        entry.values.resize(0);
    m_curvesPending = false;
    applyCurves();
    setEmptyScale();
}

void LinenPlot::setStandartPlotScale()
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    setAxisAutoScale(QwtPlot::xBottom);
    setAxisAutoScale(QwtPlot::yLeft);
    redraw();
}

void LinenPlot::setScaleMaxNumber(int number)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    m_scaleChanged = true;
    m_maxPointsShown = number;
}

// One step in, to the middle 80 % of what is shown now.
void LinenPlot::zoomIn()
{
    const QwtInterval x = axisInterval(QwtPlot::xBottom);
    const QwtInterval y = axisInterval(QwtPlot::yLeft);
    const QRectF view(x.minValue(), y.minValue(), x.width(), y.width());
    const double dx = view.width() * 0.1;
    const double dy = view.height() * 0.1;
    m_zoomer->zoom(view.adjusted(dx, dy, -dx, -dy));
}

void LinenPlot::zoomOut()
{
    m_zoomer->zoom(-1);
}

void LinenPlot::printGraphic() {}

void LinenPlot::saveGraphic()
{
    QString filter;
    const QString name = FileChooser::choose(
        {FileChooser::Save, this, tr("Save Image"), QString(),
         QStringLiteral("Bitmap file (*.bmp);;JPEG file (*.jpeg);;Portable Network Graphics file (*.png)"), &filter});
    if (!name.isEmpty())
        saveImageAs(name, filter);
}

bool LinenPlot::saveImageAs(QString fileName, const QString& filter)
{
    struct ImageType
    {
        QString suffix;
        const char* format;
    };
    static const ImageType types[] = {{QStringLiteral(".jpeg"), "JPEG"}, {QStringLiteral(".png"), "PNG"},
                                      {QStringLiteral(".bmp"), "BMP"}};
    static const QRegularExpression imageSuffix(QStringLiteral("\\.(png|jpeg|jpg|bmp)$"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QPixmap picture = grab();
    if (picture.isNull()) {
        qDebug() << "Failed to capture the plot for saving";
        return false;
    }
    const auto type = std::find_if(std::begin(types), std::end(types),
                                   [&filter](const ImageType& t) { return filter.contains(t.suffix); });
    bool saved = false;
    if (type != std::end(types)) {
        fileName.remove(imageSuffix);
        QSaveFile file(fileName + type->suffix);
        saved = file.open(QIODevice::WriteOnly) && picture.save(&file, type->format) && file.commit();
    }
    if (!saved)
        emit saveFailed(tr("Не удалось сохранить снимок."));
    return saved;
}

void LinenPlot::showItem(const QVariant& info, bool on)
{
    if (QwtPlotItem* item = infoToItem(info)) {
        item->setVisible(on);
        replot();
    }
}

void LinenPlot::resizeEvent(QResizeEvent* event)
{
    QwtPlot::resizeEvent(event);
    if (fitTimeLabels())
        replot();
}

// A hidden plot only counts its samples; the curves get them when it is shown.
void LinenPlot::showEvent(QShowEvent* event)
{
    QwtPlot::showEvent(event);
    {
        TryLocker lock(m_mutex);
        if (lock.isLocked() && m_curvesPending) {
            m_curvesPending = false;
            applyCurves();
        }
    }
    setAllItemsVisible(true);
}
