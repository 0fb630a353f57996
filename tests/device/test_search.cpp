#include "AsciiUail.h"
#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "PollController.h"
#include "TestEnvironment.h"

#include <QSerialPort>
#include <QElapsedTimer>
#include <QtTest>

namespace {

bool runSearch(DeviceZFN& device, int first, int last)
{
    QueuedSpy finished(&device, &DeviceZFN::searchFinished);
    device.startSearch(first, last);
    return finished.wait(20000);
}

}  // namespace

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void portOrderAndList()
    {
        QList<PortEntry> ports = PortEntry::parsePortList("COM12=/b;COM3=/a;;broken;COM4=/c;LPT1=/d");
        PortEntry::sortPorts(ports);
        QStringList names;
        for (const PortEntry& port : ports)
            names << port.name;
        QCOMPARE(names, QStringList({"COM3", "COM4", "COM12", "LPT1"}));
        QCOMPARE(ports.at(0).location, QString("/a"));
    }

    void onePortOneCalibrator()
    {
        DeviceTestBench bench;
        bench.emulator().setAddress(3);
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QueuedSpy unlocked(&bench.device(), &DeviceZFN::unlockInteface);
        QueuedSpy locked(&bench.device(), &DeviceZFN::lockInteface);
        QVERIFY(runSearch(bench.device(), 0, 0));
        QCOMPARE(g_foundDevices.size(), 1);
        const DeviceInfo& found = g_foundDevices.at(0);
        QCOMPARE(found.port.name, QString("COM1"));
        QCOMPARE(found.address, quint8(3));
        QCOMPARE(found.type, quint8(70));
        QCOMPARE(found.modelName, QString("ЗФН-020"));
        QCOMPARE(found.familyName, QString("ЗФН"));
        QCOMPARE(progress.firstInts(), QList<int>({100}));
        QTRY_COMPARE(locked.count(), 1);
        QCOMPARE(locked.at(0).at(0).value<quint8>(), quint8(0));
        QTRY_COMPARE(unlocked.count(), 1);
        QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        QCOMPARE(bench.emulator().requests().at(0).frame, QByteArray("\xFF:0;0;14891\r\xFF"));
    }

    void rangeOfMixedPorts()
    {
        DeviceTestBench bench(4);
        bench.emulator(0).setDeviceType(91);
        bench.emulator(1).setSilent(true);
        bench.emulator(2).setDeviceType(90);
        bench.emulator(2).setAddress(7);
        bench.emulator(3).setDeviceType(70);
        bench.device().setFlag(DeviceZFN::SearchPortRange, true);
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QVERIFY(runSearch(bench.device(), 0, 3));
        QCOMPARE(progress.firstInts(), QList<int>({25, 50, 75, 100}));
        QCOMPARE(g_foundDevices.size(), 3);
        QCOMPARE(g_foundDevices.at(0).modelName, QString("ЛМВ-160"));
        QCOMPARE(g_foundDevices.at(0).familyName, QString("ЛМВ"));
        QCOMPARE(g_foundDevices.at(1).port.name, QString("COM3"));
        QCOMPARE(g_foundDevices.at(1).modelName, QString("ЗФН-030"));
        QCOMPARE(g_foundDevices.at(1).address, quint8(7));
        QCOMPARE(g_foundDevices.at(2).port.name, QString("COM4"));

        // Without the range option only the first port of the range is scanned.
        bench.device().setFlag(DeviceZFN::SearchPortRange, false);
        progress.clear();
        QVERIFY(runSearch(bench.device(), 2, 3));
        QCOMPARE(g_foundDevices.size(), 1);
        QCOMPARE(g_foundDevices.at(0).port.name, QString("COM3"));
        QCOMPARE(progress.firstInts(), QList<int>({100}));
    }

    void stopAtFirstDevice()
    {
        DeviceTestBench bench(3);
        bench.emulator(0).setSilent(true);
        bench.device().setFlag(DeviceZFN::SearchPortRange, true);
        bench.device().setFlag(DeviceZFN::SearchFirstOnly, true);
        QCOMPARE(bench.device().getFlag(DeviceZFN::SearchFirstOnly), QVariant(true));
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QVERIFY(runSearch(bench.device(), 0, 2));
        QCOMPARE(g_foundDevices.size(), 1);
        QCOMPARE(g_foundDevices.at(0).port.name, QString("COM2"));
        QCOMPARE(progress.firstInts(), QList<int>({33}));
        QCOMPARE(bench.emulator(2).requestCount(), 0);
    }

    void cancelEndsAtPortBoundary()
    {
        DeviceTestBench bench(3);
        for (int i = 0; i < 3; ++i)
            bench.emulator(i).setSilent(true);
        bench.device().setFlag(DeviceZFN::SearchPortRange, true);
        QueuedSpy finished(&bench.device(), &DeviceZFN::searchFinished);
        bench.device().startSearch(0, 2);
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        bench.device().stopSearch();
        QVERIFY(finished.wait(5000));
        // The identify wait of the silent port is cut, not waited out.
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(bench.emulator(1).requestCount(), 0);
        QCOMPARE(bench.emulator(2).requestCount(), 0);

        bench.emulator(1).setSilent(false);
        bench.device().setFlag(DeviceZFN::SearchPortRange, false);
        QVERIFY(runSearch(bench.device(), 1, 1));
        QCOMPARE(g_foundDevices.size(), 1);
    }

    void badRepliesAddNothing()
    {
        DeviceTestBench bench(2);
        bench.emulator(0).setDeviceType(55);
        bench.emulator(1).setBadCheckReplies(-1);
        bench.publishPorts({"COM3=/nonexistent/port"});
        bench.device().setFlag(DeviceZFN::SearchPortRange, true);
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("unknown device type"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("wrong package"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("port open error"));
        QVERIFY(runSearch(bench.device(), 0, 2));
        QVERIFY(g_foundDevices.isEmpty());
        QCOMPARE(progress.firstInts(), QList<int>({33, 66, 100}));
    }

    void emptyListAndFirstBeyondEnd()
    {
        DeviceTestBench bench;
        bench.device().setFlag(DeviceZFN::SearchPortRange, true);
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QVERIFY(runSearch(bench.device(), 5, 9));
        QVERIFY(g_foundDevices.isEmpty());
        QVERIFY(progress.isEmpty());
        QCOMPARE(bench.emulator().requestCount(), 0);
    }

    void connectReleaseAndNewSearch()
    {
        DeviceTestBench bench;
        bench.emulator().setAddress(7);
        QVERIFY(runSearch(bench.device(), 0, 0));
        QueuedSpy type(&bench.device(), &DeviceZFN::setDeviceType);
        QueuedSpy connected(&bench.device(), &DeviceZFN::deviceConnected);
        bench.emulator().clearRequests();
        bench.device().connectToDevice(0);
        QVERIFY(bench.device().isConnected());
        QTRY_COMPARE(type.count(), 1);
        QCOMPARE(type.at(0).at(0).toInt(), 70);
        QTRY_COMPARE(connected.count(), 1);
        QCOMPARE(bench.device().deviceName(), QString("ЗФН"));
        QCOMPARE(bench.emulator().requests().size(), 1);
        QCOMPARE(bench.emulator().requests().at(0).frame, AsciiUail::makePackage("11;1;0;1;1", 7));

        bench.emulator().setValue("5", "12.0");
        QVERIFY(bench.device().readValues(5));

        // A new search releases the connected calibrator first.
        bench.emulator().clearRequests();
        QVERIFY(runSearch(bench.device(), 0, 0));
        QCOMPARE(bench.emulator().requests().at(0).command, QString("11;200;0;1;200"));
        QVERIFY(!bench.device().isConnected());
        QCOMPARE(bench.device().foundDeviceIndex(), -1);

        bench.device().connectToDevice(0);
        QVERIFY(bench.device().isConnected());
        bench.emulator().clearRequests();
        bench.device().connectToDevice(-1);
        QVERIFY(!bench.device().isConnected());
        QCOMPARE(bench.emulator().requests().at(0).command, QString("11;200;0;1;200"));
        QVERIFY(!bench.emulator().isSessionOpen());
    }

    void connectOutsideTheListConnectsNothing()
    {
        DeviceTestBench bench;
        QVERIFY(runSearch(bench.device(), 0, 0));
        QueuedSpy connected(&bench.device(), &DeviceZFN::deviceConnected);
        bench.device().connectToDevice(1);
        QVERIFY(!bench.device().isConnected());
        QCOMPARE(bench.device().foundDeviceIndex(), -1);
        QVERIFY(!bench.device().connectedDevice());
        QTRY_COMPARE(connected.count(), 0);
    }

    void unknownFlag()
    {
        DeviceTestBench bench;
        QTest::ignoreMessage(QtDebugMsg, "UNKNOWN PARAMETR");
        QCOMPARE(bench.device().getFlag(2), QVariant(0));
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
