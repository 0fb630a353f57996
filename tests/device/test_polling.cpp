#include "BoundedWait.h"
#include "CalibratorLink.h"
#include "ChannelsModel.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "HartDeviceData.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "VerificationSettings.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {

constexpr quint8 megapascalCode = 7;
constexpr quint8 kilopascal = 1;
constexpr quint8 megapascal = 2;
constexpr quint8 bar = 8;
constexpr quint8 hartKilopascal = 12;
const double none = std::nan("");
const QString busy("Дождитесь окончания текущей операции!");

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
    return BoundedWait::until([&] { return updates.count() >= count; });
}

// Polls until count cycles have published and stops; each cycle's reference, measured pressure and
// loop current, as the channel showed them.
QList<QList<double>> pollCycles(DeviceTestBench& bench, int count)
{
    DeviceZFN& device = bench.device();
    // A cycle queued before the stop may still be delivered after this returns.
    const auto cycles = std::make_shared<QList<QList<double>>>();
    const QMetaObject::Connection recorder =
        QObject::connect(&device, &DeviceZFN::pollUpdateSignal, &device, [&bench, cycles] {
            const ChannelRecord channel = bench.channel();
            *cycles << QList<double>({channel.reference, channel.measured, channel.current});
        });
    if (device.startPoll())
        BoundedWait::until([&] { return cycles->size() >= count; }, BoundedWait::jobMs);
    device.stopPoll();
    QObject::disconnect(recorder);
    return *cycles;
}

QString cellText(DeviceZFN& device, int column)
{
    ChannelsModel* model = device.channelsModel();
    return model->data(model->index(0, column)).toString();
}

// Stops polling while the calibrator holds its reply to the next request of that command: the
// reply goes out only once the stop has returned, so the stop cuts the read however fast the
// calibrator answers.
bool stopBeforeTheReply(DeviceTestBench& bench, const QString& command)
{
    CalibratorEmulator& emulator = bench.emulator();
    // The emulator's thread may still be leaving the observer when this returns.
    const auto requested = std::make_shared<QSemaphore>();
    const auto stopped = std::make_shared<QSemaphore>();
    const auto armed = std::make_shared<std::atomic<bool>>(true);
    emulator.setRequestObserver([=](const EmulatorRequest& request) {
        if (request.command == command && armed->exchange(false)) {
            requested->release();
            stopped->acquire();
        }
    });
    const bool cut = BoundedWait::until([&] { return requested->available() > 0; });
    bench.device().stopPoll();
    stopped->release();
    emulator.setRequestObserver({});
    return cut;
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

// The sensor row of the verification settings: unit, range, output type and allowed error.
struct Sensor
{
    quint8 unit;
    double low;
    double high;
    quint8 outputType;
    double allowedError;
};

// As the settings tab applies its sensor row: the channel under the device mutex, then the table.
void applySensor(DeviceZFN& device, const Sensor& sensor)
{
    ChannelRecord channel;
    {
        QMutexLocker lock(device.mutex());
        ChannelRecord& current = *device.currentChannel();
        current.unit = sensor.unit;
        current.rangeLow = sensor.low;
        current.rangeHigh = sensor.high;
        current.outputType = sensor.outputType;
        current.allowedError = sensor.allowedError;
        current.updateOutputRange();
        channel = current;
    }
    device.channelsModel()->setRecord(0, channel);
}

// One poll mode or source of the reference, what a cycle asks the calibrator and what it gives.
struct Step
{
    const char* name;
    std::function<void(DeviceZFN&)> change;
    QString cycle;
    double reference;
    double measured;
    double current;
    double error;
};

}  // namespace

Q_DECLARE_METATYPE(Sensor)

