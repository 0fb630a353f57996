#include "ChannelsModel.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "QueuedSpy.h"
#include "HartDeviceData.h"
#include "PollController.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>

namespace {

constexpr quint8 megapascalCode = 7;
constexpr quint8 kilopascal = 1;
constexpr quint8 megapascal = 2;
constexpr quint8 hartKilopascal = 12;

// A connected calibrator with a 4-20 mA linear sensor of 0..1000 kPa and a reference module that
// reports in MPa: 0.4 MPa and 12 mA give a reference of 400 kPa, a measured 500 kPa and an error of 10 %.
void setUpChannel(DeviceTestBench& bench, int intervalMs)
{
    if (!bench.connectTo(0))
        qFatal("not connected");
    DeviceZFN& device = bench.device();
    device.pollController()->pollIntervalMs = intervalMs;
    device.deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = megapascalCode;
    ChannelRecord& channel = *device.currentChannel();
    channel.unit = kilopascal;
    channel.outputType = 1;
    channel.updateOutputRange();
    channel.rangeLow = 0;
    channel.rangeHigh = 1000;
    device.channelsModel()->setRecord(0, channel);
    bench.emulator().setValue("1", "0.4");
    bench.emulator().setValue("5", "12");
}

bool waitForCycles(const QueuedSpy& updates, int count)
{
    return QTest::qWaitFor([&] { return updates.count() >= count; }, 5000);
}

QString cellText(DeviceZFN& device, int column)
{
    ChannelsModel* model = device.channelsModel();
    return model->data(model->index(0, column)).toString();
}

bool isIdleWithPortHome(DeviceZFN& device)
{
    if (device.pollController()->isPollRunning() || !device.portOwner()->isFree())
        return false;
    const bool mutexFree = device.mutex()->tryLock();
    if (mutexFree)
        device.mutex()->unlock();
    return mutexFree;
}

}  // namespace

