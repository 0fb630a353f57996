#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "HartTextTables.h"
#include "IconSet.h"
#include "TabHart.h"
#include "TabHartInformation.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
#include <QtTest>

// The HART page with its status bar and open pop-up as an X server shows them. The test process
// starts Xvfb and runs itself again as a client of that server; the client reads the server's
// frame buffer and compares it with what each widget paints.

namespace {

const char childVariable[] = "ZFN_HART_SHOT_FRAME";

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

double difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
    return double(differing) / double(a.width() * a.height());
}

QImage onScreen(const QImage& screen, const QWidget* widget)
{
    return screen.copy(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
}

}  // namespace

// Runs inside the X client.
class HartPageOnScreen : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initChoiceLists();
        initHartTextTables();
        loadIcons();
    }

    void pageBarAndPopUpAreShown()
    {
        const QString framePath = qEnvironmentVariable(childVariable);
        DeviceTestBench bench(0);
        TabHart tab;
        tab.setGeometry(0, 170, 864, 523);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        HartDeviceData identity;
        identity.manufacturerCode = 0x1A;
        identity.deviceTypeCode = 0x01;
        identity.deviceId[2] = 0x2A;
        identity.universalRevision = 7;
        identity.pollingAddressByte = 0x82;
        identity.deviceStatus = 0x81;
        tab.getHartResult(0, identity);
        tab.getHartResult(-1, identity);
        HartStatusWidget* bar = tab.statusWidget();
        bar->setHartDeviceConnectionState(true);
        bar->showHartStatusDiskription();
        HartStatusTextDiscription* popUp = bar->popUp();
        QVERIFY(QTest::qWaitForWindowExposed(popUp));
        const QPoint overLamp3(3 * 18 + 6, popUp->height() + 6);
        QMouseEvent move(QEvent::MouseMove, overLamp3, popUp->mapToGlobal(overLamp3), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(popUp, &move);
        QVERIFY(popUp->isSelected(3));

        const QImage screen = settledScreen(framePath);
        QVERIFY(!screen.isNull());
        QVERIFY(screen.copy(0, 0, 864, 693).save(QDir(QCoreApplication::applicationDirPath())
                                                     .filePath(QStringLiteral("screenshot_hart_page.png"))));
        QVERIFY(colourCount(onScreen(screen, &tab)) > 8);
        QCOMPARE(popUp->geometry().bottom() + 1, bar->mapToGlobal(QPoint(0, 0)).y());
        for (QWidget* widget : {static_cast<QWidget*>(popUp), static_cast<QWidget*>(bar)}) {
            const QImage painted = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(difference(painted, onScreen(screen, widget)) < 0.02, qPrintable(widget->objectName()));
        }
        for (const char* name : {"label_deviceTypeExpanded", "label_id", "lineEdit_deviceName",
                                 "pushButton_updateAdress", "label_hartStatus"}) {
            const QWidget* widget = requireChild<QWidget>(&tab, name);
            const QRect area(widget->mapTo(&tab, QPoint(0, 0)), widget->size());
            const QImage painted = tab.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(colourCount(painted) > 2, name);
            QVERIFY2(difference(painted, onScreen(screen, widget)) < 0.02, name);
        }
        const QPoint lamp0 = bar->lamp(0)->mapToGlobal(QPoint(7, 7));
        QCOMPARE(QColor(screen.pixel(lamp0)), QColor(Qt::red));
        const QPoint lamp1 = bar->lamp(1)->mapToGlobal(QPoint(7, 7));
        QVERIFY(QColor(screen.pixel(lamp1)) != QColor(Qt::yellow));
    }
};

class TestHartScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void hartPageUnderXvfb()
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
        HartPageOnScreen page;
        return QTest::qExec(&page, argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestHartScreenshot test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_hart_screenshot.moc"
