#include "DeviceTestBench.h"
#include "ParametrPoller.h"
#include "QueuedSpy.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "TestEnvironment.h"

#include <QSerialPort>
#include <QtTest>
#include <atomic>
#include <stdexcept>

namespace {

// Lends the port to a new thread that runs job through the owner; returns the finished thread.
std::unique_ptr<QThread> runLent(PortOwner& owner, const std::function<void()>& job)
{
    std::unique_ptr<QThread> worker(QThread::create([&owner, job] {
        try {
            owner.serve(job);
        } catch (const std::runtime_error&) {
        }
    }));
    if (!owner.lend(worker.get()))
        return nullptr;
    worker->start();
    worker->wait();
    return worker;
}

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

}  // namespace

// Who holds the serial port, and the threads that borrow it.
class TestPollThreads : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // However the job ends, the port comes home once and the owner says so only then.
    void portComesHomeOnEveryExit_data()
    {
        QTest::addColumn<int>("exit");
        QTest::newRow("normal") << 0;
        QTest::newRow("early return") << 1;
        QTest::newRow("exception") << 2;
    }

    void portComesHomeOnEveryExit()
    {
        QFETCH(int, exit);
        PortOwner owner(new QSerialPort);
        bool freeInside = true;
        QThread* threadInside = nullptr;
        const auto worker = runLent(owner, [&] {
            freeInside = owner.isFree();
            threadInside = owner.port()->thread();
            if (exit == 1)
                return;
            if (exit == 2)
                throw std::runtime_error("job failed");
        });
        QVERIFY(worker);
        QVERIFY(!freeInside);
        QCOMPARE(threadInside, worker.get());
        QVERIFY(owner.isFree());
        QCOMPARE(owner.port()->thread(), QThread::currentThread());
    }

    void secondLenderIsRefusedAndAbortsAreCleared()
    {
        PortOwner owner(new QSerialPort);
        QThread first;
        QThread second;
        QVERIFY(owner.lend(&first));
        QVERIFY(!owner.lend(&second));
        QCOMPARE(owner.port()->thread(), &first);
        // Only the borrower can give the port back.
        owner.giveBack();
        QVERIFY(!owner.isFree());
        first.start();
        QMetaObject::invokeMethod(owner.port(), [&owner] { owner.giveBack(); }, Qt::BlockingQueuedConnection);
        first.quit();
        first.wait();
        QVERIFY(owner.isFree());

        // A lend clears the abort of the last job.
        owner.abort();
        QVERIFY(runLent(owner, [] {}));
        QVERIFY(!owner.abortFlag());
        // An exchange the home thread runs itself is a job of its own too.
        owner.abort();
        QVERIFY(owner.prepareExchange());
        QVERIFY(!owner.abortFlag());
    }

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
