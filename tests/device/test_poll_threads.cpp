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
struct LoopRunner
{
    std::atomic<int> cycles{0};

    explicit LoopRunner(PollThread* thread)
    {
        QObject::connect(thread, &QThread::started, [this, thread] {
            while (!thread->isStopRequested()) {
                ++cycles;
                QThread::msleep(5);
            }
            QThread::currentThread()->quit();
        });
    }
};

class TestPollThreads : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // A stop sets the abort flag that cuts the exchange in flight; a restart ends the loop running.
    void threadsRestartAndStop()
    {
        PollController controller;
        std::atomic<bool> abort{false};
        controller.abortFlag = &abort;
        LoopRunner poll(controller.pollThread);
        LoopRunner archive(controller.archiveThread);
        for (int i = 0; i < 5; ++i) {
            controller.restartPollThread();
            controller.restartArchiveThread();
            QTRY_VERIFY(poll.cycles > 0 && archive.cycles > 0);
            poll.cycles = 0;
            controller.restartPollThread();
            QTRY_VERIFY(poll.cycles > 0);
            QVERIFY(controller.isPollRunning() && controller.isArchiveRunning());
            abort = false;
            controller.stopPollThread();
            controller.stopArchiveThread();
            QVERIFY(!controller.isPollRunning() && !controller.isArchiveRunning());
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

    // The poller holds the port while it runs and hands it back on a stop from outside or inside.
    void parametrPollerHoldsThePortWhileRunning()
    {
        DeviceTestBench bench;
        ParametrPoller poller;
        std::atomic<int> polls{0};
        std::atomic<bool> portWasMine{false};
        int stopAfter = -1;
        poller.connectPollSignal(&poller, [&] {
            portWasMine = bench.device().serialPort()->thread() == QThread::currentThread();
            if (++polls == stopAfter)
                poller.requestStop();
        });
        QueuedSpy stopped(&poller, &ParametrPoller::pollerStoped);
        for (int run = 0; run < 3; ++run) {
            polls = 0;
            poller.start();
            QTRY_VERIFY_WITH_TIMEOUT(polls >= 1, 200);
            QVERIFY(portWasMine);
            poller.stop();
            QVERIFY(!poller.isRunning());
            QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        }
        poller.stop();
        QTRY_COMPARE(stopped.count(), 3);

        polls = 0;
        stopAfter = 2;
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(!poller.isRunning(), 3000);
        QCOMPARE(int(polls), 2);
        QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        poller.start();
        QTRY_VERIFY(polls >= 3);
        poller.stop();
    }
};

QTEST_GUILESS_MAIN(TestPollThreads)
#include "test_poll_threads.moc"
