#include "BoundedWait.h"
#include "DeviceTestBench.h"
#include "HartChangeMask.h"
#include "ParametrPoller.h"
#include "QueuedSpy.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "TestEnvironment.h"

#include <QSerialPort>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace {

// Lends the port to a new thread that runs job through the owner; returns the finished thread. A job
// that never ends still uses the caller's data: the program cannot go on past it.
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
    if (!worker->wait(BoundedWait::stepMs))
        qFatal("the lent job did not end");
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

// A job that the busy overlay's cancel may end: how it is started, the request it is cut in, and
// who leaves that request unanswered: the calibrator after the request named (from the start when
// none is), or the transmitter behind it.
struct CancelledJob
{
    std::function<void(DeviceZFN&)> start;
    QString cutIn;
    QString silentAfter = {};
    bool transmitterSilent = false;
};

bool hasRequest(CalibratorEmulator& emulator, const QString& start)
{
    const QList<EmulatorRequest> requests = emulator.requests();
    return std::any_of(requests.cbegin(), requests.cend(),
                       [&](const EmulatorRequest& request) { return request.command.startsWith(start); });
}

// Starts HART operation 1 on the first calibrator, whose transmitter answers after replyDelayMs,
// and cancels it cutAfterMs after its first pass-through request; true once the port is home.
bool cancelSlowIdentity(DeviceTestBench& bench, int replyDelayMs, int cutAfterMs)
{
    DeviceZFN& device = bench.device();
    if (!device.checkHartConnection(false))
        return false;
    HartTransmitterOptions slow;
    slow.replyDelayMs = replyDelayMs;
    bench.emulator().hartTransmitter().setOptions(slow);
    bench.emulator().clearRequests();
    device.startHartAlgorithm(1, true, 0);
    if (!BoundedWait::until([&] { return hasRequest(bench.emulator(), "40;"); }))
        return false;
    QTest::qWait(cutAfterMs);
    device.stopSearch();
    return BoundedWait::until([&] { return device.portOwner()->isFree(); });
}

}  // namespace

