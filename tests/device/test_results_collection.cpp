#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "BoundedWait.h"
#include "ChannelsModel.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "ParametrDouble.h"
#include "PollController.h"
#include "PollThread.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QMutexLocker>
#include <QSemaphore>
#include <QSortFilterProxyModel>
#include <QtTest>
#include <atomic>
#include <cmath>

namespace {

constexpr quint8 kilopascalCode = 6;
constexpr quint8 megapascalCode = 7;
const QString fullText = "Достигнуто максимальное количество результатов (500). Очистите часть списка на вкладке "
                         "Результаты.";

constexpr quint8 kilopascalIndex = 1;
constexpr quint8 megapascalIndex = 2;

// A sensor's range in kPa and its output type.
struct Sensor
{
    double low = 0;
    double high = 1000;
    quint8 outputType = 1;
};

// A sensor (4-20 mA, 0..1000 kPa unless told otherwise) polled in loop-current mode, the current
// drifting from cycle to cycle unless told otherwise.
bool startPolling(DeviceTestBench& bench, int intervalMs, const QString& reference = "500",
                  double currentDrift = 0.01, const Sensor& sensor = Sensor())
{
    DeviceZFN& device = bench.device();
    device.pollController()->pollIntervalMs = intervalMs;
    device.deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = kilopascalCode;
    ChannelRecord& channel = *device.currentChannel();
    channel.unit = kilopascalIndex;
    channel.outputType = sensor.outputType;
    channel.updateOutputRange();
    channel.rangeLow = sensor.low;
    channel.rangeHigh = sensor.high;
    bench.emulator().setValue("1", reference);
    bench.emulator().setValue("5", "12");
    bench.emulator().setValueDrift("5", currentDrift);
    QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
    device.startPoll();
    return BoundedWait::until([&] { return updates.count() > 0; });
}

QList<int> groups(ResultsModel& model)
{
    QList<int> list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.record(row)->group;
    return list;
}

QList<double> references(ResultsModel& model)
{
    QList<double> list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.record(row)->reference;
    return list;
}

}  // namespace

