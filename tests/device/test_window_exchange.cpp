#include "BoundedWait.h"
#include "DeviceTestBench.h"
#include "LockKind.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"
#include "QueuedSpy.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <algorithm>

namespace {

// The longest the window's thread may go without delivering its timer.
constexpr qint64 longestGapMs = 300;

// A 50 ms timer of the window's thread, and the longest it went without a tick.
class Heartbeat : public QObject
{
public:
    Heartbeat()
    {
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_since.start();
        m_timer.start();
    }
    qint64 longestGapMs() const { return std::max(m_longestGapMs, m_since.elapsed()); }
    int ticks() const { return m_ticks; }

private:
    void tick()
    {
        m_longestGapMs = std::max(m_longestGapMs, m_since.restart());
        ++m_ticks;
    }

    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longestGapMs = 0;
    int m_ticks = 0;
};

int requestCount(CalibratorEmulator& emulator, const QString& start)
{
    const QList<EmulatorRequest> requests = emulator.requests();
    return int(std::count_if(requests.cbegin(), requests.cend(),
                             [&](const EmulatorRequest& request) { return request.command.startsWith(start); }));
}

// What the calibrator does to the ping: answers it at once, keeps silent, keeps sending bytes that
// never make a frame, or first forwards the late reply of a HART operation cancelled while its
// transmitter took transmitterDelayMs, and then answers or babbles.
enum class Line { Prompt, Silent, Babbling, CutPassThrough, CutPassThroughThenBabbling };

bool prepareLine(DeviceTestBench& bench, Line line, int transmitterDelayMs)
{
    CalibratorEmulator& emulator = bench.emulator();
    const bool babbling = line == Line::Babbling || line == Line::CutPassThroughThenBabbling;
    const bool cut = line == Line::CutPassThrough || line == Line::CutPassThroughThenBabbling;
    const bool ready = cut ? bench.connectWithTransmitter() && bench.cutSlowPassThrough(transmitterDelayMs)
                           : bench.connectTo(0);
    emulator.setSilent(line == Line::Silent || babbling);
    emulator.setBabbling(babbling);
    return ready;
}

// Sends the replies the ping got none of.
void mendLine(CalibratorEmulator& emulator)
{
    emulator.setBabbling(false);
    emulator.setSilent(false);
}

// What sets off an event during the wait of the window's thread.
enum class Attempt { ValueRead, Ping, PollStart, HartOperation, HartConnect };

bool attempt(DeviceZFN& device, Attempt what)
{
    switch (what) {
    case Attempt::ValueRead:
        return device.readValues(1);
    case Attempt::Ping:
        return device.sendSessionStart();
    case Attempt::PollStart:
        return device.startPoll();
    case Attempt::HartOperation:
        return device.startHartAlgorithm(1, true, 0);
    case Attempt::HartConnect:
        return device.checkHartConnection(true);
    }
    return false;
}

}  // namespace

Q_DECLARE_METATYPE(Line)
Q_DECLARE_METATYPE(Attempt)

