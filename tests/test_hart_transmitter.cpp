#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "HartDeviceData.h"
#include "HartFrame.h"
#include "HartPackedAscii.h"
#include "HartTransmitter.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSerialPort>
#include <QtTest>
#include <cstring>

Q_DECLARE_METATYPE(HartVariant)
Q_DECLARE_METATYPE(HartFault)
Q_DECLARE_METATYPE(HartReplyOutcome)

namespace {

constexpr int ReadTimeoutMs = 3000;
constexpr double HartCharacterMs = 11.0 * 1000.0 / 1200.0;

// "40;" + the frame text's length as one raw character + ";" + the frame text.
QString passThroughCommand(const QByteArray& frameText)
{
    return QStringLiteral("40;") + QChar(frameText.size() % 256) + QLatin1Char(';') + QString::fromLatin1(frameText);
}

QByteArray wireFloats(std::initializer_list<float> values)
{
    QByteArray out;
    for (float value : values) {
        quint32 bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char(bits >> shift);
    }
    return out;
}

// The workstation's side: the frame layer as master, talking to the transmitter directly.
struct Master
{
    explicit Master(HartTransmitter& transmitter)
        : t(transmitter)
    {
        QByteArray id = QByteArray::fromHex(t.identityValue());
        id[0] = char(id.at(0) & 0xBF);
        record.uniqueId = id;
    }

    // The calibrator's answer: the reply frame's text or a "$" status.
    QByteArray exchange(int command, const QByteArray& data)
    {
        QByteArray frame = data;
        buildHartFrame(frame, record, quint8(command), HartFrame::LongAddress, HartFrame::MasterToSlave);
        return t.passThrough(passThroughCommand(frame).mid(3).split(QLatin1Char(';')));
    }

    HartReplyOutcome send(int command, const QByteArray& data = QByteArray())
    {
        QByteArray reply = exchange(command, data);
        HartReplyOutcome outcome = HartReplyOutcome::Invalid;
        if (!reply.startsWith('$'))
            parseHartResponse(reply, record, command, HartFrame::LongAddress, &outcome);
        return outcome;
    }

    HartTransmitter& t;
    HartDeviceData record;
};

QString unpacked(const quint8* bytes, int size)
{
    return unpackAscii(bytes, size);
}

// A calibrator line opened the way the workstation opens it.
QByteArray ask(CalibratorEmulator& emulator, const QString& command)
{
    QSerialPort port(emulator.portPath());
    port.setBaudRate(QSerialPort::Baud9600);
    port.setFlowControl(QSerialPort::SoftwareControl);
    if (!port.open(QIODevice::ReadWrite))
        return "<no port>";
    port.write(AsciiUail::makePackage(command, 1));
    port.waitForBytesWritten(ReadTimeoutMs);
    QByteArray reply;
    while (!reply.endsWith('\r') && port.waitForReadyRead(ReadTimeoutMs))
        reply += port.readAll();
    return AsciiUail::unpackPackage(reply, 1) ? reply : QByteArray("<rejected>");
}

}  // namespace

