#include "DateTimeScaleDraw.h"
#include "GraphWidget.h"
#include "LinenPlot.h"
#include "LinenPlotControl.h"
#include "PanelLegend.h"
#include "ReducedPlotCurve.h"
#include "TestEnvironment.h"

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
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_map.h>
#include <qwt_scale_div.h>

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
    void sample(double measured, double reference = 0)
    {
        ++m_seconds;
        plot()->appendSample();
        plot()->fillCurveValue(m_measured, measured);
        if (m_measured)
            plot()->fillCurveValue(0, reference);
        plot()->updateCurves();
    }
    void samples(int count)
    {
        for (int i = 0; i < count; ++i)
            sample(i);
    }
    QwtScaleDiv xScale() { return plot()->axisScaleDiv(QwtPlot::xBottom); }

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

    void buffersGrowThenSlide()
    {
        ClockedPlot shown;
        shown.plot()->clear();
        shown.sample(7);
        QCOMPARE(shown.plot()->lastSlotIndex(), 8);
        QCOMPARE(shown.plot()->curveValues(1), QVector<double>(9, 7.0));
        QCOMPARE(shown.plot()->timeX(), QVector<double>(9, shown.plot()->timeX().first()));
        for (int i = 1; i < 8; ++i)
            shown.sample(i);
        QCOMPARE(shown.plot()->lastSlotIndex(), 8);
        shown.sample(8);
        QCOMPARE(shown.plot()->lastSlotIndex(), 26);
        QCOMPARE(shown.plot()->curveValues(1).at(8), 8.0);

        // The buffers stop doubling at their limit and then slide by ten, keeping the newest sample.
        ClockedPlot hidden(false);
        hidden.plot()->clear();
        for (int i = 0; i < 147446; ++i)
            hidden.sample(i);
        QCOMPARE(hidden.plot()->sampleCount(), 147446);
        QCOMPARE(hidden.plot()->lastSlotIndex(), 147446);
        const double newestKept = hidden.plot()->timeX().at(147445);
        hidden.sample(-1);
        QCOMPARE(hidden.plot()->lastSlotIndex(), 147446);
        QCOMPARE(hidden.plot()->sampleCount(), 147437);
        QCOMPARE(hidden.plot()->curveValues(0).first(), 10.0);
        QCOMPARE(hidden.plot()->curveValues(0).at(147435), 147445.0);
        QCOMPARE(hidden.plot()->timeX().at(147435), newestKept);
        QCOMPARE(hidden.plot()->curveValues(0).at(147436), -1.0);
        QCOMPARE(hidden.plot()->timeX().at(147436), newestKept + 1000);
    }

    // A new plot that was never cleared and a redraw without a new sample count nothing: no
    // sample of 0.0 appears that the poll never read.
    void onlyAppendedSamplesCount()
    {
        ClockedPlot fresh;
        fresh.sample(5);
        QCOMPARE(fresh.plot()->curveValues(1).first(), 5.0);
        fresh.plot()->setPlotMode(1);
        fresh.plot()->setPlotMode(0);
        fresh.sample(6);
        QCOMPARE(fresh.plot()->sampleCount(), 2);
        QCOMPARE(fresh.plot()->curveValues(1).mid(0, 3), QVector<double>({5, 6, 6}));
    }

    void newestPointsWindow()
    {
        ClockedPlot shown;
        shown.graph.show();
        shown.plot()->clear();
        shown.plot()->setScaleMaxNumber(20);
        shown.samples(5);
        QCOMPARE(shown.xScale().lowerBound(), shown.plot()->timeX().first());
        QCOMPARE(shown.xScale().upperBound(), shown.plot()->timeX().at(4));
        shown.plot()->setPlotMode(1);
        shown.samples(45);
        QCOMPARE(shown.xScale().lowerBound(), 31.0);
        QCOMPARE(shown.xScale().upperBound(), 50.0);

        shown.plot()->setScaleMaxNumber(0);
        QVERIFY(!shown.plot()->axisAutoScale(QwtPlot::xBottom));
        shown.sample(1);
        QVERIFY(shown.plot()->axisAutoScale(QwtPlot::xBottom));
    }

    // Ten newest points, a cleared plot and a switch of the axis used to index an empty buffer.
    void emptyBuffersAndNonNumbers()
    {
        ClockedPlot shown;
        shown.graph.show();
        shown.graph.findChild<QSpinBox*>("spinBox_scaleMaxValuesNumber")->setValue(10);
        shown.graph.clear();
        shown.graph.findChild<QPushButton*>("pushButton_modeIndex")->click();
        QCOMPARE(shown.plot()->plotMode(), 1);
        QCOMPARE(shown.plot()->curve(1)->dataSize(), size_t(0));

        shown.sample(qQNaN());
        shown.sample(2);
        shown.sample(qInf());
        QCOMPARE(shown.plot()->curve(1)->dataSize(), size_t(1));
        QCOMPARE(shown.plot()->curve(1)->sample(0), QPointF(2, 2));
        QCOMPARE(shown.plot()->curve(0)->dataSize(), size_t(shown.plot()->lastSlotIndex() + 1));
    }

    void stripDrivesThePlot()
    {
        ClockedPlot shown;
        shown.graph.show();
        auto* points = shown.graph.findChild<QSpinBox*>("spinBox_scaleMaxValuesNumber");
        auto* autoScale = shown.graph.findChild<QPushButton*>("pushButton_autoScale");
        auto* time = shown.graph.findChild<QPushButton*>("pushButton_modeTime");
        auto* index = shown.graph.findChild<QPushButton*>("pushButton_modeIndex");
        QVERIFY(time->isChecked() && !index->isChecked());
        index->click();
        QVERIFY(!time->isChecked() && index->isChecked());
        QCOMPARE(shown.plot()->axisTitle(QwtPlot::xBottom).text(), QString(" Индекс"));
        time->click();
        time->click();
        QVERIFY(time->isChecked());
        QVERIFY(dynamic_cast<const DateTimeScaleDraw*>(shown.plot()->axisScaleDraw(QwtPlot::xBottom)));

        points->setValue(30);
        autoScale->click();
        QCOMPARE(points->value(), 0);
        shown.graph.setScaleMaxNumberVisible(false);
        points->setValue(30);
        autoScale->click();
        QCOMPARE(points->value(), 30);
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
        const QChar blank(0x00A0);
        QCOMPARE(plot.axisScaleDraw(QwtPlot::yLeft)->label(60000).text(), QString("60") + blank + "000");
        QCOMPARE(plot.axisScaleDraw(QwtPlot::yLeft)->label(-0.5).text(), QString("-0,5"));
        plot.setPlotMode(1);
        QCOMPARE(plot.axisScaleDraw(QwtPlot::xBottom)->label(1000).text(), QString("1") + blank + "000");
        DateTimeScaleDraw draw(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
        QCOMPARE(draw.label(86400000.0 + 3723999.9).text(), QString("02.01.00 \n01:02:03"));
    }

    void zoomStepsInAndOut()
    {
        ClockedPlot shown;
        shown.graph.show();
        shown.plot()->setAxisScale(QwtPlot::xBottom, 0, 100);
        shown.plot()->setAxisScale(QwtPlot::yLeft, 0, 10);
        shown.plot()->replot();
        shown.plot()->zoomer()->setZoomBase(false);
        shown.plot()->zoomIn();
        QCOMPARE(shown.plot()->zoomer()->zoomRectIndex(), 1u);
        QCOMPARE(shown.plot()->zoomer()->zoomRect(), QRectF(10, 1, 80, 8));
        shown.plot()->zoomOut();
        QCOMPARE(shown.plot()->zoomer()->zoomRectIndex(), 0u);
        QVERIFY(shown.plot()->axisAutoScale(QwtPlot::xBottom));
    }

    void legendTogglesAndPanel()
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

        QTest::mouseClick(legendLabel(plot, 1), Qt::LeftButton);
        QVERIFY(!plot->curve(1)->isVisible());
        QVERIFY(!legendLabel(plot, 1)->isChecked());
        plot->setAllItemsVisible(true);
        QVERIFY(plot->curve(1)->isVisible());
        QVERIFY(legendLabel(plot, 1)->isChecked());
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

    void savesPicturesUnderTheFilterExtension()
    {
        QTemporaryDir folder;
        ClockedPlot shown;
        shown.graph.show();
        QSignalSpy failures(shown.plot(), &LinenPlot::saveFailed);
        QVERIFY(shown.plot()->saveImageAs(folder.filePath("shot.png"), "JPEG file (*.jpeg)"));
        QCOMPARE(QImageReader(folder.filePath("shot.jpeg")).format(), QByteArray("jpeg"));
        QVERIFY(shown.plot()->saveImageAs(folder.filePath("shot.BMP"), "Portable Network Graphics file (*.png)"));
        QCOMPARE(QImageReader(folder.filePath("shot.png")).format(), QByteArray("png"));
        QVERIFY(shown.plot()->saveImageAs(folder.filePath("a.png.data"), "Bitmap file (*.bmp)"));
        QVERIFY(QFileInfo::exists(folder.filePath("a.png.data.bmp")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 3);
        QVERIFY(failures.isEmpty());

        QVERIFY(!shown.plot()->saveImageAs(folder.filePath("missing/shot"), "Bitmap file (*.bmp)"));
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.first().first().toString(), QString("Не удалось сохранить снимок."));
        QVERIFY(!QFileInfo::exists(folder.filePath("missing/shot.bmp")));
    }
};

QTEST_MAIN(TestLivePlot)
#include "test_live_plot.moc"
