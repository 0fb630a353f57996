#include "BoundedWait.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartMaster.h"
#include "HartPackedAscii.h"
#include "PollController.h"
#include "PressureUnits.h"
#include "QueuedSpy.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QtEndian>
#include <QtTest>

namespace {

struct Ending
{
    int algorithm = 0;
    bool succeeded = false;
    HartDeviceData data;
    QString outcome() const { return QString::number(algorithm) + (succeeded ? " ok" : " failed"); }
};

// A connected calibrator with a transmitter behind it, found unless told not to look, the HART
// waits made short and the device's HART reports recorded.
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
        clearReports();
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

    // Runs one operation with its follow-on to the end; the logs and reports start with it.
    Ending run(int algorithm, int mask = 0, bool flag = true)
    {
        transmitter().clearRequests();
        bench.emulator().clearRequests();
        clearReports();
        QueuedSpy finished(&device(), &DeviceZFN::sendAlgoritmFinished);
        if (!device().startHartAlgorithm(algorithm, flag, mask) || !finished.wait(BoundedWait::jobMs))
            return {};
        device().waitForWorker();
        QCoreApplication::processEvents();
        const QList<QVariant> end = finished.first();
        return {end.at(0).toInt(), end.at(1).toBool(), end.at(2).value<HartDeviceData>()};
    }

    void clearReports()
    {
        for (QueuedSpy* spy : {&results, &locks, &progress, &settingsChanged})
            spy->clear();
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

    float settingsFloat(int at) { return qFromLittleEndian<float>(device().deviceSettings()->bytes.data() + at); }

    DeviceTestBench bench;
    QueuedSpy results{&device(), &DeviceZFN::sendHartResult};
    QueuedSpy locks{&device(), &DeviceZFN::lockInteface};
    QueuedSpy progress{&device(), &DeviceZFN::sendProgress};
    QueuedSpy settingsChanged{&device(), &DeviceZFN::settingsBlockChanged};
};

// One operation on a fresh rig: what is done to the rig first, the transmitter commands in order,
// how the operation (or its follow-on) ended, the messages, the calibrator writes ("block" stands
// for the two register writes of the settings block) and what else the row checks.
struct Case
{
    HartVariant variant;
    int algorithm;
    int mask;
    bool flag;
    QList<int> commands;
    QString outcome;
    QStringList popUps = {};
    QStringList writes = {};
    std::function<void(HartRig&)> prepare = {};
    std::function<void(HartRig&, const Ending&)> check = {};
};

QStringList expandedWrites(const QStringList& writes, const DeviceSettings& settings)
{
    const QByteArray bytes(reinterpret_cast<const char*>(settings.bytes.data()), 50);
    QStringList texts;
    for (const QString& write : writes) {
        if (write == "block")
            texts << "11;16;2;4;" + bytes.left(32).toHex().toUpper() << "11;48;2;4;" + bytes.mid(32).toHex().toUpper();
        else
            texts << write;
    }
    return texts;
}

const QString invalidReply = QStringLiteral("Пришла неверная HART посылка!");
const QString trimRefusal = "Для данного прибора необходимо корректно заполнить все поля (мин. и макс.) перед "
                            "нажатием на кнопку Подстроить!";

// A transmitter without commands 45 and 46 after its output was read, with the two currents measured.
std::function<void(HartRig&)> measuredCurrents(float low, float high)
{
    return [low, high](HartRig& rig) {
        QVERIFY(rig.run(16).succeeded);
        rig.edited().trimCurrentLow = 4.0f;
        rig.edited().measuredCurrentLow = low;
        rig.edited().measuredCurrentHigh = high;
        rig.edited().measuredCurrentValid = true;
    };
}

// The primary variable read, then command 14 answered with the fault.
std::function<void(HartRig&)> faultyLimits(HartFault fault)
{
    return [fault](HartRig& rig) {
        QVERIFY(rig.run(6).succeeded);
        rig.changeTransmitter([](HartTransmitterState& s) {
            s.minimumSpan = 50.0f;
            s.moreStatusAvailable = true;
        });
        rig.transmitter().setFault(14, fault);
    };
}

// Unit, range and damping read, then changed in the edited record.
void stageNewRange(HartRig& rig)
{
    QVERIFY(rig.run(6).succeeded);
    rig.edited() = *rig.device().hartData();
    rig.edited().pvUnit = 237;
    rig.edited().upperRangeValue = 1.6f;
    rig.edited().lowerRangeValue = 0.1f;
    rig.edited().damping = 2.0f;
}

QString floatDigits(float value)
{
    return QString::number(widenFloat(value), 'g', QLocale::FloatingPointShortest);
}

void keepsTheLimitsAfter(int resultCommand, HartRig& rig, const Ending& end)
{
    QCOMPARE(end.data.minimumSpan, 25.0f);
    QCOMPARE(rig.results.at(1).at(0).toInt(), resultCommand);
}

}  // namespace

