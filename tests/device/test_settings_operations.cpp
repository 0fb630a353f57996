#include "CalibratorMemory.h"
#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "HartFault.h"
#include "HartTransmitter.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TestEnvironment.h"
#include "VerificationSettings.h"

#include <QtTest>
#include <memory>

namespace {

constexpr int waitMs = 10000;
const QString readError("При чтении параметров произошла ошибка");

// Register reads answer from a memory of their own, except one request, which gets the given reply.
void answerReadWith(CalibratorEmulator& emulator, const QString& request, const QByteArray& reply)
{
    auto memory = std::make_shared<CalibratorMemory>();
    emulator.setCommandHandler(10, [memory, request, reply](const QStringList& p) {
        return p.join(';') == request ? reply : memory->readRegisters(p);
    });
}

DeviceSettings markedBlock()
{
    DeviceSettings block;
    block.bytes.fill(0xA5);
    return block;
}

// The device on one emulated calibrator, with its settings signals recorded.
struct Rig
{
    DeviceTestBench bench;
    QueuedSpy finished{&bench.device(), &DeviceZFN::algoritmFinished};
    QueuedSpy locks{&bench.device(), &DeviceZFN::lockInteface};
    QueuedSpy unlocks{&bench.device(), &DeviceZFN::unlockInteface};
    QueuedSpy progress{&bench.device(), &DeviceZFN::sendProgress};

    explicit Rig(int type = 70)
    {
        if (!bench.connectTo(0, 1, type))
            qFatal("not connected");
        bench.device().setExchangeTimeout(300);
        bench.emulator().clearRequests();
    }
    CalibratorEmulator& emulator() { return bench.emulator(); }
    DeviceSettings block()
    {
        QMutexLocker lock(bench.device().mutex());
        return *bench.device().deviceSettings();
    }
    void setBlock(const DeviceSettings& block)
    {
        QMutexLocker lock(bench.device().mutex());
        *bench.device().deviceSettings() = block;
    }
    // Runs one operation to its end: the end report, the unlock and the port at home.
    bool run(int operation, int argument = 0)
    {
        const int ends = unlocks.count();
        bench.device().startAlgorithm(operation, false, argument);
        return QTest::qWaitFor([&] { return unlocks.count() > ends; }, waitMs)
               && bench.device().portOwner()->isFree();
    }
    QByteArray image() { return QByteArray::fromHex(emulator().registerText(16, 2) + emulator().registerText(48, 2)); }
};

QByteArray blockBytes(const DeviceSettings& block, int first, int count)
{
    return QByteArray(reinterpret_cast<const char*>(block.bytes.data() + first), count);
}

}  // namespace

