#include "AsciiUail.h"
#include "BoundedWait.h"
#include "CalibratorLink.h"
#include "ScriptedPort.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr int timeoutMs = 200;
constexpr quint8 address = 1;

QByteArray frameOf(const QByteArray& body)
{
    return '!' + body + QByteArray::number(AsciiUail::crc16(body)) + '\r';
}

QByteArray replyFrame(const QByteArray& data)
{
    return frameOf(QByteArray::number(address) + ';' + data + ';');
}

// The frame with a digit more in its check value.
QByteArray withBadCheck(const QByteArray& frame)
{
    return frame.left(frame.size() - 1) + "1\r";
}

QByteArray request(const char* command)
{
    return AsciiUail::makePackage(QString::fromLatin1(command), address);
}

// Runs fn in a thread of its own while the test thread sets the abort flag once begun() holds.
void abortWhen(std::atomic<bool>& abort, const std::function<void()>& fn, const std::function<bool()>& begun)
{
    QThread* worker = QThread::create(fn);
    worker->start();
    if (!BoundedWait::until(begun))
        qFatal("the exchange to cut did not begin");
    abort = true;
    // The worker uses the caller's link: a cut that never ends leaves nothing safe to go on with.
    if (!worker->wait(BoundedWait::stepMs))
        qFatal("the cut exchange did not end");
    delete worker;
}

}  // namespace

Q_DECLARE_METATYPE(ScriptedPort::Piece)