Q_DECLARE_METATYPE(CancelledJob)

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
        QVERIFY(first.wait(BoundedWait::stepMs));
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
            QTRY_VERIFY_WITH_TIMEOUT(poll.cycles > 0 && archive.cycles > 0, BoundedWait::stepMs);
            poll.cycles = 0;
            controller.restartPollThread();
            QTRY_VERIFY_WITH_TIMEOUT(poll.cycles > 0, BoundedWait::stepMs);
            QVERIFY(controller.isPollRunning() && controller.isArchiveRunning());
            abort = false;
            controller.stopPollThread();
            controller.stopArchiveThread();
            QVERIFY(!controller.isPollRunning() && !controller.isArchiveRunning());
            QVERIFY(abort);
        }
    }

    void cancelCutsTheExchangeInFlight_data()
    {
        QTest::addColumn<CancelledJob>("job");
        QTest::newRow("settings read") << CancelledJob{[](DeviceZFN& d) { d.startAlgorithm(0, false, 0); }, "10;16;"};
        QTest::newRow("settings write") << CancelledJob{[](DeviceZFN& d) { d.startAlgorithm(1, false, 0); }, "11;16;"};
        const auto hartIdentity = [](DeviceZFN& d) { d.startHartAlgorithm(1, true, 0); };
        QTest::newRow("HART identity") << CancelledJob{hartIdentity, "40;", {}, true};
        QTest::newRow("HART connect") << CancelledJob{hartIdentity, "1;19;"};
        const auto rangeWrite = [](DeviceZFN& d) {
            HartDeviceData& edited = *d.hartEditedData();
            edited = *d.hartData();
            edited.pvUnit = 12;
            edited.upperRangeValue = 250.0f;
            d.startHartAlgorithm(7, false, HartChangeMask::Range);
        };
        QTest::newRow("HART range, calibrator update") << CancelledJob{rangeWrite, "11;16;", "40;"};
        QTest::newRow("archive read") << CancelledJob{[](DeviceZFN& d) { d.startReadArchive(); }, "10;0;"};
        QTest::newRow("archive clear") << CancelledJob{[](DeviceZFN& d) { d.startClearArchive(); }, "11;0;"};
    }

    // The busy overlay's cancel cuts the exchange in flight, however long its time-out: the job
    // ends at once, says nothing, writes no more and hands the port back.
    void cancelCutsTheExchangeInFlight()
    {
        QFETCH(CancelledJob, job);
        DeviceTestBench bench;
        QVERIFY(bench.connectWithTransmitter());
        DeviceZFN& device = bench.device();
        QVERIFY(device.checkHartConnection(false));
        CalibratorEmulator& emulator = bench.emulator();
        if (job.transmitterSilent) {
            HartTransmitterOptions slow;
            slow.replyDelayMs = 60000;
            emulator.hartTransmitter().setOptions(slow);
        } else if (job.silentAfter.isEmpty()) {
            emulator.setSilent(true);
        } else {
            // An option set here applies from the next request on.
            emulator.setRequestObserver([&emulator, &job](const EmulatorRequest& request) {
                if (request.command.startsWith(job.silentAfter))
                    emulator.setSilent(true);
            });
        }
        emulator.clearRequests();
        job.start(device);
        QTRY_VERIFY_WITH_TIMEOUT(hasRequest(emulator, job.cutIn), BoundedWait::stepMs);
        const int requests = emulator.requestCount();
        QElapsedTimer timer;
        timer.start();
        device.stopSearch();
        QTRY_VERIFY_WITH_TIMEOUT(device.portOwner()->isFree(), BoundedWait::stepMs);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCoreApplication::processEvents();
        QCOMPARE(bench.popUps(), QStringList());
        QCOMPARE(emulator.requestCount(), requests);
        QVERIFY(device.hartData()->present);
    }

    void lateTransmitterReplyAfterCancel_data()
    {
        QTest::addColumn<int>("replyDelayMs");
        QTest::newRow("3 s") << 3000;
        QTest::newRow("6.5 s") << 6500;
    }

    // A HART operation cancelled while the transmitter is slow: the calibrator still forwards its
    // reply, up to the pass-through's own time-out later. The ping and the value read after it get
    // their own replies, and the calibrator stays connected.
    void lateTransmitterReplyAfterCancel()
    {
        QFETCH(int, replyDelayMs);
        DeviceTestBench bench;
        QVERIFY(bench.connectWithTransmitter());
        bench.emulator().setValue("1", "101.325");
        QVERIFY(cancelSlowIdentity(bench, replyDelayMs, 300));
        DeviceZFN& device = bench.device();
        QVERIFY(device.sendSessionStart());
        QVERIFY(device.isConnected());
        QByteArray value;
        QVERIFY(device.readValuesTo(value, 1));
        QCOMPARE(value, QByteArray("101.325"));
        QCOMPARE(bench.popUps(), QStringList());
    }

    // The late reply belongs to the port of the cut exchange: connecting another calibrator right
    // after the cancel releases the first one once its reply has come, and then sends the other's
    // start frame at once.
    void otherPortWaitsOnlyForItsOwn()
    {
        DeviceTestBench bench(2);
        QVERIFY(bench.connectWithTransmitter());
        const int transmitterMs = 3000;
        QVERIFY(cancelSlowIdentity(bench, transmitterMs, 0));
        QVERIFY(bench.connectTo(1));
        const QList<EmulatorRequest> first = bench.emulator(0).requests();
        const EmulatorRequest release = first.last();
        QCOMPARE(release.command, QString("11;200;0;1;200"));
        const auto passThrough = std::find_if(first.cbegin(), first.cend(),
                                              [](const EmulatorRequest& r) { return r.command.startsWith("40;"); });
        QVERIFY(passThrough != first.cend());
        QVERIFY2(release.timeMs() - passThrough->timeMs() >= transmitterMs,
                 qPrintable(QString::number(release.timeMs() - passThrough->timeMs())));
        const EmulatorRequest start = bench.emulator(1).requests().first();
        QCOMPARE(start.command, QString("11;1;0;1;1"));
        QVERIFY2(start.timeMs() - release.timeMs() < transmitterMs / 2,
                 qPrintable(QString::number(start.timeMs() - release.timeMs())));
    }

    void sameCalibratorAfterASlowTransmitter_data()
    {
        QTest::addColumn<bool>("search");
        QTest::newRow("reconnect") << false;
        QTest::newRow("search") << true;
    }

    // A HART operation cancelled while the transmitter takes 3 s, at the real byte time: the
    // calibrator forwards the transmitter's reply late, then acknowledges the release that a
    // reconnect or a search sends. After a reconnect each value comes from its own reply; a search
    // finds the calibrator.
    void sameCalibratorAfterASlowTransmitter()
    {
        QFETCH(bool, search);
        DeviceTestBench bench;
        QVERIFY(bench.connectWithTransmitter());
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setPaced(true);
        emulator.setValue("1", "101.325");
        emulator.setValue("5", "12.5");
        QVERIFY(cancelSlowIdentity(bench, 3000, 300));
        DeviceZFN& device = bench.device();
        if (search) {
            QueuedSpy finished(&device, &DeviceZFN::searchFinished);
            QVERIFY(device.startSearch(0, 0));
            QVERIFY(finished.wait(BoundedWait::jobMs));
            QCOMPARE(g_foundDevices.size(), 1);
            return;
        }
        QVERIFY(bench.connectTo(0));
        QCOMPARE(bench.readValues({1, 5, 1}), QStringList({"101.325", "12.5", "101.325"}));
        QCOMPARE(bench.popUps(), QStringList());
    }

    // A start while the thread is still leaving keeps its stop request, so the loop still ends.
    void startWhileLeavingKeepsTheStop()
    {
        PollThread thread;
        LoopRunner runner(&thread);
        thread.start();
        QTRY_VERIFY_WITH_TIMEOUT(runner.cycles > 0, BoundedWait::stepMs);
        thread.requestStop();
        thread.start();
        QVERIFY(BoundedWait::threadEnds(thread));
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
            QTRY_VERIFY_WITH_TIMEOUT(polls >= 1, BoundedWait::stepMs);
            QVERIFY(portWasMine);
            poller.stop();
            QVERIFY(!poller.isRunning());
            QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        }
        poller.stop();
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 3, BoundedWait::stepMs);

        polls = 0;
        stopAfter = 2;
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(!poller.isRunning(), BoundedWait::stepMs);
        QCOMPARE(int(polls), 2);
        QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(polls >= 3, BoundedWait::stepMs);
        poller.stop();
    }
};

QTEST_GUILESS_MAIN(TestPollThreads)
#include "test_poll_threads.moc"
