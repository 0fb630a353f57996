#include "BoundedWait.h"
#include "CalibratorMemory.h"
#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "HartFault.h"
#include "HartTransmitter.h"
#include "QueuedSpy.h"
#include "TestEnvironment.h"
#include "VerificationSettings.h"

#include <QtTest>
#include <memory>

namespace {

DeviceSettings markedBlock()
{
    DeviceSettings block;
    block.bytes.fill(0xA5);
    return block;
}

QByteArray blockBytes(const DeviceSettings& block, int first, int count)
{
    return QByteArray(reinterpret_cast<const char*>(block.bytes.data() + first), count);
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
        bench.emulator().clearRequests();
    }
    CalibratorEmulator& emulator() { return bench.emulator(); }
    DeviceZFN& device() { return bench.device(); }
    DeviceSettings block()
    {
        QMutexLocker lock(device().mutex());
        return *device().deviceSettings();
    }
    void setBlock(const DeviceSettings& block)
    {
        QMutexLocker lock(device().mutex());
        *device().deviceSettings() = block;
    }
    ChannelRecord secondChannel()
    {
        QMutexLocker lock(device().mutex());
        return *device().secondChannel();
    }
    // Runs one operation to its end: the end report, the unlock and the port at home.
    bool run(int operation, int argument = 0)
    {
        const int ends = unlocks.count();
        device().startAlgorithm(operation, false, argument);
        return BoundedWait::until([&] { return unlocks.count() > ends; }) && device().portOwner()->isFree();
    }
    QByteArray image() { return QByteArray::fromHex(emulator().registerText(16, 2) + emulator().registerText(48, 2)); }
};

// One reply that fails its check: the read or verification read it belongs to (0 or 2), the
// request it answers, and the message.
struct BadReply
{
    int operation;
    QString request;
    QByteArray reply;
    QString message;
};

QList<BadReply> badReplies()
{
    const QString readError("При чтении параметров произошла ошибка");
    QList<BadReply> rows;
    for (const auto& image : {qMakePair(QString("10;16;2;4"), 64), qMakePair(QString("10;48;2;4"), 36)}) {
        const QByteArray good(image.second, 'A');
        for (const QByteArray& bad : {QByteArray("$2"), good.left(image.second - 2), good + "A", "G" + good.mid(1)})
            rows.append({0, image.first, bad, readError});
    }
    for (const QString& number : {QString("10;67;2;1"), QString("10;262;0;1")})
        for (const char* bad : {"$3", "", "6x", "6.5", "256"})
            rows.append({0, number, bad, readError});
    const QString serial = "При чтении параметра Серйиный номер ЗФН произошла ошибка";
    const QString accuracyClass = "При чтении параметра Класс точности произошла ошибка";
    const QString temperature = "При чтении параметра Температура ТЖС произошла ошибка";
    return rows << BadReply{2, "10;30;3;2", "21O1", serial} << BadReply{2, "10;30;3;2", "-1", serial}
                << BadReply{2, "10;278;0;4", "302E3", accuracyClass} << BadReply{2, "10;278;0;4", "30ZZ", accuracyClass}
                << BadReply{2, "1;4", "21,5", temperature} << BadReply{2, "1;4", "$2", temperature};
}

// Register reads answer from a memory of their own, except the one request; a value read is set.
void answerWith(CalibratorEmulator& emulator, const BadReply& row)
{
    if (row.request.startsWith("1;")) {
        emulator.setValue(row.request.mid(2), QString::fromLatin1(row.reply));
        return;
    }
    auto memory = std::make_shared<CalibratorMemory>();
    emulator.setCommandHandler(10, [memory, row](const QStringList& p) {
        return p.join(';') == row.request.mid(3) ? row.reply : memory->readRegisters(p);
    });
}

}  // namespace