// Exchanges the window's thread makes itself: the window goes on painting while they wait.
class TestWindowExchange : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void pingKeepsTheWindowAlive_data()
    {
        QTest::addColumn<Line>("line");
        QTest::addColumn<int>("transmitterDelayMs");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("overlays");
        QTest::newRow("answered at once") << Line::Prompt << 0 << true << 0;
        QTest::newRow("silent calibrator") << Line::Silent << 0 << false << 1;
        QTest::newRow("babbling line") << Line::Babbling << 0 << false << 1;
        QTest::newRow("after a cut pass-through, transmitter 1 s") << Line::CutPassThrough << 1000 << true << 1;
        QTest::newRow("after a cut pass-through, transmitter 3 s") << Line::CutPassThrough << 3000 << true << 1;
        QTest::newRow("after a cut pass-through, a babbling line")
            << Line::CutPassThroughThenBabbling << 1000 << false << 1;
    }

    // The ping waits in the window's thread, for a late reply to pass or for its own tries, whether
    // or not bytes keep coming: its timers keep ticking, the busy overlay shows once and hides
    // once, and the ping gets its own answer, or fails as a calibrator that does not answer.
    void pingKeepsTheWindowAlive()
    {
        QFETCH(Line, line);
        QFETCH(int, transmitterDelayMs);
        QFETCH(bool, answered);
        QFETCH(int, overlays);
        DeviceTestBench bench;
        QVERIFY(prepareLine(bench, line, transmitterDelayMs));
        DeviceZFN& device = bench.device();
        QueuedSpy locks(&device, &DeviceZFN::lockInteface);
        QueuedSpy unlocks(&device, &DeviceZFN::unlockInteface);
        locks.clear();
        unlocks.clear();

        const Heartbeat heartbeat;
        QCOMPARE(device.sendSessionStart(), answered);
        QVERIFY2(heartbeat.longestGapMs() <= longestGapMs, qPrintable(QString::number(heartbeat.longestGapMs())));
        QCOMPARE(device.lastExchangeStatus(),
                 answered ? DeviceZFN::ExchangeStatus::Ok : DeviceZFN::ExchangeStatus::NoAnswer);
        QCOMPARE(locks.size(), overlays);
        QCOMPARE(unlocks.size(), overlays);
        if (overlays > 0) {
            QCOMPARE(locks.first().first().value<quint8>(), quint8(LockKind::Exchange));
            QVERIFY(heartbeat.ticks() > 0);
        }
        QVERIFY(device.portOwner()->isFree());

        // The next exchange right after gets its own reply.
        mendLine(bench.emulator());
        bench.emulator().setValue("1", "101.325");
        QByteArray value;
        QVERIFY(device.readValuesTo(value, 1));
        QCOMPARE(value, QByteArray("101.325"));
        QCOMPARE(bench.popUps(), QStringList());
    }

    // A stop that waits for a worker's last step does as the exchanges do.
    void longStopKeepsTheWindowAlive()
    {
        PollController work;
        QList<bool> told;
        work.longWaitNotifier = [&told](bool waiting) { told << waiting; };
        PollThread* thread = work.pollThread;
        QObject::connect(thread, &QThread::started, [thread] {
            while (!thread->isStopRequested())
                QThread::msleep(5);
            // The step under way when the stop came outlasts it.
            QThread::msleep(600);
            QThread::currentThread()->quit();
        });
        thread->start();
        const Heartbeat heartbeat;
        work.stopPollThread();
        QVERIFY2(heartbeat.longestGapMs() <= longestGapMs, qPrintable(QString::number(heartbeat.longestGapMs())));
        QCOMPARE(told, (QList<bool>{true, false}));
    }

    void eventsDuringTheWaitFindThePortTaken_data()
    {
        QTest::addColumn<Attempt>("what");
        QTest::addColumn<QStringList>("popUps");
        const QStringList busy{QStringLiteral("Дождитесь окончания текущей операции!")};
        QTest::newRow("value read") << Attempt::ValueRead << QStringList();
        QTest::newRow("ping") << Attempt::Ping << QStringList();
        QTest::newRow("poll start") << Attempt::PollStart << busy;
        QTest::newRow("HART operation") << Attempt::HartOperation << busy;
        QTest::newRow("HART connect") << Attempt::HartConnect << busy;
    }

    // A timer or a queued call that the wait delivers may try to use the calibrator: it is refused
    // without a byte sent, without taking the port and without a word about the connection; the
    // read goes on, and the device mutex is free to the events.
    void eventsDuringTheWaitFindThePortTaken()
    {
        QFETCH(Attempt, what);
        QFETCH(QStringList, popUps);
        DeviceTestBench bench;
        QVERIFY(bench.connectWithTransmitter());
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setSilent(true);
        emulator.clearRequests();

        int tried = 0;
        bool accepted = false;
        bool freeDuringWait = true;
        bool mutexFreeDuringWait = false;
        QTimer trigger;
        trigger.setInterval(50);
        connect(&trigger, &QTimer::timeout, &trigger, [&] {
            if (tried++ > 0)
                return;
            freeDuringWait = device.portOwner()->isFree();
            mutexFreeDuringWait = device.mutex()->tryLock();
            if (mutexFreeDuringWait)
                device.mutex()->unlock();
            accepted = attempt(device, what);
        });
        trigger.start();
        QVERIFY(!device.readValues(5));
        trigger.stop();

        QVERIFY(tried > 0);
        QVERIFY(!freeDuringWait);
        QVERIFY(mutexFreeDuringWait);
        QVERIFY(!accepted);
        QCOMPARE(emulator.requestCount(), 3);
        QCOMPARE(requestCount(emulator, "1;5"), 3);
        QVERIFY(device.isConnected());
        QVERIFY(device.portOwner()->isFree());
        QVERIFY(!device.pollController()->isPollRunning());
        QCOMPARE(bench.popUps(), popUps);
        // Once the wait is over, the calibrator is reached again.
        emulator.setSilent(false);
        QVERIFY(device.readValues(1));
    }
};

QTEST_MAIN(TestWindowExchange)
#include "test_window_exchange.moc"
