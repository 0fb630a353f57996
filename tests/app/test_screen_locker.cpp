#include "LockKind.h"
#include "ScreenLocker.h"
#include "TestEnvironment.h"

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
        locker->fitToSize(window.size());
        window.show();
    }

    QProgressBar* bar() const { return locker->findChild<QProgressBar*>(QStringLiteral("progressBar_locker")); }
    QPushButton* cancel() const { return locker->findChild<QPushButton*>(QStringLiteral("pushButton_lockerCancel")); }
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

    void kindsSetTextAndCancel_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("cancellable");
        QTest::newRow("search") << int(LockKind::Search) << "Поиск устройств... %p%" << true;
        QTest::newRow("stoppable exchange") << int(LockKind::StoppableExchange) << "Идет обмен... %p%" << true;
        QTest::newRow("exchange") << int(LockKind::Exchange) << "Идет обмен... %p%" << false;
    }

    void kindsSetTextAndCancel()
    {
        QFETCH(int, kind);
        QFETCH(QString, format);
        QFETCH(bool, cancellable);
        Veiled v;
        v.locker->setMode(LockKind::Search);
        v.locker->setMode(LockKind::Exchange);
        v.locker->setMode(quint8(kind));
        QCOMPARE(v.bar()->format(), format);
        QCOMPARE(v.cancel()->isEnabled(), cancellable);
    }

    // Entering the kind it is already in moves and changes nothing; an unknown kind neither.
    void sameKindTwiceDoesNotMoveAgain()
    {
        Veiled v;
        v.locker->setMode(LockKind::Exchange);
        v.locker->move(12, 34);
        v.bar()->setFormat(QStringLiteral("x"));
        v.locker->setMode(LockKind::Exchange);
        v.locker->setMode(77);
        QCOMPARE(v.locker->pos(), QPoint(12, 34));
        QCOMPARE(v.bar()->format(), QString("x"));
    }

    void progressIsClampedAndResetOnShow()
    {
        Veiled v;
        QSignalSpy pushed(v.locker, &ScreenLocker::buttonPushed);
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
