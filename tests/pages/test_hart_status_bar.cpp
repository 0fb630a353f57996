#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QtTest>

namespace {

// Qt's offscreen platform never frees its screen; a global reference keeps LeakSanitizer quiet about it.
QScreen* offscreenScreen = nullptr;

void movePointer(QWidget* widget, const QPoint& at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

}  // namespace

class TestHartStatusBar : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        offscreenScreen = QGuiApplication::primaryScreen();
    }

    // The first lamp is the status byte's highest bit.
    void lampsShowTheStatusByte_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("lit");
        QTest::newRow("none") << 0x00 << "00000000";
        QTest::newRow("all") << 0xFF << "11111111";
        QTest::newRow("more status") << 0x10 << "00010000";
    }

    void lampsShowTheStatusByte()
    {
        QFETCH(int, status);
        QFETCH(QString, lit);
        HartStatusWidget bar;
        bar.showDeviceStatus(0xFF);
        bar.showDeviceStatus(quint8(status));
        for (int i = 0; i < HartStatusWidget::LampCount; ++i)
            QCOMPARE(bar.lamp(i)->state(), lit.at(i) == QLatin1Char('1'));
    }

    // Another text in the label stays until the state itself changes.
    void connectionTextChangesOnlyWithTheState()
    {
        HartStatusWidget bar;
        const QString off("  нет связи с HART-устройством ");
        QCOMPARE(bar.statusText(), off);
        auto* label = bar.findChild<QLabel*>("label_hartStatus");
        label->setText("marker");
        bar.setHartDeviceConnectionState(false);
        QCOMPARE(bar.statusText(), QString("marker"));
        bar.setHartDeviceConnectionState(true);
        QCOMPARE(bar.statusText(), QString("  HART-устройство на связи "));
        label->setText("marker");
        bar.setHartDeviceConnectionState(true);
        QCOMPARE(bar.statusText(), QString("marker"));
        bar.setHartDeviceConnectionState(false);
        QCOMPARE(bar.statusText(), off);
    }

    // The pop-up opens over the bar once; pointing at a lamp below it highlights that lamp's row,
    // and leaving upwards closes it.
    void popUpFollowsThePointer()
    {
        QWidget window;
        window.setGeometry(100, 300, 800, 100);
        auto* bar = new HartStatusWidget(&window);
        bar->move(10, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        HartStatusTextDiscription* popUp = bar->popUp();
        QVERIFY(!popUp->isVisible());
        movePointer(bar, QPoint(40, 5));
        QVERIFY(popUp->isVisible());
        const QPoint opened = popUp->pos();
        movePointer(bar, QPoint(200, 8));
        QCOMPARE(popUp->pos(), opened);

        auto overLamp = [&](int i) {
            return popUp->mapFromGlobal(bar->lamp(i)->mapToGlobal(bar->lamp(i)->rect().center()));
        };
        const QList<QLabel*> rows = popUp->findChildren<QLabel*>();
        QCOMPARE(rows.at(3)->text(), QString("Доступен дополнительный статус"));
        movePointer(popUp, overLamp(3));
        QVERIFY(popUp->isSelected(3));
        QVERIFY(rows.at(3)->font().bold());
        movePointer(popUp, overLamp(6));
        QVERIFY(popUp->isSelected(6) && !popUp->isSelected(3));
        QVERIFY(!rows.at(3)->font().bold());

        movePointer(popUp, QPoint(20, 40));
        QVERIFY(popUp->isVisible());
        movePointer(popUp, QPoint(20, -1));
        QVERIFY(!popUp->isVisible());
    }
};

QTEST_MAIN(TestHartStatusBar)
#include "test_hart_status_bar.moc"
