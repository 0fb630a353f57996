#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "GraphWidget.h"
#include "LinenPlot.h"
#include "PanelLegend.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TabMeasurement.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Xvfb on a display it picks itself (-displayfd), started before the application connects to it.
class VirtualScreen
{
public:
    bool start()
    {
        const QByteArray program = QStandardPaths::findExecutable(QStringLiteral("Xvfb")).toLocal8Bit();
        int pipeEnds[2];
        if (program.isEmpty() || pipe(pipeEnds) != 0)
            return false;
        m_pid = fork();
        if (m_pid == 0) {
            close(pipeEnds[0]);
            const QByteArray fd = QByteArray::number(pipeEnds[1]);
            execl(program.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1100x720x24", "-nolisten",
                  "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[1]);
        char number[16] = {};
        const ssize_t length = read(pipeEnds[0], number, sizeof(number) - 1);
        close(pipeEnds[0]);
        if (m_pid < 0 || length <= 0)
            return false;
        qputenv("DISPLAY", ':' + QByteArray(number, int(length)).trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    ~VirtualScreen()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
};

bool shownInside(const QWidget* widget, const QWidget* window)
{
    const QRect area(widget->mapTo(window, QPoint()), widget->size());
    return widget->isVisible() && window->rect().contains(area);
}

}  // namespace

class TestMeasurementScreenshot : public QObject
{
    Q_OBJECT
public:
    explicit TestMeasurementScreenshot(bool onXvfb) : m_onXvfb(onXvfb) {}

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
    }

    void pageWithCurveUnderXvfb()
    {
        if (!m_onXvfb)
            QSKIP("Xvfb is not installed");
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        bench.device().pollController()->pollIntervalMs = 20;
        bench.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
        bench.emulator().setValue("1", "0.18");
        bench.emulator().setValue("5", "2.4");
        bench.emulator().setValueDrift("5", 0.05);
        TabMeasurement page;
        page.resize(1050, 680);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QueuedSpy updates(&bench.device(), &DeviceZFN::pollUpdateSignal);
        page.findChild<QPushButton*>("pushButtonStart")->click();
        QVERIFY(QTest::qWaitFor([&] { return updates.count() >= 30; }, 20000));
        page.findChild<QPushButton*>("pushButtonStop")->click();
        QTest::qWait(300);

        const QImage shot = page.screen()->grabWindow(page.winId()).toImage();
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() + "/../screenshot_measurement_page.png"));
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 3)
            for (int x = 0; x < shot.width(); x += 3)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 20, "the page is blank");

        LinenPlot* plot = page.graphWidget()->plot();
        QVERIFY(shownInside(plot->panelLegend(), &page));
        const auto panelTexts = plot->panelLegend()->findChildren<QLabel*>();
        QVERIFY(std::any_of(panelTexts.cbegin(), panelTexts.cend(),
                            [&](QLabel* label) { return label->text() == "Тип графика" && shownInside(label, &page); }));
        auto* etalon = plot->panelLegend()->findChild<QGroupBox*>();
        QVERIFY(etalon->title() == "Эталон" && shownInside(etalon, &page));
        auto* measured = qobject_cast<QwtLegendLabel*>(plot->panelLegend()->legendWidget(plot->itemToInfo(plot->curve(1))));
        QVERIFY(measured && shownInside(measured, &page));
        QwtScaleWidget* axis = plot->axisWidget(QwtPlot::xBottom);
        QVERIFY(shownInside(axis, &page));
        QVERIFY(axis->height() > 2 * axis->fontMetrics().height() + axis->title().textSize(axis->font()).height());
        QVERIFY(plot->axisScaleDraw(QwtPlot::xBottom)->label(plot->axisScaleDiv(QwtPlot::xBottom).lowerBound())
                    .text()
                    .contains('\n'));
    }

private:
    bool m_onXvfb;
};

int main(int argc, char** argv)
{
    VirtualScreen screen;
    const bool onXvfb = screen.start();
    QApplication app(argc, argv);
    TestMeasurementScreenshot test(onXvfb);
    return QTest::qExec(&test, argc, argv);
}

#include "test_measurement_screenshot.moc"
