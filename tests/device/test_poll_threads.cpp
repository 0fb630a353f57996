#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "ParametrPoller.h"
#include "PollController.h"
#include "PollThread.h"
#include "TestEnvironment.h"

#include <QSerialPort>
#include <QtTest>
#include <atomic>

// A loop shaped like the device object's: it runs in the thread, tests the stop flag between steps
// and quits the thread when it leaves.
class LoopRunner : public QObject
{
    Q_OBJECT
public:
    explicit LoopRunner(PollThread* thread) : m_thread(thread)
    {
        connect(thread, &QThread::started, this, &LoopRunner::loop, Qt::DirectConnection);
    }
    std::atomic<int> cycles{0};

public slots:
    void loop()
    {
        while (!m_thread->isStopRequested()) {
            ++cycles;
            QThread::msleep(5);
        }
        QThread::currentThread()->quit();
    }

private:
    PollThread* m_thread;
};

class PollPage : public QObject
{
    Q_OBJECT
public:
    std::atomic<int> polls{0};
    std::atomic<bool> portWasMine{false};
    int stopAfter = -1;
    ParametrPoller* poller = nullptr;

public slots:
    void poll()
    {
        portWasMine = g_device->serialPort()->thread() == QThread::currentThread();
        if (++polls == stopAfter)
            poller->requestStop();
    }
};

class TestPollThreads : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void pollThreadStartsAndStopsRepeatedly()
    {
        PollController controller;
        std::atomic<bool> abort{false};
        controller.abortFlag = &abort;
        LoopRunner runner(controller.pollThread);
        controller.stopPollThread();
        QVERIFY(!controller.isPollRunning());
        for (int i = 0; i < 20; ++i) {
            controller.restartPollThread();
            QTRY_VERIFY(runner.cycles > 0);
            QVERIFY(controller.isPollRunning());
            runner.cycles = 0;
            abort = false;
            controller.stopPollThread();
            QVERIFY(!controller.isPollRunning());
            QVERIFY(abort);
        }
    }

    // A start while the thread is still leaving keeps its stop request, so the loop still ends.
    void startWhileLeavingKeepsTheStop()
    {
        PollThread thread;
        LoopRunner runner(&thread);
        thread.start();
        QTRY_VERIFY(runner.cycles > 0);
        thread.requestStop();
        thread.start();
        QVERIFY(thread.wait(2000));
    }

    void archiveThreadRestartAndStop()
    {
        PollController controller;
        LoopRunner runner(controller.archiveThread);
        controller.restartArchiveThread();
        QTRY_VERIFY(runner.cycles > 0);
        controller.restartArchiveThread();
        QVERIFY(controller.isArchiveRunning());
        controller.stopArchiveThread();
        QVERIFY(!controller.isArchiveRunning());
        controller.resetProgress(25);
        QCOMPARE(controller.progressStep, 25);
        QCOMPARE(controller.progress, 0);
        QVERIFY(!controller.stopRequested);
    }

    void parametrPollerHoldsThePortWhileRunning()
    {
        DeviceTestBench bench;
        PollPage page;
        ParametrPoller poller;
        page.poller = &poller;
        poller.connectPollSignal(&page, &PollPage::poll);
        QueuedSpy stopped(&poller, &ParametrPoller::pollerStoped);
        for (int run = 0; run < 5; ++run) {
            page.polls = 0;
            poller.start();
            QTRY_VERIFY_WITH_TIMEOUT(page.polls >= 1, 200);
            QVERIFY(page.portWasMine);
            poller.stop();
            QVERIFY(!poller.isRunning());
            QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        }
        QTRY_COMPARE(stopped.count(), 5);
        poller.stop();
        QTRY_COMPARE(stopped.count(), 5);
    }

    void parametrPollerEndsFromInside()
    {
        DeviceTestBench bench;
        PollPage page;
        ParametrPoller poller;
        page.poller = &poller;
        page.stopAfter = 2;
        poller.connectPollSignal(&page, &PollPage::poll);
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(!poller.isRunning(), 3000);
        QCOMPARE(int(page.polls), 2);
        poller.stop();
        QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        poller.start();
        QTRY_VERIFY(page.polls >= 3);
        poller.stop();
    }
};

QTEST_GUILESS_MAIN(TestPollThreads)
#include "test_poll_threads.moc"