Q_DECLARE_METATYPE(Case)

class TestHartMaster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The transmitter is found through values 19 and 20, and a new calibrator forgets it; a bad
    // value gives one message, no transmitter and nothing sent to it.
    void connectChecksTheValues()
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
        QTRY_VERIFY(!state.isEmpty() && state.last().at(0).toInt() == 1);
        QVERIFY(rig.bench.popUps().isEmpty());
        QVERIFY(rig.bench.connectTo(0));
        QVERIFY(!d.present);
        QVERIFY(d.uniqueId.isEmpty());

        // Value 20 is read only after a good value 19.
        const QString absent = "HART устройство не подключено!";
        const QStringList badValues[] = {{"20", "1A0112345", absent},
                                         {"20", "1A0112345G", absent},
                                         {"19", "16", absent},
                                         {"19", "3a", absent},
                                         {"19", "$16", "HART протокол на устройстве не включен."}};
        rig.transmitter().clearRequests();
        for (const QStringList& bad : badValues) {
            rig.bench.clearPopUps();
            state.clear();
            rig.bench.emulator().setValue(bad.at(0), bad.at(1));
            QVERIFY(!rig.device().checkHartConnection(true));
            QTRY_COMPARE(rig.bench.popUps(), QStringList{bad.at(2)});
            QVERIFY(!d.present);
            QTRY_VERIFY(!state.isEmpty() && state.last().at(0).toInt() == 0);
            QVERIFY(!rig.device().checkHartConnection(false));
            QCOMPARE(rig.bench.popUps().size(), 1);
        }
        QVERIFY(rig.transmitter().commands().isEmpty());
    }

    void operations_data()
    {
        QTest::addColumn<Case>("c");
        using Mask = HartChangeMask;
        const HartVariant family = HartVariant::Family;
        const HartVariant foreign = HartVariant::Foreign;
        const HartVariant noTrim = HartVariant::NoCurrentTrim;
        const QList<int> specific{1, 81, 80, 128, 130, 132, 145, 134, 147};
        QTest::newRow("2 tag and message, then 1") << Case{family, 2, 0x03, true, {18, 17, 0, 13, 12, 20}, "1 ok"};
        QTest::newRow("4 configuration flag") << Case{family, 4, 0, true, {0, 38}, "4 ok"};
        QTest::newRow("6 parameters") << Case{family, 6, 0, true, {15, 14, 1}, "6 ok"};
        QTest::newRow("9 specific") << Case{family, 9, 0, true, specific, "9 ok"};
        QTest::newRow("9 specific, foreign") << Case{foreign, 9, 0, true, {1, 81, 80}, "9 ok"};
        QTest::newRow("10 without a read of 9") << Case{family, 10, 0x3F, true, specific, "9 ok"};
        QTest::newRow("11 without device-specific support") << Case{foreign, 11, 0, true, {}, "11 failed"};
        QTest::newRow("12 trim points") << Case{family, 12, 0, true, {81, 80}, "12 ok"};
        QTest::newRow("12 refused read")
            << Case{foreign, 12, 0, true, {81}, "12 failed", {"Команда 81 :Неизвестная команда"}};
        QTest::newRow("13 trim reset") << Case{family, 13, 0, true, {83}, "13 ok"};
        QTest::newRow("16 output, foreign") << Case{foreign, 16, 0, true, {81, 80}, "16 ok"};
        QTest::newRow("16 output") << Case{family, 16, 0, true, {81, 80, 128}, "16 ok"};
        QTest::newRow("17 fixed current") << Case{family, 17, 0, true, {40}, "17 ok"};
        QTest::newRow("19 trim outside fixed current")
            << Case{family, 19, 0, true, {45}, "19 failed", {"Команда 45 :Неверные данные!"}};
        QTest::newRow("22 measurement") << Case{family, 22, 0, true, {15, 1}, "22 ok"};

        // Results after each command and at the end, locks and progress; the ends carry the record.
        QTest::newRow("1 identity, revision 5") << Case{
            HartVariant::Hart5, 1, 0, true, {0, 13, 12, 20}, "1 ok", {}, {}, {}, [](HartRig& rig, const Ending& end) {
                QCOMPARE(rig.results.firstInts(), QList<int>({0, 13, 12, 20, -1}));
                QCOMPARE(rig.locks.firstInts(), QList<int>({1}));
                QCOMPARE(rig.progress.last().at(0).toInt(), 60);
                QCOMPARE(unpackAscii(end.data.tag, 6), QStringLiteral("PT-101"));
                const HartDeviceData second = rig.results.at(1).at(1).value<HartDeviceData>();
                QCOMPARE(unpackAscii(second.descriptor, 12), QStringLiteral("PRESSURE SENSOR"));
                QVERIFY(!end.data.longTagSupported);
                QCOMPARE(int(end.data.responseCode), 64);
            }};
        // Unit, range and damping in this order, the calibrator's settings after, then the read-back.
        const QStringList settingsWrites{"block", "11;49;0;1;0"};
        QTest::newRow("7 unit, range and damping") << Case{
            family, 7, Mask::PvUnit | Mask::Range | Mask::Damping, false, {44, 35, 34, 15, 14, 1}, "6 ok", {}, settingsWrites,
            stageNewRange,
            [](HartRig& rig, const Ending& end) {
                QCOMPARE(rig.transmitter().state().upperRangeValue, 1.6f);
                QCOMPARE(int(end.data.rangeUnit), 237);
                QCOMPARE(end.data.damping, 2.0f);
                QCOMPARE(rig.locks.firstInts(), QList<int>({2, 2}));
                QCOMPARE(rig.settingsChanged.size(), 1);
                QCOMPARE(int(rig.device().deviceSettings()->bytes[10]), 2 + 5);
                QCOMPARE(rig.settingsFloat(16), 1600.0f);
                QCOMPARE(rig.settingsFloat(20), 100.0f);
            }};
        // A cancel, silently, and a refused write, with a message, end the operation at its next
        // command, without a follow-on; the calibrator gets only what the transmitter took.
        QTest::newRow("7 stopped") << Case{
            family, 7, Mask::PvUnit | Mask::Damping, false, {44}, "7 failed", {}, settingsWrites, [](HartRig& rig) {
                PollController* work = rig.device().pollController();
                rig.bench.emulator().setRequestObserver([work](const EmulatorRequest& request) {
                    if (request.command.startsWith(QLatin1String("40;")))
                        work->stopRequested = true;
                });
                rig.edited().pvUnit = 12;
            }};
        // A refused register leaves none of the others unwritten, and the block keeps what the
        // calibrator refused (МПа, 1600 and 100 kPa sent over a zeroed block).
        QTest::newRow("7 register 16 refused") << Case{
            family, 7, Mask::PvUnit | Mask::Range, false, {44, 35, 15, 14, 1}, "6 ok",
            {"При записи параметров произошла ошибка!", "При записи параметров HART в ЗФН произошла ошибка!"},
            {"11;16;2;4;000000000000000000000700000000000000C8440000C8420000000000000000",
             "11;48;2;4;" + QString(36, '0'), "11;49;0;1;0"},
            [](HartRig& rig) {
                stageNewRange(rig);
                rig.bench.emulator().setStatusReply("11;16", 3);
            },
            [](HartRig& rig, const Ending&) {
                QCOMPARE(int(rig.device().deviceSettings()->bytes[10]), 0);
                QCOMPARE(rig.settingsFloat(16), 0.0f);
                QVERIFY(rig.settingsChanged.isEmpty());
            }};
        QTest::newRow("7 write protected") << Case{
            family, 7, Mask::PvUnit | Mask::Range, false, {44}, "7 failed",
            {"Команда 44 :Устройство в режиме защиты от записи!"}, {},
            [](HartRig& rig) {
                rig.changeTransmitter([](HartTransmitterState& s) { s.writeProtect = 1; });
                rig.edited() = *rig.device().hartData();
                rig.edited().pvUnit = 237;
            },
            [](HartRig& rig, const Ending&) { QCOMPARE(int(rig.device().deviceSettings()->bytes[10]), 0); }};
        QTest::newRow("5 address out of range") << Case{
            family, 5, 0, false, {6}, "5 failed", {"Команда 6 :Выбран неверный адрес"}, {},
            [](HartRig& rig) { rig.edited().newPollingAddress = 64; },
            [](HartRig&, const Ending& end) { QCOMPARE(int(end.data.pollingAddressByte), 0x80); }};
        // The calibrator is told the new address and asked until it reports it.
        QTest::newRow("5 address") << Case{
            family, 5, 0, false, {6, 0, 13, 12, 20}, "1 ok", {}, {"11;276;0;1;3"},
            [](HartRig& rig) {
                rig.edited().newPollingAddress = 3;
                rig.edited().loopCurrentMode = 1;
            },
            [](HartRig&, const Ending& end) { QCOMPARE(int(end.data.pollingAddressByte), 0x83); }};
        QTest::newRow("5 address never confirmed") << Case{
            family, 5, 0, false, {6}, "5 failed", {"Ошибка при обновлении адреса"}, {"11;276;0;1;4"},
            [](HartRig& rig) {
                rig.bench.emulator().setValue("19", "3");
                rig.edited().newPollingAddress = 4;
            },
            [](HartRig& rig, const Ending&) { QCOMPARE(rig.calibratorRequests("1;19;0;2").size(), 30); }};
        // Groups are written only where their read answered with code 0 at the last read of 9.
        QTest::newRow("10 gated by the reads") << Case{
            family, 10, 0x3F, false, QList<int>{129} + specific, "9 ok", {}, {},
            [](HartRig& rig) {
                for (const int command : {130, 132, 134, 145, 147})
                    rig.transmitter().setResponseCode(command, 6);
                const Ending read = rig.run(9);
                QVERIFY(read.data.cmd128Supported && !read.data.cmd130Supported && !read.data.cmd147Supported);
                QCOMPARE(read.data.sqrtCutoffThreshold, 0.0f);
                rig.edited() = read.data;
                rig.edited().alarmCurrentHigh = 21.0f;
            },
            [](HartRig& rig, const Ending& end) {
                QCOMPARE(rig.transmitter().state().alarmCurrentHigh, 21.0f);
                QCOMPARE(end.data.alarmCurrentHigh, 21.0f);
            }};
        QTest::newRow("11 factory reset") << Case{
            family, 11, 0, true, QList<int>{136, 136, 42, 7, 0, 38, 15, 14, 1} + specific, "9 ok", {},
            {"11;276;0;1;2", "block"},
            [](HartRig& rig) {
                QVERIFY(rig.run(9).succeeded);
                rig.changeTransmitter([](HartTransmitterState& s) {
                    s.upperRangeValue = 700.0f;
                    s.pollingAddress = 2;
                });
            },
            [](HartRig& rig, const Ending& end) {
                QVERIFY(!end.data.factoryResetRunning);
                QCOMPARE(end.data.upperRangeValue, 1000.0f);
                QCOMPARE(rig.results.at(4).at(0).toInt(), 6);
                QCOMPARE(rig.locks.firstInts(), QList<int>({1, 1}));
                QCOMPARE(rig.settingsFloat(16), 1000.0f);
            }};
        // Without commands 45 and 46 the output is trimmed through its coefficients, once per
        // measurement, and only with currents that span half the output.
        QTest::newRow("19 trim through coefficients") << Case{
            noTrim, 19, 0, true, {45, 40, 122, 123, 40}, "19 ok", {}, {}, measuredCurrents(4.0f, 20.2f),
            [](HartRig& rig, const Ending&) {
                const HartTransmitterState state = rig.transmitter().state();
                QVERIFY(qAbs(state.outputGain - 16.0f / 16.2f) < 1e-6f);
                QVERIFY(qAbs(state.outputOffset - (20.0f - 20.2f * 16.0f / 16.2f)) < 1e-5f);
            }};
        QTest::newRow("20 without measured currents") << Case{noTrim, 20, 0, true, {46}, "20 failed", {trimRefusal}};
        QTest::newRow("20 narrow currents")
            << Case{noTrim, 20, 0, true, {46}, "20 failed", {trimRefusal}, {}, measuredCurrents(4.0f, 11.0f)};
        // No result, the record as it was, and the operation ends there. Which replies are refused is
        // decided, kind by kind, in the frame checks.
        for (const HartFault fault : {HartFault::BadCheck, HartFault::WrongCommand, HartFault::ShortData})
            QTest::addRow("6 reply fault %d", int(fault))
                << Case{family, 6, 0, true, {15, 14, 48}, "6 failed", {invalidReply}, {}, faultyLimits(fault),
                        [](HartRig& rig, const Ending& end) { keepsTheLimitsAfter(48, rig, end); }};
        const QString commError = "Команда 14 :HART-прибор выдал неизвестную ошибку: 136";
        QTest::newRow("6 communication error")
            << Case{family, 6, 0, true, {15, 14, 48}, "6 failed", {commError}, {}, faultyLimits(HartFault::CommError),
                    [](HartRig& rig, const Ending& end) { keepsTheLimitsAfter(14, rig, end); }};
    }

    // Each operation's commands in order, its follow-on, how it ended, what it told the user and
    // what it wrote to the calibrator.
    void operations()
    {
        QFETCH(Case, c);
        HartRig rig(c.variant);
        if (c.prepare)
            c.prepare(rig);
        if (QTest::currentTestFailed())
            return;
        const Ending end = rig.run(c.algorithm, c.mask, c.flag);
        QCOMPARE(rig.transmitter().commands(), c.commands);
        QCOMPARE(end.outcome(), c.outcome);
        QCOMPARE(rig.bench.popUps(), c.popUps);
        QCOMPARE(rig.calibratorRequests("11;"), expandedWrites(c.writes, *rig.device().deviceSettings()));
        if (c.check)
            c.check(rig, end);
    }

    void rangeKeepsItsDigits_data()
    {
        QTest::addColumn<int>("hartUnit");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("writtenKpa");
        QTest::newRow("МПа") << 237 << QStringList{"6.3001", "4.01"} << QStringList{"6300.1", "4010"};
        QTest::newRow("бар") << 7 << QStringList{"4.3", "0.6"} << QStringList{"430", "60"};
        QTest::newRow("мбар") << 8 << QStringList{"40.3", "0.9"} << QStringList{"4.03", "0.09"};
        QTest::newRow("кгс/см2") << 10 << QStringList{"1.6", "0.7"} << QStringList{"156.9064", "68.64655"};
        QTest::newRow("атм") << 14 << QStringList{"1.3", "0"} << QStringList{"131.7225", "0"};
        QTest::newRow("мм вод. ст.")
            << 239 << QStringList{"1600.3", "-0.5"} << QStringList{"15.693582", "-0.004903325"};
        QTest::newRow("кПа") << 12 << QStringList{"250.3", "0.1"} << QStringList{"250.3", "0.1"};
    }

    // A range typed in the transmitter's unit reaches the calibrator as the float nearest to its
    // value in kPa, and reads back from there with the digits that were typed.
    void rangeKeepsItsDigits()
    {
        QFETCH(int, hartUnit);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, writtenKpa);
        HartRig rig;
        QVERIFY(rig.run(6).succeeded);
        rig.edited() = *rig.device().hartData();
        rig.edited().pvUnit = quint8(hartUnit);
        rig.edited().upperRangeValue = typed.at(0).toFloat();
        rig.edited().lowerRangeValue = typed.at(1).toFloat();
        QVERIFY(rig.run(7, HartChangeMask::PvUnit | HartChangeMask::Range, false).succeeded);

        const QStringList writes = rig.calibratorRequests("11;16;");
        QCOMPARE(writes.size(), 1);
        const QByteArray block = QByteArray::fromHex(writes.first().section(';', 4).toLatin1());
        const quint8 unit = quint8(PressureUnits::unitFromHartCode(quint8(hartUnit)));
        for (int i = 0; i < 2; ++i) {
            const float kpa = qFromLittleEndian<float>(block.constData() + DeviceSettings::VerifiedUpperByte + 4 * i);
            QCOMPARE(floatDigits(kpa), writtenKpa.at(i));
            QCOMPARE(floatDigits(float(PressureUnits::fromKpaFloat(unit, kpa))), typed.at(i));
        }
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
        QVERIFY(!rig.device().startHartAlgorithm(7, false, 0x100));
        QVERIFY(!rig.device().startHartAlgorithm(15, true, 0));
        QVERIFY(rig.bench.popUps().isEmpty());

        HartTransmitterOptions options;
        options.replyDelayMs = 300;
        rig.transmitter().setOptions(options);
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        QVERIFY(rig.device().startHartAlgorithm(6, true, 0));
        QVERIFY(!rig.device().startHartAlgorithm(1, true, 0));
        QCOMPARE(rig.bench.popUps(), QStringList{"Дождитесь окончания текущей операции!"});
        QVERIFY(finished.wait());
        rig.device().waitForWorker();
        QCOMPARE(rig.transmitter().commands(), QList<int>({15, 14, 1}));
        QCOMPARE(rig.locks.size(), 1);
        QVERIFY(rig.device().portOwner()->isFree());
    }

    // A settings worker runs identify, output and square-root reads in its own thread: no lock,
    // no end, results of 128 and 130.
    void nestedOperationsRunInTheCallersWorker()
    {
        HartRig rig(HartVariant::Foreign);
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
        QCOMPARE(rig.results.firstInts(), QList<int>({0, 81, 80, 128, 15, 81, 80, 130}));
        QVERIFY(rig.locks.isEmpty());
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
