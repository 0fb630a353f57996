#include "AxisLabelCheck.h"
#include "ChildLookup.h"
#include "DateTimeScaleDraw.h"
#include "FileChooser.h"
#include "GraphWidget.h"
#include "LegendCheck.h"
#include "LinenPlot.h"
#include "PanelLegend.h"
#include "ReducedPlotCurve.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "TimeScaleEngine.h"

#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <ctime>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_map.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

namespace {

// A plot whose clock advances one second per sample, so every x value is known.
class ClockedPlot
{
public:
    explicit ClockedPlot(bool withReference = true)
    {
        graph.plot()->setClock([this] { return graph.plot()->startTime().addSecs(m_seconds); });
        if (withReference)
            graph.plot()->addCurve(QStringLiteral("Эталон"), QPen(Qt::red));
        m_measured = withReference ? 1 : 0;
        graph.plot()->addCurve(QStringLiteral("Измеренное значение"), QPen(Qt::blue));
    }

    LinenPlot* plot() { return graph.plot(); }
    // Shown at the size, with `count` samples that cycle through `period` values.
    bool showWithSamples(const QSize& size, int count, int period)
    {
        graph.resize(size);
        graph.show();
        if (!QTest::qWaitForWindowExposed(&graph))
            return false;
        for (int i = 0; i < count; ++i)
            sample(i % period);
        return true;
    }
    void sample(double measured)
    {
        ++m_seconds;
        plot()->appendSample();
        plot()->fillCurveValue(m_measured, measured);
        if (m_measured)
            plot()->fillCurveValue(0, 0);
        plot()->updateCurves();
    }

    GraphWidget graph;

private:
    int m_seconds = 0;
    int m_measured;
};

// A day of samples with a pause, 100 to a pixel column of a 1000-pixel canvas.
QPointF daySample(int i)
{
    const double x = i + (i >= 50000 ? 20000 : 0);
    return QPointF(x, 100.0 * ((i / 6000) % 5) + 30 * std::sin(i * 0.002) + 3 * std::sin(i * 0.7));
}

// What the plot shows: its x range across, its y range up.
QRectF shownRange(const LinenPlot* plot)
{
    const QwtInterval x = plot->axisInterval(QwtPlot::xBottom);
    const QwtInterval y = plot->axisInterval(QwtPlot::yLeft);
    return QRectF(x.minValue(), y.minValue(), x.width(), y.width());
}

bool nearlyEqual(const QRectF& a, const QRectF& b)
{
    const double dx = b.width() / 1000;
    const double dy = b.height() / 1000;
    return qAbs(a.left() - b.left()) < dx && qAbs(a.right() - b.right()) < dx && qAbs(a.top() - b.top()) < dy
           && qAbs(a.bottom() - b.bottom()) < dy;
}

void click(const QWidget* strip, const char* button)
{
    requireChild<QPushButton>(strip, button)->click();
}

QwtLegendLabel* legendLabel(LinenPlot* plot, int curve)
{
    return qobject_cast<QwtLegendLabel*>(plot->panelLegend()->legendWidget(plot->itemToInfo(plot->curve(curve))));
}

}  // namespace