class TestHartTransmitter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void readsDecodeIntoTheRecord_data()
    {
        QTest::addColumn<HartVariant>("variant");
        QTest::newRow("family") << HartVariant::Family;
        QTest::newRow("revision 5") << HartVariant::Hart5;
    }

    // Every read the workstation sends lands, through the frame layer, in the fields it belongs to.
    void readsDecodeIntoTheRecord()
    {
        QFETCH(HartVariant, variant);
        StopToken stop;
        HartTransmitter t(stop);
        t.reset(variant);
        HartTransmitterState s = t.state();
        s.manufacturerCode = 0xDA;
        s.pvValue = 123.5f, s.damping = 2.5f, s.upperRangeValue = 1600.0f, s.minimumSpan = 40.0f;
        s.guideMaxUpper = 1800.0f, s.trimPointUpper = 1500.0f, s.outputGain = 1.25f, s.alarmCurrentHigh = 21.75f;
        s.sqrtCutoffThreshold = 0.75f, s.displayDecimals = 4, s.menuPassword = 0x1234, s.scaleShiftA = -1.25f;
        s.scaleShiftB = 3.5f, s.configChangeCounter = 0x0102;
        t.setState(s);
        Master m(t);
        QCOMPARE(m.record.uniqueId, QByteArray::fromHex("9A01123456"));

        for (const int command : {0, 1, 12, 13, 14, 15, 48, 80, 81, 122, 128, 130, 132, 134, 145, 147}) {
            const QByteArray data = command == 80 || command == 81 ? QByteArray(1, '\0') : QByteArray();
            QVERIFY2(m.send(command, data) == HartReplyOutcome::Success, qPrintable(QString::number(command)));
        }
        const HartDeviceData& d = m.record;
        const bool hart5 = variant == HartVariant::Hart5;
        QCOMPARE(int(d.manufacturerCode), 0xDA);
        QCOMPARE(int(d.universalRevision), hart5 ? 5 : 7);
        QCOMPARE(int(d.responsePreambles), hart5 ? 0 : 5);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.configChangeCounter), 2), hart5 ? QByteArray(2, '\0') : QByteArray("\x01\x02"));
        QCOMPARE(int(d.analogChannelFlags), 0);
        QCOMPARE(unpacked(d.tag, 6), QStringLiteral("PT-101"));
        QCOMPARE(unpacked(d.descriptor, 12), QStringLiteral("PRESSURE SENSOR"));
        QCOMPARE(unpacked(d.message, 24), QStringLiteral("EMULATED TRANSMITTER"));
        QCOMPARE(int(d.date[1]), 12);
        QCOMPARE(d.pvValue, 123.5f);
        QCOMPARE(int(d.pvUnit), 12);
        QCOMPARE(d.upperRangeValue, 1600.0f);
        QCOMPARE(d.damping, 2.5f);
        QCOMPARE(d.minimumSpan, 40.0f);
        QCOMPARE(d.guideMaxUpper, 1800.0f);
        QCOMPARE(d.trimPointUpper, 1500.0f);
        QCOMPARE(d.outputGain, 1.25f);
        QCOMPARE(d.alarmCurrentHigh, 21.75f);
        QCOMPARE(d.sqrtCutoffThreshold, 0.75f);
        QCOMPARE(int(d.displayDecimals), 4);
        QCOMPARE(int(quint16(d.menuPassword)), 0x1234);
        QCOMPARE(d.scaleShiftA, -1.25f);
        QCOMPARE(d.scaleShiftB, 3.5f);

        QCOMPARE(m.send(20), hart5 ? HartReplyOutcome::DeviceError : HartReplyOutcome::Success);
        QCOMPARE(int(d.responseCode), hart5 ? 64 : 0);
        if (!hart5)
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.longTag), 32), s.longTag);
    }

    void writesEchoAndChangeState()
    {
        StopToken stop;
        HartTransmitter t(stop);
        Master m(t);
        QCOMPARE(m.exchange(35, char(12) + wireFloats({500.0f, 10.0f})).mid(20, 18),
                 ("0C" + wireFloats({500.0f, 10.0f}).toHex().toUpper()));
        QCOMPARE(t.state().upperRangeValue, 500.0f);
        QCOMPARE(t.state().lowerRangeValue, 10.0f);
        QCOMPARE(m.send(0), HartReplyOutcome::Success);
        QCOMPARE(int(m.record.deviceStatus), 0x40);
        QCOMPARE(int(m.record.configChangeCounter[1]), 1);
        QCOMPARE(m.send(38, QByteArray("\x00\x02", 2)), HartReplyOutcome::DeviceError);
        QCOMPARE(m.send(38, QByteArray("\x00\x01", 2)), HartReplyOutcome::Success);
        QCOMPARE(int(m.record.deviceStatus), 0);

        QCOMPARE(m.send(44, QByteArray(1, char(237))), HartReplyOutcome::Success);
        QCOMPARE(t.state().upperRangeValue, 0.5f);
        QCOMPARE(t.state().pvValue, 0.25f);
        QCOMPARE(int(t.state().rangeUnit), 237);

        QCOMPARE(m.send(6, QByteArray("\x03\x01", 2)), HartReplyOutcome::Success);
        QCOMPARE(int(m.record.pollingAddressByte), 0x83);
        QCOMPARE(t.pollingAddressValue(), QByteArray("3"));
        QCOMPARE(m.send(6, QByteArray("\x40\x01", 2)), HartReplyOutcome::DeviceError);

        // Refused writes change nothing, the configuration counter included.
        const quint16 counter = t.state().configChangeCounter;
        QCOMPARE(m.send(34, QByteArray(2, '\0')), HartReplyOutcome::DeviceError);
        QCOMPARE(int(m.record.responseCode), 5);
        HartTransmitterState s = t.state();
        s.writeProtect = 1;
        t.setState(s);
        QCOMPARE(m.send(18, QByteArray(21, '\0')), HartReplyOutcome::DeviceError);
        QCOMPARE(int(m.record.responseCode), 7);
        QCOMPARE(m.send(40, wireFloats({4.0f})), HartReplyOutcome::DeviceError);
        QCOMPARE(t.state().tag, s.tag);
        QCOMPARE(t.state().configChangeCounter, counter);
        QVERIFY(!t.state().fixedCurrentMode);
        s.writeProtect = 0;
        s.damping = 7.0f;
        t.setState(s);

        QCOMPARE(m.send(136, QByteArray(1, '\1')), HartReplyOutcome::DeviceError);
        QCOMPARE(int(m.record.responseCode), 8);
        QCOMPARE(m.send(136, QByteArray(1, '\0')), HartReplyOutcome::Success);
        QCOMPARE(m.send(136, QByteArray(1, '\1')), HartReplyOutcome::Success);
        QCOMPARE(t.state().damping, 0.5f);
        QCOMPARE(int(t.state().pvUnit), 12);
        QCOMPARE(t.commands(), QList<int>({35, 0, 38, 38, 44, 6, 6, 34, 18, 40, 136, 136, 136}));
    }

    void variantsLackTheirCommands_data()
    {
        QTest::addColumn<HartVariant>("variant");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("code");
        QTest::newRow("foreign, device-specific") << HartVariant::Foreign << 128 << QByteArray() << 64;
        QTest::newRow("foreign, trim points") << HartVariant::Foreign << 80 << QByteArray(1, '\0') << 64;
        QTest::newRow("foreign, two-point reset") << HartVariant::Foreign << 83 << QByteArray(1, '\0') << 64;
        QTest::newRow("foreign, universal") << HartVariant::Foreign << 15 << QByteArray() << 0;
        QTest::newRow("no trim, zero") << HartVariant::NoCurrentTrim << 45 << wireFloats({4.0f}) << 64;
        QTest::newRow("no trim, gain") << HartVariant::NoCurrentTrim << 46 << wireFloats({20.0f}) << 64;
        QTest::newRow("no trim, coefficients") << HartVariant::NoCurrentTrim << 122 << QByteArray() << 0;
        QTest::newRow("family, trim outside fixed current") << HartVariant::Family << 45 << wireFloats({4.0f}) << 9;
        QTest::newRow("family, unknown") << HartVariant::Family << 200 << QByteArray() << 64;
        QTest::newRow("revision 5, long tag write") << HartVariant::Hart5 << 22 << QByteArray(32, 'A') << 64;
    }

    void variantsLackTheirCommands()
    {
        QFETCH(HartVariant, variant);
        QFETCH(int, command);
        QFETCH(QByteArray, data);
        QFETCH(int, code);
        StopToken stop;
        HartTransmitter t(stop);
        t.reset(variant);
        Master m(t);
        QVERIFY(m.send(command, data) != HartReplyOutcome::Invalid);
        QCOMPARE(int(m.record.responseCode), code);
    }

    // The loop current follows the output, and the coefficient trim of a transmitter without
    // commands 45 and 46 corrects a DAC with gain and offset errors.
    void loopCurrentAndStatusBits()
    {
        StopToken stop;
        HartTransmitter t(stop);
        Master m(t);
        QCOMPARE(t.loopCurrentValue(), QByteArray("8.0000"));
        HartTransmitterState s = t.state();
        s.moreStatusAvailable = true;
        s.dacScale = 1.0125;
        s.dacShift = 0.05;
        t.setState(s);

        QCOMPARE(m.send(40, wireFloats({4.0f})), HartReplyOutcome::Success);
        QCOMPARE(int(m.record.deviceStatus), 0x18);
        const double low = t.loopCurrentValue().toDouble();
        QCOMPARE(m.send(48), HartReplyOutcome::Success);
        QCOMPARE(int(m.record.deviceStatus), 0x08);
        QCOMPARE(m.send(40, wireFloats({20.0f})), HartReplyOutcome::Success);
        const double high = t.loopCurrentValue().toDouble();
        QVERIFY(std::abs(high - 20.3) < 0.001);
        QCOMPARE(m.send(122), HartReplyOutcome::Success);
        const double gain = 16.0 * double(m.record.outputGain) / (high - low);
        const double offset = 20.0 * double(m.record.outputGain) - high * gain + double(m.record.outputOffset);
        QCOMPARE(m.send(123, wireFloats({float(gain), float(offset)})), HartReplyOutcome::Success);
        QCOMPARE(m.send(40, wireFloats({12.0f})), HartReplyOutcome::Success);
        QVERIFY2(std::abs(t.loopCurrentValue().toDouble() - 12.0) < 0.001, t.loopCurrentValue());

        // The transmitter's own zero trim moves the output by what the master measured.
        QCOMPARE(m.send(40, wireFloats({4.0f})), HartReplyOutcome::Success);
        QCOMPARE(m.send(45, wireFloats({4.5f})), HartReplyOutcome::Success);
        QVERIFY(t.state().outputOffset < float(offset) - 0.49f);
        QCOMPARE(m.send(42), HartReplyOutcome::Success);
        QCOMPARE(int(m.record.deviceStatus) & 0x08, 0);
    }

    void faultsSpoilReplies_data()
    {
        QTest::addColumn<HartFault>("fault");
        QTest::addColumn<QString>("log");
        QTest::addColumn<HartReplyOutcome>("outcome");
        QTest::newRow("check") << HartFault::BadCheck << "hart checksum error" << HartReplyOutcome::Invalid;
        QTest::newRow("address") << HartFault::WrongAddress << "bad adress" << HartReplyOutcome::Invalid;
        QTest::newRow("command") << HartFault::WrongCommand << "bad command" << HartReplyOutcome::Invalid;
        QTest::newRow("count 0") << HartFault::ByteCountZero << "bad lenght" << HartReplyOutcome::Invalid;
        QTest::newRow("count 1") << HartFault::ByteCountOne << "bad lenght" << HartReplyOutcome::Invalid;
        QTest::newRow("short data") << HartFault::ShortData << "bad lenght 4 expected 5" << HartReplyOutcome::Invalid;
        QTest::newRow("comm error") << HartFault::CommError << "COMM ERROR 136" << HartReplyOutcome::CommError;
    }

    // A spoilt reply to a read: the frame layer refuses it or tells a communication error apart,
    // and the record keeps the value it had.
    void faultsSpoilReplies()
    {
        QFETCH(HartFault, fault);
        QFETCH(QString, log);
        StopToken stop;
        HartTransmitter t(stop);
        Master m(t);
        t.setFault(1, fault);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("UniversalCommands::parseHartResponse " + log));
        QFETCH(HartReplyOutcome, outcome);
        QCOMPARE(m.send(1), outcome);
        QCOMPARE(m.record.pvValue, 0.0f);
        QCOMPARE(m.send(15), HartReplyOutcome::Success);
    }

    void chosenCodesAndSilence()
    {
        StopToken stop;
        HartTransmitter t(stop);
        Master m(t);
        t.setResponseCode(1, 8);
        t.setResponseCode(35, 32);
        t.setFault(HartTransmitterOptions::AnyCommand, HartFault::Silent);
        t.setFault(1, HartFault::None);
        t.setFault(35, HartFault::None);
        QCOMPARE(m.send(1), HartReplyOutcome::Warning);
        QCOMPARE(m.record.pvValue, 250.0f);
        QCOMPARE(m.send(35, char(12) + wireFloats({500.0f, 10.0f})), HartReplyOutcome::DeviceError);
        QCOMPARE(t.state().upperRangeValue, 1000.0f);
        QCOMPARE(m.exchange(15, QByteArray()), QByteArray("$14"));
        // A communication error: the transmitter did not run the write.
        t.setFault(35, HartFault::CommError);
        QCOMPARE(m.send(35, char(12) + wireFloats({500.0f, 10.0f})), HartReplyOutcome::CommError);
        QCOMPARE(t.state().upperRangeValue, 1000.0f);

        t.clearFaults();
        const QByteArray frame = QByteArray::fromHex("8201123456000082");  // another transmitter's address
        QByteArray text = frame.toHex();
        QCOMPARE(t.passThrough({QString(QChar(text.size())), QString::fromLatin1(text)}), QByteArray("$14"));
        text = QByteArray::fromHex("821A0112345600008A").toHex();  // wrong check byte
        QCOMPARE(t.passThrough({QString(QChar(text.size())), QString::fromLatin1(text)}), QByteArray("$14"));
        QCOMPARE(t.passThrough({QString(QChar(text.size() + 1)), QString::fromLatin1(text)}), QByteArray("$2"));
        QCOMPARE(t.passThrough({QString(QChar(3)), QStringLiteral("82G")}), QByteArray("$2"));
        QCOMPARE(t.commands(), QList<int>({1, 35, 15, 35}));
    }

    // Through the calibrator on its port: values 19 and 20, the raw length character of command 40,
    // the modem switch, the calibrator's own status replies and the HART wire time.
    void throughTheCalibrator()
    {
        CalibratorEmulator emulator;
        QVERIFY(emulator.start());
        QCOMPARE(ask(emulator, "40;\x12;820011123456000" "0E3"), QByteArray("$1"));
        emulator.attachHartTransmitter();
        QCOMPARE(ask(emulator, "1;19;0;2"), QByteArray("0"));
        QCOMPARE(ask(emulator, "1;20;0;2"), QByteArray("1A01123456"));

        HartDeviceData record;
        record.uniqueId = QByteArray::fromHex("1A01123456");
        QByteArray frame;
        buildHartFrame(frame, record, 0, HartFrame::LongAddress, HartFrame::MasterToSlave);
        QByteArray reply = ask(emulator, passThroughCommand(frame));
        QVERIFY2(parseHartResponse(reply, record, 0, HartFrame::LongAddress), reply);
        QCOMPARE(int(record.universalRevision), 7);
        QCOMPARE(emulator.hartTransmitter().commands(), QList<int>({0}));

        HartTransmitterOptions options;
        options.paced = true;
        emulator.hartTransmitter().setOptions(options);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!ask(emulator, passThroughCommand(frame)).startsWith('$'));
        QVERIFY2(timer.elapsed() >= qint64((5 + 9 + 5 + 33) * HartCharacterMs) - 1, qPrintable(QString::number(timer.elapsed())));

        emulator.setStatusReply("40", 13);
        QCOMPARE(ask(emulator, passThroughCommand(frame)), QByteArray("$13"));
        emulator.clearStatusReplies();
        QCOMPARE(ask(emulator, "11;275;0;1;0"), QByteArray("$0"));
        QCOMPARE(ask(emulator, passThroughCommand(frame)), QByteArray("$16"));
        QCOMPARE(ask(emulator, "1;19;0;2"), QByteArray("$16"));
        emulator.setValue("19", "");
        QCOMPARE(ask(emulator, "1;19;0;2"), QByteArray(""));
        QCOMPARE(emulator.hartTransmitter().commands().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestHartTransmitter)
#include "test_hart_transmitter.moc"
