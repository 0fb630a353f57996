#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>
#include <chrono>
#include <functional>

namespace {

constexpr int ReadTimeoutMs = 3000;
constexpr double ByteTimeMs = 1.0417;

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

    CalibratorEmulator emulator;
    bool started;
    QSerialPort port;
    bool opened = false;
};

QByteArray request(int address, const QString& command)
{
    return AsciiUail::makePackage(command, quint8(address));
}

// What the workstation makes of a reply: its data field, or a marker when it rejects the frame.
QByteArray dataOf(QByteArray reply, int address)
{
    return AsciiUail::unpackPackage(reply, quint8(address)) ? reply : QByteArray("<rejected>");
}

QByteArray ask(Rig& rig, const QString& command)
{
    rig.send(request(1, command));
    return dataOf(rig.readReply(), 1);
}

// A whole identify reply whose check value the workstation rejects.
bool answersWithBadCheck(Rig& rig)
{
    rig.send(request(1, "0"));
    const QByteArray reply = rig.readReply();
    return reply.startsWith("!1;$70;") && reply.endsWith('\r') && dataOf(reply, 1) == "<rejected>";
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
        const qint64 secondHalfUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count();
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

    // Every case sends a request that must stay unanswered, then a good one: the first bytes that
    // come back must be the good one's reply.
    void unansweredRequests_data()
    {
        QTest::addColumn<QByteArray>("unanswered");
        QByteArray wrongCheck = request(1, "1;1");
        wrongCheck.replace("1;1;", "1;1;9");
        QTest::newRow("wrong check value") << wrongCheck;
        QTest::newRow("other address") << request(2, "1;1");
        QTest::newRow("not identify at address 0") << request(0, "1;1");
    }

    void unansweredRequests()
    {
        QFETCH(QByteArray, unanswered);
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setValue("1", "1.5");
        rig.emulator.setValue("5", "4.5");
        rig.send(unanswered);
        QCOMPARE(ask(rig, "1;5"), QByteArray("4.5"));
        QCOMPARE(rig.emulator.requestCount(), 2);
    }

    // Bad check values count down; a status reply matches whole fields of the request.
    void badChecksAndStatusReplies()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setBadCheckReplies(2);
        QVERIFY(answersWithBadCheck(rig));
        QVERIFY(answersWithBadCheck(rig));
        QCOMPARE(ask(rig, "0"), QByteArray("$70"));
        rig.emulator.setRegister(160, 2, "AA");
        rig.emulator.setStatusReply("10;16", 5);
        rig.emulator.setStatusReply("11", 9);
        QCOMPARE(ask(rig, "10;16;2;4"), QByteArray("$5"));
        QCOMPARE(ask(rig, "11;160;2;1;BB"), QByteArray("$9"));
        QCOMPARE(ask(rig, "10;160;2;1"), QByteArray("AA"));
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
        QByteArray reply = "!1;101.325;";
        reply += QByteArray::number(AsciiUail::crc16("1;101.325;")) + '\r';
        const QByteArray expected = sent + "abc" + reply;

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
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "test_emulator.moc"
