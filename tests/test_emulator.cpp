#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "CalibratorMap.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int ReadTimeoutMs = 3000;
constexpr double ByteTimeMs = 1.0417;

// The workstation's side of the line: the slave path opened raw, as a serial port.
class PortClient
{
public:
    explicit PortClient(const QString& path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios settings{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~PortClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes) { return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    QByteArray readReply()
    {
        return readUntil([](const QByteArray& b) { return b.endsWith('\r'); });
    }
    QByteArray readBytes(int count)
    {
        return readUntil([count](const QByteArray& b) { return b.size() >= count; });
    }

private:
    QByteArray readUntil(const std::function<bool(const QByteArray&)>& done)
    {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        while (!done(bytes) && timer.elapsed() < ReadTimeoutMs) {
            pollfd readable{m_fd, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0)
                continue;
            char chunk[256];
            const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
            if (count > 0)
                bytes.append(chunk, int(count));
        }
        return bytes;
    }

    int m_fd;
};

// An emulator with a port opened on it.
struct Rig
{
    Rig() : started(emulator.start()), port(emulator.portPath()) {}
    bool ok() const { return started && port.isOpen(); }

    CalibratorEmulator emulator;
    bool started;
    PortClient port;
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

QByteArray ask(Rig& rig, const QString& command, int address = 1)
{
    rig.port.send(request(address, command));
    return dataOf(rig.port.readReply(), address);
}

// A whole identify reply whose check value the workstation rejects.
bool answersWithBadCheck(Rig& rig)
{
    rig.port.send(request(1, "0"));
    const QByteArray reply = rig.port.readReply();
    return reply.startsWith("!1;$70;") && reply.endsWith('\r') && dataOf(reply, 1) == "<rejected>";
}

}  // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void identifyAnswersTypeWithOwnAddress_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("address");
        QTest::newRow("ZFN-020") << CalibratorMap::TypeZfn020 << 1;
        QTest::newRow("ZFN-030") << CalibratorMap::TypeZfn030 << 1;
        QTest::newRow("LMV-160") << CalibratorMap::TypeLmv160 << 1;
        QTest::newRow("address 42") << CalibratorMap::TypeZfn030 << 42;
    }
    void identifyAnswersTypeWithOwnAddress()
    {
        QFETCH(int, type);
        QFETCH(int, address);
        Rig rig;
        rig.emulator.setDeviceType(type);
        rig.emulator.setAddress(address);
        QVERIFY(rig.ok());
        QByteArray search;
        AsciiUail::makeSearchPackage(0, search);
        rig.port.send(search);
        QByteArray reply = rig.port.readReply();
        quint8 replyAddress = 0;
        QVERIFY2(AsciiUail::unpackPackageGetAddress(reply, replyAddress), reply.constData());
        QCOMPARE(int(replyAddress), address);
        QCOMPARE(reply, "$" + QByteArray::number(type));
        QCOMPARE(ask(rig, "0", address), "$" + QByteArray::number(type));
    }

    void valuesAndRegistersRoundTrip()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setValue("5", "12.345");
        rig.emulator.setValue("19", "7");
        rig.emulator.setValue("19;0;2", "3");
        QCOMPARE(ask(rig, "1;5"), QByteArray("12.345"));
        QCOMPARE(ask(rig, "1;5;0;2"), QByteArray("12.345"));
        QCOMPARE(ask(rig, "1;19;0;2"), QByteArray("3"));
        QCOMPARE(ask(rig, "1;19;1;2"), QByteArray("7"));
        QCOMPARE(ask(rig, "1;99"), QByteArray("$2"));

