#include "LockKind.h"
#include "ScreenLocker.h"
#include "TestEnvironment.h"

#include <QFrame>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

// Qt's offscreen platform never frees its screen; a global reference keeps LeakSanitizer quiet about it.
QScreen* offscreenScreen = nullptr;

struct Veiled
{
    QWidget window;
    ScreenLocker* locker;

    Veiled() : locker(new ScreenLocker(&window))
    {
        window.resize(800, 600);
        window.setStyleSheet(QStringLiteral("background: white"));
        locker->fitToSize(window.size());
        window.show();
    }

    QProgressBar* bar() const { return locker->findChild<QProgressBar*>(QStringLiteral("progressBar_locker")); }
    QPushButton* cancel() const { return locker->findChild<QPushButton*>(QStringLiteral("pushButton_lockerCancel")); }
    QFrame* frame() const { return locker->findChild<QFrame*>(QStringLiteral("frame_locker")); }

    // Darkness of the veil over the white window, away from the frame.
    int veilGray()
    {
        locker->fitToSize(window.size());
        return qGray(window.grab().toImage().pixel(locker->pos() + QPoint(5, 5)));
    }
};

}  // namespace

class TestScreenLocker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        offscreenScreen = QGuiApplication::primaryScreen();
    }
    void init()
    {
        g_lockerOffsetX = 0;
        g_lockerOffsetY = 70;
    }

    void kindsSetTextCancelAndVeil()
    {
        Veiled v;
        v.locker->setMode(LockKind::Search);
        QCOMPARE(v.bar()->format(), QString("Поиск устройств... %p%"));
        QVERIFY(v.cancel()->isEnabled());
        const int searchGray = v.veilGray();

        v.locker->setMode(LockKind::StoppableExchange);
        QCOMPARE(v.bar()->format(), QString("Идет обмен... %p%"));
        QVERIFY(v.cancel()->isEnabled());
        const int exchangeGray = v.veilGray();

        v.locker->setMode(LockKind::Exchange);
        QCOMPARE(v.bar()->format(), QString("Идет обмен... %p%"));
        QVERIFY(!v.cancel()->isEnabled());
        QCOMPARE(v.veilGray(), exchangeGray);
        QVERIFY(searchGray < exchangeGray);
        QVERIFY(exchangeGray < 255);
        QCOMPARE(v.cancel()->focusPolicy(), Qt::NoFocus);
    }

    void framePlacement()
    {
        Veiled v;
        v.locker->setMode(LockKind::Search);
        QTest::qWait(1);
        const QRect centred = v.frame()->geometry();
        QVERIFY(qAbs(centred.center().y() - v.locker->height() / 2) < 5);
        QVERIFY(centred.width() >= 500);

        v.locker->setMode(LockKind::Exchange);
        v.locker->QWidget::layout()->activate();
        QVERIFY(v.frame()->geometry().bottom() > v.locker->height() - 30);
    }

    void stoppableExchangeLeavesMenuAndTabsUncovered()
    {
        Veiled v;
        g_lockerOffsetY = 63;
        v.locker->setMode(LockKind::StoppableExchange);
        v.locker->fitToSize(v.window.size());
        QCOMPARE(v.locker->geometry(), QRect(0, 63, 800, 600 - 63));

        v.window.resize(900, 700);
        v.locker->fitToSize(v.window.size());
        QCOMPARE(v.locker->geometry(), QRect(0, 63, 900, 700 - 63));

        // A later change of the offset waits for the next entry into the kind.
        g_lockerOffsetY = 40;
        v.locker->setMode(LockKind::StoppableExchange);
        QCOMPARE(v.locker->y(), 63);
        v.locker->setMode(LockKind::Search);
        v.locker->fitToSize(v.window.size());
        QCOMPARE(v.locker->geometry(), QRect(0, 0, 900, 700));
        v.locker->setMode(LockKind::StoppableExchange);
        QCOMPARE(v.locker->y(), 40);
    }

    void sameKindTwiceDoesNotMoveAgain()
    {
        Veiled v;
        v.locker->setMode(LockKind::Exchange);
        v.locker->move(12, 34);
        v.bar()->setFormat(QStringLiteral("x"));
        v.locker->setMode(LockKind::Exchange);
        QCOMPARE(v.locker->pos(), QPoint(12, 34));
        QCOMPARE(v.bar()->format(), QString("x"));
        v.locker->setMode(77);
        QCOMPARE(v.locker->pos(), QPoint(12, 34));
    }

    void progressIsClampedAndResetOnShow()
    {
        Veiled v;
        QSignalSpy pushed(v.locker, &ScreenLocker::buttonPushed);
        v.locker->setProgressValue(100);
        QCOMPARE(v.bar()->value(), 100);
        v.locker->setProgressValue(101);
        QCOMPARE(v.bar()->value(), 100);
        v.locker->setProgressValue(250);
        QCOMPARE(v.bar()->value(), 100);
        v.locker->setProgressValue(-3);
        QCOMPARE(v.bar()->value(), 0);
        v.locker->setProgressValue(42);
        v.locker->hide();
        v.locker->show();
        QCOMPARE(v.bar()->value(), 0);

        v.locker->setMode(LockKind::Search);
        QTest::mouseClick(v.cancel(), Qt::LeftButton);
        QCOMPARE(pushed.count(), 1);
    }
};

QTEST_MAIN(TestScreenLocker)
#include "test_screen_locker.moc"
