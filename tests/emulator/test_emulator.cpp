#include "AsciiUail.h"
#include "BoundedWait.h"
#include "CalibratorEmulator.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "HartDeviceData.h"
#include "HartFrame.h"
#include "HartTransmitter.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QtTest>
#include <chrono>
#include <cstring>
#include <functional>

namespace {

constexpr int ReadTimeoutMs = 3000;
constexpr double ByteTimeMs = 1.0417;
constexpr double HartCharacterMs = 11.0 * 1000.0 / 1200.0;

QByteArray request(int address, const QString& command)
{
    return AsciiUail::makePackage(command, quint8(address));
}

// What the workstation makes of a reply: its data field, or a marker when it rejects the frame.
QByteArray dataOf(QByteArray reply, int address)
{
    return AsciiUail::unpackPackage(reply, quint8(address)) ? reply : QByteArray("<rejected>");
}

// An emulator with the workstation's side of the line opened on it, raw.
struct Rig
{
    Rig() : started(emulator.start())
    {
        port.setPortName(emulator.portPath());
        opened = port.open(QIODevice::ReadWrite);
    }
    bool ok() const { return started && opened; }
    void send(const QByteArray& bytes)
    {
        port.write(bytes);
        port.waitForBytesWritten(ReadTimeoutMs);
    }
    QByteArray read(const std::function<bool(const QByteArray&)>& done)
    {
        QByteArray bytes;
        while (!done(bytes) && port.waitForReadyRead(ReadTimeoutMs))
            bytes += port.readAll();
        return bytes;
    }
    QByteArray readReply()
    {
        return read([](const QByteArray& b) { return b.endsWith('\r'); });
    }
    QByteArray ask(const QString& command)
    {
        send(request(1, command));
        return dataOf(readReply(), 1);
    }