        rig.emulator.setRegister(30, 3, "123456");
        QCOMPARE(ask(rig, "10;30;3;2"), QByteArray("123456"));
        QCOMPARE(ask(rig, "10;30;2;2"), QByteArray("$2"));
        QCOMPARE(ask(rig, "11;16;2;4;00FF10AB"), QByteArray("$0"));
        QCOMPARE(rig.emulator.registerText(16, 2).left(8), QByteArray("00FF10AB"));
        QCOMPARE(ask(rig, "10;16;2;4").left(8), QByteArray("00FF10AB"));
        QCOMPARE(ask(rig, "11;49;0;1;"), QByteArray("$0"));
        QCOMPARE(ask(rig, "10;49;0;1"), QByteArray(""));
        QCOMPARE(ask(rig, "11;x;0;1;5"), QByteArray("$2"));
        QCOMPARE(ask(rig, "12;1"), QByteArray("$1"));
    }

    void commandTableTakesNewHandlers()
    {
        Rig rig;
        QVERIFY(rig.ok());
        QCOMPARE(ask(rig, "40;x;0102"), QByteArray("$1"));
        rig.emulator.setCommandHandler(CalibratorMap::CmdHartPassThrough,
                                       [](const QStringList& p) { return p.join('|').toLatin1(); });
        QCOMPARE(ask(rig, "40;x;0102"), QByteArray("x|0102"));
    }

    void sessionFollowsStartAndReleaseFrames()
    {
        Rig rig;
        QVERIFY(rig.ok());
        QVERIFY(!rig.emulator.isSessionOpen());
        rig.port.send(QByteArray("\xFF:1;11;1;0;1;1;43755\r\xFF"));
        QCOMPARE(dataOf(rig.port.readReply(), 1), QByteArray("$0"));
        QVERIFY(rig.emulator.isSessionOpen());
        rig.port.send(QByteArray("\xFF:1;11;200;0;1;200;19630\r\xFF"));
        QCOMPARE(dataOf(rig.port.readReply(), 1), QByteArray("$0"));
        QVERIFY(!rig.emulator.isSessionOpen());
    }

    // The workstation's own port settings, and a fresh open and close around every exchange.
    void serialPortOpenedForEveryExchange()
    {
        CalibratorEmulator emulator;
        QVERIFY(emulator.start());
        for (int i = 0; i < 3; ++i) {
            QSerialPort port(emulator.portPath());
            port.setBaudRate(QSerialPort::Baud9600);
            port.setDataBits(QSerialPort::Data8);
            port.setParity(QSerialPort::NoParity);
            port.setStopBits(QSerialPort::OneStop);
            port.setFlowControl(QSerialPort::SoftwareControl);
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            port.write(request(1, "0"));
            QVERIFY(port.waitForBytesWritten(ReadTimeoutMs));
            QByteArray reply;
            while (!reply.endsWith('\r') && port.waitForReadyRead(ReadTimeoutMs))
                reply += port.readAll();
            QCOMPARE(dataOf(reply, 1), QByteArray("$70"));
            port.close();
        }
        QCOMPARE(emulator.requestCount(), 3);
    }

    void logHoldsEveryFrameAndResyncs()
    {
        Rig rig;
        QVERIFY(rig.ok());
        std::mutex observedMutex;
        QStringList observed;
        rig.emulator.setRequestObserver([&](const EmulatorRequest& r) {
            std::lock_guard<std::mutex> lock(observedMutex);
            observed << r.command;
        });
        const QByteArray read = request(1, "10;16;2;4");
        QByteArray badCheck = request(1, "1;5");
        badCheck.replace("1;5;", "1;6;");
        rig.port.send("noise\xFF" + request(1, "1;1").left(6));
        rig.port.send(read.left(5));
        QTest::qWait(30);
        const qint64 secondHalfUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count();
        rig.port.send(read.mid(5));
        rig.port.send(badCheck + request(7, "1;5"));
        QVERIFY(rig.emulator.waitForRequests(3, ReadTimeoutMs));

        const QList<EmulatorRequest> log = rig.emulator.requests();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.at(0).frame, read);
        QCOMPARE(log.at(0).address, 1);
        QCOMPARE(log.at(0).command, QString("10;16;2;4"));
        QVERIFY(log.at(0).validCrc);
        QCOMPARE(log.at(1).command, QString("1;6"));
        QVERIFY(!log.at(1).validCrc);
        QCOMPARE(log.at(2).address, 7);
        QVERIFY(log.at(2).validCrc);
        QVERIFY(log.at(0).timeUs >= secondHalfUs);
        QVERIFY(log.at(0).timeUs <= log.at(1).timeUs && log.at(1).timeUs <= log.at(2).timeUs);
        {
            std::lock_guard<std::mutex> lock(observedMutex);
            QCOMPARE(observed, QStringList({"10;16;2;4", "1;6", "1;5"}));
        }
        rig.emulator.clearRequests();
        QCOMPARE(rig.emulator.requestCount(), 0);
    }

    // Every case sends a request that must stay unanswered, then a good one: the first bytes that
    // come back must be the good one's reply.
    void unansweredRequests_data()
    {
        QTest::addColumn<QByteArray>("unanswered");
        QByteArray wrongCheck = request(1, "1;5");
        wrongCheck.replace("1;5;", "1;5;9");
        QTest::newRow("wrong check value") << wrongCheck;
        QTest::newRow("other address") << request(2, "1;5");
        QTest::newRow("not identify at address 0") << request(0, "1;5");
    }
    void unansweredRequests()
    {
        QFETCH(QByteArray, unanswered);
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setValue("5", "4.5");
        rig.port.send(unanswered);
        QCOMPARE(ask(rig, "1;5"), QByteArray("4.5"));
        QCOMPARE(rig.emulator.requestCount(), 2);
    }

    void silenceAppliesFromTheNextRequest()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setSilent(true);
        rig.port.send(request(0, "0"));
        QVERIFY(rig.emulator.waitForRequests(1, ReadTimeoutMs));
        rig.emulator.setSilent(false);
        QCOMPARE(ask(rig, "11;2;0;1;0"), QByteArray("$0"));
        QCOMPARE(rig.emulator.requestCount(), 2);
    }

    void badCheckRepliesCountDown()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setBadCheckReplies(2);
        QVERIFY(answersWithBadCheck(rig));
        QVERIFY(answersWithBadCheck(rig));
        QCOMPARE(ask(rig, "0"), QByteArray("$70"));
        rig.emulator.setBadCheckReplies(-1);
        for (int i = 0; i < 3; ++i)
            QVERIFY(answersWithBadCheck(rig));
        rig.emulator.setBadCheckReplies(0);
        QCOMPARE(ask(rig, "0"), QByteArray("$70"));
    }

    void statusRepliesMatchWholeFields()
    {
        Rig rig;
        QVERIFY(rig.ok());
        rig.emulator.setRegister(160, 2, "AA");
        rig.emulator.setStatusReply("10;16", 5);
        rig.emulator.setStatusReply("10", 7);
        rig.emulator.setStatusReply("11", 9);
        QCOMPARE(ask(rig, "10;16;2;4"), QByteArray("$5"));
        QCOMPARE(ask(rig, "10;160;2;1"), QByteArray("$7"));
        QCOMPARE(ask(rig, "11;160;2;1;BB"), QByteArray("$9"));
        QCOMPARE(rig.emulator.registerText(160, 2), QByteArray("AA"));
        rig.emulator.clearStatusReplies();
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
        rig.port.send(sent);
        QByteArray received = rig.port.readBytes(expected.size());
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
        QElapsedTimer timer;
        timer.start();
        rig.port.send(request(1, "10;16;2;4"));
        const QByteArray reply = rig.port.readReply();
        const double elapsedMs = timer.nsecsElapsed() / 1e6;
        QCOMPARE(dataOf(reply, 1), QByteArray(64, 'F'));
        QVERIFY2(elapsedMs >= 50 + reply.size() * ByteTimeMs, qPrintable(QString::number(elapsedMs)));
    }

    void twoEmulatorsAnswerIndependently()
    {
        Rig first;
        Rig second;
        QVERIFY(first.ok() && second.ok());
        QVERIFY(first.emulator.portPath() != second.emulator.portPath());
        second.emulator.setDeviceType(CalibratorMap::TypeLmv160);
        second.emulator.setAddress(5);
        first.port.send(request(0, "0"));
        second.port.send(request(0, "0"));
        QCOMPARE(dataOf(first.port.readReply(), 1), QByteArray("$70"));
        QCOMPARE(dataOf(second.port.readReply(), 5), QByteArray("$91"));
        QCOMPARE(first.emulator.requestCount(), 1);
        QCOMPARE(second.emulator.requestCount(), 1);
    }

    void stopAndRestart()
    {
        CalibratorEmulator emulator;
        QVERIFY(emulator.start());
        {
            PortClient port(emulator.portPath());
            // A stop must not wait for a reply that is still minutes away.
            emulator.setReplyDelayMs(600000);
            port.send(request(0, "0"));
            QVERIFY(emulator.waitForRequests(1, ReadTimeoutMs));
            emulator.stop();
        }
        QVERIFY(!emulator.isRunning());
        QVERIFY(emulator.portPath().isEmpty());

        emulator.setReplyDelayMs(0);
        QVERIFY(emulator.start());
        PortClient port(emulator.portPath());
        QVERIFY(port.isOpen());
        port.send(request(0, "0"));
        QCOMPARE(dataOf(port.readReply(), 1), QByteArray("$70"));
        QCOMPARE(emulator.requestCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "test_emulator.moc"