class TestLivePlot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The slots past the newest sample repeat it; a redraw without a new sample counts nothing.
    void buffersGrowThenSlide()
    {
        ClockedPlot fresh;
        fresh.sample(7);
        QCOMPARE(fresh.plot()->lastSlotIndex(), 8);
        QCOMPARE(fresh.plot()->curveValues(1), QVector<double>(9, 7.0));
        QCOMPARE(fresh.plot()->timeX(), QVector<double>(9, fresh.plot()->timeX().first()));
        fresh.plot()->setPlotMode(1);
        fresh.plot()->setPlotMode(0);
        for (int i = 1; i < 9; ++i)
            fresh.sample(i);
        QCOMPARE(fresh.plot()->sampleCount(), 9);
        QCOMPARE(fresh.plot()->lastSlotIndex(), 26);
        QCOMPARE(fresh.plot()->curveValues(1).at(8), 8.0);

        // The buffers stop doubling at their limit and then slide by ten, keeping the newest sample.
        ClockedPlot hidden(false);
        for (int i = 0; i < 147446; ++i)
            hidden.sample(i);
        QCOMPARE(hidden.plot()->lastSlotIndex(), 147446);
        const double newestKept = hidden.plot()->timeX().at(147445);
        hidden.sample(-1);
        QCOMPARE(hidden.plot()->lastSlotIndex(), 147446);
        QCOMPARE(hidden.plot()->sampleCount(), 147437);
        QCOMPARE(hidden.plot()->curveValues(0).first(), 10.0);
        QCOMPARE(hidden.plot()->curveValues(0).mid(147435, 2), QVector<double>({147445, -1}));
        QCOMPARE(hidden.plot()->timeX().mid(147435, 2), QVector<double>({newestKept, newestKept + 1000}));
    }

    // The strip, the legend and the pictures of a shown plot, from an empty one on.
    void shownPlotFollowsItsControls()
    {
        ClockedPlot shown;
        LinenPlot* plot = shown.plot();
        const int entriesHeight = plot->panelLegend()->sizeHint().height();
        auto* panel = new QLabel(QStringLiteral("Тип графика"));
        panel->setMinimumHeight(80);
        plot->insertPanelWidget(panel, 0);
        QVERIFY(plot->panelLegend()->sizeHint().height() >= entriesHeight + 80);
        shown.graph.show();
        QVERIFY(panel->geometry().bottom() < legendLabel(plot, 0)->mapTo(plot->panelLegend(), QPoint()).y());

        // Twenty newest points on an index axis; an empty plot and values that are no numbers draw nothing.
        auto* points = shown.graph.findChild<QSpinBox*>("spinBox_scaleMaxValuesNumber");
        auto* time = shown.graph.findChild<QPushButton*>("pushButton_modeTime");
        auto* index = shown.graph.findChild<QPushButton*>("pushButton_modeIndex");
        points->setValue(20);
        shown.graph.clear();
        index->click();
        QVERIFY(!time->isChecked() && index->isChecked());
        QCOMPARE(plot->curve(1)->dataSize(), size_t(0));
        shown.sample(qQNaN());
        shown.sample(2);
        shown.sample(qInf());
        QCOMPARE(plot->curve(1)->dataSize(), size_t(1));
        QCOMPARE(plot->curve(1)->sample(0), QPointF(2, 2));
        for (int i = 0; i < 47; ++i)
            shown.sample(i);
        const QwtScaleDiv newest = plot->axisScaleDiv(QwtPlot::xBottom);
        QCOMPARE(QPointF(newest.lowerBound(), newest.upperBound()), QPointF(31, 50));
        time->click();
        time->click();
        QVERIFY(time->isChecked() && !index->isChecked());
        shown.sample(0);
        const QwtScaleDiv newestTimes = plot->axisScaleDiv(QwtPlot::xBottom);
        QCOMPARE(QPointF(newestTimes.lowerBound(), newestTimes.upperBound()),
                 QPointF(plot->timeX().at(31), plot->timeX().last()));
        points->setValue(0);
        QVERIFY(!plot->axisAutoScale(QwtPlot::xBottom));
        shown.sample(1);
        QVERIFY(plot->axisAutoScale(QwtPlot::xBottom));
        auto* autoScale = shown.graph.findChild<QPushButton*>("pushButton_autoScale");
        points->setValue(30);
        autoScale->click();
        QCOMPARE(points->value(), 0);
        shown.graph.setScaleMaxNumberVisible(false);
        points->setValue(30);
        autoScale->click();
        QCOMPARE(points->value(), 30);

        QTest::mouseClick(legendLabel(plot, 1), Qt::LeftButton);
        QVERIFY(!plot->curve(1)->isVisible());
        plot->setAllItemsVisible(true);
        QVERIFY(plot->curve(1)->isVisible() && legendLabel(plot, 1)->isChecked());

        // The filter's extension replaces an image extension typed with the name, and only that.
        QTemporaryDir folder;
        QSignalSpy failures(plot, &LinenPlot::saveFailed);
        QVERIFY(plot->saveImageAs(folder.filePath("shot.BMP"), "Portable Network Graphics file (*.png)"));
        QVERIFY(plot->saveImageAs(folder.filePath("a.png.data"), "JPEG file (*.jpeg)"));
        QCOMPARE(QImageReader(folder.filePath("a.png.data.jpeg")).format(), QByteArray("jpeg"));
        QCOMPARE(QImageReader(folder.filePath("shot.png")).format(), QByteArray("png"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList({"a.png.data.jpeg", "shot.png"}));
        QVERIFY(failures.isEmpty());
        QVERIFY(!plot->saveImageAs(folder.filePath("missing/shot"), "Bitmap file (*.bmp)"));
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.first().first().toString(), QString("Не удалось сохранить снимок."));
    }

    // An empty plot reads no date on its time axis: not before the first sample, nor after a clear.
    void timeAxisReadsDatesOfSamplesOnly()
    {
        GraphWidget graph;
        LinenPlot* plot = graph.plot();
        plot->addCurve(QStringLiteral("Измеренное значение"), QPen(Qt::blue));
        plot->setClock([] { return QDateTime(QDate(2026, 4, 20), QTime(17, 46, 41)); });
        graph.resize(600, 400);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const auto dates = [plot] { return axisLabelTexts(plot, QwtPlot::xBottom); };
        QCOMPARE(dates(), QStringList());
        plot->appendSample();
        plot->fillCurveValue(0, 5);
        plot->updateCurves();
        QCOMPARE(dates(), QStringList({"20.04.26 17:46:40", "20.04.26 17:46:41", "20.04.26 17:46:42"}));
        graph.clear();
        QCOMPARE(dates(), QStringList());
    }

    // The strip's zoom buttons step in to the middle of the view and back out; its auto-scale
    // button brings back all the samples after a zoom, on both axes.
    void stripButtonsActOnTheView()
    {
        ClockedPlot shown;
        LinenPlot* plot = shown.plot();
        QVERIFY(shown.showWithSamples(QSize(700, 400), 40, 10));
        const QRectF whole = shownRange(plot);
        const QRectF middle = whole.adjusted(whole.width() / 10, whole.height() / 10, -whole.width() / 10,
                                             -whole.height() / 10);
        click(&shown.graph, "pushButton_zoomPlus");
        QVERIFY(nearlyEqual(shownRange(plot), middle));
        click(&shown.graph, "pushButton_zoomMinus");
        QVERIFY(nearlyEqual(shownRange(plot), whole));
        click(&shown.graph, "pushButton_zoomPlus");
        click(&shown.graph, "pushButton_autoScale");
        QVERIFY(plot->axisAutoScale(QwtPlot::xBottom) && plot->axisAutoScale(QwtPlot::yLeft));
        QVERIFY(nearlyEqual(shownRange(plot), whole));
    }

    // The mouse and the keys on the canvas: the left button drags the view along, the right one
    // zooms to the rectangle it draws and, with Shift, steps back out; "+" and "-" magnify and
    // shrink about the middle.
    void canvasNavigation()
    {
        ClockedPlot shown;
        LinenPlot* plot = shown.plot();
        QVERIFY(shown.showWithSamples(QSize(700, 400), 40, 10));
        QWidget* canvas = plot->canvas();
        // QTest moves the mouse without the held button.
        const auto drag = [canvas](Qt::MouseButton button, Qt::KeyboardModifiers keys, QPoint from, QPoint to) {
            QTest::mousePress(canvas, button, keys, from);
            for (const QPoint& at : {(from + to) / 2, to}) {
                QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, button, keys);
                QApplication::sendEvent(canvas, &move);
            }
            QTest::mouseRelease(canvas, button, keys, to);
        };
        const QRectF whole = shownRange(plot);
        const double pixelsAcross = canvas->width();
        drag(Qt::LeftButton, Qt::NoModifier, QPoint(300, 150), QPoint(400, 150));
        const QRectF panned = shownRange(plot);
        QVERIFY(qAbs(whole.left() - panned.left() - whole.width() * 100 / pixelsAcross) < whole.width() / 100);
        QCOMPARE(panned.width(), whole.width());

        const QwtScaleMap xMap = plot->canvasMap(QwtPlot::xBottom);
        const QwtScaleMap yMap = plot->canvasMap(QwtPlot::yLeft);
        const QRectF drawn(QPointF(xMap.invTransform(100), yMap.invTransform(250)),
                           QPointF(xMap.invTransform(300), yMap.invTransform(50)));
        drag(Qt::RightButton, Qt::NoModifier, QPoint(100, 50), QPoint(300, 250));
        QVERIFY(nearlyEqual(shownRange(plot), drawn));
        // Back at the zoom base the plot scales itself to its samples again.
        QTest::mouseClick(canvas, Qt::RightButton, Qt::ShiftModifier, QPoint(200, 100));
        QVERIFY(nearlyEqual(shownRange(plot), whole));

        QTest::keyClick(canvas, Qt::Key_Plus);
        const QRectF magnified = shownRange(plot);
        QVERIFY(magnified.width() < whole.width() * 0.95 && magnified.height() < whole.height() * 0.95);
        QTest::keyClick(canvas, Qt::Key_Minus);
        QVERIFY(nearlyEqual(shownRange(plot), whole));
    }

    // The strip's save button asks for a file through the file chooser and writes the plot's
    // picture in the kind of the chosen filter, with its suffix.
    void saveButtonWritesThePicture_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("bitmap") << "Bitmap file (*.bmp)" << "снимок" << "снимок.bmp" << QByteArray("bmp");
        QTest::newRow("JPEG") << "JPEG file (*.jpeg)" << "снимок" << "снимок.jpeg" << QByteArray("jpeg");
        QTest::newRow("PNG") << "Portable Network Graphics file (*.png)" << "снимок" << "снимок.png" << QByteArray("png");
    }
    void saveButtonWritesThePicture()
    {
        QFETCH(QString, filter);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(QByteArray, format);
        QTemporaryDir folder;
        QList<FileChooser::Request> asked;
        FileChooser::setSink([&](const FileChooser::Request& request) {
            asked << request;
            if (request.selectedFilter)
                *request.selectedFilter = filter;
            return folder.filePath(typed);
        });
        struct SinkReset
        {
            ~SinkReset() { FileChooser::setSink(nullptr); }
        } reset;
        ClockedPlot shown;
        QVERIFY(shown.showWithSamples(QSize(500, 300), 20, 7));
        click(&shown.graph, "pushButton_save");
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().mode, FileChooser::Save);
        QCOMPARE(asked.first().filter,
                 QString("Bitmap file (*.bmp);;JPEG file (*.jpeg);;Portable Network Graphics file (*.png)"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{written});
        QImageReader reader(folder.filePath(written));
        QCOMPARE(reader.format(), format);
        const QImage saved = reader.read().convertToFormat(QImage::Format_RGB32);
        const QImage picture = shown.plot()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(saved.size(), picture.size());
        // JPEG blurs the pixels; the mean difference still tells the plot's picture from another.
        qint64 difference = 0;
        for (int y = 0; y < saved.height(); ++y)
            for (int x = 0; x < saved.width(); ++x)
                difference += qAbs(qGray(saved.pixel(x, y)) - qGray(picture.pixel(x, y)));
        QVERIFY2(difference <= qint64(saved.width()) * saved.height() * (format == "jpeg" ? 4 : 0),
                 qPrintable(QString::number(double(difference) / (saved.width() * saved.height()))));
    }

    // On a system that writes "60,000", the axes still read as the tables do.
    void axisLabels()
    {
        struct DefaultLocale
        {
            QLocale saved;
            ~DefaultLocale() { QLocale::setDefault(saved); }
        } restore;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        LinenPlot plot;
        const QwtScaleDraw* times = plot.axisScaleDraw(QwtPlot::xBottom);
        QCOMPARE(times->label(86400000.0 + 3723999.9).text(), QString("02.01.00 \n01:02:03"));
        const QChar blank(0x00A0);
        QCOMPARE(plot.axisScaleDraw(QwtPlot::yLeft)->label(60000).text(), QString("60") + blank + "000");
        QCOMPARE(plot.axisScaleDraw(QwtPlot::yLeft)->label(-0.5).text(), QString("-0,5"));
        plot.setPlotMode(1);
        QCOMPARE(plot.axisScaleDraw(QwtPlot::xBottom)->label(1000).text(), QString("1") + blank + "000");
    }

    // A time scale's ticks fall on whole local hours, days, Mondays and months, across a change to
    // or from summer time too, and stand at least the share of the interval that a label takes
    // apart: as many as fit, short months included.
    void timeTicksStandApart_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<double>("room");
        QTest::addColumn<QStringList>("labels");
        const QByteArray moscow("MSK-3");
        const QByteArray berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        const auto at = [](int year, int month, int day, int hour = 0) {
            return QDateTime(QDate(year, month, day), QTime(hour, 0));
        };
        QTest::newRow("January and February, room for 2")
            << moscow << at(2026, 1, 1) << at(2026, 3, 1) << 2.0 << QStringList{"01.01.26 00:00:00", "01.03.26 00:00:00"};
        QTest::newRow("59 days, room for 2.5")
            << moscow << at(2026, 1, 10) << at(2026, 3, 10) << 2.5 << QStringList{"01.02.26 00:00:00", "01.03.26 00:00:00"};
        QTest::newRow("three months, room for 3.4")
            << moscow << at(2025, 12, 25, 17) << at(2026, 3, 26) << 3.4
            << QStringList{"01.01.26 00:00:00", "01.02.26 00:00:00", "01.03.26 00:00:00"};
        QTest::newRow("ten months, room for 3") << moscow << at(2026, 4, 20) << at(2027, 2, 20) << 3.0
                                                << QStringList{"01.05.26 00:00:00", "01.09.26 00:00:00", "01.01.27 00:00:00"};
        QTest::newRow("hours into summer time")
            << berlin << at(2026, 3, 29) << at(2026, 3, 29, 12) << 4.0
            << QStringList{"29.03.26 00:00:00", "29.03.26 04:00:00", "29.03.26 08:00:00", "29.03.26 12:00:00"};
        QTest::newRow("hours out of summer time")
            << berlin << at(2026, 10, 25) << at(2026, 10, 25, 5) << 7.0
            << QStringList{"25.10.26 00:00:00", "25.10.26 01:00:00", "25.10.26 02:00:00", "25.10.26 03:00:00",
                           "25.10.26 04:00:00", "25.10.26 05:00:00"};
        QTest::newRow("Mondays out of summer time")
            << berlin << at(2026, 10, 20) << at(2026, 11, 10) << 4.0
            << QStringList{"26.10.26 00:00:00", "02.11.26 00:00:00", "09.11.26 00:00:00"};
        QTest::newRow("months out of summer time")
            << berlin << at(2026, 9, 15) << at(2026, 12, 15) << 3.4
            << QStringList{"01.10.26 00:00:00", "01.11.26 00:00:00", "01.12.26 00:00:00"};
    }
    void timeTicksStandApart()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(double, room);
        QFETCH(QStringList, labels);
        struct LocalZone
        {
            QByteArray saved = qgetenv("TZ");
            explicit LocalZone(const QByteArray& zone) { setZone(zone); }
            ~LocalZone() { setZone(saved); }
            static void setZone(const QByteArray& zone)
            {
                zone.isEmpty() ? qunsetenv("TZ") : qputenv("TZ", zone);
                tzset();
            }
        } local(zone);
        // Read in the zone of the row.
        from = QDateTime(from.date(), from.time());
        to = QDateTime(to.date(), to.time());
        const QDateTime origin = LinenPlot().startTime();
        TimeScaleEngine engine(origin);
        engine.setLabelShare(1.0 / room);
        const QwtScaleDiv div = engine.divideScale(origin.msecsTo(from), origin.msecsTo(to), 8, 5);
        QStringList texts;
        for (double tick : div.ticks(QwtScaleDiv::MajorTick))
            texts << DateTimeScaleDraw(origin).label(tick).text().simplified();
        QCOMPARE(texts, labels);
    }

    // A view zoomed out past the calendar is divided at once, without ticks; one just inside it
    // still gets its years.
    void timeScaleReachesItsEnds()
    {
        const QDateTime origin = LinenPlot().startTime();
        TimeScaleEngine engine(origin);
        engine.setLabelShare(0.1);
        QCOMPARE(engine.divideScale(-1e18, 1e18, 8, 5).ticks(QwtScaleDiv::MajorTick), QList<double>());
        QCOMPARE(engine.divideScale(-1e16, 3e16, 8, 5).ticks(QwtScaleDiv::MajorTick), QList<double>());
        QVERIFY(engine.divideScale(-5e13, 5e13, 8, 5).ticks(QwtScaleDiv::MajorTick).size() >= 2);
    }

    // The entries of a legend that shares its side with a tall panel, as the measurement page's, in
    // a wide and in a narrow plot.
    void legendEntriesShowWhole_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("titles");
        const QStringList measurement{"Эталон", "Измеренное значение"};
        QTest::newRow("measurement, wide") << 940 << measurement;
        QTest::newRow("measurement, narrow") << 400 << measurement;
        QTest::newRow("errors, narrow") << 300 << QStringList{"Погр.", "HART Погр."};
    }
    void legendEntriesShowWhole()
    {
        QFETCH(int, width);
        QFETCH(QStringList, titles);
        GraphWidget graph;
        for (const QString& title : titles)
            graph.plot()->addCurve(title, QPen(Qt::red, 2.0));
        auto* panel = new QGroupBox(QStringLiteral("Эталон"));
        panel->setMinimumHeight(150);
        graph.plot()->insertPanelWidget(panel, 1);
        graph.resize(width, 420);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        QCOMPARE(cutLegendEntries(graph.plot()), QStringList());
    }

    // A tick label is drawn whole inside its axis, the comma's tail of the lowest and the highest
    // label included: every label reads with the same separator.
    void tickLabelsKeepTheirComma_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("0.02 to 0.08") << 0.02 << 0.08;
        QTest::newRow("-0.04 to 0.04") << -0.04 << 0.04;
        QTest::newRow("0.5 to 3.5") << 0.5 << 3.5;
    }
    void tickLabelsKeepTheirComma()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        GraphWidget graph;
        graph.resize(500, 400);
        LinenPlot* plot = graph.plot();
        plot->setAxisScale(QwtPlot::yLeft, from, to);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const QwtScaleWidget* axis = plot->axisWidget(QwtPlot::yLeft);
        const QwtScaleDraw* draw = axis->scaleDraw();
        const QFontMetricsF metrics(axis->font());
        const QList<double> ticks = plot->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick);
        QVERIFY(ticks.size() >= 4);
        for (double tick : ticks) {
            const QString text = draw->label(tick).text();
            QCOMPARE(text, russianLocale().toString(tick));
            // Qwt places a label by its digits; the glyphs reach above them and, by the descent, below.
            QRectF glyphs = draw->labelRect(axis->font(), tick).translated(draw->labelPosition(tick));
            glyphs.adjust(0, glyphs.height() - metrics.ascent(), 0, metrics.descent());
            QVERIFY2(QRectF(axis->rect()).contains(glyphs), qPrintable(text));
        }
    }

    // A long series is drawn column by column without stroking; its 2-pixel line covers the pixels
    // that stroking the line through every point of each column covers.
    void thickCurveCoversTheStrokedPixels()
    {
        QwtScaleMap xMap;
        QwtScaleMap yMap;
        xMap.setPaintInterval(0, 1000);
        xMap.setScaleInterval(0, 120000);
        yMap.setPaintInterval(600, 0);
        yMap.setScaleInterval(-50, 550);
        const QPen pen(Qt::blue, 2.0);
        QVector<QPointF> points;
        QPolygonF line;
        for (int i = 0; i < 100000; ++i) {
            points << daySample(i);
            line << QPointF(std::floor(xMap.transform(points.last().x())), yMap.transform(points.last().y()));
        }
        QImage stroked(1000, 600, QImage::Format_RGB32);
        stroked.fill(Qt::white);
        QImage drawn = stroked;
        QPainter strokePainter(&stroked);
        strokePainter.setPen(pen);
        strokePainter.drawPolyline(line);
        strokePainter.end();
        ReducedPlotCurve curve(QStringLiteral("Измеренное значение"));
        curve.setPen(pen);
        curve.setSamples(points);
        QPainter curvePainter(&drawn);
        curve.draw(&curvePainter, xMap, yMap, QRectF(drawn.rect()));
        curvePainter.end();
        int covered = 0;
        int differing = 0;
        for (int y = 0; y < stroked.height(); ++y) {
            for (int x = 0; x < stroked.width(); ++x) {
                const bool inStroke = stroked.pixel(x, y) != QColor(Qt::white).rgb();
                covered += inStroke;
                differing += inStroke != (drawn.pixel(x, y) != QColor(Qt::white).rgb());
            }
        }
        QVERIFY(covered > 15000);
        QVERIFY2(differing * 100 <= covered * 3, qPrintable(QStringLiteral("%1 of %2").arg(differing).arg(covered)));
    }
};

QTEST_MAIN(TestLivePlot)
#include "test_live_plot.moc"
