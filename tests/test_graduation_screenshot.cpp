#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "GraduationMenu.h"
#include "MainWindow.h"
#include "StartSwitches.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTabWidget>
#include <QtTest>

// The graduation pages as an X server shows them. The test process starts Xvfb and runs itself
// again as a client of that server; the client switches the pages, reads the server's own frame
// buffer and compares what the server shows with what each widget paints.

namespace {

const char childVariable[] = "ZFN_GRADUATION_SHOT_FRAME";

// The screen once two reads a moment apart agree, so a half-drawn frame is not taken.
QImage settledScreen(const QString& path)
{
    QImage previous;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QTest::qWait(150);
        const QImage screen = XvfbServer::readXwd(path);
        if (!screen.isNull() && screen == previous)
            return screen;
        previous = screen;
    }
    return previous;
}

int colourCount(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y) & 0xFFFFFF);
    return colours.size();
}

// Share of the pixels that differ between the two images, 0 to 1.
double difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                ++differing;
    return double(differing) / double(a.width() * a.height());
}

struct Page
{
    int index;
    const char* name;
    QList<const char*> keyWidgets;
};

}  // namespace

// Runs inside the X client.
class GraduationPagesOnScreen : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initChoiceLists(); }

    void eachPageShowsItsKeyLabels()
    {
        const QString framePath = qEnvironmentVariable(childVariable);
        DeviceTestBench bench(0);
        MainWindow window;
        applyStartSwitches(&window, {"-tunework", "-serviceKey42"});
        window.move(0, 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* mainPages = requireChild<QTabWidget>(&window, "tabDeviceConfig");
        mainPages->setCurrentWidget(requireChild<QWidget>(&window, "tabGraduation"));
        // The HART page has a tab widget of the same name.
        auto* pages = requireChild<QTabWidget>(requireChild<GraduationMenu>(&window, "GraduationMenu"), "tabWidget");

        const QList<Page> expected{
            {0, "emulation", {"label_6", "label_4", "pushButton_setMinCurrentValue", "pushButton_writeShiftValue"}},
            {1, "measurement", {"label", "label_3", "label_4", "pushButton_readData"}},
            {2, "factory", {"label_factoryNum", "groupBox_factorySettings", "pushButton_read"}}};
        QCOMPARE(pages->count(), expected.size());
        for (const Page& page : expected) {
            pages->setCurrentIndex(page.index);
            const QImage screen = settledScreen(framePath);
            QVERIFY(!screen.isNull());
            const QImage shown = screen.copy(QRect(pages->currentWidget()->mapToGlobal(QPoint(0, 0)),
                                                   pages->currentWidget()->size()));
            QVERIFY(shown.save(QDir(QCoreApplication::applicationDirPath())
                                   .filePath(QStringLiteral("screenshot_graduation_%1.png").arg(page.name))));
            QVERIFY2(colourCount(shown) > 8, page.name);
            for (const char* name : page.keyWidgets) {
                QWidget* widget = requireChild<QWidget>(pages->currentWidget(), name);
                QVERIFY2(widget->isVisible(), name);
                const QRect area(widget->mapTo(&window, QPoint(0, 0)), widget->size());
                const QImage painted = window.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
                const QImage onScreen = screen.copy(area.translated(window.mapToGlobal(QPoint(0, 0))));
                QVERIFY2(colourCount(painted) > 2, name);
                QVERIFY2(difference(painted, onScreen) < 0.02, name);
            }
        }
    }
};

class TestGraduationScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void graduationPagesUnderXvfb()
    {
        if (!XvfbServer::isInstalled())
            QSKIP("Xvfb is not installed");
        XvfbServer server;
        QVERIFY(server.start());

        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), server.display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QString::fromLatin1(childVariable), server.framePath());
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        client.setProcessEnvironment(environment);
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(QCoreApplication::applicationFilePath(), QStringList());
        const bool finished = client.waitForFinished(120000);
        const QByteArray output = client.readAll();
        QVERIFY2(finished, output.constData());
        QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, output.constData());
    }
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(childVariable)) {
        TestEnvironment::prepare();
        qputenv("QT_QPA_PLATFORM", "xcb");
        QApplication app(argc, argv);
        GraduationPagesOnScreen pages;
        return QTest::qExec(&pages, argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestGraduationScreenshot test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_graduation_screenshot.moc"
