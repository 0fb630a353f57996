#include "AsciiUail.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "QueuedSpy.h"
#include "PollController.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

class TestExchange : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void sessionFramesAreExact()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        QVERIFY(bench.emulator().isSessionOpen());
        QCOMPARE(bench.emulator().requests().at(0).frame, QByteArray("\xFF:1;11;1;0;1;1;43755\r\xFF"));
        bench.device().releaseDevice();
        QVERIFY(bench.emulator().waitForRequests(2, 2000));
        QCOMPARE(bench.emulator().requests().at(1).frame, QByteArray("\xFF:1;11;200;0;1;200;19630\r\xFF"));
        QVERIFY(!bench.device().isConnected());
        QVERIFY(!bench.emulator().isSessionOpen());
    }

    void readsAndWritesRegistersAndValues()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
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
        QCOMPARE(bench.emulator().requests().at(0).frame, AsciiUail::makePackage("10;16;2;4", 1));
    }

    // At the real byte time, after an echo, the reply trickles in; it is taken as soon as it is whole.
    void pacedReplyIsTakenWhenWhole()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        bench.emulator().setValue("1", "101.325");
        bench.emulator().setEcho(true);
        bench.emulator().setPaced(true);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(bench.device().readValues(1));
        QVERIFY2(timer.elapsed() < 450, "the exchange waited for silence after a paced reply");
        QCOMPARE(bench.device().lastReply(), QByteArray("101.325"));
    }

    void calibratorAtAnotherAddress()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0, 7, 91));
        QCOMPARE(bench.emulator().requests().at(0).frame, AsciiUail::makePackage("11;1;0;1;1", 7));
        bench.emulator().setValue("5", "20.000");
        QVERIFY(bench.device().readValues(5));
        QCOMPARE(bench.emulator().requests().last().address, 7);
        QCOMPARE(bench.device().deviceName(), QString("ЛМВ"));
    }

    void refusedStartFrameLeavesNoConnection()
    {
        DeviceTestBench bench;
        QueuedSpy connected(&bench.device(), &DeviceZFN::deviceConnected);
        bench.emulator().setStatusReply("11;1;0;1;1", 3);
        QVERIFY(!bench.connectTo(0));
        QTRY_COMPARE(connected.count(), 0);
        QCOMPARE(bench.device().foundDeviceIndex(), -1);
        QTRY_COMPARE(bench.popUps(), QStringList({"Ошибка при подключении!"}));
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
        QCOMPARE(bench.device().serialPort()->isOpen(), false);
    }

    void destructionSendsReleaseFrame()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        CalibratorEmulator& emulator = bench.emulator();
        QVERIFY(emulator.isSessionOpen());
        bench.destroyDevice();
        QVERIFY(!emulator.isSessionOpen());
        QCOMPARE(emulator.requests().last().command, QString("11;200;0;1;200"));
    }

    void checkConnectionTellsTheUser()
    {
        DeviceTestBench bench;
        QueuedSpy status(&bench.device(), &DeviceZFN::showStatusMessageSignal);
        QVERIFY(!bench.device().checkConnection());
        QCOMPARE(bench.popUps(), QStringList({"Калибратор не подключен."}));
        QVERIFY(bench.connectTo(0));
        QVERIFY(bench.device().checkConnection());
        QCOMPARE(status.last().at(0).toString(), QString("ЗФН на связи."));
        QCOMPARE(bench.popUps().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "test_exchange.moc"
