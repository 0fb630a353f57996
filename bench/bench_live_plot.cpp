// Live polling on the measurement page's plot: 172,800 samples (a day at two a second) and then
// 1,728,000 (ten days) fed into a 1000 x 600 graph widget with an injected clock. The plot fills
// while hidden; at each checkpoint it is shown and 200 painted append + redraw steps are timed.
// Prints the median and the 99th percentile with their ratios to one 60 Hz frame (16.7 ms; the goal
// is the 99th percentile within a frame), and the resident memory growth against the buffers' own
// size (147,447 slots x 8 B x 4 vectors).
#include "GraphWidget.h"
#include "LinenPlot.h"

#include <QApplication>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <QElapsedTimer>
#include <QFile>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr double frameMs = 1000.0 / 60.0;
constexpr int timedSteps = 200;
constexpr int sampleIntervalMs = 500;
const double bufferMegabytes = 147447.0 * 8 * 4 / 1e6;

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6 : 0;
}

class Feed
{
public:
    explicit Feed(LinenPlot* plot) : m_plot(plot)
    {
        m_plot->setClock([this] { return m_start.addMSecs(qint64(m_count) * sampleIntervalMs); });
    }

    // One poll cycle as the page plots it: the measured value wanders, the reference steps.
    void step()
    {
        const double reference = 100.0 * double((m_count / 600) % 5);
        m_plot->appendSample();
        m_plot->fillCurveValue(1, reference + 0.3 * std::sin(m_count * 0.05));
        m_plot->fillCurveValue(0, reference);
        m_plot->updateCurves();
        ++m_count;
    }
    int count() const { return m_count; }

private:
    LinenPlot* m_plot;
    QDateTime m_start = QDateTime(QDate(2024, 3, 1), QTime(8, 0));
    int m_count = 0;
};

void printTimes(const char* what, int samples, std::vector<double>& ms)
{
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[ms.size() * 99 / 100];
    std::printf("%-6s %7d samples  median %7.2f ms  p99 %7.2f ms  median/frame %.3f  p99/frame %.3f\n", what,
                samples, median, p99, median / frameMs, p99 / frameMs);
    std::fflush(stdout);
}

template <typename Step>
std::vector<double> timeSteps(QWidget& shown, QWidget* canvas, Step step)
{
    shown.show();
    QApplication::processEvents();
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < timedSteps; ++i) {
        timer.start();
        step();
        canvas->repaint();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    shown.hide();
    return ms;
}

// The peer: plain Qwt curves that get the whole full buffers with every sample, as the plot's
// buffers would be handed over without the per-column drawing.
void timeWholeBufferPeer(int samples)
{
    QwtPlot plot;
    plot.resize(1000, 600);
    plot.setAutoReplot(false);
    QVector<double> x(147447);
    QVector<double> values[2] = {QVector<double>(147447), QVector<double>(147447)};
    QwtPlotCurve* curves[2] = {new QwtPlotCurve, new QwtPlotCurve};
    for (int c = 0; c < 2; ++c) {
        curves[c]->setPen(QPen(c == 0 ? Qt::red : Qt::blue, 2.0));
        curves[c]->attach(&plot);
    }
    for (int i = 0; i < x.size(); ++i) {
        x[i] = i * double(sampleIntervalMs);
        values[0][i] = 100.0 * double((i / 600) % 5);
        values[1][i] = values[0][i] + 0.3 * std::sin(i * 0.05);
    }
    int next = 0;
    std::vector<double> ms = timeSteps(plot, plot.canvas(), [&] {
        for (QVector<double>& buffer : values)
            buffer[next % buffer.size()] += 0.01;
        ++next;
        for (int c = 0; c < 2; ++c)
            curves[c]->setSamples(x, values[c]);
        plot.replot();
    });
    printTimes("peer", samples, ms);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    GraphWidget graph;
    graph.resize(1000, 600);
    graph.plot()->addCurve(QStringLiteral("Эталон"), QPen(Qt::red, 2.0));
    graph.plot()->addCurve(QStringLiteral("Измеренное значение"), QPen(Qt::blue, 2.0));
    graph.clear();
    Feed feed(graph.plot());
    const double memoryBefore = residentMegabytes();
    QElapsedTimer fillTimer;
    fillTimer.start();
    for (int checkpoint : {1000, 10000, 100000, 147447, 172800, 1728000}) {
        while (feed.count() < checkpoint - timedSteps)
            feed.step();
        std::vector<double> ms = timeSteps(graph, graph.plot()->canvas(), [&feed] { feed.step(); });
        printTimes("plot", feed.count(), ms);
    }
    const double growth = residentMegabytes() - memoryBefore;
    std::printf("whole run %.1f s; resident memory growth %.1f MB, %.2f x the buffers' %.1f MB (goal under 16 MB)\n",
                double(fillTimer.elapsed()) / 1000, growth, growth / bufferMegabytes, bufferMegabytes);
    timeWholeBufferPeer(feed.count());
    return 0;
}