class TestResultsCollection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void groupsCollectOnePointPerCycle()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        DeviceZFN& device = bench.device();
        ResultsModel& results = *device.resultsModel();
        QueuedSpy locked(&device, &DeviceZFN::lockInteface);
        QueuedSpy unlocked(&device, &DeviceZFN::unlockInteface);
        QueuedSpy progress(&device, &DeviceZFN::sendProgress);
        QueuedSpy added(&device, &DeviceZFN::groupAdded);
        device.addGroupResult();
        QTRY_COMPARE(locked.count(), 0);

        QVERIFY(startPolling(bench, 10));
        device.verificationSettings()->groupPointCount = 3;
        device.addGroupResult();
        QTRY_COMPARE(added.count(), 1);
        QTRY_COMPARE(locked.count(), 1);
        QCOMPARE(locked.at(0).at(0).value<quint8>(), quint8(1));
        QTRY_COMPARE(unlocked.count(), 1);
        QCOMPARE(progress.firstInts(), QList<int>({33, 66, 99}));
        QTRY_COMPARE(groups(results), QList<int>({1, 1, 1}));
        QCOMPARE(results.currentGroup(), 2);
        QTRY_VERIFY(results.record(2)->expandedSet);
        QVERIFY(results.record(0)->current < results.record(2)->current);
        QVERIFY(bench.popUps().isEmpty());

        // A group size below one is taken as one.
        device.verificationSettings()->groupPointCount = 0;
        progress.clear();
        device.addGroupResult();
        QTRY_COMPARE(added.count(), 2);
        QCOMPARE(progress.firstInts(), QList<int>({100}));
        QTRY_COMPARE(groups(results), QList<int>({1, 1, 1, 2}));
        QTest::qWait(50);
        QCOMPARE(results.rowCount(), 4);
        QTRY_COMPARE(unlocked.count(), 2);

        // Full results refuse a single point and end a group at once, with a message each.
        while (results.rowCount() < ResultsModel::maxCount)
            results.append(ResultRecord());
        device.addResult();
        QTRY_COMPARE(bench.popUps().mid(1), QStringList({fullText}));
        device.addGroupResult();
        QTRY_COMPARE(unlocked.count(), 3);
        QTRY_COMPARE(bench.popUps().size(), 3);
        QCOMPARE(added.count(), 2);
        QCOMPARE(results.rowCount(), ResultsModel::maxCount);
        QVERIFY(device.pollController()->isPollRunning());
        device.stopPoll();
    }

    // The cancel of the busy overlay ends the group after the point of the cycle it came in, and
    // leaves polling on; a stop of polling ends a group too.
    void cancelAndStopEndGroups()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        DeviceZFN& device = bench.device();
        ResultsModel& results = *device.resultsModel();
        QVERIFY(startPolling(bench, 500));
        device.verificationSettings()->groupPointCount = 10;
        QueuedSpy unlocked(&device, &DeviceZFN::unlockInteface);
        QueuedSpy progress(&device, &DeviceZFN::sendProgress);
        QueuedSpy added(&device, &DeviceZFN::groupAdded);
        device.addGroupResult();
        QTRY_COMPARE(progress.count(), 1);
        device.stopSearch();
        QTRY_COMPARE(unlocked.count(), 1);
        QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
        QTRY_VERIFY(updates.count() >= 2);
        QCOMPARE(results.rowCount(), 2);
        QTRY_COMPARE(progress.count(), 2);
        QVERIFY(device.pollController()->isPollRunning());
        QVERIFY(bench.popUps().isEmpty());

        device.addGroupResult();
        device.stopPoll();
        QTRY_COMPARE(unlocked.count(), 2);
        QTRY_COMPARE(added.count(), 0);
    }

    // What a group's points take from the verification settings: the applied accuracy coefficient
    // (never one typed and not applied) for their verdict, the group size, and the reference
    // module's accuracy and the indicator's resolution for their uncertainty, the latter only for a
    // typed reference. Every cycle gives 497 kPa and 12 mA (500 kPa): an error of 0.3 % against an
    // allowed 0.5 %, and no spread, so U = 2·√(uP² + u²) with uP = 1000·delta / 300 and u the
    // loop-current term 0.0208583 or, for a typed reference, indicator / √3.
    void pointsTakeTheAppliedVerificationSettings_data()
    {
        QTest::addColumn<double>("coefficient");
        QTest::addColumn<double>("typedCoefficient");
        QTest::addColumn<double>("etalonDelta");
        QTest::addColumn<double>("indicator");
        QTest::addColumn<int>("groupSize");
        QTest::addColumn<bool>("fixedReference");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<double>("expanded");
        QTest::newRow("coefficient") << 0.8 << 0.8 << 0.06 << 0.02 << 2 << false << 1 << 0.402169;
        QTest::newRow("lower coefficient") << 0.5 << 0.5 << 0.06 << 0.02 << 2 << false << 2 << 0.402169;
        QTest::newRow("lower coefficient typed") << 0.8 << 0.5 << 0.06 << 0.02 << 2 << false << 1 << 0.402169;
        QTest::newRow("higher coefficient typed") << 0.5 << 0.8 << 0.06 << 0.02 << 2 << false << 2 << 0.402169;
        QTest::newRow("module accuracy") << 0.8 << 0.8 << 0.15 << 0.02 << 2 << false << 1 << 1.000870;
        QTest::newRow("indicator, read reference") << 0.8 << 0.8 << 0.06 << 0.5 << 2 << false << 1 << 0.402169;
        QTest::newRow("typed reference") << 0.8 << 0.8 << 0.06 << 0.02 << 2 << true << 1 << 0.400666;
        QTest::newRow("indicator, typed reference") << 0.8 << 0.8 << 0.06 << 0.5 << 2 << true << 1 << 0.702377;
        QTest::newRow("module accuracy and indicator") << 0.8 << 0.8 << 0.15 << 0.5 << 2 << true << 1 << 1.154701;
        QTest::newRow("typed coefficient, module accuracy") << 0.8 << 0.5 << 0.15 << 0.02 << 2 << false << 1 << 1.000870;
        QTest::newRow("group of 3, lower coefficient") << 0.5 << 0.5 << 0.06 << 0.02 << 3 << false << 2 << 0.402169;
        QTest::newRow("group of 3, module accuracy") << 0.8 << 0.8 << 0.15 << 0.02 << 3 << false << 1 << 1.000870;
    }
    void pointsTakeTheAppliedVerificationSettings()
    {
        QFETCH(double, coefficient);
        QFETCH(double, typedCoefficient);
        QFETCH(double, etalonDelta);
        QFETCH(double, indicator);
        QFETCH(int, groupSize);
        QFETCH(bool, fixedReference);
        QFETCH(int, verdict);
        QFETCH(double, expanded);
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        DeviceZFN& device = bench.device();
        device.currentChannel()->allowedError = 0.5;
        device.channelsModel()->setFixedEtalon(fixedReference, 497);
        VerificationSettings& settings = *device.verificationSettings();
        settings.prAnalysisCoeffAccuracy->setValue(coefficient);
        settings.prAnalysisCoeffAccuracy->setEditedValue(typedCoefficient);
        settings.etalonDelta = etalonDelta;
        settings.indicatorCoff = indicator;
        settings.groupPointCount = groupSize;
        QVERIFY(startPolling(bench, 10, "497", 0));
        QueuedSpy progress(&device, &DeviceZFN::sendProgress);
        QueuedSpy added(&device, &DeviceZFN::groupAdded);
        // The second group counts its own points.
        QList<int> steps;
        for (int group = 0; group < 2; ++group) {
            device.addGroupResult();
            QVERIFY(added.wait());
            for (int point = 1; point <= groupSize; ++point)
                steps << point * (100 / groupSize);
        }
        device.stopPoll();
        ResultsModel& results = *device.resultsModel();
        QCOMPARE(results.rowCount(), 2 * groupSize);
        QCOMPARE(progress.firstInts(), steps);
        QTRY_VERIFY(results.record(2 * groupSize - 1)->expandedSet);
        for (int row = 0; row < 2 * groupSize; ++row) {
            const ResultRecord& r = *results.record(row);
            QCOMPARE(QList<double>({r.error, r.coefficient, double(r.verdict), double(r.group)}),
                     QList<double>({0.3, coefficient, double(verdict), double(1 + row / groupSize)}));
            QVERIFY2(qAbs(r.expanded - expanded) < 1e-6, qPrintable(QString::number(r.expanded, 'g', 9)));
            QVERIFY(qAbs(r.expandedRelative - expanded / 10) < 1e-7);
        }
        QVERIFY(bench.popUps().isEmpty());
    }

    // The sensor row applied anew after a group's last point and before the group is processed
    // changes nothing of its uncertainty: that is over the range and output the points were measured
    // with. Every cycle gives 500 kPa and 12 mA with no spread, so U = 2·√(uP² + uI²) with
    // uP = span·0.06 / 300 and uI = (0.0001·12 + 1)·0.001 / (3·k), k = output span / range span.
    void groupKeepsTheRangeItWasMeasuredWith_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<int>("outputType");
        QTest::addColumn<int>("appliedUnit");
        QTest::addColumn<double>("appliedLow");
        QTest::addColumn<double>("appliedHigh");
        QTest::addColumn<int>("appliedOutputType");
        QTest::addColumn<double>("expanded");
        QTest::addColumn<double>("relative");
        const int kPa = kilopascalIndex;
        const int MPa = megapascalIndex;
        QTest::newRow("range moved") << 200.0 << 1000.0 << 1 << kPa << 0.0 << 1000.0 << 1 << 0.321736 << 0.0402169;
        QTest::newRow("range narrowed") << -100.0 << 900.0 << 1 << kPa << -100.0 << 400.0 << 1 << 0.402169 << 0.0402169;
        QTest::newRow("unit") << 200.0 << 1000.0 << 1 << MPa << 0.2 << 1.0 << 1 << 0.321736 << 0.0402169;
        QTest::newRow("output") << 100.0 << 600.0 << 0 << kPa << 100.0 << 600.0 << 1 << 0.210844 << 0.0421688;
        QTest::newRow("output and range") << 250.0 << 750.0 << 1 << kPa << 100.0 << 600.0 << 0 << 0.201085 << 0.0402169;
        QTest::newRow("unit and range") << 100.0 << 600.0 << 0 << MPa << 0.1 << 1.1 << 0 << 0.210844 << 0.0421688;
    }
    void groupKeepsTheRangeItWasMeasuredWith()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(int, outputType);
        QFETCH(int, appliedUnit);
        QFETCH(double, appliedLow);
        QFETCH(double, appliedHigh);
        QFETCH(int, appliedOutputType);
        QFETCH(double, expanded);
        QFETCH(double, relative);
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        DeviceZFN& device = bench.device();
        device.verificationSettings()->groupPointCount = 3;
        device.verificationSettings()->etalonDelta = 0.06;
        QVERIFY(startPolling(bench, 10, "500", 0, Sensor{low, high, quint8(outputType)}));
        // The group is processed in this thread; it must not take its queued work before the row is applied.
        QSemaphore full;
        connect(&device, &DeviceZFN::groupAdded, &device, [&full] { full.release(); }, Qt::DirectConnection);
        device.addGroupResult();
        QVERIFY(full.tryAcquire(1, BoundedWait::stepMs));
        {
            QMutexLocker lock(device.mutex());
            ChannelRecord& channel = *device.currentChannel();
            channel.unit = quint8(appliedUnit);
            channel.rangeLow = appliedLow;
            channel.rangeHigh = appliedHigh;
            channel.outputType = quint8(appliedOutputType);
            channel.updateOutputRange();
        }
        ResultsModel& results = *device.resultsModel();
        QVERIFY(BoundedWait::until([&] { return results.rowCount() == 3 && results.record(2)->expandedSet; }));
        device.stopPoll();
        for (int row = 0; row < 3; ++row) {
            const ResultRecord& r = *results.record(row);
            QVERIFY2(qAbs(r.expanded - expanded) < 1e-6, qPrintable(QString::number(r.expanded, 'g', 9)));
            QVERIFY2(qAbs(r.expandedRelative - relative) < 1e-7, qPrintable(QString::number(r.expandedRelative, 'g', 9)));
        }
        QVERIFY(bench.popUps().isEmpty());
    }

    // A group asked for while the loop is reporting its end, by a stop or a silent calibrator, is
    // ended at once: no later cycle or stop would end it, and the overlay would stay.
    void groupAskedForAsPollingEndsIsEnded_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("stop") << false;
        QTest::newRow("silent calibrator") << true;
    }
    void groupAskedForAsPollingEndsIsEnded()
    {
        QFETCH(bool, silent);
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        DeviceZFN& device = bench.device();
        device.setExchangeTimeout(100);
        QVERIFY(startPolling(bench, 10));
        QSemaphore release;
        std::atomic<bool> reporting{false};
        connect(&device, &DeviceZFN::poolFullyStoped, &device, [&] {
            if (!reporting.exchange(true))
                release.acquire();
        }, Qt::DirectConnection);
        QueuedSpy locked(&device, &DeviceZFN::lockInteface);
        QueuedSpy unlocked(&device, &DeviceZFN::unlockInteface);
        if (silent)
            bench.emulator().setSilent(true);
        else
            device.pollController()->pollThread->requestStop();
        QVERIFY(BoundedWait::until([&] { return reporting.load(); }));
        device.addGroupResult();
        release.release();
        QVERIFY(BoundedWait::threadEnds(*device.pollController()->pollThread));
        QTRY_COMPARE(locked.count(), 1);
        QTRY_COMPARE(unlocked.count(), 1);
        QCOMPARE(device.resultsModel()->rowCount(), 0);
    }

    void archiveFramesReplaceTheResults()
    {
        DeviceTestBench bench;
        DeviceZFN& device = bench.device();
        ChannelRecord& channel = *device.currentChannel();
        channel.outputType = 1;
        channel.updateOutputRange();
        channel.rangeHigh = 1000;
        channel.allowedError = 0.25;
        ResultsModel& results = *device.resultsModel();
        results.append(ResultRecord());
        results.append(ResultRecord());

        ArchiveModel& archive = *device.archiveModel();
        const QByteArray measuredOverHart = ArchiveFrameBuilder::withHart(
            ArchiveFrameBuilder::measurement(megapascalCode, 0.2f, 0.21f, 0.5f, 777), 0.199f, -0.05f);
        archive.append(ArchiveTestData::record(ArchiveFrameBuilder::measurement(kilopascalCode, 100, 100.25f, 0.025f, 777), 0));
        archive.append(ArchiveTestData::record(measuredOverHart, 1));
        archive.append(ArchiveTestData::record(ArchiveFrameBuilder::measurement(kilopascalCode, 300, 299, -0.1f, 777), 2));
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(&archive);
        QueuedSpy serial(&device, &DeviceZFN::archiveSerialFound);

        device.setArchiveProxy(&proxy);
        device.setArchiveSelectedOnly(false);
        device.addArchiveFramesToResults();
        QCOMPARE(references(results), QList<double>({100, 0.2, 300}));
        QCOMPARE(results.record(0)->number, 1);
        QCOMPARE(results.record(2)->number, 3);
        QCOMPARE(groups(results), QList<int>({1, 1, 1}));
        const ResultRecord& overHart = *results.record(1);
        QCOMPARE(QList<double>({double(overHart.kind), double(overHart.unit), overHart.measured, overHart.error}),
                 QList<double>({1, 2, 0.199, -0.05}));
        const ResultRecord& plain = *results.record(0);
        QCOMPARE(QList<double>({double(plain.kind), plain.measured, plain.error, plain.allowedError, plain.expectedCurrent}),
                 QList<double>({0, 100.25, 0.025, 0.25, channel.expectedOutput(100)}));
        QVERIFY(plain.referenceFromDevice && !plain.hasCurrent && std::isnan(plain.current));
        QTRY_COMPARE(serial.count(), 1);
        QCOMPARE(serial.last().at(0).toUInt(), 777u);

        device.setArchiveSelectedRows({2, 0, 3, 9});
        device.setArchiveSelectedOnly(true);
        device.addArchiveFramesToResults();
        QCOMPARE(references(results), QList<double>({300, 100}));
        QCOMPARE(results.record(1)->number, 2);
        QTRY_COMPARE(serial.count(), 2);
        QCOMPARE(serial.last().at(0).toUInt(), 777u);

        archive.append(ArchiveTestData::record(ArchiveFrameBuilder::measurement(kilopascalCode, 5, 5, 0, 778), 3));
        device.setArchiveSelectedOnly(false);
        device.addArchiveFramesToResults();
        QCOMPARE(results.rowCount(), 4);
        QTRY_COMPARE(serial.count(), 2);
    }
};

QTEST_MAIN(TestResultsCollection)
#include "test_results_collection.moc"
