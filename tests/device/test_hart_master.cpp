#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartMaster.h"
#include "HartPackedAscii.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TestEnvironment.h"

#include <QtEndian>
#include <cstring>
#include <QtTest>

Q_DECLARE_METATYPE(HartVariant)
Q_DECLARE_METATYPE(HartFault)

namespace {

struct Ending
{
    int algorithm = 0;
    bool succeeded = false;
    HartDeviceData data;
    QString outcome() const { return QString::number(algorithm) + (succeeded ? " ok" : " failed"); }
};

// A connected calibrator with a transmitter behind it, found unless told not to look, and the HART
// waits made short.
class HartRig
{
public:
    explicit HartRig(HartVariant variant = HartVariant::Family, bool look = true)
    {
        if (!bench.connectWithTransmitter(variant) || (look && !device().checkHartConnection(false)))
            qFatal("the emulated calibrator or its transmitter was not found");
        HartMaster::Timing& timing = device().hartMaster()->timing();
        timing.addressRetryMs = 10;
        timing.addressSettleMs = 10;
        timing.factoryResetPauseMs = 10;
        device().pollController()->hartTimeoutMs = 1500;
    }

    DeviceZFN& device() { return bench.device(); }
    HartTransmitter& transmitter() { return bench.emulator().hartTransmitter(); }
    HartDeviceData& edited() { return *device().hartEditedData(); }

    void changeTransmitter(const std::function<void(HartTransmitterState&)>& change)
    {
        HartTransmitterState state = transmitter().state();
        change(state);
        transmitter().setState(state);
    }

    // Runs one operation with its follow-on to the end; the logs start with it.
    Ending run(int algorithm, int mask = 0, bool flag = true)
    {
        transmitter().clearRequests();
        bench.emulator().clearRequests();
        QueuedSpy finished(&device(), &DeviceZFN::sendAlgoritmFinished);
        if (!device().startHartAlgorithm(algorithm, flag, mask) || !finished.wait(30000))
            return {};
        device().waitForWorker();
        QCoreApplication::processEvents();
        const QList<QVariant> end = finished.first();
        return {end.at(0).toInt(), end.at(1).toBool(), end.at(2).value<HartDeviceData>()};
    }

    // Calibrator requests that start with prefix, e.g. "11;" for the writes.
    QStringList calibratorRequests(const QString& prefix)
    {
        QStringList texts;
        for (const EmulatorRequest& request : bench.emulator().requests())
            if (request.command.startsWith(prefix))
                texts << request.command;
        return texts;
    }

    DeviceTestBench bench;
};

float littleEndianFloat(const DeviceSettings& settings, int at)
{
    return qFromLittleEndian<float>(settings.bytes.data() + at);
}

// The two register writes that carry the settings block.
QStringList blockWrites(const DeviceSettings& settings)
{
    const QByteArray bytes(reinterpret_cast<const char*>(settings.bytes.data()), 50);
    return {"11;16;2;4;" + bytes.left(32).toHex().toUpper(), "11;48;2;4;" + bytes.mid(32).toHex().toUpper()};
}

const QString invalidReply = QStringLiteral("Пришла неверная HART посылка!");

}  // namespace

