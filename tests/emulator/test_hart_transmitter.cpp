#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "HartDeviceData.h"
#include "HartFrame.h"
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

    // Through the calibrator on its port, a paced transmitter answers no sooner than the HART wire
    // time of the request and its reply.
    void pacedThroughTheCalibrator()
    {
        CalibratorEmulator emulator;
        QVERIFY(emulator.start());
        emulator.attachHartTransmitter();
        HartDeviceData record;
        record.uniqueId = QByteArray::fromHex("1A01123456");
        QByteArray frame;
        buildHartFrame(frame, record, 0, HartFrame::LongAddress, HartFrame::MasterToSlave);
        HartTransmitterOptions options;
        options.paced = true;
        emulator.hartTransmitter().setOptions(options);
        QElapsedTimer timer;
        timer.start();
        QByteArray reply = ask(emulator, passThroughCommand(frame));
        QVERIFY2(timer.elapsed() >= qint64((5 + 9 + 5 + 33) * HartCharacterMs) - 1, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(parseHartResponse(reply, record, 0, HartFrame::LongAddress), reply);
        QCOMPARE(emulator.hartTransmitter().commands(), QList<int>({0}));
    }
};

QTEST_GUILESS_MAIN(TestHartTransmitter)
#include "test_hart_transmitter.moc"