// The frames, and the exchange over a scripted line with time-outs of a few hundred milliseconds:
// short enough for a quick run, long enough that a loaded machine does not outlast a wait.
class TestCalibratorLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPort> m_port;
    std::atomic<bool> m_abort{false};
    std::unique_ptr<CalibratorLink> m_link;

    // Runs one call of the link in a thread of its own under the step bound, so a call that spins
    // fails its case: at the bound the abort flag is set, and only a call that ignores even that
    // ends the program.
    template <typename Call>
    auto bounded(Call call) -> decltype(call())
    {
        decltype(call()) result{};
        const std::unique_ptr<QThread> worker(QThread::create([&] { result = call(); }));
        worker->start();
        if (!worker->wait(BoundedWait::stepMs)) {
            m_abort = true;
            if (!worker->wait(BoundedWait::stepMs))
                qFatal("the link ignored its abort");
            QTest::qFail("the link did not return within its bound", __FILE__, __LINE__);
        }
        return result;
    }

    // A call of the link in a thread of its own ends within the step bound; one that does not is
    // cut, so the case fails without leaving a thread that uses its data.
    bool endsInBound(QThread& worker)
    {
        if (BoundedWait::threadEnds(worker))
            return true;
        m_abort = true;
        if (!worker.wait(BoundedWait::stepMs))
            qFatal("the link ignored its abort");
        return false;
    }

    CalibratorLink::Status exchange(const QByteArray& frame, int ms)
    {
        return bounded([&] { return m_link->exchange(frame, ms); });
    }

    // Cuts an exchange of request once it has been written, the reply still owed.
    void cutOnceWritten(const QByteArray& frame, int ms)
    {
        const int written = m_port->requests().size();
        abortWhen(m_abort, [&] { m_link->exchange(frame, ms); }, [&] { return m_port->requests().size() > written; });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        m_abort = false;
    }

    bool arrived() const
    {
        const QList<QByteArray> events = m_port->events();
        return std::any_of(events.cbegin(), events.cend(), [](const QByteArray& event) { return event.startsWith('R'); });
    }

    // What the line saw, in order: "W" and a request's command text, "R" and a frame's data field
    // (or the bytes that make no frame).
    QStringList lineEvents() const
    {
        QStringList events;
        for (QByteArray event : m_port->events()) {
            QByteArray body = event.mid(1);
            if (event.startsWith('W'))
                body = body.mid(body.indexOf(';') + 1).left(body.lastIndexOf(';') - body.indexOf(';') - 1);
            else if (body.count('!') != 1 || !AsciiUail::unpackPackage(body, address))
                body = event.mid(1);
            events << QString::fromLatin1(event.left(1) + body);
        }
        return events;
    }

    // The next request is answered with data after ms, or never when ms is -1.
    void answerAfter(int ms, const QByteArray& data)
    {
        if (ms >= 0)
            m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame(data), ms}});
        else
            m_port->answerNothing();
    }

    CalibratorLink::Identify identify()
    {
        return bounded([&] {
            return m_link->open() ? m_link->identify(request("0"), timeoutMs) : CalibratorLink::Identify::WriteFailed;
        });
    }

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The start and release frames for address 1 are fixed bytes; the bitwise form agrees with the table.
    void checkValuesAndRequestFrames()
    {
        QCOMPARE(AsciiUail::crc16("123456789"), quint16(19255));
        QByteArray random;
        for (int i = 0; i < 300; ++i)
            random.append(char((i * 37 + 11) & 0xFF));
        QCOMPARE(AsciiUail::crc16Bitwise(reinterpret_cast<const quint8*>(random.constData()), quint16(random.size())),
                 AsciiUail::crc16(random));
        QCOMPARE(AsciiUail::makePackage("11;1;0;1;1", 1), QByteArray("\xFF:1;11;1;0;1;1;43755\r\xFF"));
        QByteArray search;
        AsciiUail::makeSearchPackage(0, search);
        QCOMPARE(search, QByteArray("\xFF:0;0;14891\r\xFF"));
    }

    // What is left in the buffer: the data of a taken reply, or, after a refusal, what stood after the
    // echo was removed, ready for late bytes.
    void unpack_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QByteArray>("left");
        const QByteArray echo("\xFF:1;10;16;2;4;53164\r\xFF");
        QTest::newRow("after the echo") << echo + "!1;ABCD;14484\r" << 1 << true << QByteArray("ABCD");
        QTest::newRow("address above a byte") << QByteArray("!257;ABCD;33389\r") << 1 << true << QByteArray("ABCD");
        QTest::newRow("after garbage") << "\x01\x7Fzz" + frameOf("7;$0;") << 7 << true << QByteArray("$0");
        QTest::newRow("wrong check") << echo + "!1;ABCD;14485\r" << 1 << false << QByteArray("\r\xFF!1;ABCD;14485");
        const QByteArray refused[] = {"!1;A;B;32245\r", "!1;ABCD;14484", frameOf("2;ABCD;"), QByteArray()};
        for (const QByteArray& bad : refused)
            QTest::addRow("refused %s", bad.constData()) << bad << 1 << false << bad;
    }

    void unpack()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(int, address);
        QFETCH(bool, taken);
        QFETCH(QByteArray, left);
        QCOMPARE(AsciiUail::unpackPackage(buffer, quint8(address)), taken);
        QCOMPARE(buffer, left);
    }

    void statusReplies()
    {
        QVERIFY(AsciiUail::isOkAnswer("$0") && !AsciiUail::isOkAnswer("$00"));
        QVERIFY(!AsciiUail::checkPackageNoErrorCode("$5") && AsciiUail::checkPackageNoErrorCode("0A"));
        QCOMPARE(AsciiUail::errorCodeText("$", "ЗФН"), QString("Неизвестная ошибка"));
        QCOMPARE(AsciiUail::errorCodeText("$5", "ЗФН"), QString("ЗФН ответил кодом ошибки №5."));
        QCOMPARE(AsciiUail::errorCodeText("$15", "ЗФН"), QString("HART-устройство не подключено."));
    }

    // A refused text leaves the bytes as they were; at most n pairs are taken, in either case.
    void hexDecoding()
    {
        quint8 out[4] = {0x55, 0x55, 0x55, 0x55};
        for (const char* bad : {"0A1", "0G1B", "$0"})
            QCOMPARE(AsciiUail::hexPairsToBytes(out, bad, 4), -1);
        QCOMPARE(AsciiUail::hexPairsToBytes(out, "0aFF1B", 2), 2);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 4), QByteArray("\x0A\xFF\x55\x55", 4));
    }

    void init()
    {
        m_link.reset();
        m_port = std::make_unique<ScriptedPort>();
        m_abort = false;
        m_link = std::make_unique<CalibratorLink>(m_port.get(), &m_abort);
        CalibratorLink::Timing& timing = m_link->timing();
        timing.pieceWaitMs = 75;
        timing.secondChanceMs = 75;
        timing.sliceMs = 5;
    }

    void exchanges_data()
    {
        QTest::addColumn<QList<ScriptedPort::Piece>>("pieces");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("pieceWaitMs");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("requests");
        const QByteArray frame = replyFrame("12.5");
        using Pieces = QList<ScriptedPort::Piece>;
        // A whole reply is taken within a piece wait of its last piece; the waits are long enough
        // that an extra one shows on a loaded machine.
        const int longWaitMs = 1500;
        QTest::newRow("one piece") << Pieces{{frame, 10}} << 0 << longWaitMs << QByteArray("12.5") << 1;
        QTest::newRow("three pieces") << Pieces{{frame.left(3), 10}, {frame.mid(3, 4), 30}, {frame.mid(7), 50}} << 0
                                      << longWaitMs << QByteArray("12.5") << 1;
        // The gap outlasts the wait for a piece, not the second chance after it.
        QTest::newRow("two pieces, long gap") << Pieces{{frame.left(5), 10}, {frame.mid(5), longWaitMs + 200}} << 0
                                              << longWaitMs << QByteArray("12.5") << 1;
        QTest::newRow("echo and garbage first") << Pieces{{"\x00\x13junk" + request("1;5"), 10}, {frame, 30}} << 0
                                                << longWaitMs << QByteArray("12.5") << 1;
        QTest::newRow("stray bytes behind") << Pieces{{frame + "!1;1", 10}} << 0 << longWaitMs << QByteArray("12.5") << 1;
        QTest::newRow("status") << Pieces{{replyFrame("$3"), 10}} << 0 << longWaitMs << QByteArray("$3") << 1;
        const QByteArray foreign = replyFrame("7").replace("!1;", "!2;");
        QTest::newRow("foreign address") << Pieces{{foreign, 0}} << 0 << 75 << QByteArray() << 6;
        QTest::newRow("bad check value") << Pieces{{withBadCheck(replyFrame("7")), 0}} << 0 << 75 << QByteArray() << 6;
        QTest::newRow("silent") << Pieces() << 0 << 75 << QByteArray() << 3;
        QTest::newRow("babbling") << Pieces() << 1 << 75 << QByteArray() << 3;
        Pieces junkWithGaps;
        for (int ms = 0; ms <= 1500; ms += 23)
            junkWithGaps.append({"zz", ms});
        QTest::newRow("junk with gaps") << junkWithGaps << 0 << 75 << QByteArray() << 3;
        QTest::newRow("port does not open") << Pieces() << 2 << 75 << QByteArray() << 0;
        QTest::newRow("write stalls") << Pieces() << 3 << 75 << QByteArray() << 2;
    }

    // A complete reply is taken at once, however it arrives, and is the first frame after the
    // request. Every try of a line that never gives a whole reply is bounded by its time-out; a
    // silent line gets three requests, a garbled one every retry, a request that cannot leave the
    // port one more. The port stays open after the exchange.
    void exchanges()
    {
        QFETCH(QList<ScriptedPort::Piece>, pieces);
        QFETCH(int, line);
        QFETCH(int, pieceWaitMs);
        QFETCH(QByteArray, reply);
        QFETCH(int, requests);
        m_port->answerWith(pieces);
        m_port->setBabbling(line == 1);
        m_port->setOpenFails(line == 2);
        m_port->setWriteStalls(line == 3);
        m_link->timing().pieceWaitMs = pieceWaitMs;
        m_link->timing().secondChanceMs = pieceWaitMs;
        QStringList events;
        m_link->setDebugSink([&events](const QString& event, const QByteArray&) { events << event; });
        QElapsedTimer timer;
        timer.start();
        const auto status = exchange(request("1;5"), qMax(timeoutMs, 4 * pieceWaitMs));
        QCOMPARE(status, reply.isEmpty() ? CalibratorLink::Status::NoAnswer : CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), reply);
        QCOMPARE(m_port->requests(), QVector<QByteArray>(requests, request("1;5")).toList());
        QCOMPARE(m_port->openCount(), line == 2 ? m_link->retryLimit() + 1 : 1);
        QCOMPARE(events.count("WRITE ERROR"), line == 3 ? 2 : 0);
        QCOMPARE(m_port->isOpen(), line != 2);
        const int lastPieceMs = pieces.isEmpty() ? 0 : pieces.last().afterMs;
        const int limitMs = reply.isEmpty() ? requests * (timeoutMs + 2 * pieceWaitMs) + 1000 : lastPieceMs + pieceWaitMs;
        QVERIFY2(timer.elapsed() < limitMs, qPrintable(QString::number(timer.elapsed())));
    }

    void strayBytesMakeNoReply_data()
    {
        using Pieces = QList<ScriptedPort::Piece>;
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<Pieces>("pieces");
        const QByteArray frame = replyFrame("12.5");
        const QByteArray echo = request("1;5");
        QTest::newRow("\"!\" before the echo") << QByteArray("1;5") << Pieces{{"!1;1", 0}, {echo, 0}, {frame, -1}};
        QTest::newRow("\"!\" inside the echo") << QByteArray("11;300;0;1;!1;5")
                                             << Pieces{{request("11;300;0;1;!1;5"), 0}, {frame, -1}};
        QTest::newRow("\"!\" before the reply") << QByteArray("1;5") << Pieces{{echo + "!1;1", 0}, {frame, -1}};
        QTest::newRow("marker byte inside stray bytes")
            << QByteArray("1;5") << Pieces{{"!1;\xFF", 0}, {echo, 0}, {frame, -1}};
    }

    // Neither our own echo nor stray bytes around it make a reply, however a "!" falls among them:
    // the reply behind them is taken in the same try, so no retry is written while it is coming.
    void strayBytesMakeNoReply()
    {
        QFETCH(QByteArray, command);
        QFETCH(QList<ScriptedPort::Piece>, pieces);
        m_port->answerWith(pieces);
        std::atomic<bool> written{false};
        m_link->setDebugSink([&](const QString& event, const QByteArray&) { written = written || event == "WRITE"; });
        CalibratorLink::Status status = CalibratorLink::Status::NoAnswer;
        const std::unique_ptr<QThread> worker(QThread::create([&] { status = m_link->exchange(request(command), 1500); }));
        worker->start();
        QVERIFY(BoundedWait::until([&] { return written.load(); }));
        m_port->let();
        QVERIFY(endsInBound(*worker));
        QCOMPARE(status, CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.5"));
        QCOMPARE(m_port->requests().size(), 1);
        QCOMPARE(m_link->owedCount(), 0);
    }

    // A frame that fails its checks is the reply of its request all the same: an exchange that gives
    // up on such frames and closes the port (a connect that fails) owes nothing there, so the next
    // request on the port goes at once, not at the last try's deadline, far off here.
    void garbledReplyIsHad()
    {
        m_port->answerWith(QList<ScriptedPort::Piece>{{withBadCheck(replyFrame("7")), 0}});
        QCOMPARE(exchange(request("1;5"), 60000), CalibratorLink::Status::NoAnswer);
        m_link->close();
        QCOMPARE(m_link->owedCount(), 0);
    }

    // A register write counts only when the calibrator acknowledges it with exactly "$0".
    void registerWriteNeedsTheAcknowledgement()
    {
        for (const char* status : {"$0", "$00", "$05", "$1"}) {
            m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame(status), 2}});
            QCOMPARE(bounded([&] { return m_link->writeRegister(49, 0, 1, "0", timeoutMs); }), qstrcmp(status, "$0") == 0);
        }
        QCOMPARE(m_port->requests().last(), request("11;49;0;1;0"));
    }

    void abortEndsTheWaits_data()
    {
        QTest::addColumn<int>("openDelayMs");
        QTest::addColumn<bool>("partialReply");
        QTest::addColumn<bool>("writeStalls");
        QTest::newRow("while opening") << 100 << false << false;
        QTest::newRow("while silent") << 0 << false << false;
        QTest::newRow("mid-collect") << 0 << true << false;
        QTest::newRow("while the write stalls") << 0 << false << true;
    }

    // A stop that comes at any moment of the exchange ends it within one wait slice, told apart
    // from no answer; a stop during the open is not lost.
    void abortEndsTheWaits()
    {
        QFETCH(int, openDelayMs);
        QFETCH(bool, partialReply);
        QFETCH(bool, writeStalls);
        m_port->setOpenDelayMs(openDelayMs);
        m_port->setWriteStalls(writeStalls);
        if (partialReply)
            m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("1").left(4), 0}});
        else
            m_port->answerNothing();
        const int longTimeoutMs = 30000;
        m_link->timing().pieceWaitMs = longTimeoutMs;
        m_link->timing().secondChanceMs = longTimeoutMs;
        CalibratorLink::Status status = CalibratorLink::Status::Ok;
        QElapsedTimer timer;
        timer.start();
        abortWhen(m_abort, [&] { status = m_link->exchange(request("1;1"), longTimeoutMs); }, [&] {
            if (openDelayMs)
                return m_port->openCount() > 0;
            return partialReply ? arrived() : !m_port->requests().isEmpty();
        });
        QCOMPARE(status, CalibratorLink::Status::Aborted);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(m_port->requests().size(), openDelayMs ? 0 : 1);
    }

    void cutRequestOwesItsReply_data()
    {
        using Pieces = QList<ScriptedPort::Piece>;
        QTest::addColumn<QByteArray>("early");
        QTest::addColumn<Pieces>("afterCut");
        QTest::addColumn<bool>("search");
        QTest::addColumn<QList<Pieces>>("ownAnswers");
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<bool>("untilDeadline");
        // What came before the cut; what the line brings once the next request waits (-1: then);
        // whether the next request is the search's identify; its answers, try by try; what the line
        // sees in order; whether the next request leaves only at the cut one's deadline.
        const QByteArray late = replyFrame("101.3");
        const Pieces own{{replyFrame("12.0"), 10}};
        const QStringList lateThenOwn{"W1;1", "R101.3", "W1;5", "R12.0"};
        QTest::newRow("late reply") << QByteArray() << Pieces{{late, -1}} << false << QList<Pieces>{own} << lateThenOwn
                                    << false;
        QTest::newRow("cut inside the late reply")
            << late.left(4) << Pieces{{late.mid(4), -1}} << false << QList<Pieces>{own}
            << QStringList{"W1;1", "R!1;1", "R" + QString::fromLatin1(late.mid(4)), "W1;5", "R12.0"} << false;
        QTest::newRow("late reply fails its check")
            << QByteArray() << Pieces{{withBadCheck(late), -1}} << false << QList<Pieces>{own}
            << QStringList{"W1;1", "R" + QString::fromLatin1(withBadCheck(late)), "W1;5", "R12.0"}
            << false;
        QTest::newRow("echo and garbage, then the late reply")
            << QByteArray() << Pieces{{request("1;1") + "\x13zz", -1}, {late, -1}} << false << QList<Pieces>{own}
            << QStringList{"W1;1", "R" + QString::fromLatin1(request("1;1") + "\x13zz"), "R101.3", "W1;5", "R12.0"}
            << false;
        const QByteArray strayThenEcho = "!1;1" + request("1;1");
        QTest::newRow("\"!\" before the cut request's echo")
            << strayThenEcho << Pieces{{late, -1}} << false << QList<Pieces>{own}
            << QStringList{"W1;1", "R" + QString::fromLatin1(strayThenEcho), "R101.3", "W1;5", "R12.0"} << false;
        QTest::newRow("two frames together") << QByteArray() << Pieces{{late + replyFrame("55.5"), -1}} << false
                                             << QList<Pieces>{own}
                                             << QStringList{"W1;1", "R" + QString::fromLatin1(late + replyFrame("55.5")),
                                                            "W1;5", "R12.0"}
                                             << false;
        QTest::newRow("nothing comes") << QByteArray() << Pieces() << false << QList<Pieces>{own}
                                       << QStringList{"W1;1", "W1;5", "R12.0"} << true;
        QTest::newRow("bytes that never make a frame")
            << QByteArray() << Pieces{{"\x13zz", -1}} << false << QList<Pieces>{own}
            << QStringList{"W1;1", "R\x13zz", "W1;5", "R12.0"} << true;
        QTest::newRow("own reply lost once") << QByteArray() << Pieces{{late, -1}} << false
                                             << QList<Pieces>{Pieces(), {{replyFrame("3.3"), 10}}}
                                             << QStringList{"W1;1", "R101.3", "W1;5", "W1;5", "R3.3"} << false;
        QTest::newRow("own reply slower than any before")
            << QByteArray() << Pieces{{late, -1}} << false << QList<Pieces>{{{replyFrame("12.0"), 800}}} << lateThenOwn
            << false;
        QTest::newRow("identify after a late reply")
            << QByteArray() << Pieces{{late, -1}} << true << QList<Pieces>{{{replyFrame("$90"), 10}}}
            << QStringList{"W1;1", "R101.3", "W0", "R$90"} << false;
        QTest::newRow("identify, nothing comes") << QByteArray() << Pieces() << true
                                                 << QList<Pieces>{{{replyFrame("$90"), 10}}}
                                                 << QStringList{"W1;1", "W0", "R$90"} << true;
    }

    // A request cut while its reply was awaited owes that reply like any other: the next request,
    // a read or the search's identify, is written only once a frame has come for it (whole, whether
    // or not its checks pass) or its deadline has passed, and then takes its own reply, however late
    // that comes within its own time-out. Nothing that is not a frame counts, and a frame nobody
    // owes is not taken for the next request's. Where a frame comes, the cut request's deadline lies
    // far beyond the test's bound: the next request waits for what is left of that frame, never for
    // the deadline.
    void cutRequestOwesItsReply()
    {
        QFETCH(QByteArray, early);
        QFETCH(QList<ScriptedPort::Piece>, afterCut);
        QFETCH(bool, search);
        QFETCH(QList<QList<ScriptedPort::Piece>>, ownAnswers);
        QFETCH(QStringList, line);
        QFETCH(bool, untilDeadline);
        const int cutTimeoutMs = untilDeadline ? 600 : 60000;
        QList<ScriptedPort::Piece> cutAnswer = afterCut;
        if (!early.isEmpty())
            cutAnswer.prepend({early, 0});
        m_port->answerWith(cutAnswer);
        abortWhen(m_abort, [&] { m_link->exchange(request("1;1"), cutTimeoutMs); },
                  [&] { return early.isEmpty() ? !m_port->requests().isEmpty() : arrived(); });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        m_abort = false;
        for (const QList<ScriptedPort::Piece>& answer : ownAnswers)
            m_port->answerWith(answer);
        QList<qint64> writesMs;
        std::atomic<bool> waiting{false};
        QElapsedTimer clock;
        clock.start();
        m_link->setDebugSink([&](const QString& event, const QByteArray&) {
            if (event == "WRITE")
                writesMs << clock.elapsed();
            waiting = waiting || event == "OWED";
        });
        writesMs << 0;
        QByteArray reply;
        const std::unique_ptr<QThread> next(QThread::create([&] {
            const bool ok = search ? m_link->open() && m_link->identify(request("0"), cutTimeoutMs) == CalibratorLink::Identify::Reply
                                   : m_link->exchange(request("1;5"), 1500) == CalibratorLink::Status::Ok;
            reply = ok ? m_link->reply() : QByteArray("failed");
        }));
        next->start();
        QVERIFY(BoundedWait::until([&] { return waiting.load(); }));
        m_port->let();
        QVERIFY(endsInBound(*next));
        QCOMPARE(lineEvents(), line);
        QCOMPARE(reply, search ? replyFrame("$90") : QByteArray(line.last().mid(1).toLatin1()));
        QCOMPARE(m_link->owedCount(), 0);
        if (untilDeadline)
            QVERIFY2(writesMs.at(1) >= cutTimeoutMs - 50, qPrintable(QString::number(writesMs.at(1))));
    }

    void releaseWaitsForItsAcknowledgement_data()
    {
        QTest::addColumn<bool>("cutBefore");
        // -1: the program stays; 0: it leaves before the release; n: it leaves at the release's n-th wait.
        QTest::addColumn<int>("leaveAt");
        QTest::addColumn<QStringList>("line");
        QTest::newRow("acknowledgement later than any answer")
            << false << -1 << QStringList{"W1;1", "R0.4", "W11;200;0;1;200", "R$0", "W0", "R$90"};
        QTest::newRow("after a cut read")
            << true << -1 << QStringList{"W1;1", "R0.4", "W1;1", "R101.3", "W11;200;0;1;200", "R$0", "W0", "R$90"};
        const QStringList cutThenRelease{"W1;1", "R0.4", "W1;1", "W11;200;0;1;200"};
        QTest::newRow("the program leaves") << true << 0 << cutThenRelease;
        QTest::newRow("it leaves while a reply is owed") << true << 1 << cutThenRelease;
        QTest::newRow("it leaves while the acknowledgement is awaited")
            << false << 1 << QStringList{"W1;1", "R0.4", "W11;200;0;1;200"};
    }

    // The release frame goes once the port owes nothing and keeps the port open until its
    // acknowledgement has come, so a search right after it takes its own reply. A program that
    // leaves sends it at once, whatever the release was waiting for, and waits for nothing more.
    void releaseWaitsForItsAcknowledgement()
    {
        QFETCH(bool, cutBefore);
        QFETCH(int, leaveAt);
        QFETCH(QStringList, line);
        const bool leaving = leaveAt >= 0;
        answerAfter(10, "0.4");
        QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        if (cutBefore) {
            m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("101.3"), -1}});
            cutOnceWritten(request("1;1"), 2000);
        }
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("$0"), -1}});
        m_abort = leaveAt == 0;
        std::atomic<int> owedSeen{0};
        m_link->setDebugSink([&](const QString& event, const QByteArray&) { owedSeen += event == "OWED"; });
        const std::unique_ptr<QThread> release(
            QThread::create([&] { m_link->release(request("11;200;0;1;200"), 60000); }));
        release->start();
        const int waits = cutBefore ? 2 : 1;
        for (int seen = 1; leaveAt != 0 && seen <= waits; ++seen) {
            QVERIFY(BoundedWait::until([&] { return owedSeen >= seen; }));
            if (seen == leaveAt) {
                m_abort = true;
                break;
            }
            m_port->let();
        }
        QVERIFY(endsInBound(*release));
        QVERIFY(!m_port->isOpen());
        if (leaving) {
            QCOMPARE(lineEvents(), line);
            return;
        }
        m_abort = false;
        answerAfter(10, "$90");
        QCOMPARE(identify(), CalibratorLink::Identify::Reply);
        QCOMPARE(lineEvents(), line);
    }

    void closedPortKeepsWhatItOwes_data()
    {
        QTest::addColumn<bool>("replyAfterOpen");
        QTest::newRow("reply met the closed port") << false;
        QTest::newRow("reply comes after the port opened again") << true;
    }

    // A search cut during its identify closes the port while the reply is owed. The next open of
    // that port reads before it writes: until the reply has come, or, when it met the closed port,
    // until the cut identify's deadline, once.
    void closedPortKeepsWhatItOwes()
    {
        QFETCH(bool, replyAfterOpen);
        m_link->timing().identifyTimeoutMs = 600;
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("$90"), -1}});
        QVERIFY(m_link->open());
        abortWhen(m_abort, [&] { m_link->identify(request("0"), 600); }, [&] { return !m_port->requests().isEmpty(); });
        m_abort = false;
        m_link->close();
        if (!replyAfterOpen)
            m_port->let();
        QElapsedTimer sinceClose;
        sinceClose.start();
        std::atomic<bool> waiting{false};
        m_link->setDebugSink([&](const QString& event, const QByteArray&) { waiting = waiting || event == "OWED"; });
        answerAfter(10, "$90");
        CalibratorLink::Identify result = CalibratorLink::Identify::Silent;
        const std::unique_ptr<QThread> next(QThread::create([&] {
            result = m_link->open() ? m_link->identify(request("0"), 600) : CalibratorLink::Identify::WriteFailed;
        }));
        next->start();
        QVERIFY(BoundedWait::until([&] { return waiting.load(); }));
        if (replyAfterOpen)
            m_port->let();
        QVERIFY(endsInBound(*next));
        QCOMPARE(result, CalibratorLink::Identify::Reply);
        QCOMPARE(m_link->reply(), replyFrame("$90"));
        const QStringList line = replyAfterOpen ? QStringList{"W0", "R$90", "W0", "R$90"} : QStringList{"W0", "W0", "R$90"};
        QCOMPARE(lineEvents(), line);
        if (!replyAfterOpen)
            QVERIFY(sinceClose.elapsed() >= 500);
    }

    // A line that babbles while a cut request's reply is owed ends that wait at the reply's
    // deadline, and the exchange after it fails as on any babbling line.
    void babblingLineEndsTheWait()
    {
        m_port->answerNothing();
        cutOnceWritten(request("1;1"), timeoutMs);
        m_port->setBabbling(true);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(exchange(request("1;5"), timeoutMs), CalibratorLink::Status::NoAnswer);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }

    // A line that kept more bytes than a frame's buffer before the port opened is read empty before
    // the request goes: the reply after it is taken.
    void keptBytesAreReadBeforeTheRequest()
    {
        m_port->keepOnLine(QByteArray(4096, 'x') + replyFrame("77"));
        answerAfter(10, "$90");
        QCOMPARE(identify(), CalibratorLink::Identify::Reply);
        QCOMPARE(m_link->reply(), replyFrame("$90"));
    }

    void identifyCollectsUntilSilence_data()
    {
        using Pieces = QList<ScriptedPort::Piece>;
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray frame = replyFrame("$70");
        QTest::newRow("two pieces") << Pieces{{frame.left(5), 2}, {frame.mid(5), 10}} << frame;
        QTest::newRow("a frame's end after a long gap") << Pieces{{frame.left(5), 2}, {frame.mid(5), 300}} << frame;
        QTest::newRow("bytes that make no frame first") << Pieces{{"\x13zz", 2}, {frame, 300}} << frame;
        for (const int replyMs : {25, 40, 100})
            QTest::addRow("echo at once, reply %d ms later", replyMs) << Pieces{{request("0"), 0}, {frame, replyMs}} << frame;
        QTest::newRow("bytes that never make a frame") << Pieces{{"\x13zz", 2}} << QByteArray("\x13zz");
        QTest::newRow("a frame that never ends") << Pieces{{frame.left(5), 2}} << frame.left(5);
        QTest::newRow("silent") << Pieces() << QByteArray();
    }

    // The identify reply ends at a silence once a frame is whole; until then it is awaited up to
    // the time-out, so neither an echo nor bytes before the reply end it. A silent port runs out
    // its time-out.
    void identifyCollectsUntilSilence()
    {
        QFETCH(QList<ScriptedPort::Piece>, pieces);
        QFETCH(QByteArray, reply);
        m_link->timing().identifyTimeoutMs = 1000;
        m_port->answerWith(pieces);
        QCOMPARE(identify(), reply.isEmpty() ? CalibratorLink::Identify::Silent : CalibratorLink::Identify::Reply);
        QCOMPARE(m_link->reply(), reply);
    }

    void identifyOnEndlessBabble_data()
    {
        QTest::addColumn<int>("byteGapMs");
        QTest::newRow("as fast as the line goes") << 0;
        // Each byte comes within the silence that would end the reply; a hundred of them outlast the
        // time-out five times over.
        QTest::newRow("a byte now and then") << 50;
    }

    // A line that babbles without end ends the identify at its time-out, with only the newest bytes kept.
    void identifyOnEndlessBabble()
    {
        QFETCH(int, byteGapMs);
        const int identifyTimeoutMs = 1000;
        m_link->timing().identifyTimeoutMs = identifyTimeoutMs;
        m_link->timing().identifySilenceMs = 100;
        QList<ScriptedPort::Piece> bytes;
        for (int i = 1; byteGapMs > 0 && i <= 250; ++i)
            bytes.append({"x", i * byteGapMs});
        m_port->answerWith(bytes);
        m_port->setBabbling(byteGapMs == 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(identify(), CalibratorLink::Identify::Reply);
        QVERIFY2(timer.elapsed() < 3 * identifyTimeoutMs, qPrintable(QString::number(timer.elapsed())));
        if (byteGapMs == 0)
            QCOMPARE(m_link->reply().size(), CalibratorLink::bufferLimit);
    }
};

QTEST_GUILESS_MAIN(TestCalibratorLink)
#include "test_calibrator_link.moc"
