#include "AsciiUail.h"
#include "BoundedWait.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "ExchangeLogHook.h"
#include "PollController.h"
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
    return finished.wait(BoundedWait::jobMs);
}

QStringList foundPorts()
{
    QStringList names;
    for (const DeviceInfo& found : g_foundDevices)
        names << found.port.name + ' ' + found.modelName + ' ' + QString::number(found.address);
    return names;
}

// One search over the mixed ports: the options, the range, what is found, the progress and which
// emulated ports were asked.
struct Search
{
    const char* name;
    bool range;
    bool firstOnly;
    int first;
    int last;
    QStringList found;
    QList<int> progress;
    QList<int> asked;
};

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

    // COM1..COM6 are a ЛМВ-160, a silent port, a ЗФН-030 at address 7, a ЗФН-020, a device of an
    // unknown type and one whose replies fail their check; COM7 does not exist.
    void searchesOverMixedPorts()
    {
        DeviceTestBench bench(6);
        bench.emulator(0).setDeviceType(91);
        bench.emulator(1).setSilent(true);
        bench.emulator(2).setDeviceType(90);
        bench.emulator(2).setAddress(7);
        bench.emulator(4).setDeviceType(55);
        bench.emulator(5).setBadCheckReplies(-1);
        bench.publishPorts({"COM7=/nonexistent/port"});
        DeviceZFN& device = bench.device();
        const QStringList all{"COM1 ЛМВ-160 1", "COM3 ЗФН-030 7", "COM4 ЗФН-020 1"};
        const Search searches[] = {
            {"whole range", true, false, 0, 3, all, {25, 50, 75, 100}, {0, 1, 2, 3}},
            {"to the first calibrator", true, true, 1, 3, {all.at(1)}, {33}, {1, 2}},
            {"first port without the range option", false, false, 2, 3, {all.at(1)}, {100}, {2}},
            {"bad replies and a missing port", true, false, 4, 6, {}, {33, 66, 100}, {4, 5}},
            {"range past the list", true, false, 8, 9, {}, {}, {}},
        };
        for (const Search& search : searches) {
            device.setFlag(DeviceZFN::SearchPortRange, search.range);
            device.setFlag(DeviceZFN::SearchFirstOnly, search.firstOnly);
            QueuedSpy progress(&device, &DeviceZFN::sendProgress);
            QueuedSpy locked(&device, &DeviceZFN::lockInteface);
            QueuedSpy unlocked(&device, &DeviceZFN::unlockInteface);
            for (int i = 0; i < 6; ++i)
                bench.emulator(i).clearRequests();
            if (search.first == 4) {
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("unknown device type"));
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("wrong package"));
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("port open error"));
            }
            QVERIFY2(runSearch(device, search.first, search.last), search.name);
            QCOMPARE(foundPorts(), search.found);
            QCOMPARE(progress.firstInts(), search.progress);
            QList<int> asked;
            for (int i = 0; i < 6; ++i) {
                if (bench.emulator(i).requestCount() == 0)
                    continue;
                asked << i;
                QCOMPARE(bench.emulator(i).requests().at(0).frame, QByteArray("\xFF:0;0;14891\r\xFF"));
            }
            QCOMPARE(asked, search.asked);
            QTRY_COMPARE(locked.firstInts(), QList<int>({0}));
            QTRY_COMPARE(unlocked.count(), 1);
            QCOMPARE(device.serialPort()->thread(), device.thread());
        }

        // COM2 now answers, slowly: the reply to an identify cut there may come long after the cut.
        // Its identify wait outlasts the reply however loaded the machine.
        constexpr qint64 slowReplyMs = 3000;
        device.link()->timing().identifyTimeoutMs = BoundedWait::stepMs;
        bench.emulator(1).setSilent(false);
        bench.emulator(1).setReplyDelayMs(int(slowReplyMs));
        QVERIFY(runSearch(device, 1, 1));
        QCOMPARE(foundPorts(), QStringList({"COM2 ЗФН-020 1"}));
        // A stop cuts the identify wait of the slow port: its reply is not waited for, and no more
        // ports are asked.
        device.setFlag(DeviceZFN::SearchPortRange, true);
        device.setFlag(DeviceZFN::SearchFirstOnly, false);
        bench.emulator(1).clearRequests();
        bench.emulator(2).clearRequests();
        QueuedSpy finished(&device, &DeviceZFN::searchFinished);
        device.startSearch(1, 3);
        QVERIFY(bench.emulator(1).waitForRequests(1, BoundedWait::stepMs));
        device.stopSearch();
        QVERIFY(finished.wait());
        QCOMPARE(foundPorts(), QStringList());
        QCOMPARE(bench.emulator(2).requestCount(), 0);
        // The cut identify may yet be answered on its own port only: another port is asked before
        // that reply comes.
        QVERIFY(runSearch(device, 2, 2));
        QCOMPARE(foundPorts(), QStringList({all.at(1)}));
        const qint64 lateReplyUs = bench.emulator(1).requests().at(0).timeUs + slowReplyMs * 1000;
        QVERIFY(bench.emulator(2).requests().at(0).timeUs < lateReplyUs);
        // Its own port lets the late reply pass first.
        QVERIFY(runSearch(device, 1, 1));
        QCOMPARE(foundPorts(), QStringList({"COM2 ЗФН-020 1"}));
    }

    void searchCutAtFirstContact_data()
    {
        QTest::addColumn<int>("replyDelayMs");
        QTest::newRow("400 ms turnaround") << 400;
        QTest::newRow("800 ms turnaround") << 800;
    }

    // A search cut halfway through a slow calibrator's first identify, then a search at once: the
    // cut identify's reply meets the closed port and is lost, so the next identify leaves at the cut
    // one's deadline; the calibrator is found by its own reply, connected by its own acknowledgement,
    // and every read after that gets its own value.
    void searchCutAtFirstContact()
    {
        QFETCH(int, replyDelayMs);
        DeviceTestBench bench;
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setLoseWhileClosed(true);
        emulator.setReplyDelayMs(replyDelayMs);
        emulator.setValue("1", "101.325");
        emulator.setValue("5", "12.5");
        DeviceZFN& device = bench.device();
        QueuedSpy finished(&device, &DeviceZFN::searchFinished);
        device.startSearch(0, 0);
        QVERIFY(emulator.waitForRequests(1, BoundedWait::stepMs));
        QTest::qWait(replyDelayMs / 2);
        device.stopSearch();
        QVERIFY(finished.wait());
        QVERIFY(runSearch(device, 0, 0));
        QCOMPARE(foundPorts(), QStringList({"COM1 ЗФН-020 1"}));
        device.connectToDevice(0);
        QVERIFY(device.isConnected());
        QCOMPARE(bench.readValues({1, 5, 1}), QStringList({"101.325", "12.5", "101.325"}));
        QCOMPARE(bench.popUps(), QStringList());
    }

    // A refused start frame leaves no connection. A found calibrator is connected with the start
    // frame for its address, spoken to at that address, and released before a new search, on a
    // connect to no calibrator and when the device object goes. An address takes a whole byte.
    void connectExchangeAndRelease_data()
    {
        QTest::addColumn<int>("address");
        QTest::newRow("address 3") << 3;
        QTest::newRow("address above 15") << 29;
        QTest::newRow("address above 127") << 200;
    }
    void connectExchangeAndRelease()
    {
        QFETCH(int, address);
        const auto addressed = [address](const QString& command) {
            return AsciiUail::makePackage(command, quint8(address));
        };
        DeviceTestBench bench;
        DeviceZFN& device = bench.device();
        QueuedSpy connected(&device, &DeviceZFN::deviceConnected);
        QVERIFY(!device.checkConnection());
        QCOMPARE(bench.popUps(), QStringList({"Калибратор не подключен."}));
        bench.emulator().setStatusReply("11;1;0;1;1", 3);
        // A failed connect says why, with the pop-ups and status texts it gave.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^not connected; pop-ups: .*Ошибка при подключении! ; "
                                                              "status texts: .*Ошибка при подключении!$"));
        QVERIFY(!bench.connectTo(0));
        QTRY_COMPARE(bench.popUps().last(), QString("Ошибка при подключении!"));
        QCOMPARE(connected.count(), 0);
        QCOMPARE(device.foundDeviceIndex(), -1);
        bench.emulator().clearStatusReplies();

        bench.emulator().setAddress(address);
        QVERIFY(runSearch(device, 0, 0));
        QCOMPARE(foundPorts(), QStringList({"COM1 ЗФН-020 " + QString::number(address)}));
        QCOMPARE(g_foundDevices.at(0).familyName, QString("ЗФН"));
        QueuedSpy type(&device, &DeviceZFN::setDeviceType);
        QueuedSpy status(&device, &DeviceZFN::showStatusMessageSignal);
        bench.emulator().clearRequests();
        device.connectToDevice(0);
        QVERIFY(device.isConnected() && bench.emulator().isSessionOpen() && device.checkConnection());
        QTRY_COMPARE(type.firstInts(), QList<int>({70}));
        QTRY_COMPARE(connected.count(), 1);
        QCOMPARE(status.last().at(0).toString(), QString("ЗФН на связи."));
        QCOMPARE(device.deviceName(), QString("ЗФН"));
        QCOMPARE(bench.emulator().requests().at(0).frame, addressed("11;1;0;1;1"));

        bench.emulator().setRegister(16, 2, "00112233445566778899AABBCCDDEEFF");
        bench.emulator().setValue("5", "12.345");
        bench.emulator().clearRequests();
        QByteArray out;
        QVERIFY(device.readRegisters(out, 16, 2, 4));
        QCOMPARE(out.left(32), QByteArray("00112233445566778899AABBCCDDEEFF"));
        QVERIFY(device.readValuesTo(out, 5));
        QCOMPARE(out, QByteArray("12.345"));
        QVERIFY(device.writeRegisters(out, 274, 0, 1, QByteArray("1\0garbage", 9)));
        QCOMPARE(out, QByteArray("$0"));
        QCOMPARE(bench.emulator().registerText(274, 0), QByteArray("1"));
        QCOMPARE(emulatorCommands(bench.emulator()), QStringList({"10;16;2;4", "1;5", "11;274;0;1;1"}));
        QCOMPARE(bench.emulator().requests().last().address, address);

        // At the real byte time, after an echo, the reply trickles in; it is taken as soon as it is
        // whole, never after a wait for silence, which is made longer than any loaded machine's delay.
        bench.emulator().setEcho(true);
        bench.emulator().setPaced(true);
        CalibratorLink::Timing& timing = device.link()->timing();
        const CalibratorLink::Timing usual = timing;
        const int usualTimeoutMs = device.pollController()->exchangeTimeoutMs;
        timing.pieceWaitMs = timing.secondChanceMs = BoundedWait::stepMs;
        device.setExchangeTimeout(BoundedWait::jobMs);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(device.readValues(5));
        QVERIFY2(timer.elapsed() < BoundedWait::stepMs, "the exchange waited for silence after a paced reply");
        timing = usual;
        device.setExchangeTimeout(usualTimeoutMs);
        QCOMPARE(device.lastReply(), QByteArray("12.345"));
        bench.emulator().setEcho(false);
        bench.emulator().setPaced(false);

        bench.emulator().clearRequests();
        QVERIFY(runSearch(device, 0, 0));
        QCOMPARE(bench.emulator().requests().at(0).frame, addressed("11;200;0;1;200"));
        QVERIFY(!device.isConnected());
        QCOMPARE(device.foundDeviceIndex(), -1);

        device.connectToDevice(0);
        QVERIFY(device.isConnected());
        bench.emulator().clearRequests();
        device.connectToDevice(-1);
        QVERIFY(!device.isConnected());
        // The release frame has no reply to wait for: the emulator may read it after the call returns.
        QVERIFY(BoundedWait::until([&] { return !bench.emulator().isSessionOpen(); }));
        QCOMPARE(emulatorCommands(bench.emulator()), QStringList({"11;200;0;1;200"}));
        device.connectToDevice(1);
        QVERIFY(!device.isConnected() && !device.connectedDevice());
        QCOMPARE(device.foundDeviceIndex(), -1);

        device.connectToDevice(0);
        bench.destroyDevice();
        QVERIFY(BoundedWait::until([&] { return !bench.emulator().isSessionOpen(); }));
        QCOMPARE(bench.emulator().requests().last().command, QString("11;200;0;1;200"));
    }

    // Connected while the calibrator answers in 400 ms, it then turns slower than that: a search
    // waits for the release's acknowledgement before it asks, and finds the calibrator by its own
    // reply.
    void searchAfterASlowerRelease()
    {
        DeviceTestBench bench;
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setLoseWhileClosed(true);
        emulator.setDeviceType(90);
        emulator.setReplyDelayMs(400);
        DeviceZFN& device = bench.device();
        QVERIFY(bench.connectTo(0, 1, 90));
        QCOMPARE(bench.readValues({1}), QStringList({"$2"}));
        emulator.setReplyDelayMs(800);
        QVERIFY(runSearch(device, 0, 0));
        QCOMPARE(foundPorts(), QStringList({"COM1 ЗФН-030 1"}));
        QCOMPARE(emulatorCommands(emulator).mid(emulatorCommands(emulator).lastIndexOf("11;200;0;1;200")),
                 QStringList({"11;200;0;1;200", "0"}));
    }

    // A line that kept 4 KB of babble while nobody held the port: the search reads it all before
    // it asks, and takes the calibrator's reply after it.
    void searchAfterKeptBabble()
    {
        DeviceTestBench bench;
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setBabbling(true);
        QVERIFY(BoundedWait::until([&] { return emulator.babbledBytes() >= 4096; }));
        emulator.setBabbling(false);
        emulator.setReplyDelayMs(100);
        QVERIFY(runSearch(bench.device(), 0, 0));
        QCOMPARE(foundPorts(), QStringList({"COM1 ЗФН-020 1"}));
    }

    void quitDuringTheSession_data()
    {
        QTest::addColumn<QString>("cut");
        QTest::newRow("start frame") << "11;1;0;1;1";
        QTest::newRow("release's acknowledgement") << "11;200;0;1;200";
    }

    // The program leaves while the calibrator takes its time over the start or the release frame:
    // the wait ends at once, and the calibrator, which the start frame may have reached, gets one
    // release frame.
    void quitDuringTheSession()
    {
        QFETCH(QString, cut);
        DeviceTestBench bench;
        CalibratorEmulator& emulator = bench.emulator();
        DeviceZFN& device = bench.device();
        QVERIFY(runSearch(device, 0, 0));
        if (cut.startsWith("11;200")) {
            device.connectToDevice(0);
            QVERIFY(device.isConnected());
        }
        const int replyDelayMs = 3000;
        emulator.setCommandDelayMs(cut, replyDelayMs);
        emulator.setRequestObserver([&](const EmulatorRequest& request) {
            if (request.command == cut)
                device.cutExchangesForExit();
        });
        QElapsedTimer timer;
        timer.start();
        device.connectToDevice(cut.startsWith("11;1;") ? 0 : -1);
        QVERIFY2(timer.elapsed() < replyDelayMs / 2, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!device.isConnected());
        bench.destroyDevice();
        emulator.setRequestObserver({});
        QVERIFY(BoundedWait::until([&] { return !emulator.isSessionOpen(); }));
        QCOMPARE(emulatorCommands(emulator).count("11;200;0;1;200"), 1);
    }

    void quitWhileTheReleaseWaits_data()
    {
        QTest::addColumn<bool>("owedReply");
        QTest::addColumn<bool>("search");
        for (const bool owedReply : {true, false})
            for (const bool search : {false, true})
                QTest::addRow("%s, %s", owedReply ? "owed reply" : "acknowledgement",
                              search ? "search" : "connect to another")
                    << owedReply << search;
    }

    // The program leaves while the release of the calibrator in session waits, for the reply a cut
    // HART operation owes or for its own acknowledgement, before a connect to another calibrator or
    // a search: the wait ends at once, the connected calibrator gets one release frame, and the
    // other calibrator is not asked.
    void quitWhileTheReleaseWaits()
    {
        QFETCH(bool, owedReply);
        QFETCH(bool, search);
        const int replyDelayMs = 4000;
        DeviceTestBench bench(2);
        DeviceZFN& device = bench.device();
        QVERIFY(bench.connectWithTransmitter());
        g_foundDevices.append(DeviceInfo(g_portList.at(1), 1, 70));
        if (owedReply)
            QVERIFY(bench.cutSlowPassThrough(replyDelayMs));
        else
            bench.emulator(0).setCommandDelayMs("11;200", replyDelayMs);
        bench.emulator(0).clearRequests();
        QElapsedTimer timer;
        {
            const ExchangeLogHook quit(device, "OWED", [&device] { device.cutExchangesForExit(); });
            timer.start();
            if (search)
                device.startSearch(0, 1);
            else
                device.connectToDevice(1);
        }
        QVERIFY2(timer.elapsed() < replyDelayMs / 2, qPrintable(QString::number(timer.elapsed())));
        bench.destroyDevice();
        // A calibrator still busy with the cut operation reads the release frame after it.
        QVERIFY(bench.emulator(0).waitForRequests(1, BoundedWait::stepMs));
        QCOMPARE(emulatorCommands(bench.emulator(0)), QStringList{"11;200;0;1;200"});
        QCOMPARE(emulatorCommands(bench.emulator(1)), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
