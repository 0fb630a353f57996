#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "HartDeviceData.h"
#include "HartFrame.h"
#include "HartTransmitter.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>
#include <cstring>

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

    // The calibrator answers with the reply frame's text or a "$" status.
    HartReplyOutcome send(int command, const QByteArray& data = QByteArray())
    {
        QByteArray frame = data;
        buildHartFrame(frame, record, quint8(command), HartFrame::LongAddress, HartFrame::MasterToSlave);
        QByteArray reply = t.passThrough(passThroughCommand(frame).mid(3).split(QLatin1Char(';')));
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