class TestHartMaster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The transmitter is found through values 19 and 20; a new calibrator forgets the old one.
    void connectFindsTheTransmitter()
    {
        HartRig rig(HartVariant::Family, false);
        rig.changeTransmitter([](HartTransmitterState& s) {
            s.manufacturerCode = 0xC6;
            s.pollingAddress = 3;
        });
        QueuedSpy state(&rig.device(), &DeviceZFN::sendHartDeviceConnectionState);
        QVERIFY(rig.device().checkHartConnection(true));
        const HartDeviceData& d = *rig.device().hartData();
        QVERIFY(d.present);
        QCOMPARE(int(d.pollingAddressByte), 0x83);
        QCOMPARE(d.uniqueId, QByteArray::fromHex("8601123456"));
        QCOMPARE(int(d.deviceTypeKey), 0xC601);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.deviceId), 3), QByteArray::fromHex("123456"));
        QTRY_VERIFY(!state.isEmpty());
        QCOMPARE(state.last().at(0).toBool(), true);
        QVERIFY(rig.bench.popUps().isEmpty());

        QVERIFY(rig.bench.connectTo(0));
        QVERIFY(!d.present);
        QVERIFY(d.uniqueId.isEmpty());
    }

    void connectRefusesBadValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("address above 15") << "19" << "16" << "HART устройство не подключено!";
        QTest::newRow("address not a number") << "19" << "3a" << "HART устройство не подключено!";
        QTest::newRow("identity short") << "20" << "1A0112345" << "HART устройство не подключено!";
        QTest::newRow("identity not hex") << "20" << "1A0112345G" << "HART устройство не подключено!";
        QTest::newRow("modem off") << "19" << "$16" << "HART протокол на устройстве не включен.";
    }

    // One message, no transmitter, and nothing sent to it.
    void connectRefusesBadValues()
    {
        QFETCH(QString, value);
        QFETCH(QString, reply);
        QFETCH(QString, message);
        HartRig rig(HartVariant::Family, false);
        rig.bench.emulator().setValue(value, reply);
        QueuedSpy state(&rig.device(), &DeviceZFN::sendHartDeviceConnectionState);
        QVERIFY(!rig.device().checkHartConnection(true));
        QTRY_COMPARE(rig.bench.popUps(), QStringList{message});
        QVERIFY(!rig.device().hartData()->present);
        QTRY_VERIFY(!state.isEmpty());
        QCOMPARE(state.last().at(0).toBool(), false);
        QVERIFY(rig.transmitter().commands().isEmpty());
        QVERIFY(!rig.device().checkHartConnection(false));
        QCOMPARE(rig.bench.popUps().size(), 1);
    }

    void operationsSendTheirSequences_data()
    {
        QTest::addColumn<HartVariant>("variant");
        QTest::addColumn<int>("algorithm");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<QString>("outcome");
        const HartVariant family = HartVariant::Family;
        const HartVariant foreign = HartVariant::Foreign;
        QTest::newRow("1 identity") << family << 1 << 0 << QList<int>{0, 13, 12, 20} << "1 ok";
        QTest::newRow("2 tag and message, then 1") << family << 2 << 0x03 << QList<int>{18, 17, 0, 13, 12, 20} << "1 ok";
        QTest::newRow("3 reset") << family << 3 << 0 << QList<int>{42} << "3 ok";
        QTest::newRow("4 configuration flag") << family << 4 << 0 << QList<int>{0, 38} << "4 ok";
        QTest::newRow("6 parameters") << family << 6 << 0 << QList<int>{15, 14, 1} << "6 ok";
        QTest::newRow("8 zero") << family << 8 << 0 << QList<int>{43} << "8 ok";
        QTest::newRow("9 specific") << family << 9 << 0 << QList<int>{1, 81, 80, 128, 130, 132, 145, 134, 147} << "9 ok";
        QTest::newRow("9 specific, foreign") << foreign << 9 << 0 << QList<int>{1, 81, 80} << "9 ok";
        QTest::newRow("10 without a read of 9") << family << 10 << 0x3F << QList<int>{1, 81, 80, 128, 130, 132, 145, 134, 147} << "9 ok";
        QTest::newRow("11 without device-specific support") << foreign << 11 << 0 << QList<int>{} << "11 failed";
        QTest::newRow("12 trim points") << family << 12 << 0 << QList<int>{81, 80} << "12 ok";
        QTest::newRow("12 refused read") << foreign << 12 << 0 << QList<int>{81} << "12 failed";
        QTest::newRow("13 trim reset") << family << 13 << 0 << QList<int>{83} << "13 ok";
        QTest::newRow("16 output, foreign") << foreign << 16 << 0 << QList<int>{81, 80} << "16 ok";
        QTest::newRow("16 output") << family << 16 << 0 << QList<int>{81, 80, 128} << "16 ok";
        QTest::newRow("17 fixed current") << family << 17 << 0 << QList<int>{40} << "17 ok";
        QTest::newRow("19 trim outside fixed current") << family << 19 << 0 << QList<int>{45} << "19 failed";
        QTest::newRow("21 additional status") << family << 21 << 0 << QList<int>{48} << "21 ok";
        QTest::newRow("22 measurement") << family << 22 << 0 << QList<int>{15, 1} << "22 ok";
    }

    // Each operation's commands in order, its follow-on, and how it ended.
    void operationsSendTheirSequences()
    {
        QFETCH(HartVariant, variant);
        QFETCH(int, algorithm);
        QFETCH(int, mask);
        QFETCH(QList<int>, commands);
        QFETCH(QString, outcome);
        HartRig rig(variant);
        QCOMPARE(rig.run(algorithm, mask).outcome(), outcome);
        QCOMPARE(rig.transmitter().commands(), commands);
    }

    // Results after each command and at the end, locks and progress; the ends carry the record.
    void identityReadReportsEachCommand()
    {
        HartRig rig(HartVariant::Hart5);
        QueuedSpy results(&rig.device(), &DeviceZFN::sendHartResult);
        QueuedSpy locks(&rig.device(), &DeviceZFN::lockInteface);
        QueuedSpy progress(&rig.device(), &DeviceZFN::sendProgress);
        const Ending end = rig.run(1);
        QCOMPARE(results.firstInts(), QList<int>({0, 13, 12, 20, -1}));
        QCOMPARE(locks.size(), 1);
        QCOMPARE(locks.first().at(0).toInt(), 1);
        QCOMPARE(progress.last().at(0).toInt(), 60);
        QCOMPARE(unpackAscii(end.data.tag, 6), QStringLiteral("PT-101"));
        QCOMPARE(unpackAscii(results.at(1).at(1).value<HartDeviceData>().descriptor, 12), QStringLiteral("PRESSURE SENSOR"));
        QVERIFY(!end.data.longTagSupported);
        QCOMPARE(int(end.data.responseCode), 64);
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    // The long tag frame: 41 bytes, 82 characters, their count as the one raw byte 0x52. Unit, range
    // and damping in this order, the calibrator's settings after, then the read-back.
    void parameterWriteUpdatesTheCalibrator()
    {
        HartRig rig;
        QVERIFY(rig.run(1).data.longTagSupported);
        const QByteArray longTag = QByteArray("PRESSURE LINE 7").leftJustified(32, ' ');
        std::memcpy(rig.edited().longTag, longTag.constData(), 32);
        rig.run(2, HartChangeMask::LongTag, false);
        QCOMPARE(rig.transmitter().state().longTag, longTag);
        const QString text = rig.bench.emulator().requests().at(0).command;
        QCOMPARE(text.left(5) + QString::number(text.size()), QString("40;R;87"));

        QVERIFY(rig.run(6).succeeded);
        rig.edited() = *rig.device().hartData();
        rig.edited().pvUnit = 237;
        rig.edited().upperRangeValue = 1.6f;
        rig.edited().lowerRangeValue = 0.1f;
        rig.edited().damping = 2.0f;
        QueuedSpy locks(&rig.device(), &DeviceZFN::lockInteface);
        QueuedSpy refresh(&rig.device(), &DeviceZFN::deviceSettingsChanged);
        const Ending end = rig.run(7, HartChangeMask::PvUnit | HartChangeMask::Range | HartChangeMask::Damping, false);
        QCOMPARE(rig.transmitter().commands(), QList<int>({44, 35, 34, 15, 14, 1}));
        QCOMPARE(end.outcome(), QString("6 ok"));
        QCOMPARE(rig.transmitter().state().upperRangeValue, 1.6f);
        QCOMPARE(int(end.data.rangeUnit), 237);
        QCOMPARE(end.data.damping, 2.0f);
        QCOMPARE(locks.size(), 2);
        QCOMPARE(locks.at(1).at(0).toInt(), 2);
        QCOMPARE(refresh.size(), 1);

        const DeviceSettings& settings = *rig.device().deviceSettings();
        QCOMPARE(int(settings.bytes[10]), 2 + 5);
        QCOMPARE(littleEndianFloat(settings, 16), 1600.0f);
        QCOMPARE(littleEndianFloat(settings, 20), 100.0f);
        QCOMPARE(rig.calibratorRequests("11;"), blockWrites(settings) << "11;49;0;1;0");
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    // A cancel, silently, and a refused write, with a message, end the operation at its next
    // command: no follow-on, nothing written to the calibrator.
    void stopAndRefusedWritesEndTheOperation()
    {
        HartRig rig;
        PollController* work = rig.device().pollController();
        rig.bench.emulator().setRequestObserver([work](const EmulatorRequest& request) {
            if (request.command.startsWith(QLatin1String("40;")))
                work->stopRequested = true;
        });
        rig.edited().pvUnit = 12;
        Ending end = rig.run(7, HartChangeMask::PvUnit | HartChangeMask::Damping, false);
        QCOMPARE(rig.transmitter().commands(), QList<int>({44}));
        QCOMPARE(end.outcome(), QString("7 failed"));
        QVERIFY(rig.bench.popUps().isEmpty());

        rig.bench.emulator().setRequestObserver(nullptr);
        const quint8 unitByte = rig.device().deviceSettings()->bytes[10];
        rig.changeTransmitter([](HartTransmitterState& s) { s.writeProtect = 1; });
        rig.edited() = *rig.device().hartData();
        rig.edited().pvUnit = 237;
        end = rig.run(7, HartChangeMask::PvUnit | HartChangeMask::Range, false);
        QCOMPARE(rig.transmitter().commands(), QList<int>({44}));
        QCOMPARE(end.outcome(), QString("7 failed"));
        QCOMPARE(rig.bench.popUps(), QStringList{"Команда 44 :Устройство в режиме защиты от записи!"});
        QVERIFY(rig.calibratorRequests("11;").isEmpty());
        QCOMPARE(rig.device().deviceSettings()->bytes[10], unitByte);

        rig.edited().newPollingAddress = 64;
        end = rig.run(5, 0, false);
        QCOMPARE(rig.transmitter().commands(), QList<int>({6}));
        QCOMPARE(end.outcome(), QString("5 failed"));
        QVERIFY(rig.calibratorRequests("11;").isEmpty());
        QCOMPARE(int(end.data.pollingAddressByte), 0x80);
    }

    // Groups are written only where their read answered with code 0 at the last read of 9.
    void specificGroupsAreGatedByTheirReads()
    {
        HartRig rig;
        for (const int command : {130, 132, 134, 145, 147})
            rig.transmitter().setResponseCode(command, 6);
        const Ending read = rig.run(9);
        QVERIFY(read.data.cmd128Supported);
        QVERIFY(!read.data.cmd130Supported);
        QVERIFY(!read.data.cmd147Supported);
        QCOMPARE(read.data.sqrtCutoffThreshold, 0.0f);
        rig.edited() = read.data;
        rig.edited().alarmCurrentHigh = 21.0f;
        const Ending end = rig.run(10, 0x3F, false);
        QCOMPARE(rig.transmitter().commands(), QList<int>({129, 1, 81, 80, 128, 130, 132, 145, 134, 147}));
        QCOMPARE(rig.transmitter().state().alarmCurrentHigh, 21.0f);
        QCOMPARE(end.data.alarmCurrentHigh, 21.0f);
        QCOMPARE(end.algorithm, 9);
    }

    void factoryResetRestoresAndRereads()
    {
        HartRig rig;
        QVERIFY(rig.run(9).succeeded);
        rig.changeTransmitter([](HartTransmitterState& s) {
            s.upperRangeValue = 700.0f;
            s.pollingAddress = 2;
        });
        QueuedSpy results(&rig.device(), &DeviceZFN::sendHartResult);
        QueuedSpy locks(&rig.device(), &DeviceZFN::lockInteface);
        const Ending end = rig.run(11);
        QCOMPARE(rig.transmitter().commands(),
                 QList<int>({136, 136, 42, 7, 0, 38, 15, 14, 1, 1, 81, 80, 128, 130, 132, 145, 134, 147}));
        QCOMPARE(end.outcome(), QString("9 ok"));
        QVERIFY(!end.data.factoryResetRunning);
        QCOMPARE(end.data.upperRangeValue, 1000.0f);
        QCOMPARE(results.at(4).at(0).toInt(), 6);
        QCOMPARE(locks.size(), 2);
        QCOMPARE(locks.at(1).at(0).toInt(), 1);
        QCOMPARE(littleEndianFloat(*rig.device().deviceSettings(), 16), 1000.0f);
        QCOMPARE(rig.calibratorRequests("11;"), QStringList("11;276;0;1;2") + blockWrites(*rig.device().deviceSettings()));
    }

    // The calibrator is told the new address and asked until it reports it.
    void addressChangeWaitsForTheCalibrator()
    {
        HartRig rig;
        rig.edited().newPollingAddress = 3;
        rig.edited().loopCurrentMode = 1;
        Ending end = rig.run(5, 0, false);
        QCOMPARE(rig.transmitter().commands(), QList<int>({6, 0, 13, 12, 20}));
        QCOMPARE(end.outcome(), QString("1 ok"));
        QCOMPARE(int(end.data.pollingAddressByte), 0x83);
        QVERIFY(rig.calibratorRequests("11;").contains("11;276;0;1;3"));

        rig.bench.emulator().setValue("19", "3");
        rig.edited().newPollingAddress = 4;
        end = rig.run(5, 0, false);
        QCOMPARE(end.outcome(), QString("5 failed"));
        QCOMPARE(rig.calibratorRequests("1;19;0;2").size(), 30);
        QCOMPARE(rig.bench.popUps(), QStringList{"Ошибка при обновлении адреса"});
    }

    // A transmitter without commands 45 and 46 is trimmed through its output coefficients, once
    // per measurement, and only with currents that span half the output.
    void currentTrimFallsBackToCoefficients()
    {
        HartRig rig(HartVariant::NoCurrentTrim);
        QVERIFY(rig.run(16).succeeded);
        rig.edited().trimCurrentLow = 4.0f;
        rig.edited().measuredCurrentLow = 4.0f;
        rig.edited().measuredCurrentHigh = 20.2f;
        rig.edited().measuredCurrentValid = true;
        Ending end = rig.run(19);
        QCOMPARE(rig.transmitter().commands(), QList<int>({45, 40, 122, 123, 40}));
        QVERIFY(end.succeeded);
        QVERIFY(qAbs(rig.transmitter().state().outputGain - 16.0f / 16.2f) < 1e-6f);
        QVERIFY(qAbs(rig.transmitter().state().outputOffset - (20.0f - 20.2f * 16.0f / 16.2f)) < 1e-5f);
        QVERIFY(rig.bench.popUps().isEmpty());

        const QString refusal = "Для данного прибора необходимо корректно заполнить все поля (мин. и макс.) перед "
                                "нажатием на кнопку Подстроить!";
        end = rig.run(20);
        QCOMPARE(rig.transmitter().commands(), QList<int>({46}));
        QCOMPARE(rig.bench.popUps(), QStringList{refusal});

        rig.edited().measuredCurrentHigh = 11.0f;
        rig.edited().measuredCurrentValid = true;
        end = rig.run(20);
        QCOMPARE(rig.transmitter().commands(), QList<int>({46}));
        QVERIFY(!end.succeeded);
        QCOMPARE(rig.bench.popUps().size(), 2);
    }

    void malformedRepliesFailTheCommand_data()
    {
        QTest::addColumn<HartFault>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("check byte") << HartFault::BadCheck << invalidReply;
        QTest::newRow("command") << HartFault::WrongCommand << invalidReply;
        QTest::newRow("short data") << HartFault::ShortData << invalidReply;
        QTest::newRow("communication error") << HartFault::CommError << "Команда 14 :HART-прибор выдал неизвестную ошибку: 136";
    }

    // No result, the record as it was, and the operation ends there. Which replies are refused is
    // decided, kind by kind, in the frame checks.
    void malformedRepliesFailTheCommand()
    {
        QFETCH(HartFault, fault);
        QFETCH(QString, message);
        HartRig rig;
        QVERIFY(rig.run(6).succeeded);
        rig.changeTransmitter([](HartTransmitterState& s) {
            s.minimumSpan = 50.0f;
            s.moreStatusAvailable = true;
        });
        rig.transmitter().setFault(14, fault);
        QueuedSpy results(&rig.device(), &DeviceZFN::sendHartResult);
        const Ending end = rig.run(6);
        QCOMPARE(rig.transmitter().commands(), QList<int>({15, 14, 48}));
        QVERIFY(!end.succeeded);
        QCOMPARE(end.data.minimumSpan, 25.0f);
        QCOMPARE(rig.bench.popUps(), QStringList{message});
        QCOMPARE(results.at(1).at(0).toInt(), fault == HartFault::CommError ? 14 : 48);
    }

    // A lost transmitter is looked for again; a lost calibrator reply is reported, and commands
    // that act by being run are not sent twice.
    void lostTransmitterAndCalibrator()
    {
        HartRig rig;
        rig.changeTransmitter([](HartTransmitterState& s) { s.deviceId = QByteArray::fromHex("ABCDEF"); });
        Ending end = rig.run(6);
        QVERIFY(rig.transmitter().commands().isEmpty());
        QCOMPARE(rig.bench.popUps(), QStringList{"Произошёл таймаут посылки, адресуемое HART-устройство не отвечает."});
        QCOMPARE(int(end.data.responseCode), 14 - 56 + 256);
        QCOMPARE(end.data.uniqueId, QByteArray::fromHex("1A01ABCDEF"));
        QVERIFY(end.data.present);
        QVERIFY(rig.run(6).succeeded);

        rig.bench.emulator().setRegister(275, 0, "0");
        end = rig.run(6);
        QVERIFY(!end.data.present);
        QCOMPARE(rig.bench.popUps().last(), QString("HART протокол на устройстве не включен."));
        rig.bench.emulator().setRegister(275, 0, "1");

        rig.bench.emulator().setSilent(true);
        rig.device().pollController()->hartTimeoutMs = 200;
        end = rig.run(3);
        QVERIFY(!end.succeeded);
        QCOMPARE(rig.bench.emulator().requestCount(), 1);
        QCOMPARE(rig.bench.popUps().last(), QString("ЗФН не отвечает!"));
        QVERIFY(!end.data.present);
        end = rig.run(6);
        QCOMPARE(rig.bench.emulator().requestCount(), 3);
    }

    // Nothing starts with an empty write, nor while another job holds the port.
    void startsOnlyWithThePortHome()
    {
        HartRig rig;
        QueuedSpy locks(&rig.device(), &DeviceZFN::lockInteface);
        QVERIFY(!rig.device().startHartAlgorithm(7, false, 0x100));
        QVERIFY(!rig.device().startHartAlgorithm(15, true, 0));
        QVERIFY(rig.bench.popUps().isEmpty());

        rig.transmitter().setOptions([] {
            HartTransmitterOptions options;
            options.replyDelayMs = 300;
            return options;
        }());
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        QVERIFY(rig.device().startHartAlgorithm(6, true, 0));
        QVERIFY(!rig.device().startHartAlgorithm(1, true, 0));
        QCOMPARE(rig.bench.popUps(), QStringList{"Дождитесь окончания текущей операции!"});
        QVERIFY(finished.wait(10000));
        rig.device().waitForWorker();
        QCOMPARE(rig.transmitter().commands(), QList<int>({15, 14, 1}));
        QCOMPARE(locks.size(), 1);
        QVERIFY(rig.device().portOwner()->isFree());
    }

    // A settings worker runs identify, output and square-root reads in its own thread: no lock,
    // no end, results of 128 and 130.
    void nestedOperationsRunInTheCallersWorker()
    {
        HartRig rig(HartVariant::Foreign);
        QueuedSpy results(&rig.device(), &DeviceZFN::sendHartResult);
        QueuedSpy locks(&rig.device(), &DeviceZFN::lockInteface);
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        rig.device().hartData()->sqrtCutoffThreshold = 5.0f;
        rig.bench.runInWorker([&rig] {
            for (const int algorithm : {23, 16, 25}) {
                rig.device().pollController()->hartOperation = algorithm;
                rig.device().makeHartAlgoritmSeparate(true);
            }
        });
        QCoreApplication::processEvents();
        QCOMPARE(rig.transmitter().commands(), QList<int>({0, 81, 80, 15, 81, 80}));
        QCOMPARE(results.firstInts(), QList<int>({0, 81, 80, 128, 15, 81, 80, 130}));
        QVERIFY(locks.isEmpty());
        QVERIFY(finished.isEmpty());
        const HartDeviceData& d = *rig.device().hartData();
        QCOMPARE(int(d.currentOutputType), 1);
        QCOMPARE(d.alarmCurrentLow, 3.5f);
        QCOMPARE(d.sqrtCutoffThreshold, 0.0f);
        QVERIFY(rig.bench.popUps().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHartMaster)
#include "test_hart_master.moc"