    CalibratorEmulator emulator;
    bool started;
    QSerialPort port;
    bool opened = false;
};

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

qint64 nowUs()
{
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count();
}

}  // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // Noise and a cut frame before a new start are skipped; every frame is logged, the bad one too.
    void logHoldsEveryFrameAndResyncs()
    {
        Rig rig;
        QVERIFY(rig.ok());
        const QByteArray read = request(1, "10;16;2;4");
        QByteArray badCheck = request(1, "1;5");
        badCheck.replace("1;5;", "1;6;");
        rig.send("noise\xFF" + request(1, "1;1").left(6));
        rig.send(read.left(5));
        QTest::qWait(30);
        const qint64 secondHalfUs = nowUs();
        rig.send(read.mid(5));
        rig.send(badCheck + request(7, "1;5"));
        QVERIFY(rig.emulator.waitForRequests(3, ReadTimeoutMs));
        const QList<EmulatorRequest> log = rig.emulator.requests();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.at(0).frame, read);
        QCOMPARE(log.at(0).command + log.at(1).command + log.at(2).command, QString("10;16;2;41;61;5"));
        QCOMPARE(QList<bool>({log.at(0).validCrc, log.at(1).validCrc, log.at(2).validCrc}), QList<bool>({true, false, true}));
        QCOMPARE(log.at(2).address, 7);
        QVERIFY(log.at(0).timeUs >= secondHalfUs);
        QVERIFY(log.at(0).timeUs <= log.at(1).timeUs && log.at(1).timeUs <= log.at(2).timeUs);
    }

    // A calibrator that went away leaves its line to nobody: the release frame that the device
    // object sends to the line as it goes reaches no emulator started since, of any test program.
    void stoppedLineLeadsNowhere()
    {
        auto bench = std::make_unique<DeviceTestBench>();
        QVERIFY(bench->connectTo(0));
        const QString path = bench->emulator().portPath();
        bench->emulator().stop();
        CalibratorEmulator next;
        QVERIFY(next.start());
        QVERIFY(next.portPath() != path);
        bench.reset();
        // Whatever reached the new line before this request is logged before it.
        QSerialPort port(next.portPath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        port.write(request(1, "1;1"));
        QVERIFY(port.waitForBytesWritten(BoundedWait::stepMs));
        QVERIFY(next.waitForRequests(1, BoundedWait::stepMs));
        QCOMPARE(emulatorCommands(next), QStringList{"1;1"});
    }

    // Requests with a wrong check value, for another address or, at address 0, other than identify
    // stay unanswered: the first bytes back are the good request's reply. Bad check values count
    // down; a status reply matches whole fields of the request.
    void answersOnlyWhatItShould()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setValue("1", "1.5");
        rig.emulator.setValue("5", "4.5");
        QByteArray wrongCheck = request(1, "1;1");
        wrongCheck.replace("1;1;", "1;1;9");
        rig.send(wrongCheck + request(2, "1;1") + request(0, "1;1"));
        QTRY_COMPARE(rig.emulator.requestCount(), 3);
        rig.port.waitForReadyRead(100);
        QCOMPARE(rig.port.readAll(), QByteArray());
        QCOMPARE(rig.ask("1;5"), QByteArray("4.5"));
        QCOMPARE(rig.emulator.requestCount(), 4);

        rig.emulator.setBadCheckReplies(2);
        for (int i = 0; i < 2; ++i) {
            rig.send(request(1, "0"));
            const QByteArray reply = rig.readReply();
            QVERIFY(reply.startsWith("!1;$70;") && reply.endsWith('\r'));
            QCOMPARE(dataOf(reply, 1), QByteArray("<rejected>"));
        }
        QCOMPARE(rig.ask("0"), QByteArray("$70"));
        rig.emulator.setRegister(160, 2, "AA");
        rig.emulator.setStatusReply("10;16", 5);
        rig.emulator.setStatusReply("11", 9);
        QCOMPARE(rig.ask("10;16;2;4"), QByteArray("$5"));
        QCOMPARE(rig.ask("11;160;2;1;BB"), QByteArray("$9"));
        QCOMPARE(rig.ask("10;160;2;1"), QByteArray("AA"));
    }

    void echoGarbageAndSplitKeepTheReplyExact()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setValue("1", "101.325");
        rig.emulator.setEcho(true);
        rig.emulator.setLeadingGarbage("ab\x11" "c\x13");
        rig.emulator.setSplit(3, 40);
        const QByteArray sent = request(1, "1;1");
        const QByteArray expected = sent + "abc!1;101.325;" + QByteArray::number(AsciiUail::crc16("1;101.325;")) + '\r';

        QElapsedTimer timer;
        timer.start();
        rig.send(sent);
        QByteArray received = rig.read([&expected](const QByteArray& b) { return b.size() >= expected.size(); });
        QVERIFY(timer.elapsed() >= 2 * 40);
        QCOMPARE(received, expected);
        QCOMPARE(dataOf(received, 1), QByteArray("101.325"));
    }

    void pacingAndDelayAreLowerBounds()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setRegister(16, 2, QByteArray(64, 'F'));
        rig.emulator.setPaced(true);
        rig.emulator.setReplyDelayMs(50);
        const QByteArray sent = request(1, "10;16;2;4");
        QElapsedTimer timer;
        timer.start();
        rig.send(sent);
        const QByteArray reply = rig.readReply();
        const double elapsedMs = timer.nsecsElapsed() / 1e6;
        QCOMPARE(dataOf(reply, 1), QByteArray(64, 'F'));
        QVERIFY2(elapsedMs >= (sent.size() + reply.size()) * ByteTimeMs + 50, qPrintable(QString::number(elapsedMs)));
    }

    // The loop current follows the output, and the coefficient trim of a transmitter without
    // commands 45 and 46 corrects a DAC with gain and offset errors.
    void transmitterLoopCurrentAndStatusBits()
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
    void pacedTransmitterThroughTheCalibrator()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.attachHartTransmitter();
        HartDeviceData record;
        record.uniqueId = QByteArray::fromHex("1A01123456");
        QByteArray frame;
        buildHartFrame(frame, record, 0, HartFrame::LongAddress, HartFrame::MasterToSlave);
        HartTransmitterOptions options;
        options.paced = true;
        rig.emulator.hartTransmitter().setOptions(options);
        QElapsedTimer timer;
        timer.start();
        QByteArray reply = rig.ask(passThroughCommand(frame));
        QVERIFY2(timer.elapsed() >= qint64((5 + 9 + 5 + 33) * HartCharacterMs) - 1, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(parseHartResponse(reply, record, 0, HartFrame::LongAddress), reply);
        QCOMPARE(rig.emulator.hartTransmitter().commands(), QList<int>({0}));
    }

    // The printed line is pasted in front of the workstation's command: the shell must keep it whole.
    void printedPortsLineSurvivesTheShell()
    {
        QProcess emulator;
        emulator.start(QString::fromUtf8(ZFN_EMULATOR_PROGRAM), {QStringLiteral("--count"), QStringLiteral("2")});
        QVERIFY(emulator.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(emulator.canReadLine(), BoundedWait::jobMs);
        const QString line = QString::fromUtf8(emulator.readLine()).trimmed();
        emulator.terminate();
        QVERIFY(emulator.waitForFinished());

        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line + QStringLiteral(" sh -c 'printf %s \"$ZFN_PORTS\"'")});
        QVERIFY(shell.waitForFinished());
        const QStringList entries = QString::fromUtf8(shell.readAllStandardOutput()).split(QLatin1Char(';'));
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.at(0).startsWith(QStringLiteral("COM1=/dev/")));
        QVERIFY(entries.at(1).startsWith(QStringLiteral("COM2=/dev/")));
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "test_emulator.moc"