class TestPolling : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    // Loop current, module reference, one result per cycle; then the other references.
    void loopCurrentGivesMeasuredValueAndOneResultPerCycle()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 5000);
        DeviceZFN& device = bench.device();
        bench.emulator().clearRequests();
        device.addResult();
        QCOMPARE(device.resultsModel()->rowCount(), 0);

        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        const ChannelRecord channel = bench.channel();
        QCOMPARE(QList<double>({channel.rawReference, channel.reference, channel.current, channel.measured, channel.error}),
                 QList<double>({0.4, 400, 12, 500, 10}));
        QCOMPARE(emulatorCommands(bench.emulator()).mid(0, 2), QStringList({"1;1", "1;5"}));
        QTRY_COMPARE(cellText(device, 4), QString("500,00000 кПа"));
        QCOMPARE(cellText(device, 3), QString("12,0000 мА"));

        device.addResult();
        device.addResult();
        QCOMPARE(device.resultsModel()->rowCount(), 1);
        const ResultRecord* r = device.resultsModel()->record(0);
        QCOMPARE(QList<double>({double(r->number), r->reference, r->measured, r->error, r->expectedCurrent, r->current,
                                double(r->kind), double(r->unit), double(r->group), r->rangeHigh}),
                 QList<double>({1, 400, 500, 10, 10.4, 12, 0, kilopascal, 1, 1000}));
        QVERIFY(r->hasCurrent && r->referenceFromDevice);

        device.stopPoll();
        QVERIFY(isIdleWithPortHome(device));
        QTRY_COMPARE(updates.count(), 1);

        // The reference from a fixed value, then from a module of unknown unit.
        device.pollController()->pollIntervalMs = 10;
        device.currentChannel()->unit = megapascal;
        device.channelsModel()->setRecord(0, *device.currentChannel());
        device.channelsModel()->setFixedEtalon(true, 100);
        updates.clear();
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        bench.emulator().clearRequests();
        QVERIFY(waitForCycles(updates, updates.count() + 2));
        QCOMPARE(bench.channel().reference, 0.1);
        QVERIFY(!emulatorCommands(bench.emulator()).contains("1;1"));
        device.stopPoll();

        device.channelsModel()->setFixedEtalon(false, 0);
        device.deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 0;
        updates.clear();
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        const ChannelRecord unknownUnit = bench.channel();
        QVERIFY(std::isnan(unknownUnit.reference) && std::isnan(unknownUnit.error));
        QCOMPARE(unknownUnit.rawReference, 0.4);
        QCOMPARE(unknownUnit.measured, 500.0);
        QTRY_COMPARE(cellText(device, 5), QString("-"));
        device.stopPoll();
    }

    void hartAndManualModesSwitchWhilePolling()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        device.currentChannel()->hartLow = 0;
        device.currentChannel()->hartHigh = 500;
        device.channelsModel()->setHartInterval(true, 0, 500);
        device.hartData()->pvUnit = hartKilopascal;
        bench.emulator().setValue("17", "250");
        bench.emulator().setValue("18", "11.5");
        bench.emulator().setValueDrift("5", 0.25);

        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        device.startPoll();
        QVERIFY(waitForCycles(updates, 2));
        const double earlier = bench.channel().current;
        QVERIFY(waitForCycles(updates, updates.count() + 2));
        QVERIFY(bench.channel().current > earlier);

        device.setPollMode(1);
        QTRY_COMPARE(bench.channel().measured, 250.0);
        QVERIFY(waitForCycles(updates, updates.count() + 1));
        ChannelRecord channel = bench.channel();
        QCOMPARE(channel.error, (250.0 - 400.0) * 100 / 500);
        QVERIFY(channel.current > 12.0);
        QCOMPARE(channel.hartCurrent, 11.5);
        QVERIFY(emulatorCommands(bench.emulator()).join(' ').contains("1;1 1;17 1;18 1;5"));

        device.channelsModel()->manualValue = 42.5f;
        device.setPollMode(2);
        QTRY_VERIFY(std::isnan(bench.channel().current));
        channel = bench.channel();
        QCOMPARE(channel.measured, 42.5);
        QCOMPARE(channel.error, (42.5 - 400.0) * 100 / 1000);
        QCOMPARE(device.pollMode(), 2);
        QTRY_COMPARE(cellText(device, 3), QString("-"));
        device.stopPoll();
        QVERIFY(bench.popUps().isEmpty());
    }

    // A silent calibrator, an unknown poll mode and a closed line stop polling once, each with its message.
    void failuresStopPollingOnce()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        device.setExchangeTimeout(100);
        device.hartData()->pvUnit = hartKilopascal;
        bench.emulator().setValue("17", "250");
        bench.emulator().setValue("18", "11.5");
        device.setPollMode(1);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QueuedSpy fullyStopped(&device, &DeviceZFN::poolFullyStoped);
        QueuedSpy stoppedByFailure(&device, &DeviceZFN::pollStopedSignal);
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        const int startStops = fullyStopped.count();

        bench.emulator().setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(!device.pollController()->isPollRunning(), 5000);
        QVERIFY(isIdleWithPortHome(device));
        QTRY_COMPARE(bench.popUps(), QStringList({"ЗФН не отвечает!"}));
        QTest::qWait(100);
        QCOMPARE(bench.popUps().size(), 1);
        QTRY_COMPARE(stoppedByFailure.count(), 1);
        QTRY_COMPARE(fullyStopped.count(), startStops + 1);

        bench.emulator().setSilent(false);
        updates.clear();
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        device.stopPoll();
        QCOMPARE(bench.popUps().size(), 1);

        device.setPollMode(7);
        device.startPoll();
        QTRY_COMPARE(bench.popUps().last(), QString("Ошибка в типе опроса"));
        QTRY_COMPARE(stoppedByFailure.count(), 2);
        QTRY_VERIFY(isIdleWithPortHome(device));

        // The calibrator's end of the line closes while a reply is awaited: the poll fails with the
        // no-answer message at once, not after waiting out the 2 s time-out on a dead line.
        device.setExchangeTimeout(2000);
        device.setPollMode(0);
        updates.clear();
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        CalibratorEmulator& emulator = bench.emulator();
        QElapsedTimer sinceClose;
        emulator.setRequestObserver([&](const EmulatorRequest&) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), [&] {
                if (emulator.isRunning()) {
                    emulator.stop();
                    sinceClose.start();
                }
            }, Qt::QueuedConnection);
        });
        emulator.setSilent(true);
        QTRY_COMPARE(bench.popUps().size(), 3);
        QCOMPARE(bench.popUps().last(), QString("ЗФН не отвечает!"));
        QVERIFY2(sinceClose.elapsed() < 1000, qPrintable(QString::number(sinceClose.elapsed())));
        QTRY_VERIFY(isIdleWithPortHome(device));
    }

    // The exchange in flight is cut short: nothing is reported as a silent calibrator, and the port
    // and the mutex are free for the next operation as soon as the stop returns.
    void stopWhileRepliesAreSlow()
    {
        constexpr int replyDelayMs = 800;
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        bench.emulator().setReplyDelayMs(replyDelayMs);
        const int before = bench.emulator().requestCount();
        device.startPoll();
        QueuedSpy fullyStopped(&device, &DeviceZFN::poolFullyStoped);
        QueuedSpy stoppedByFailure(&device, &DeviceZFN::pollStopedSignal);
        QVERIFY(bench.emulator().waitForRequests(before + 1, 2000));
        QTest::qWait(100);
        device.stopPoll();

        QVERIFY(isIdleWithPortHome(device));
        QTRY_COMPARE(fullyStopped.count(), 1);
        device.addResult();
        QTest::qWait(50);
        QVERIFY(bench.popUps().isEmpty());
        QTRY_COMPARE(stoppedByFailure.count(), 0);

        // The late reply to the cut exchange has to leave the line before a search listens on it.
        bench.emulator().setReplyDelayMs(0);
        QTest::qWait(replyDelayMs);
        QueuedSpy searched(&device, &DeviceZFN::searchFinished);
        device.startSearch(0, 0);
        QVERIFY(searched.wait(5000));
        QCOMPARE(g_foundDevices.size(), 1);
    }

    // Stops and restarts in quick succession cut exchanges whose replies come late; a late reply is
    // never taken as the value of the next request.
    void quickRestartsNeverSwapValues()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 0);
        bench.emulator().setReplyDelayMs(100);
        DeviceZFN& device = bench.device();
        QRandomGenerator random(7);
        for (int cycle = 0; cycle < 12; ++cycle) {
            QVERIFY(device.startPoll());
            QTest::qWait(int(random.bounded(20, 260)));
            device.stopPoll();
            const ChannelRecord channel = bench.channel();
            // Before the first complete cycle the record still holds its zeros.
            QVERIFY2(channel.reference == 0 || channel.reference == 400.0, qPrintable(QString::number(channel.reference)));
            QVERIFY2(channel.measured == 0 || channel.measured == 500.0, qPrintable(QString::number(channel.measured)));
        }
        QVERIFY(bench.popUps().isEmpty());
    }

    // While a silent calibrator is polled, the calls the window makes return at once.
    void windowNeverWaitsForTheLine()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        bench.emulator().setSilent(true);
        QVERIFY(device.startPoll());
        QVERIFY(bench.emulator().waitForRequests(2, 2000));
        const std::function<void()> calls[] = {
            [&] { device.setPollMode(0); },
            [&] { device.addResult(); },
            [&] { device.setFlag(DeviceZFN::SearchPortRange, true); },
            [&] { device.getFlag(DeviceZFN::SearchPortRange); },
            [&] { device.stopSearch(); },
        };
        for (const auto& call : calls) {
            QElapsedTimer timer;
            timer.start();
            call();
            QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
        }
        QElapsedTimer stopTimer;
        stopTimer.start();
        device.stopPoll();
        QVERIFY2(stopTimer.elapsed() < 500, qPrintable(QString::number(stopTimer.elapsed())));
        QVERIFY(isIdleWithPortHome(device));
    }

    // A start while another job holds the port is refused with a message, and polling stays off.
    void startWhilePortIsLentIsRefused()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        DeviceZFN& device = bench.device();
        bench.runInWorker([&] {
            QMetaObject::invokeMethod(&device, [&] { QVERIFY(!device.startPoll()); }, Qt::BlockingQueuedConnection);
        });
        QCOMPARE(bench.popUps(), QStringList({"Дождитесь окончания текущей операции!"}));
        QVERIFY(!device.pollController()->isPollRunning());
    }
};

QTEST_GUILESS_MAIN(TestPolling)
#include "test_polling.moc"