class TestPolling : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    // Loop current and the module reference; one result per cycle.
    void oneResultPerCycle()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 5000);
        DeviceZFN& device = bench.device();
        device.addResult();
        QCOMPARE(device.resultsModel()->rowCount(), 0);

        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
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
    }

    // Modes and references switched one after the other; each gives its cycle on the wire and its
    // values, an unknown module unit no reference ("-").
    void modesAndReferences()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        device.currentChannel()->hartLow = 0;
        device.currentChannel()->hartHigh = 500;
        device.channelsModel()->setHartInterval(true, 0, 500);
        device.hartData()->pvUnit = hartKilopascal;
        device.channelsModel()->manualValue = 42.5f;
        bench.emulator().setValue("17", "250");
        bench.emulator().setValue("18", "11.5");
        const Step steps[] = {
            {"loop current", [](DeviceZFN&) {}, "1;1 1;5 1;1", 400, 500, 12, 10},
            {"hart", [](DeviceZFN& d) { d.setPollMode(1); }, "1;1 1;17 1;18 1;5 1;1", 400, 250, 12, -30},
            {"manual", [](DeviceZFN& d) { d.setPollMode(2); }, "1;1 1;1", 400, 42.5, none, (42.5 - 400.0) / 10},
            {"fixed reference in MPa",
             [](DeviceZFN& d) {
                 d.stopPoll();
                 d.setPollMode(0);
                 d.currentChannel()->unit = megapascal;
                 d.channelsModel()->setRecord(0, *d.currentChannel());
                 d.channelsModel()->setFixedEtalon(true, 100);
                 d.startPoll();
             },
             "1;5 1;5", 0.1, 500, 12, (500 - 0.1) / 10},
            {"module of unknown unit",
             [](DeviceZFN& d) {
                 d.stopPoll();
                 d.channelsModel()->setFixedEtalon(false, 0);
                 d.deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 0;
                 d.startPoll();
             },
             "1;1 1;5 1;1", none, 500, 12, none},
        };
        device.startPoll();
        // A whole cycle of the step's requests on the wire means that its values were taken.
        for (const Step& step : steps) {
            step.change(device);
            bench.emulator().clearRequests();
            const auto cycleSeen = [&] { return emulatorCommands(bench.emulator()).join(' ').contains(step.cycle); };
            QVERIFY2(BoundedWait::until(cycleSeen), step.name);
            const ChannelRecord channel = bench.channel();
            QCOMPARE(channel.reference, step.reference);
            QCOMPARE(channel.measured, step.measured);
            QCOMPARE(channel.current, step.current);
            QCOMPARE(channel.error, step.error);
        }
        QCOMPARE(bench.channel().rawReference, 0.4);
        QCOMPARE(bench.channel().hartCurrent, 11.5);
        QTRY_COMPARE(cellText(device, 5), QString("-"));
        device.stopPoll();
        QVERIFY(bench.popUps().isEmpty());
    }

    // A point added while a cycle waits for its slow replies holds one whole cycle: the reference
    // read first never comes with the measured value and error of the cycle before.
    void pointHoldsOneCycle_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("pending");
        QTest::newRow("loop current") << 0 << "1;5";
        QTest::newRow("hart") << 1 << "1;17";
    }
    void pointHoldsOneCycle()
    {
        QFETCH(int, mode);
        QFETCH(QString, pending);
        DeviceTestBench bench;
        setUpChannel(bench, 0);
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        device.hartData()->pvUnit = hartKilopascal;
        device.setPollMode(mode);
        emulator.setValue("1", "0.1");
        emulator.setValueDrift("1", 0.05);
        emulator.setValue("17", "500");
        emulator.setValue("18", "11.5");
        emulator.setReplyDelayMs(400);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, 1));
        // Once the next value is asked for, the reference of this cycle has been read.
        const int before = emulator.requestCount();
        const auto midCycle = [&] {
            return emulatorCommands(emulator).mid(before).join(' ').contains("1;1 " + pending);
        };
        QVERIFY(BoundedWait::until(midCycle));
        device.addResult();
        device.stopPoll();
        QCOMPARE(device.resultsModel()->rowCount(), 1);
        const ResultRecord* r = device.resultsModel()->record(0);
        QCOMPARE(r->measured, 500.0);
        QCOMPARE(r->current, 12.0);
        const double cycleError = (r->measured - r->reference) * 100 / 1000;
        QVERIFY2(qAbs(r->error - cycleError) < 1e-9,
                 qPrintable(QString("reference %1, error %2").arg(r->reference).arg(r->error)));
    }

    // The source of the reference and the poll mode changed after a cycle and before its point: the
    // point keeps the cycle's, which choose its uncertainty terms.
    void pointKeepsItsCyclesSourceAndMode_data()
    {
        QTest::addColumn<bool>("fixedBefore");
        QTest::addColumn<int>("modeBefore");
        QTest::addColumn<bool>("fixedAfter");
        QTest::addColumn<int>("modeAfter");
        QTest::newRow("read reference, then fixed") << false << 0 << true << 0;
        QTest::newRow("fixed reference, then read") << true << 0 << false << 0;
        QTest::newRow("loop current, then hart") << false << 0 << false << 1;
        QTest::newRow("hart, then manual") << false << 1 << true << 2;
        QTest::newRow("manual, then loop current") << true << 2 << true << 0;
    }
    void pointKeepsItsCyclesSourceAndMode()
    {
        QFETCH(bool, fixedBefore);
        QFETCH(int, modeBefore);
        QFETCH(bool, fixedAfter);
        QFETCH(int, modeAfter);
        DeviceTestBench bench;
        // The next cycle waits for the stop.
        setUpChannel(bench, 600000);
        DeviceZFN& device = bench.device();
        device.hartData()->pvUnit = hartKilopascal;
        device.channelsModel()->manualValue = 42.5f;
        bench.emulator().setValue("17", "250");
        bench.emulator().setValue("18", "11.5");
        device.channelsModel()->setFixedEtalon(fixedBefore, 100);
        device.setPollMode(modeBefore);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, 1));
        device.channelsModel()->setFixedEtalon(fixedAfter, 100);
        device.setPollMode(modeAfter);
        device.addResult();
        device.stopPoll();
        QCOMPARE(device.resultsModel()->rowCount(), 1);
        const ResultRecord* r = device.resultsModel()->record(0);
        QCOMPARE(r->reference, fixedBefore ? 100.0 : 400.0);
        QCOMPARE(r->referenceFromDevice, !fixedBefore);
        QCOMPARE(int(r->kind), modeBefore);
        QCOMPARE(r->hasCurrent, modeBefore != 2);
    }

    // The sensor row applied (as "Применить" does) between a cycle and its point: the point keeps the
    // cycle's unit, range and sensor, with the reference and measured value that cycle gave in them.
    // 0.4 MPa and 12 mA (the middle of 4-20 mA) come from the calibrator in every cycle.
    void pointKeepsItsCyclesUnitAndRange_data()
    {
        QTest::addColumn<Sensor>("before");
        QTest::addColumn<Sensor>("after");
        QTest::addColumn<double>("reference");
        const Sensor kpa{kilopascal, 0, 1000, 1, 0.1};
        QTest::newRow("unit") << kpa << Sensor{megapascal, 0, 1000, 1, 0.1} << 400.0;
        QTest::newRow("lower end") << Sensor{kilopascal, -100, 1100, 1, 0.1} << Sensor{kilopascal, 200, 1100, 1, 0.1}
                                   << 400.0;
        QTest::newRow("upper end") << Sensor{kilopascal, 100, 900, 1, 0.1} << Sensor{kilopascal, 100, 600, 1, 0.1}
                                   << 400.0;
        QTest::newRow("unit and range") << kpa << Sensor{megapascal, 0, 1, 1, 0.1} << 400.0;
        QTest::newRow("unit and lower end") << Sensor{bar, 2, 6, 1, 0.1} << Sensor{kilopascal, -50, 6, 1, 0.1} << 4.0;
        QTest::newRow("both ends") << Sensor{megapascal, 0.2, 0.6, 1, 0.1} << Sensor{megapascal, -0.1, 1.6, 1, 0.1}
                                   << 0.4;
        QTest::newRow("output and allowed error") << kpa << Sensor{kilopascal, 0, 1000, 0, 0.5} << 400.0;
    }
    void pointKeepsItsCyclesUnitAndRange()
    {
        QFETCH(Sensor, before);
        QFETCH(Sensor, after);
        QFETCH(double, reference);
        DeviceTestBench bench;
        // The next cycle waits for the stop.
        setUpChannel(bench, 600000);
        DeviceZFN& device = bench.device();
        applySensor(device, before);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, 1));
        const ChannelRecord cycle = bench.channel();
        applySensor(device, after);
        device.addResult();
        device.stopPoll();
        QCOMPARE(device.resultsModel()->rowCount(), 1);
        const ResultRecord* r = device.resultsModel()->record(0);
        const double measured = (before.low + before.high) / 2;
        QCOMPARE(QList<double>({double(r->unit), r->rangeLow, r->rangeHigh, r->measured, r->allowedError}),
                 QList<double>({double(before.unit), before.low, before.high, measured, before.allowedError}));
        QCOMPARE(r->rangeText, cycle.rangeText());
        QVERIFY2(qAbs(r->reference - reference) < 1e-9, qPrintable(QString::number(r->reference)));
        QVERIFY(qAbs(r->error - (measured - reference) * 100 / (before.high - before.low)) < 1e-9);
        QCOMPARE(r->expectedCurrent, cycle.expectedOutput(r->reference));
    }

    // "Стоп", the calibrator moves on, "Старт", and a point or a group asked for at once: it holds
    // the new session's first cycle, never the values the calibrator sent before the stop. The
    // device tells when the session has a cycle to take points from.
    void noPointBeforeTheSessionsFirstCycle_data()
    {
        QTest::addColumn<bool>("group");
        QTest::newRow("point") << false;
        QTest::newRow("group") << true;
    }
    void noPointBeforeTheSessionsFirstCycle()
    {
        QFETCH(bool, group);
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        device.verificationSettings()->groupPointCount = 2;
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QueuedSpy firstCycles(&device, &DeviceZFN::firstCycleSignal);
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, 1));
        QVERIFY(device.hasSessionCycle());
        device.stopPoll();
        QVERIFY(!device.hasSessionCycle());
        emulator.setValue("1", "0.8");
        emulator.setValue("5", "16");
        // The first cycle of the next session takes a while, as after a cancelled HART operation.
        emulator.setReplyDelayMs(300);
        QueuedSpy added(&device, &DeviceZFN::groupAdded);
        updates.clear();
        QVERIFY(device.startPoll());
        if (group)
            device.addGroupResult();
        else
            device.addResult();
        ResultsModel& results = *device.resultsModel();
        QCOMPARE(results.rowCount(), 0);
        QVERIFY(!device.hasSessionCycle());
        QVERIFY(waitForCycles(updates, 1));
        QVERIFY(device.hasSessionCycle());
        if (group)
            QVERIFY(added.wait());
        else
            device.addResult();
        device.stopPoll();
        QTRY_COMPARE(results.rowCount(), group ? 2 : 1);
        for (int row = 0; row < results.rowCount(); ++row)
            QCOMPARE(QList<double>({results.record(row)->reference, results.record(row)->measured}),
                     QList<double>({800, 750}));
        QVERIFY(bench.popUps().isEmpty());
        // Once a session.
        QCOMPARE(firstCycles.count(), 2);
    }

    // A silent calibrator, an unknown poll mode and a closed line stop polling once, each with its message.
    void failuresStopPollingOnce()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        device.setExchangeTimeout(100);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QueuedSpy fullyStopped(&device, &DeviceZFN::poolFullyStoped);
        QueuedSpy stoppedByFailure(&device, &DeviceZFN::pollStopedSignal);
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        const int startStops = fullyStopped.count();

        bench.emulator().setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(!device.pollController()->isPollRunning(), BoundedWait::stepMs);
        QVERIFY(isIdleWithPortHome(device));
        QTRY_COMPARE(bench.popUps(), QStringList({"ЗФН не отвечает!"}));
        QTest::qWait(100);
        QCOMPARE(bench.popUps().size(), 1);
        QTRY_COMPARE(stoppedByFailure.count(), 1);
        QTRY_COMPARE(fullyStopped.count(), startStops + 1);

        bench.emulator().setSilent(false);
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

    // The cable is pulled between polls and put back under the same port name (a pseudo-terminal
    // reached through a link that is removed with its line and made anew): a start while it is out
    // stops with the no-answer message, having written nothing, and the start after it is back polls
    // with no new connect, its first request leaving at once (the time-out is long, so a wait for a
    // reply owed by a refused write would show) and taking its own value.
    void pulledCableComesBack()
    {
        QTemporaryDir folder;
        const QString cable = folder.filePath("ttyZFN");
        DeviceTestBench bench;
        CalibratorEmulator& emulator = bench.emulator();
        DeviceZFN& device = bench.device();
        QVERIFY(QFile::link(emulator.portPath(), cable));
        qputenv("ZFN_PORTS", "COM1=" + cable.toUtf8());
        device.refreshPortList();
        setUpChannel(bench, 10);
        const int longTimeoutMs = 20000;
        device.setExchangeTimeout(longTimeoutMs);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        device.startPoll();
        QVERIFY(waitForCycles(updates, 1));
        device.stopPoll();
        // The stop may cut a read whose reply, owed up to the long time-out, would hold the first
        // request after the cable is back: it is let in before the cable goes.
        QVERIFY(bench.flushLine());

        emulator.stop();
        QVERIFY(QFile::remove(cable));
        QVERIFY(device.startPoll());
        QTRY_COMPARE_WITH_TIMEOUT(bench.popUps(), QStringList{"ЗФН не отвечает!"}, BoundedWait::stepMs);
        QTRY_VERIFY_WITH_TIMEOUT(isIdleWithPortHome(device), BoundedWait::stepMs);

        QVERIFY(emulator.start());
        QVERIFY(QFile::link(emulator.portPath(), cable));
        emulator.setValue("1", "0.7");
        emulator.clearRequests();
        updates.clear();
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY(device.startPoll());
        QVERIFY(emulator.waitForRequests(1, BoundedWait::stepMs));
        QVERIFY2(sinceStart.elapsed() < longTimeoutMs / 4, qPrintable(QString::number(sinceStart.elapsed())));
        QVERIFY(waitForCycles(updates, 1));
        device.stopPoll();
        QCOMPARE(bench.channel().reference, 700.0);
        QVERIFY(!emulatorCommands(emulator).contains("11;1;0;1;1"));
        QCOMPARE(bench.popUps().size(), 1);
    }

    // While replies are slow the calls the window makes return at once, and a stop cuts the
    // exchange in flight: nothing is reported as a silent calibrator, the port and the mutex are
    // free as soon as the stop returns, and the late reply leaves the line before a search listens.
    void stopWhileRepliesAreSlow()
    {
        constexpr int replyDelayMs = 800;
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        bench.emulator().setReplyDelayMs(replyDelayMs);
        QVERIFY(device.startPoll());
        QueuedSpy fullyStopped(&device, &DeviceZFN::poolFullyStoped);
        QueuedSpy stoppedByFailure(&device, &DeviceZFN::pollStopedSignal);
        QVERIFY(bench.emulator().waitForRequests(bench.emulator().requestCount() + 1, 2000));
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
        QTRY_COMPARE(fullyStopped.count(), 1);
        QTest::qWait(50);
        QVERIFY(bench.popUps().isEmpty());
        QCOMPARE(stoppedByFailure.count(), 0);

        bench.emulator().setReplyDelayMs(0);
        QTest::qWait(replyDelayMs);
        QueuedSpy searched(&device, &DeviceZFN::searchFinished);
        device.startSearch(0, 0);
        QVERIFY(searched.wait());
        QCOMPARE(g_foundDevices.size(), 1);
    }

    // Stops and restarts in quick succession cut exchanges whose replies come late; a late reply is
    // never taken as the value of the next request, and a cut leaves no wait behind beyond its own
    // reply: the first cycle after the last restart takes that and its own two exchanges.
    void quickRestartsNeverSwapValues_data()
    {
        QTest::addColumn<int>("replyDelayMs");
        QTest::newRow("15 ms answers") << 15;
        QTest::newRow("150 ms answers") << 150;
    }

    void quickRestartsNeverSwapValues()
    {
        QFETCH(int, replyDelayMs);
        DeviceTestBench bench;
        setUpChannel(bench, 0);
        bench.emulator().setLoseWhileClosed(true);
        bench.emulator().setReplyDelayMs(replyDelayMs);
        DeviceZFN& device = bench.device();
        QRandomGenerator random(7);
        const QStringList reads{"1;1", "1;5"};
        for (int cycle = 0; cycle < 20; ++cycle) {
            QVERIFY(device.startPoll());
            QTest::qWait(int(random.bounded(20, 300)));
            QVERIFY(stopBeforeTheReply(bench, reads.at(cycle % 2)));
            const ChannelRecord channel = bench.channel();
            // Before the first complete cycle the record still holds its zeros.
            QVERIFY2(channel.reference == 0 || channel.reference == 400.0, qPrintable(QString::number(channel.reference)));
            QVERIFY2(channel.measured == 0 || channel.measured == 500.0, qPrintable(QString::number(channel.measured)));
        }
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        updates.clear();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(device.startPoll());
        QVERIFY(updates.wait(BoundedWait::stepMs));
        const int boundMs = 3 * replyDelayMs + 850;
        QVERIFY2(timer.elapsed() < boundMs, qPrintable(QString::number(timer.elapsed())));
        device.stopPoll();
        QCOMPARE(bench.channel().reference, 400.0);
        QCOMPARE(bench.channel().measured, 500.0);
        QVERIFY(bench.popUps().isEmpty());
    }

    void stopAndStartAfterAPause_data()
    {
        QTest::addColumn<bool>("search");
        QTest::newRow("start") << false;
        QTest::newRow("search") << true;
    }

    // A fast calibrator (15 ms answers): "Стоп" cuts a read, and after the operator's pause of a
    // second comes "Старт" or a search. The first cycle, or the search's one port, costs about what
    // the calibrator's answers take, not a wait that grows with the pause.
    void stopAndStartAfterAPause()
    {
        QFETCH(bool, search);
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setLoseWhileClosed(true);
        emulator.setReplyDelayMs(15);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, 1));
        QVERIFY(stopBeforeTheReply(bench, "1;1"));
        const int pauseMs = 1000;
        QTest::qWait(pauseMs);
        updates.clear();
        QueuedSpy searched(&device, &DeviceZFN::searchFinished);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(search ? device.startSearch(0, 0) : device.startPoll());
        QVERIFY(search ? searched.wait(BoundedWait::jobMs) : updates.wait(BoundedWait::stepMs));
        QVERIFY2(timer.elapsed() < pauseMs, qPrintable(QString::number(timer.elapsed())));
        device.stopPoll();
        QCOMPARE(g_foundDevices.size(), 1);
        QVERIFY(bench.popUps().isEmpty());
    }

    void slowCalibratorAfterAStop_data()
    {
        QTest::addColumn<int>("replyDelayMs");
        QTest::addColumn<int>("cyclesBefore");
        QTest::addColumn<bool>("search");
        for (const int delayMs : {400, 600, 800}) {
            QTest::addRow("%d ms answers, a start", delayMs) << delayMs << 1 << false;
            QTest::addRow("%d ms answers, a search", delayMs) << delayMs << 1 << true;
        }
        // Long enough that a loaded machine still sends the identify before the late reply comes.
        for (const int delayMs : {800, 1200})
            QTest::addRow("instant, then %d ms answers, a search", delayMs) << delayMs << 0 << true;
    }

    // A stop cuts the reference read of a calibrator that answers slowly, its reply still to come,
    // after a whole cycle of slow answers or before any. A start right after it reads every value
    // from its own reply, cycle after cycle; a search right after it finds the calibrator, which is
    // then connected and read value by value.
    void slowCalibratorAfterAStop()
    {
        QFETCH(int, replyDelayMs);
        QFETCH(int, cyclesBefore);
        QFETCH(bool, search);
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setReplyDelayMs(replyDelayMs);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, cyclesBefore));
        emulator.clearRequests();
        QVERIFY(BoundedWait::until([&] { return emulatorCommands(emulator).contains("1;1"); }));
        device.stopPoll();
        if (search) {
            QueuedSpy searched(&device, &DeviceZFN::searchFinished);
            QVERIFY(device.startSearch(0, 0));
            QVERIFY(searched.wait(BoundedWait::jobMs));
            QCOMPARE(g_foundDevices.size(), 1);
            device.connectToDevice(0);
            QVERIFY(device.isConnected());
            QCOMPARE(bench.readValues({1, 5, 1}), QStringList({"0.4", "12", "0.4"}));
            QVERIFY(bench.popUps().isEmpty());
            return;
        }
        const QList<QList<double>> cycles = pollCycles(bench, 3);
        QVERIFY(cycles.size() >= 3);
        for (const QList<double>& cycle : cycles)
            QCOMPARE(cycle, QList<double>({400, 500, 12}));
        QVERIFY(bench.popUps().isEmpty());
    }

    void answerTimeChangesAcrossAStop_data()
    {
        QTest::addColumn<int>("replyDelayMs");
        QTest::addColumn<int>("currentDelayMs");
        QTest::addColumn<int>("cyclesBefore");
        QTest::addColumn<QString>("cut");
        // How long the calibrator takes to answer once the connect (answered at once) is over, and to
        // answer a read of the loop current (-1: as long), how many whole cycles it runs like that
        // before the stop, and which request the stop cuts.
        QTest::newRow("instant, then 600 ms answers") << 600 << -1 << 0 << "1;1";
        QTest::newRow("instant, then 800 ms answers") << 800 << -1 << 0 << "1;1";
        QTest::newRow("300 ms answers, a 500 ms one cut") << 300 << 500 << 0 << "1;5";
        QTest::newRow("slow current read, cut after a fast one") << 0 << 800 << 1 << "1;5";
    }

    // "Стоп" 0.1 s after a request whose answer takes longer than any before it or than the last
    // one, "Старт" 0.1 s later: every cycle of the new session reads each value from its own reply.
    void answerTimeChangesAcrossAStop()
    {
        QFETCH(int, replyDelayMs);
        QFETCH(int, currentDelayMs);
        QFETCH(int, cyclesBefore);
        QFETCH(QString, cut);
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setReplyDelayMs(replyDelayMs);
        if (currentDelayMs >= 0)
            emulator.setCommandDelayMs("1;5", currentDelayMs);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        emulator.clearRequests();
        QVERIFY(device.startPoll());
        QVERIFY(waitForCycles(updates, cyclesBefore));
        const int before = cyclesBefore > 0 ? emulator.requestCount() : 0;
        QVERIFY(BoundedWait::until([&] { return emulatorCommands(emulator).mid(before).contains(cut); }));
        QTest::qWait(100);
        device.stopPoll();
        QTest::qWait(100);
        const QList<QList<double>> cycles = pollCycles(bench, 2);
        QVERIFY(cycles.size() >= 2);
        for (const QList<double>& cycle : cycles)
            QCOMPARE(cycle, QList<double>({400, 500, 12}));
        QVERIFY(bench.popUps().isEmpty());
    }

    // While polling holds the port, archive and settings work is refused with a message, not
    // started beside it; polling is refused while another job holds the port.
    void otherJobsAreRefusedWhileOneRuns()
    {
        DeviceTestBench bench;
        setUpChannel(bench, 10);
        DeviceZFN& device = bench.device();
        QVERIFY(device.startPoll());
        QueuedSpy readStopped(&device, &DeviceZFN::archiveReadStoped);
        QueuedSpy clearStopped(&device, &DeviceZFN::archiveClearStoped);
        device.startReadArchive();
        device.startClearArchive();
        device.startAlgorithm(0, false, 0);
        QTRY_COMPARE(readStopped.count(), 1);
        QTRY_COMPARE(clearStopped.count(), 1);
        QCOMPARE(bench.popUps(), QStringList({busy, busy, busy}));
        QVERIFY(!device.pollController()->isArchiveRunning());
        QVERIFY(!device.portOwner()->isFree());
        device.stopPoll();
        QVERIFY(device.portOwner()->isFree());
        QVERIFY(!emulatorCommands(bench.emulator()).join('|').contains("10;"));

        bench.runInWorker([&] {
            QMetaObject::invokeMethod(&device, [&] { QVERIFY(!device.startPoll()); }, Qt::BlockingQueuedConnection);
        });
        QCOMPARE(bench.popUps().size(), 4);
        QVERIFY(!device.pollController()->isPollRunning());
    }
};

QTEST_GUILESS_MAIN(TestPolling)
#include "test_polling.moc"
