#include "AsciiUail.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "QueuedSpy.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>

namespace {

bool runSearch(DeviceZFN& device, int first, int last)
{
    QueuedSpy finished(&device, &DeviceZFN::searchFinished);
    device.startSearch(first, last);
    return finished.wait(20000);
}

QStringList foundPorts()
{
    QStringList names;
    for (const DeviceInfo& found : g_foundDevices)
        names << found.port.name + ' ' + found.modelName + ' ' + QString::number(found.address);
    return names;
}

}  // namespace

// Search, connection, release and the plain exchanges over emulated calibrators.
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

    void onePortOneCalibratorConnectAndRelease()
    {
        DeviceTestBench bench;
        bench.emulator().setAddress(3);
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QueuedSpy unlocked(&bench.device(), &DeviceZFN::unlockInteface);
        QueuedSpy locked(&bench.device(), &DeviceZFN::lockInteface);
        QVERIFY(runSearch(bench.device(), 0, 0));
        QCOMPARE(foundPorts(), QStringList({"COM1 ЗФН-020 3"}));
        QCOMPARE(g_foundDevices.at(0).type, quint8(70));
        QCOMPARE(g_foundDevices.at(0).familyName, QString("ЗФН"));
        QCOMPARE(progress.firstInts(), QList<int>({100}));
        QTRY_COMPARE(locked.count(), 1);
        QCOMPARE(locked.at(0).at(0).value<quint8>(), quint8(0));
        QTRY_COMPARE(unlocked.count(), 1);
        QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
        QCOMPARE(bench.emulator().requests().at(0).frame, QByteArray("\xFF:0;0;14891\r\xFF"));

        // The start frame for the found address, the release frame before a new search and on a
        // connect to no calibrator, and nothing connected outside the list.
        QueuedSpy type(&bench.device(), &DeviceZFN::setDeviceType);
        QueuedSpy connected(&bench.device(), &DeviceZFN::deviceConnected);
        bench.emulator().clearRequests();
        bench.device().connectToDevice(0);
        QVERIFY(bench.device().isConnected() && bench.emulator().isSessionOpen());
        QTRY_COMPARE(type.count(), 1);
        QCOMPARE(type.at(0).at(0).toInt(), 70);
        QTRY_COMPARE(connected.count(), 1);
        QCOMPARE(bench.device().deviceName(), QString("ЗФН"));
        QCOMPARE(bench.emulator().requests().size(), 1);
        QCOMPARE(bench.emulator().requests().at(0).frame, AsciiUail::makePackage("11;1;0;1;1", 3));
        bench.emulator().setValue("5", "12.0");
        QVERIFY(bench.device().readValues(5));
        QCOMPARE(bench.emulator().requests().last().address, 3);

        bench.emulator().clearRequests();
        QVERIFY(runSearch(bench.device(), 0, 0));
        QCOMPARE(bench.emulator().requests().at(0).frame, AsciiUail::makePackage("11;200;0;1;200", 3));
        QVERIFY(!bench.device().isConnected());
        QCOMPARE(bench.device().foundDeviceIndex(), -1);

        bench.device().connectToDevice(0);
        QVERIFY(bench.device().isConnected());
        bench.emulator().clearRequests();
        bench.device().connectToDevice(-1);
        QVERIFY(!bench.device().isConnected() && !bench.emulator().isSessionOpen());
        QCOMPARE(emulatorCommands(bench.emulator()), QStringList({"11;200;0;1;200"}));
        bench.device().connectToDevice(1);
        QVERIFY(!bench.device().isConnected() && !bench.device().connectedDevice());
        QCOMPARE(bench.device().foundDeviceIndex(), -1);
        QTRY_COMPARE(connected.count(), 2);
    }

    // A range of mixed ports, searched whole, to its first calibrator, and its first port only.
    void rangeOfMixedPorts()
    {
        DeviceTestBench bench(4);
        bench.emulator(0).setDeviceType(91);
        bench.emulator(1).setSilent(true);
        bench.emulator(2).setDeviceType(90);
        bench.emulator(2).setAddress(7);
        bench.device().setFlag(DeviceZFN::SearchPortRange, true);
        QueuedSpy progress(&bench.device(), &DeviceZFN::sendProgress);
        QVERIFY(runSearch(bench.device(), 0, 3));
        QCOMPARE(progress.firstInts(), QList<int>({25, 50, 75, 100}));
        QCOMPARE(foundPorts(), QStringList({"COM1 ЛМВ-160 1", "COM3 ЗФН-030 7", "COM4 ЗФН-020 1"}));
        QCOMPARE(g_foundDevices.at(0).familyName, QString("ЛМВ"));

        // With the first-only option the search ends at the first calibrator.
        bench.device().setFlag(DeviceZFN::SearchFirstOnly, true);
        QCOMPARE(bench.device().getFlag(DeviceZFN::SearchFirstOnly), QVariant(true));
        progress.clear();
        const int lastPortRequests = bench.emulator(3).requestCount();
        QVERIFY(runSearch(bench.device(), 1, 3));
        QCOMPARE(foundPorts(), QStringList({"COM3 ЗФН-030 7"}));
        QCOMPARE(progress.firstInts(), QList<int>({33}));
        QCOMPARE(bench.emulator(3).requestCount(), lastPortRequests);
        bench.device().setFlag(DeviceZFN::SearchFirstOnly, false);

        // Without the range option only the first port of the range is scanned.
        bench.device().setFlag(DeviceZFN::SearchPortRange, false);
        progress.clear();
        QVERIFY(runSearch(bench.device(), 2, 3));
        QCOMPARE(foundPorts(), QStringList({"COM3 ЗФН-030 7"}));
        QCOMPARE(progress.firstInts(), QList<int>({100}));
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
        QCOMPARE(bench.emulator(1).requestCount() + bench.emulator(2).requestCount(), 0);

        bench.emulator(1).setSilent(false);
        bench.device().setFlag(DeviceZFN::SearchPortRange, false);
        QVERIFY(runSearch(bench.device(), 1, 1));
        QCOMPARE(g_foundDevices.size(), 1);
    }

    void badRepliesAndEmptyRangesAddNothing()
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

        progress.clear();
        const int before = bench.emulator(0).requestCount();
        QVERIFY(runSearch(bench.device(), 5, 9));
        QVERIFY(g_foundDevices.isEmpty() && progress.isEmpty());
        QCOMPARE(bench.emulator(0).requestCount(), before);
    }

    // A refused start frame leaves no connection; once connected, registers and values are read and written.
    void connectionAndExchanges()
    {
        DeviceTestBench bench;
        QueuedSpy connected(&bench.device(), &DeviceZFN::deviceConnected);
        QVERIFY(!bench.device().checkConnection());
        QCOMPARE(bench.popUps(), QStringList({"Калибратор не подключен."}));
        bench.emulator().setStatusReply("11;1;0;1;1", 3);
        QVERIFY(!bench.connectTo(0));
        QTRY_COMPARE(connected.count(), 0);
        QCOMPARE(bench.device().foundDeviceIndex(), -1);
        QTRY_COMPARE(bench.popUps().last(), QString("Ошибка при подключении!"));

        bench.emulator().clearStatusReplies();
        QueuedSpy status(&bench.device(), &DeviceZFN::showStatusMessageSignal);
        QVERIFY(bench.connectTo(0));
        QVERIFY(bench.device().checkConnection());
        QCOMPARE(status.last().at(0).toString(), QString("ЗФН на связи."));
        bench.emulator().setRegister(16, 2, "00112233445566778899AABBCCDDEEFF");
        bench.emulator().setValue("5", "12.345");
        bench.emulator().clearRequests();
        QByteArray out;
        QVERIFY(bench.device().readRegisters(out, 16, 2, 4));
        QCOMPARE(out.left(32), QByteArray("00112233445566778899AABBCCDDEEFF"));
        QVERIFY(bench.device().readValuesTo(out, 5));
        QCOMPARE(out, QByteArray("12.345"));
        QVERIFY(bench.device().writeRegisters(out, 274, 0, 1, QByteArray("1\0garbage", 9)));
        QCOMPARE(out, QByteArray("$0"));
        QCOMPARE(bench.emulator().registerText(274, 0), QByteArray("1"));
        QCOMPARE(emulatorCommands(bench.emulator()), QStringList({"10;16;2;4", "1;5", "11;274;0;1;1"}));

        // At the real byte time, after an echo, the reply trickles in; it is taken as soon as it is whole.
        bench.emulator().setEcho(true);
        bench.emulator().setPaced(true);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(bench.device().readValues(5));
        QVERIFY2(timer.elapsed() < 450, "the exchange waited for silence after a paced reply");
        QCOMPARE(bench.device().lastReply(), QByteArray("12.345"));

        // Leaving releases the calibrator.
        bench.destroyDevice();
        QVERIFY(!bench.emulator().isSessionOpen());
        QCOMPARE(bench.emulator().requests().last().command, QString("11;200;0;1;200"));
    }

    void vanishedPortFailsQuickly()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        // A path no other test's emulator can be given, unlike the freed pseudo-terminal's.
        bench.device().serialPort()->setPortName("/dev/zfn-unplugged");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!bench.device().readValues(1));
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(bench.device().lastExchangeStatus(), DeviceZFN::ExchangeStatus::NoAnswer);
        QVERIFY(!bench.device().serialPort()->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
