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
#include "XvfbClient.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QtTest>

// The HART page with its status bar and open pop-up as an X server shows them. The test process
// starts Xvfb and runs itself again as a client of that server; the client reads the server's
// frame buffer and compares it with what each widget paints.

namespace {

const char childVariable[] = "ZFN_HART_SHOT_FRAME";

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

        const QImage screen = XvfbClient::settledScreen(framePath);
        QVERIFY(!screen.isNull());
        QVERIFY(screen.copy(0, 0, 864, 693).save(QDir(QCoreApplication::applicationDirPath())
                                                     .filePath(QStringLiteral("screenshot_hart_page.png"))));
        QVERIFY(XvfbClient::colourCount(onScreen(screen, &tab)) > 8);
        QCOMPARE(popUp->geometry().bottom() + 1, bar->mapToGlobal(QPoint(0, 0)).y());
        for (QWidget* widget : {static_cast<QWidget*>(popUp), static_cast<QWidget*>(bar)}) {
            const QImage painted = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(XvfbClient::difference(painted, onScreen(screen, widget)) < 0.02, qPrintable(widget->objectName()));
        }
        for (const char* name : {"label_deviceTypeExpanded", "label_id", "lineEdit_deviceName",
                                 "pushButton_updateAdress", "label_hartStatus"}) {
            const QWidget* widget = requireChild<QWidget>(&tab, name);
            const QRect area(widget->mapTo(&tab, QPoint(0, 0)), widget->size());
            const QImage painted = tab.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(XvfbClient::colourCount(painted) > 2, name);
            QVERIFY2(XvfbClient::difference(painted, onScreen(screen, widget)) < 0.02, name);
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
        QByteArray output;
        QVERIFY2(XvfbClient::runSelf(childVariable, &output), output.constData());
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
