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

QImage stripLines(const HartStatusTextDiscription& popUp)
{
    return popUp.strip()->palette().brush(QPalette::Window).texture().toImage();
}

// Painted pixels of leader line `row` where it rises from the bottom of the strip.
int lineWidth(const HartStatusTextDiscription& popUp, int row)
{
    const QImage lines = stripLines(popUp);
    const int centre = popUp.rowHeight() * row + popUp.rowHeight() / 2 - 5;
    int painted = 0;
    for (int x = centre - 4; x <= centre + 4; ++x)
        painted += qAlpha(lines.pixel(x, lines.height() - 3)) > 0;
    return painted;
}

QColor lampCentre(const HartStatusElement* lamp)
{
    return lamp->palette().brush(QPalette::Window).texture().toImage().pixelColor(7, 7);
}

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

    void lampsShowTheStatusByte_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("lit");
        QTest::newRow("none") << 0x00 << "00000000";
        QTest::newRow("all") << 0xFF << "11111111";
        QTest::newRow("malfunction and primary variable") << 0x81 << "10000001";
        QTest::newRow("more status") << 0x10 << "00010000";
    }

    // Lit lamps are painted in their colour, dark ones are see-through.
    void lampsShowTheStatusByte()
    {
        QFETCH(int, status);
        QFETCH(QString, lit);
        HartStatusWidget bar;
        bar.showDeviceStatus(0xFF);
        bar.showDeviceStatus(quint8(status));
        const QList<QColor> onColours{Qt::red, Qt::yellow, Qt::yellow, Qt::yellow,
                                      Qt::yellow, Qt::red, Qt::red, Qt::red};
        for (int i = 0; i < HartStatusWidget::LampCount; ++i) {
            const bool on = lit.at(i) == QLatin1Char('1');
            QCOMPARE(bar.lamp(i)->state(), on);
            QCOMPARE(bar.lamp(i)->size(), QSize(15, 15));
            const QColor centre = lampCentre(bar.lamp(i));
            QCOMPARE(centre.alpha() == 0, !on);
            if (on)
                QCOMPARE(centre.rgb(), onColours.at(i).rgb());
        }
    }

    void connectionTextChangesOnlyWithTheState()
    {
        HartStatusWidget bar;
        const QString off("  нет связи с HART-устройством ");
        QCOMPARE(bar.statusText(), off);
        QCOMPARE(bar.height(), 17);
        QCOMPARE(g_hartStatusWidget, &bar);
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

    // The pop-up stands on the bar with its columns over the lamps; pointing at a lamp below it
    // highlights that lamp's row once, and leaving upwards closes it.
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
        QCOMPARE(popUp->size(), QSize(670, 154));
        QCOMPARE(popUp->strip()->size(), QSize(144, 144));

        movePointer(bar, QPoint(40, 5));
        QVERIFY(popUp->isVisible());
        const QLabel* caption = bar->findChildren<QLabel*>().first();
        const QPoint corner = bar->mapToGlobal(QPoint(0, 0));
        const QPoint placed(corner.x() + caption->width() + 3, corner.y() - 154);
        QCOMPARE(bar->lamp(0)->mapToGlobal(QPoint(0, 0)).x() - placed.x(), 1);
        QCOMPARE(lineWidth(*popUp, 3), 1);

        const QPoint opened = popUp->pos();
        movePointer(bar, QPoint(200, 8));
        QCOMPARE(popUp->pos(), opened);

        const QList<QLabel*> rows = popUp->findChildren<QLabel*>();
        QCOMPARE(rows.at(3)->text(), QString("Доступен дополнительный статус"));
        const QPoint overLamp3(3 * 18 + 6, popUp->height() + 6);
        movePointer(popUp, overLamp3);
        QVERIFY(popUp->isSelected(3));
        QVERIFY(rows.at(3)->font().bold());
        QCOMPARE(lineWidth(*popUp, 3), 2);
        QCOMPARE(lineWidth(*popUp, 2), 1);
        const QImage before = stripLines(*popUp);
        movePointer(popUp, overLamp3);
        QCOMPARE(stripLines(*popUp), before);

        movePointer(popUp, QPoint(6 * 18 + 6, popUp->height() + 6));
        QVERIFY(popUp->isSelected(6) && !popUp->isSelected(3));
        QVERIFY(!rows.at(3)->font().bold());
        QCOMPARE(lineWidth(*popUp, 3), 1);

        movePointer(popUp, QPoint(20, 40));
        QVERIFY(popUp->isVisible());
        movePointer(popUp, QPoint(20, -1));
        QVERIFY(!popUp->isVisible());

        // The offscreen platform frames a new window once; from then on the place is exact.
        movePointer(bar, QPoint(40, 5));
        QVERIFY(popUp->isVisible());
        QCOMPARE(popUp->pos(), placed);
    }
};

QTEST_MAIN(TestHartStatusBar)
#include "test_hart_status_bar.moc"