class TestSettingsOperations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The request sequences are those of the read-back after a write.
    void readTakesTheWholeImagePerType_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("ЗФН-020") << 70;
        QTest::newRow("ЛМВ-160") << 91;
        QTest::newRow("ЗФН-030") << 90;
    }

    void readTakesTheWholeImagePerType()
    {
        QFETCH(int, type);
        Rig rig(type);
        rig.emulator().setRegister(67, 2, "01");
        rig.emulator().setRegister(274, 0, "1");
        rig.emulator().setRegister(262, 0, "7");

        QVERIFY(rig.run(0));
        const DeviceSettings block = rig.block();
        QByteArray image = rig.image();
        image[9] = 7;
        QCOMPARE(blockBytes(block, 0, 50), image);
        QCOMPARE(block.floatAt(DeviceSettings::VerifiedUpperByte), 1600.0f);
        QCOMPARE(QList<int>({block.bytes[DeviceSettings::Supply24VByte], block.bytes[DeviceSettings::HartModemByte],
                             block.bytes[DeviceSettings::ModuleChoiceByte]}),
                 QList<int>({1, 0, type == 90 ? 1 : 0}));
        QVERIFY(rig.bench.device().settingsReadSucceeded() && rig.bench.popUps().isEmpty());
        QCOMPARE(rig.finished.firstInts() + rig.progress.firstInts().mid(rig.progress.size() - 1) + rig.locks.firstInts(),
                 QList<int>({0, 100, 2}));
    }

    // A reply that fails its check leaves the whole block as it was, and the read reports failure.
    void badRepliesLeaveTheBlock_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QByteArray>("reply");
        for (const auto& image : {qMakePair(QString("16;2;4"), 64), qMakePair(QString("48;2;4"), 36)}) {
            const QByteArray good(image.second, 'A');
            QTest::addRow("%s status", qPrintable(image.first)) << image.first << QByteArray("$2");
            QTest::addRow("%s short", qPrintable(image.first)) << image.first << good.left(image.second - 2);
            QTest::addRow("%s odd", qPrintable(image.first)) << image.first << good + "A";
            QTest::addRow("%s not hex", qPrintable(image.first)) << image.first << "G" + good.mid(1);
        }
        for (const QString& number : {QString("67;2;1"), QString("262;0;1")}) {
            QTest::addRow("%s status", qPrintable(number)) << number << QByteArray("$3");
            QTest::addRow("%s empty", qPrintable(number)) << number << QByteArray();
            QTest::addRow("%s not a number", qPrintable(number)) << number << QByteArray("6x");
            QTest::addRow("%s fraction", qPrintable(number)) << number << QByteArray("6.5");
            QTest::addRow("%s above a byte", qPrintable(number)) << number << QByteArray("256");
        }
    }

    void badRepliesLeaveTheBlock()
    {
        QFETCH(QString, request);
        QFETCH(QByteArray, reply);
        Rig rig(90);
        rig.setBlock(markedBlock());
        answerReadWith(rig.emulator(), request, reply);

        QVERIFY(rig.run(0));
        QCOMPARE(rig.finished.last().at(0).toInt(), 0);
        QCOMPARE(rig.bench.popUps(), QStringList({readError}));
        QCOMPARE(rig.block().bytes, markedBlock().bytes);
        QVERIFY(!rig.bench.device().settingsReadSucceeded());
        QVERIFY(emulatorCommands(rig.emulator()).last().endsWith(request));
    }

    // The write hands the port straight to the read-back: one unlock, after both ends.
    void writeThenReadBack_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("refused");
        QTest::newRow("ЗФН-020") << 70 << false;
        QTest::newRow("ЗФН-030") << 90 << false;
        QTest::newRow("ЗФН-030 first write refused") << 90 << true;
    }

    void writeThenReadBack()
    {
        QFETCH(int, type);
        QFETCH(bool, refused);
        Rig rig(type);
        QVERIFY(rig.run(0));
        DeviceSettings block = rig.block();
        block.bytes[DeviceSettings::AveragingByte] = 9;
        block.setFloatAt(DeviceSettings::VerifiedUpperByte, 2.5f);
        block.bytes[DeviceSettings::AlarmByte] = 50;
        block.bytes[DeviceSettings::ModuleChoiceByte] = 1;
        rig.setBlock(block);
        if (refused)
            rig.emulator().setStatusReply("11;16", 3);
        rig.emulator().clearRequests();
        rig.finished.clear();
        rig.locks.clear();
        rig.unlocks.clear();

        QVERIFY(rig.run(1));
        const QByteArray first = blockBytes(block, 0, 32).toHex().toUpper();
        const QByteArray second = blockBytes(block, 32, 18).toHex().toUpper();
        QStringList expected{"11;16;2;4;" + first, "11;48;2;4;" + second};
        if (type == 90)
            expected << "11;67;2;1;1";
        expected << "11;49;0;1;0" << "10;16;2;4" << "10;48;2;4";
        if (type == 90)
            expected << "10;67;2;1";
        expected << "10;262;0;1" << "10;274;0;1" << "10;275;0;1";
        QCOMPARE(emulatorCommands(rig.emulator()), expected);
        QCOMPARE(rig.finished.size(), 2);
        QCOMPARE(rig.finished.at(0).at(0).toInt(), 1);
        QCOMPARE(rig.finished.at(1).at(0).toInt(), 0);
        QCOMPARE(rig.locks.size(), 2);
        QCOMPARE(rig.unlocks.size(), 1);
        if (refused) {
            QCOMPARE(rig.bench.popUps(),
                     QStringList({"При записи параметров произошла ошибка!", "Настройки записаны с ошибкой!"}));
            QCOMPARE(rig.block().bytes[DeviceSettings::AveragingByte], rig.image().at(3));
        } else {
            QVERIFY(rig.bench.popUps().isEmpty());
            QCOMPARE(rig.block().bytes, block.bytes);
            QCOMPARE(rig.image(), blockBytes(block, 0, 50));
        }
    }

    // A switch that cannot be read keeps its byte: in the full read, which goes on and succeeds,
    // and after its own write.
    void switchesAndZero()
    {
        Rig rig;
        rig.setBlock(markedBlock());
        rig.emulator().setStatusReply("10;274", 2);
        QVERIFY(rig.run(0));
        QCOMPARE(rig.bench.popUps(), QStringList({"При чтении параметра Включение 24 В произошла ошибка"}));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::Supply24VByte]), 0xA5);
        QVERIFY(rig.bench.device().settingsReadSucceeded());
        QCOMPARE(emulatorCommands(rig.emulator()).last(), QString("10;275;0;1"));

        rig.emulator().clearStatusReplies();
        rig.emulator().clearRequests();
        QVERIFY(rig.run(4, 1));
        QCOMPARE(emulatorCommands(rig.emulator()), QStringList({"11;274;0;1;1", "10;274;0;1"}));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::Supply24VByte]), 1);
        QCOMPARE(rig.progress.last().at(0).toInt(), 100);

        rig.emulator().setRegister(275, 0, "1");
        rig.setBlock(markedBlock());
        QVERIFY(rig.run(5, 0));
        QCOMPARE(emulatorCommands(rig.emulator()).mid(2), QStringList({"11;275;0;1;0", "10;275;0;1"}));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::HartModemByte]), 0);

        rig.emulator().setStatusReply("10;275", 2);
        QVERIFY(rig.run(5, 1));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::HartModemByte]), 0);
        QCOMPARE(rig.bench.popUps().last(), QString("При чтении параметра \"HART протокол\" произошла ошибка!"));

        QVERIFY(rig.run(3));
        QCOMPARE(emulatorCommands(rig.emulator()).last(), QString("11;2;0;1;0"));
        QCOMPARE(rig.bench.popUps().last(), QString("Ноль ТЖС успешно установлен."));
        rig.emulator().setStatusReply("11;2", 5);
        QVERIFY(rig.run(3));
        QCOMPARE(rig.bench.popUps().mid(3), QStringList({"При записи параметра \"Установка нуля ТЖС\" произошла ошибка!",
                                                         "При установке нуля ТЖС произошла ошибка!"}));
    }

    void readForVerificationWithoutTransmitter()
    {
        Rig rig;
        {
            QMutexLocker lock(rig.bench.device().mutex());
            rig.bench.device().secondChannel()->name = "до чтения";
            rig.bench.device().secondChannel()->characteristic = 1;
            rig.bench.device().secondChannel()->hartOutput = true;
        }
        QVERIFY(rig.run(2));
        QCOMPARE(emulatorCommands(rig.emulator()),
                 QStringList({"10;16;2;4", "10;48;2;4", "10;262;0;1", "1;4", "10;30;3;2", "10;278;0;4"}));
        const DeviceSettings block = rig.block();
        QCOMPARE(block.floatAt(DeviceSettings::ModuleTemperatureByte), 21.5f);
        QCOMPARE(block.u32At(DeviceSettings::CalibratorSerialByte), 2101u);
        QCOMPARE(rig.bench.device().verificationSettings()->accuracyClassText, QString("0.05"));
        QCOMPARE(rig.progress.last().at(0).toInt(), 96);
        QMutexLocker lock(rig.bench.device().mutex());
        const ChannelRecord second = *rig.bench.device().secondChannel();
        QCOMPARE(second.name + QString::number(second.outputType) + QString::number(second.characteristic),
                 QString("до чтения11"));
        QVERIFY(!second.hartOutput);
    }

    // With a transmitter the second channel takes its name, output and characteristic; a transfer
    // function it cannot use, or a range it could not read, keeps the characteristic with a message.
    void readForVerificationWithTransmitter_data()
    {
        QTest::addColumn<int>("transferFunction");
        QTest::addColumn<float>("cutoff");
        QTest::addColumn<bool>("rangeAnswered");
        QTest::addColumn<int>("characteristic");
        QTest::addColumn<QString>("message");
        QTest::newRow("linear") << 0 << 0.0f << true << 0 << QString();
        QTest::newRow("square root") << 1 << 0.0f << true << 1 << QString();
        QTest::newRow("square root with a cut-off")
            << 1 << 0.5f << true << 1
            << "У подключенного HART прибора с корнеизвлекающей передаточной функцией необходимо установить "
               "параметрам 'Порог линеаризации', 'Порог отсечки', 'Ширина гистерезиса' значение 0. "
               "Вкладка HART > Специфические > Корнеизвлекающая зависимость.";
        QTest::newRow("unknown function") << 2 << 0.0f << true << 7
                                          << "У подключенного HART прибора используется неизвестная зависимость.";
        QTest::newRow("range unanswered") << 1 << 0.0f << false << 7
                                          << "При чтении параметра Передаточная функция произошла ошибка";
    }

    void readForVerificationWithTransmitter()
    {
        QFETCH(int, transferFunction);
        QFETCH(float, cutoff);
        QFETCH(bool, rangeAnswered);
        QFETCH(int, characteristic);
        QFETCH(QString, message);
        Rig rig;
        rig.emulator().attachHartTransmitter(HartVariant::Family);
        HartTransmitter& transmitter = rig.emulator().hartTransmitter();
        HartTransmitterState state = transmitter.state();
        state.transferFunction = quint8(transferFunction);
        state.sqrtLinearizationThreshold = 0.0f;
        state.sqrtCutoffThreshold = cutoff;
        state.sqrtHysteresisWidth = 0.0f;
        state.currentOutputType = 0;
        transmitter.setState(state);
        if (!rangeAnswered)
            transmitter.setFault(15, HartFault::Silent);
        {
            QMutexLocker lock(rig.bench.device().mutex());
            rig.bench.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
            rig.bench.device().secondChannel()->characteristic = 7;
        }
        QVERIFY(rig.run(2));
        if (message.isEmpty())
            QCOMPARE(rig.bench.popUps(), QStringList());
        else
            QTRY_VERIFY(rig.bench.popUps().contains(message));
        QMutexLocker lock(rig.bench.device().mutex());
        const ChannelRecord second = *rig.bench.device().secondChannel();
        QCOMPARE(second.name, QString("Датчик давления ПД-1"));
        QVERIFY(second.hartOutput);
        QCOMPARE(int(second.outputType), 0);
        QCOMPARE(int(second.characteristic), characteristic);
    }

    void verificationReadChecksItsReplies_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        const QString serial = "При чтении параметра Серйиный номер ЗФН произошла ошибка";
        QTest::newRow("temperature not a number") << "1;4" << QByteArray("21,5") << "При чтении параметра Температура ТЖС произошла ошибка";
        QTest::newRow("temperature status") << "1;4" << QByteArray("$2") << "При чтении параметра Температура ТЖС произошла ошибка";
        QTest::newRow("serial not a number") << "10;30" << QByteArray("21O1") << serial;
        QTest::newRow("serial negative") << "10;30" << QByteArray("-1") << serial;
        QTest::newRow("class odd") << "10;278" << QByteArray("302E3") << "При чтении параметра Класс точности произошла ошибка";
        QTest::newRow("class not hex") << "10;278" << QByteArray("30ZZ") << "При чтении параметра Класс точности произошла ошибка";
    }

    void verificationReadChecksItsReplies()
    {
        QFETCH(QString, prefix);
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        Rig rig;
        rig.setBlock(markedBlock());
        rig.bench.device().verificationSettings()->accuracyClassText = "до чтения";
        if (prefix == "1;4")
            rig.emulator().setValue("4", QString::fromLatin1(reply));
        else
            rig.emulator().setRegister(prefix.mid(3).toInt(), prefix == "10;30" ? 3 : 0, reply);

        QVERIFY(rig.run(2));
        QCOMPARE(rig.bench.popUps(), QStringList({message}));
        QCOMPARE(rig.block().bytes, markedBlock().bytes);
        QCOMPARE(rig.bench.device().verificationSettings()->accuracyClassText, QString("до чтения"));
    }

    void unknownOperationBusyPortAndExit()
    {
        Rig rig;
        QVERIFY(rig.run(9));
        QCOMPARE(rig.finished.last().at(0).toInt(), 9);
        QVERIFY(rig.emulator().requests().isEmpty());

        rig.emulator().setValue("1", "100");
        rig.emulator().setValue("5", "12");
        QVERIFY(rig.bench.device().startPoll());
        rig.bench.device().startAlgorithm(0, false, 0);
        QCOMPARE(rig.bench.popUps(), QStringList({"Дождитесь окончания текущей операции!"}));
        rig.bench.device().stopPoll();
        QVERIFY(!emulatorCommands(rig.emulator()).join('|').contains("10;"));

        // Leaving while a read runs waits for it: nothing of the device is used after it is gone.
        rig.emulator().setReplyDelayMs(100);
        rig.bench.device().startAlgorithm(0, false, 0);
        QVERIFY(rig.emulator().waitForRequests(rig.emulator().requestCount() + 1, waitMs));
        rig.bench.destroyDevice();
    }
};

QTEST_MAIN(TestSettingsOperations)
#include "test_settings_operations.moc"