class TestSettingsOperations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The read takes the whole image; the write hands the port straight to the read-back: one
    // unlock after both ends, and the request sequences are those of the read.
    void readThenWriteBack_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("written") << false;
        QTest::newRow("first write refused") << true;
    }

    void readThenWriteBack()
    {
        QFETCH(bool, refused);
        Rig rig(90);
        rig.emulator().setRegister(67, 2, "01");
        rig.emulator().setRegister(274, 0, "1");
        rig.emulator().setRegister(262, 0, "7");
        QVERIFY(rig.run(0));
        DeviceSettings block = rig.block();
        QByteArray image = rig.image();
        image[9] = 7;
        QCOMPARE(blockBytes(block, 0, 50), image);
        QCOMPARE(QList<int>({block.bytes[DeviceSettings::Supply24VByte], block.bytes[DeviceSettings::HartModemByte],
                             block.bytes[DeviceSettings::ModuleChoiceByte]}),
                 QList<int>({1, 0, 1}));
        QVERIFY(rig.device().settingsReadSucceeded() && rig.bench.popUps().isEmpty());
        QCOMPARE(rig.finished.firstInts() + rig.progress.firstInts().mid(rig.progress.size() - 1) + rig.locks.firstInts(),
                 QList<int>({0, 100, 2}));

        block.bytes[DeviceSettings::AveragingByte] = 9;
        block.bytes[DeviceSettings::AlarmByte] = 50;
        block.bytes[DeviceSettings::ModuleChoiceByte] = 0;
        rig.setBlock(block);
        if (refused)
            rig.emulator().setStatusReply("11;16", 3);
        rig.emulator().clearRequests();
        rig.finished.clear();
        rig.locks.clear();
        rig.unlocks.clear();
        QVERIFY(rig.run(1));
        const QStringList expected{"11;16;2;4;" + blockBytes(block, 0, 32).toHex().toUpper(),
                                   "11;48;2;4;" + blockBytes(block, 32, 18).toHex().toUpper(),
                                   "11;67;2;1;0", "11;49;0;1;0", "10;16;2;4", "10;48;2;4", "10;67;2;1",
                                   "10;262;0;1", "10;274;0;1", "10;275;0;1"};
        QCOMPARE(emulatorCommands(rig.emulator()), expected);
        QCOMPARE(rig.finished.firstInts(), QList<int>({1, 0}));
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

    // A write's worker held up after handing the port to its read-back still reports its end first,
    // and the device is not destroyed under it.
    void writeEndsBeforeItsReadBack()
    {
        DeviceTestBench bench;
        // Connected before the spy, so the worker is held up before its end is queued to the spy.
        QObject::connect(
            &bench.device(), &DeviceZFN::algoritmFinished, &bench.device(),
            [](int operation) {
                if (operation == 1)
                    QThread::msleep(300);
            },
            Qt::DirectConnection);
        QueuedSpy finished(&bench.device(), &DeviceZFN::algoritmFinished);
        QueuedSpy unlocks(&bench.device(), &DeviceZFN::unlockInteface);
        QVERIFY(bench.connectTo(0));
        bench.device().startAlgorithm(1, false, 0);
        QVERIFY(BoundedWait::until([&] { return !unlocks.isEmpty(); }));
        QCOMPARE(finished.firstInts(), QList<int>({1, 0}));
    }

    // A reply that fails its check leaves the whole block as it was, with one message, and the read
    // reports failure; the verification read keeps the class text too.
    void badRepliesLeaveTheBlock()
    {
        Rig rig(90);
        for (const BadReply& row : badReplies()) {
            const QByteArray name = (row.request + " -> " + row.reply).toUtf8();
            rig.setBlock(markedBlock());
            rig.device().verificationSettings()->accuracyClassText = "до чтения";
            rig.bench.clearPopUps();
            answerWith(rig.emulator(), row);
            QVERIFY2(rig.run(row.operation), name);
            QCOMPARE(rig.finished.last().at(0).toInt(), row.operation);
            QVERIFY2(rig.bench.popUps() == QStringList({row.message}), name);
            QVERIFY2(rig.block().bytes == markedBlock().bytes, name);
            QVERIFY(!rig.device().settingsReadSucceeded() && !rig.device().verificationReadSucceeded());
            QCOMPARE(rig.device().verificationSettings()->accuracyClassText, QString("до чтения"));
            QVERIFY2(emulatorCommands(rig.emulator()).last() == row.request, name);
        }
    }

    // A switch that cannot be read keeps its byte: in the full read, which goes on and succeeds,
    // and after its own write. A refused zero says so twice.
    void switchesAndZero()
    {
        Rig rig;
        rig.setBlock(markedBlock());
        rig.emulator().setStatusReply("10;274", 2);
        QVERIFY(rig.run(0));
        QCOMPARE(rig.bench.popUps(), QStringList({"При чтении параметра Включение 24 В произошла ошибка"}));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::Supply24VByte]), 0xA5);
        QVERIFY(rig.device().settingsReadSucceeded());
        QCOMPARE(emulatorCommands(rig.emulator()).last(), QString("10;275;0;1"));

        rig.emulator().clearStatusReplies();
        rig.emulator().clearRequests();
        rig.setBlock(markedBlock());
        QVERIFY(rig.run(4, 1));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::Supply24VByte]), 1);
        QCOMPARE(rig.progress.last().at(0).toInt(), 100);
        rig.emulator().setStatusReply("10;275", 2);
        QVERIFY(rig.run(5, 0));
        QCOMPARE(emulatorCommands(rig.emulator()),
                 QStringList({"11;274;0;1;1", "10;274;0;1", "11;275;0;1;0", "10;275;0;1"}));
        QCOMPARE(int(rig.block().bytes[DeviceSettings::HartModemByte]), 0xA5);
        QCOMPARE(rig.bench.popUps().last(), QString("При чтении параметра \"HART протокол\" произошла ошибка!"));

        rig.emulator().setStatusReply("11;2", 5);
        QVERIFY(rig.run(3));
        QCOMPARE(emulatorCommands(rig.emulator()).last(), QString("11;2;0;1;0"));
        QCOMPARE(rig.bench.popUps().mid(2), QStringList({"При записи параметра \"Установка нуля ТЖС\" произошла ошибка!",
                                                         "При установке нуля ТЖС произошла ошибка!"}));
    }

    // Without a transmitter the second channel takes the current input; with one it takes its
    // name, output and characteristic, and a transfer function it cannot use, or a range it could
    // not read, keeps the characteristic with a message.
    void readForVerification_data()
    {
        QTest::addColumn<bool>("transmitter");
        QTest::addColumn<int>("transferFunction");
        QTest::addColumn<float>("cutoff");
        QTest::addColumn<bool>("rangeAnswered");
        QTest::addColumn<int>("characteristic");
        QTest::addColumn<QString>("message");
        QTest::newRow("no transmitter") << false << 0 << 0.0f << true << 7 << QString();
        QTest::newRow("linear") << true << 0 << 0.0f << true << 0 << QString();
        QTest::newRow("square root") << true << 1 << 0.0f << true << 1 << QString();
        QTest::newRow("square root with a cut-off")
            << true << 1 << 0.5f << true << 1
            << "У подключенного HART прибора с корнеизвлекающей передаточной функцией необходимо установить "
               "параметрам 'Порог линеаризации', 'Порог отсечки', 'Ширина гистерезиса' значение 0. "
               "Вкладка HART > Специфические > Корнеизвлекающая зависимость.";
        QTest::newRow("unknown function") << true << 2 << 0.0f << true << 7
                                          << "У подключенного HART прибора используется неизвестная зависимость.";
        QTest::newRow("range unanswered") << true << 1 << 0.0f << false << 7
                                          << "При чтении параметра Передаточная функция произошла ошибка";
    }

    void readForVerification()
    {
        QFETCH(bool, transmitter);
        QFETCH(int, transferFunction);
        QFETCH(float, cutoff);
        QFETCH(bool, rangeAnswered);
        QFETCH(int, characteristic);
        QFETCH(QString, message);
        Rig rig;
        if (transmitter) {
            rig.emulator().attachHartTransmitter(HartVariant::Family);
            HartTransmitterState state = rig.emulator().hartTransmitter().state();
            state.transferFunction = quint8(transferFunction);
            state.sqrtLinearizationThreshold = 0.0f;
            state.sqrtCutoffThreshold = cutoff;
            state.sqrtHysteresisWidth = 0.0f;
            state.currentOutputType = 0;
            rig.emulator().hartTransmitter().setState(state);
            if (!rangeAnswered)
                rig.emulator().hartTransmitter().setFault(15, HartFault::Silent);
        }
        {
            QMutexLocker lock(rig.device().mutex());
            rig.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = transmitter ? 1 : 0;
            rig.device().secondChannel()->name = "до чтения";
            rig.device().secondChannel()->characteristic = 7;
            rig.device().secondChannel()->hartOutput = !transmitter;
        }
        QVERIFY(rig.run(2));
        if (message.isEmpty())
            QCOMPARE(rig.bench.popUps(), QStringList());
        else
            QTRY_VERIFY(rig.bench.popUps().contains(message));
        const ChannelRecord second = rig.secondChannel();
        QCOMPARE(second.name, QString(transmitter ? "Датчик давления ПД-1" : "до чтения"));
        QCOMPARE(second.hartOutput, transmitter);
        QCOMPARE(int(second.outputType), transmitter ? 0 : 1);
        QCOMPARE(int(second.characteristic), characteristic);
        if (transmitter)
            return;
        QCOMPARE(emulatorCommands(rig.emulator()),
                 QStringList({"10;16;2;4", "10;48;2;4", "10;262;0;1", "1;4", "10;30;3;2", "10;278;0;4"}));
        const DeviceSettings block = rig.block();
        QCOMPARE(block.floatAt(DeviceSettings::ModuleTemperatureByte), 21.5f);
        QCOMPARE(block.u32At(DeviceSettings::CalibratorSerialByte), 2101u);
        QCOMPARE(rig.device().verificationSettings()->accuracyClassText, QString("0.05"));
        QCOMPARE(rig.progress.last().at(0).toInt(), 96);
    }

    void unknownOperationAndExit()
    {
        Rig rig;
        QVERIFY(rig.run(9));
        QCOMPARE(rig.finished.last().at(0).toInt(), 9);
        QVERIFY(rig.emulator().requests().isEmpty());

        // Leaving while a read runs waits for it: nothing of the device is used after it is gone.
        rig.emulator().setReplyDelayMs(100);
        rig.device().startAlgorithm(0, false, 0);
        QVERIFY(rig.emulator().waitForRequests(rig.emulator().requestCount() + 1, BoundedWait::stepMs));
        rig.bench.destroyDevice();
    }
};

QTEST_MAIN(TestSettingsOperations)
#include "test_settings_operations.moc"
