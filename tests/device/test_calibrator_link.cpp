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
constexpr auto withinAnswerTime = CalibratorLink::LateReply::WithinAnswerTime;
constexpr auto untilDeadline = CalibratorLink::LateReply::UntilDeadline;

QByteArray frameOf(const QByteArray& body)
{
    return '!' + body + QByteArray::number(AsciiUail::crc16(body)) + '\r';
}

QByteArray replyFrame(const QByteArray& data)
{
    return frameOf(QByteArray::number(address) + ';' + data + ';');
}

QByteArray request(const char* command)
{
    return AsciiUail::makePackage(QString::fromLatin1(command), address);
}

// Runs fn in a thread of its own while the test thread sets the abort flag delayMs after fn began,
// or after begun() holds.
void abortAfter(std::atomic<bool>& abort, int delayMs, const std::function<void()>& fn,
                const std::function<bool()>& begun = {})
{
    QThread* worker = QThread::create(fn);
    worker->start();
    if (begun && !BoundedWait::until(begun))
        qFatal("the exchange to cut did not begin");
    QThread::msleep(ulong(delayMs));
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

    CalibratorLink::Status exchange(const QByteArray& frame, int ms, CalibratorLink::LateReply late = withinAnswerTime)
    {
        return bounded([&] { return m_link->exchange(frame, ms, late); });
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
        timing.quietMs = 150;
        timing.sliceMs = 5;
    }

    void exchanges_data()
    {
        QTest::addColumn<QList<ScriptedPort::Piece>>("pieces");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("requests");
        const QByteArray frame = replyFrame("12.5");
        using Pieces = QList<ScriptedPort::Piece>;
        QTest::newRow("one piece") << Pieces{{frame, 10}} << 0 << QByteArray("12.5") << 1;
        QTest::newRow("three pieces") << Pieces{{frame.left(3), 10}, {frame.mid(3, 4), 30}, {frame.mid(7), 50}} << 0
                                      << QByteArray("12.5") << 1;
        // The gap outlasts the wait for a piece, not the second chance after it.
        QTest::newRow("two pieces, long gap") << Pieces{{frame.left(5), 10}, {frame.mid(5), 120}} << 0
                                              << QByteArray("12.5") << 1;
        QTest::newRow("echo and garbage first")
            << Pieces{{"\x00\x13junk" + request("1;5"), 10}, {frame, 30}} << 0 << QByteArray("12.5") << 1;
        QTest::newRow("status") << Pieces{{replyFrame("$3"), 10}} << 0 << QByteArray("$3") << 1;
        const QByteArray foreign = replyFrame("7").replace("!1;", "!2;");
        QTest::newRow("foreign address") << Pieces{{foreign, 0}} << 0 << QByteArray() << 6;
        QTest::newRow("silent") << Pieces() << 0 << QByteArray() << 3;
        QTest::newRow("babbling") << Pieces() << 1 << QByteArray() << 3;
        QTest::newRow("port does not open") << Pieces() << 2 << QByteArray() << 0;
        QTest::newRow("write stalls") << Pieces() << 3 << QByteArray() << 2;
    }

    // A complete reply is taken at once, however it arrives. Every try of a line that never gives
    // a whole reply is bounded by its time-out; a silent line gets three requests, a garbled one
    // every retry, a request that cannot leave the port one more.
    void exchanges()
    {
        QFETCH(QList<ScriptedPort::Piece>, pieces);
        QFETCH(int, line);
        QFETCH(QByteArray, reply);
        QFETCH(int, requests);
        m_port->answerWith(pieces);
        m_port->setBabbling(line == 1);
        m_port->setOpenFails(line == 2);
        m_port->setWriteStalls(line == 3);
        QStringList events;
        m_link->setDebugSink([&events](const QString& event, const QByteArray&) { events << event; });
        QElapsedTimer timer;
        timer.start();
        const auto status = exchange(request("1;5"), timeoutMs);
        QCOMPARE(status, reply.isEmpty() ? CalibratorLink::Status::NoAnswer : CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), reply);
        QCOMPARE(m_port->requests(), QVector<QByteArray>(requests, request("1;5")).toList());
        QCOMPARE(m_port->openCount(), line == 2 ? m_link->retryLimit() + 1 : 1);
        QCOMPARE(events.count("WRITE ERROR"), line == 3 ? 2 : 0);
        QVERIFY(!m_port->isOpen());
        const int limitMs = reply.isEmpty() ? (requests + 1) * (timeoutMs + 150) : timeoutMs;
        QVERIFY2(timer.elapsed() < limitMs, qPrintable(QString::number(timer.elapsed())));
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
        const int longTimeoutMs = 5000;
        m_link->timing().pieceWaitMs = longTimeoutMs;
        m_link->timing().secondChanceMs = longTimeoutMs;
        CalibratorLink::Status status = CalibratorLink::Status::Ok;
        QElapsedTimer timer;
        timer.start();
        abortAfter(m_abort, 30, [&] { status = m_link->exchange(request("1;1"), longTimeoutMs); });
        QCOMPARE(status, CalibratorLink::Status::Aborted);
        QVERIFY2(timer.elapsed() < openDelayMs + 200, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(m_port->requests().size(), openDelayMs ? 0 : 1);
    }

    void lateReplyOfCutExchangeIsDropped_data()
    {
        QTest::addColumn<QByteArray>("cutCommand");
        QTest::addColumn<int>("readBeforeCut");
        QTest::addColumn<int>("firstPieceMs");
        QTest::addColumn<int>("restMs");
        // The calibrator answers a value read at once: within the quiet time after the cut.
        QTest::newRow("value read, cut before the reply") << QByteArray("1;1") << 5 << 40 << 60;
        QTest::newRow("value read, cut inside the reply") << QByteArray("1;1") << 2 << 5 << 60;
        // It answers a pass-through once the transmitter has: after a silence longer than the quiet
        // time and than the next exchange's own time-out, but within the cut exchange's.
        QTest::newRow("pass-through, reply soon") << QByteArray("40;5;ABCDE") << 0 << 0 << 300;
        QTest::newRow("pass-through, reply after a long silence") << QByteArray("40;5;ABCDE") << 0 << 0 << 1200;
        QTest::newRow("pass-through, cut inside the reply") << QByteArray("40;5;ABCDE") << 3 << 5 << 900;
    }

    // The reply to a cut exchange that arrives late, whole, after the next request went out, is not
    // taken as that request's answer; once it is whole the next request goes out without waiting
    // for the line to stay quiet.
    void lateReplyOfCutExchangeIsDropped()
    {
        QFETCH(QByteArray, cutCommand);
        QFETCH(int, readBeforeCut);
        QFETCH(int, firstPieceMs);
        QFETCH(int, restMs);
        const bool passThrough = cutCommand.startsWith("40;");
        if (!passThrough)
            m_link->timing().quietMs = 1000;
        const QByteArray late = replyFrame("101.3");
        m_port->answerWith(QList<ScriptedPort::Piece>{{late.left(readBeforeCut), firstPieceMs},
                                                      {late.mid(readBeforeCut), restMs}});
        const auto lateReply = passThrough ? untilDeadline : withinAnswerTime;
        abortAfter(m_abort, 20, [&] { m_link->exchange(request(cutCommand), 5000, lateReply); });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        m_abort = false;
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("12.0"), 100}});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(exchange(request("1;5"), 400), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
        QCOMPARE(m_port->requests().size(), 2);
        const int limitMs = restMs + (passThrough ? 400 : m_link->timing().quietMs);
        QVERIFY2(timer.elapsed() < limitMs, qPrintable(QString::number(timer.elapsed())));
    }

    void cutReplyWindow_data()
    {
        QTest::addColumn<QList<int>>("answersMs");
        QTest::addColumn<int>("lateMs");
        QTest::addColumn<int>("cutTimeoutMs");
        QTest::addColumn<bool>("defaultTiming");
        QTest::addColumn<int>("cutAfterMs");
        // How long the calibrator took to answer before, one request after another, when the cut
        // request's reply comes after it left (-1: never), the cut exchange's time-out, whether the
        // link keeps the timing it is built with, and when the stop comes.
        using Ms = QList<int>;
        QTest::newRow("fast, reply within the quiet time") << Ms{10} << 120 << 2000 << false << 30;
        QTest::newRow("fast, reply never comes") << Ms{10} << -1 << 2000 << false << 30;
        QTest::newRow("fast, cut after the quiet time, reply never comes") << Ms{10} << -1 << 2000 << false << 300;
        QTest::newRow("default timing, fast, reply within the quiet time") << Ms{10} << 220 << 2000 << true << 30;
        QTest::newRow("default timing, fast, reply never comes") << Ms{10} << -1 << 2000 << true << 30;
        QTest::newRow("first request, reply within the quiet time") << Ms() << 120 << 2000 << false << 30;
        QTest::newRow("first request, reply after the quiet time") << Ms() << 600 << 2000 << false << 30;
        QTest::newRow("first request, reply never comes") << Ms() << -1 << 1000 << false << 30;
        QTest::newRow("400 ms answers") << Ms{400} << 420 << 2000 << false << 30;
        QTest::newRow("600 ms answers") << Ms{600} << 650 << 2000 << false << 30;
        QTest::newRow("600 ms answers, reply never comes") << Ms{600} << -1 << 2000 << false << 30;
        QTest::newRow("800 ms answers, reply after the answer time") << Ms{800} << 950 << 2000 << false << 30;
        QTest::newRow("800 ms answers, cut exchange's deadline first") << Ms{800} << -1 << 1000 << false << 30;
        QTest::newRow("800 ms, then 10 ms answers") << Ms{800, 10} << 950 << 2000 << false << 30;
        // Given up at the window's end: the reply comes later than the calibrator ever answered, or
        // early in the next request's wait, with that request's own reply after it.
        QTest::newRow("fast, reply after the quiet time") << Ms{10} << 600 << 2000 << false << 30;
        QTest::newRow("400 ms answers, reply after half again that") << Ms{400} << 700 << 2000 << false << 30;
    }

    // The reply to a request cut while it was awaited may come, counted from when it left, for the
    // quiet time or half again the longest time the calibrator took to answer, whichever is longer,
    // never past the cut exchange's deadline, and until that deadline while it has not answered.
    // Within that it is dropped and the next request gets its own reply, which comes late enough to
    // be taken after the cut one had the wait been shorter; when none comes, the next request leaves
    // exactly that long after the cut one. A reply later than that is not taken for the next one's.
    void cutReplyWindow()
    {
        QFETCH(QList<int>, answersMs);
        QFETCH(int, lateMs);
        QFETCH(int, cutTimeoutMs);
        QFETCH(bool, defaultTiming);
        QFETCH(int, cutAfterMs);
        if (defaultTiming)
            m_link->timing() = CalibratorLink::Timing();
        for (const int answerMs : answersMs) {
            answerAfter(answerMs, "0.4");
            QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        }
        QList<QElapsedTimer> writes;
        m_link->setDebugSink([&writes](const QString& event, const QByteArray&) {
            if (event == "WRITE") {
                writes << QElapsedTimer();
                writes.last().start();
            }
        });
        answerAfter(lateMs, "101.3");
        abortAfter(m_abort, cutAfterMs, [&] { m_link->exchange(request("1;1"), cutTimeoutMs); });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        m_abort = false;
        const int longestMs = answersMs.isEmpty() ? -1 : *std::max_element(answersMs.begin(), answersMs.end());
        answerAfter(qMax(10, qMax(longestMs, lateMs)), "12.0");
        QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
        QCOMPARE(writes.size(), 2);
        const int windowMs =
            longestMs < 0 ? cutTimeoutMs : qMin(cutTimeoutMs, qMax(m_link->timing().quietMs, longestMs * 3 / 2));
        const int untilMs = qMax(cutAfterMs, lateMs >= 0 ? qMin(lateMs, windowMs) : windowMs);
        const int tookMs = int(writes.first().elapsed() - writes.last().elapsed());
        QVERIFY2(tookMs >= untilMs && tookMs < untilMs + 300, qPrintable(QString::number(tookMs)));
    }

    void cutCostsTheNextRequest_data()
    {
        QTest::addColumn<bool>("identified");
        QTest::addColumn<int>("answerMs");
        QTest::addColumn<int>("expectedMs");
        // Whether the port first heard the calibrator answer an identify or a read, and how fast (-1:
        // it never did); how long after the cut request the next one is to leave.
        QTest::newRow("fast read before") << false << 10 << 250;
        QTest::newRow("fast identify before") << true << 10 << 250;
        QTest::newRow("nothing heard before") << false << -1 << 1000;
    }

    // What a cut read whose reply never comes (it met the closed port) costs the next request on the
    // port, measured as the link is built: about the quiet time once the calibrator is known to
    // answer fast, the cut exchange's whole time-out while the port has not heard it.
    void cutCostsTheNextRequest()
    {
        QFETCH(bool, identified);
        QFETCH(int, answerMs);
        QFETCH(int, expectedMs);
        m_link->timing() = CalibratorLink::Timing();
        if (answerMs >= 0)
            answerAfter(answerMs, identified ? "$70" : "0.4");
        if (identified)
            QCOMPARE(identify(), CalibratorLink::Identify::Reply);
        else if (answerMs >= 0)
            QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        QElapsedTimer sinceCutRequest;
        QElapsedTimer sinceNextRequest;
        m_link->setDebugSink([&](const QString& event, const QByteArray& bytes) {
            if (event == "WRITE")
                (bytes == request("1;1") ? sinceCutRequest : sinceNextRequest).start();
        });
        m_port->answerNothing();
        abortAfter(m_abort, 30, [&] { m_link->exchange(request("1;1"), 1000); });
        m_abort = false;
        answerAfter(10, "12.0");
        QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
        const qint64 waitedMs = sinceCutRequest.elapsed() - sinceNextRequest.elapsed();
        QVERIFY2(waitedMs >= expectedMs - 10 && waitedMs < expectedMs + 300, qPrintable(QString::number(waitedMs)));
    }

    void requestAfterADoubtfulCut_data()
    {
        using Pieces = QList<ScriptedPort::Piece>;
        QTest::addColumn<bool>("search");
        QTest::addColumn<int>("answerMs");
        QTest::addColumn<Pieces>("afterCut");
        QTest::addColumn<int>("ackMs");
        QTest::addColumn<int>("ownMs");
        // Whether the next request is the search's identify or a read; how long the calibrator took
        // to answer before; what comes after the cut read, counted from when it left; when the
        // acknowledgement of a release frame sent after the cut comes after the release left (-1:
        // none is sent); when the next request's own reply comes after it left (-1: with what came
        // after the cut). The next request leaves about 150 ms after the cut one once the calibrator
        // is known to answer fast; a late reply comes well after that, so that a loaded machine does
        // not send the request only once the late reply is there.
        const QByteArray late = replyFrame("101.3");
        QTest::newRow("identify, fast, late reply later than ever answered")
            << true << 10 << Pieces{{late, 1000}} << -1 << 950;
        QTest::newRow("identify, 400 ms answers, own reply soon after the late one")
            << true << 400 << Pieces{{late, 700}} << -1 << 300;
        QTest::newRow("identify, fast, late and own reply together")
            << true << 10 << Pieces{{late, 1000}, {replyFrame("$70"), 1000}} << -1 << -1;
        QTest::newRow("identify, fast, no late reply") << true << 10 << Pieces() << -1 << 10;
        QTest::newRow("identify, fast, bytes that make no frame later than ever answered")
            << true << 10 << Pieces{{"\x13zz", 1000}} << -1 << 950;
        QTest::newRow("identify, fast, late reply, then the release's acknowledgement")
            << true << 10 << Pieces{{late, 1000}} << 1100 << 1200;
        QTest::newRow("read, fast, late reply, then the release's acknowledgement")
            << false << 10 << Pieces{{late, 1000}} << 1100 << 1200;
    }

    // A search's identify or a read right after a read given up before its deadline: a frame later
    // than the calibrator has ever answered, or followed by another within the time the first took,
    // is the cut read's, and a release frame's acknowledgement owed after it comes next; the request
    // takes its own reply, and the read after it its own value. With no late reply the identify takes
    // its own after a wait of about the time the cut read took, far less than its own time-out.
    void requestAfterADoubtfulCut()
    {
        QFETCH(bool, search);
        QFETCH(int, answerMs);
        QFETCH(QList<ScriptedPort::Piece>, afterCut);
        QFETCH(int, ackMs);
        QFETCH(int, ownMs);
        answerAfter(answerMs, "0.4");
        QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        m_port->answerWith(afterCut);
        abortAfter(m_abort, 30, [&] { m_link->exchange(request("1;1"), 2000); });
        m_abort = false;
        if (ackMs >= 0) {
            answerAfter(ackMs, "$0");
            QVERIFY(bounded([&] { return m_link->sendWithoutReply(request("11;200;0;1;200"), timeoutMs); }));
        }
        QElapsedTimer sinceRequestLeft;
        m_link->setDebugSink([&](const QString& event, const QByteArray&) {
            if (event == "WRITE")
                sinceRequestLeft.start();
        });
        answerAfter(ownMs, search ? "$70" : "3.3");
        if (search) {
            QCOMPARE(identify(), CalibratorLink::Identify::Reply);
            QCOMPARE(m_link->reply(), replyFrame("$70"));
        } else {
            QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
            QCOMPARE(m_link->reply(), QByteArray("3.3"));
        }
        const qint64 tookMs = sinceRequestLeft.elapsed();
        if (afterCut.isEmpty())
            QVERIFY2(tookMs < m_link->timing().identifyTimeoutMs * 3 / 4, qPrintable(QString::number(tookMs)));
        answerAfter(10, "12.0");
        QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
    }

    void owedRepliesAreCountedInOrder_data()
    {
        QTest::addColumn<int>("answerMs");
        QTest::addColumn<bool>("passThrough");
        QTest::addColumn<int>("cutReplyMs");
        QTest::addColumn<int>("releaseReplyMs");
        QTest::addColumn<bool>("search");
        QTest::addColumn<bool>("cut");
        // The calibrator answers one request after another: the release's acknowledgement follows
        // the cut request's reply. Times count from each request's write; the release leaves about
        // 40 ms after the cut request.
        QTest::newRow("300 ms answers, then a read") << 300 << false << 300 << 560 << false << true;
        QTest::newRow("300 ms answers, then an identify") << 300 << false << 300 << 560 << true << true;
        QTest::newRow("300 ms answers, nothing cut, then a read") << 300 << false << -1 << 300 << false << false;
        QTest::newRow("slow transmitter, then a read") << 10 << true << 1200 << 1180 << false << true;
        QTest::newRow("slow transmitter, then an identify") << 10 << true << 1200 << 1180 << true << true;
        QTest::newRow("fast, cut reply lost, then a read") << 10 << false << -1 << 20 << false << true;
    }

    // A release frame, whose reply nobody reads, after a cut request: the next exchange on the port,
    // or the search's identify, drains both replies, the acknowledgement counted from the reply
    // before it, and takes its own, which comes as late as the calibrator's answers do.
    void owedRepliesAreCountedInOrder()
    {
        QFETCH(int, answerMs);
        QFETCH(bool, passThrough);
        QFETCH(int, cutReplyMs);
        QFETCH(int, releaseReplyMs);
        QFETCH(bool, search);
        QFETCH(bool, cut);
        answerAfter(answerMs, "0.4");
        QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        if (cut) {
            answerAfter(cutReplyMs, "101.3");
            const QByteArray cutRequest = request(passThrough ? "40;5;A" : "1;1");
            const auto late = passThrough ? untilDeadline : withinAnswerTime;
            abortAfter(m_abort, 30, [&] { m_link->exchange(cutRequest, 5000, late); });
            m_abort = false;
        }
        answerAfter(releaseReplyMs, "$0");
        QVERIFY(bounded([&] { return m_link->sendWithoutReply(request("11;200;0;1;200"), timeoutMs); }));
        const QByteArray own = replyFrame(search ? "$70" : "12.0");
        answerAfter(answerMs, search ? "$70" : "12.0");
        if (search) {
            QCOMPARE(identify(), CalibratorLink::Identify::Reply);
            QCOMPARE(m_link->reply(), own);
        } else {
            QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
            QCOMPARE(m_link->reply(), QByteArray("12.0"));
        }
        QCOMPARE(m_port->requests().size(), cut ? 4 : 3);
    }

    void staleCutLeavesTheRelease_data()
    {
        QTest::addColumn<bool>("search");
        QTest::newRow("then a read") << false;
        QTest::newRow("then an identify") << true;
    }

    // A cut read whose reply never came, and whose time had passed when the release frame left, does
    // not take the release's acknowledgement for its own: the release owes nothing more, and the next
    // request leaves at once, however long the quiet time.
    void staleCutLeavesTheRelease()
    {
        QFETCH(bool, search);
        m_link->timing().quietMs = 1000;
        answerAfter(10, "0.4");
        QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        m_port->answerNothing();
        QElapsedTimer sinceCutRequest;
        m_link->setDebugSink([&](const QString& event, const QByteArray&) {
            if (event == "WRITE")
                sinceCutRequest.start();
        });
        const int cutTimeoutMs = 100;
        abortAfter(m_abort, 30, [&] { m_link->exchange(request("1;1"), cutTimeoutMs); });
        m_abort = false;
        // The release leaves once the cut read's time has passed, as after "Стоп" and a while.
        QVERIFY(BoundedWait::until([&] { return sinceCutRequest.elapsed() > cutTimeoutMs; }));
        answerAfter(10, "$0");
        QVERIFY(bounded([&] { return m_link->sendWithoutReply(request("11;200;0;1;200"), timeoutMs); }));
        QElapsedTimer sinceRelease;
        sinceRelease.start();
        QElapsedTimer sinceNextRequest;
        m_link->setDebugSink([&](const QString& event, const QByteArray&) {
            if (event == "WRITE")
                sinceNextRequest.start();
        });
        answerAfter(10, search ? "$70" : "12.0");
        if (search)
            QCOMPARE(identify(), CalibratorLink::Identify::Reply);
        else
            QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        const qint64 waitedMs = sinceRelease.elapsed() - sinceNextRequest.elapsed();
        QVERIFY2(waitedMs < 500, qPrintable(QString::number(waitedMs)));
    }

    // A cut given up before its deadline while an older one's deadline has passed: the newer one
    // leaves the port in doubt on its own, and its late reply is not the next read's.
    void doubtOutlivesAnExpiredOne()
    {
        answerAfter(10, "0.4");
        QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        answerAfter(-1, QByteArray());
        abortAfter(m_abort, 30, [&] { m_link->exchange(request("1;1"), 1000); });
        m_abort = false;
        QElapsedTimer sinceFirstCut;
        sinceFirstCut.start();
        // The second read leaves once the first one's reply is given up, and is cut at once.
        const int written = m_port->requests().size();
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("101.3"), 1200}});
        abortAfter(m_abort, 30, [&] { m_link->exchange(request("1;1"), 5000); },
                   [&] { return m_port->requests().size() > written; });
        m_abort = false;
        QVERIFY(BoundedWait::until([&] { return sinceFirstCut.elapsed() > 1100; }));
        answerAfter(600, "3.3");
        QCOMPARE(exchange(request("1;1"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("3.3"));
    }

    // A pass-through whose first bytes make no frame, cut while it waits its second chance, owes its
    // reply like any cut: the read after it gets its own value.
    void cutInTheSecondChance()
    {
        m_link->timing().pieceWaitMs = 20;
        m_link->timing().secondChanceMs = 3000;
        m_port->answerWith(QList<ScriptedPort::Piece>{{"\x13zz", 5}, {replyFrame("101.3"), 600}});
        abortAfter(m_abort, 200, [&] { m_link->exchange(request("40;5;A"), 5000, untilDeadline); });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        m_abort = false;
        // Late enough to come on its own after the cut one, had the read not waited for that.
        answerAfter(700, "12.0");
        QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
        QCOMPARE(m_port->requests().size(), 2);
    }

    // A line that babbles while a cut request's reply is drained ends the drain at its bound, and
    // the exchange after it fails as on any babbling line.
    void babblingLineEndsTheDrain()
    {
        m_port->answerNothing();
        abortAfter(m_abort, 30, [&] { m_link->exchange(request("1;1"), timeoutMs); });
        m_abort = false;
        m_port->setBabbling(true);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(exchange(request("1;5"), timeoutMs), CalibratorLink::Status::NoAnswer);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }

    void nothingLeftToDrain_data()
    {
        QTest::addColumn<int>("openDelayMs");
        QTest::addColumn<bool>("writeStalls");
        QTest::addColumn<QList<ScriptedPort::Piece>>("answer");
        QTest::addColumn<int>("pieceWaitMs");
        QTest::addColumn<int>("timeoutMs");
        // When the stop comes after the exchange began; -1: none comes.
        QTest::addColumn<int>("cutAfterMs");
        using Pieces = QList<ScriptedPort::Piece>;
        QTest::newRow("every try ran out") << 0 << false << Pieces() << 75 << 100 << -1;
        QTest::newRow("cut while opening") << 100 << false << Pieces() << 75 << 200 << 30;
        QTest::newRow("cut before the request left") << 0 << true << Pieces() << 75 << 200 << 30;
        QTest::newRow("late reply already whole") << 0 << false << Pieces{{replyFrame("101.3"), 0}} << 5000 << 5000 << 50;
        QTest::newRow("pass-through cut at its time-out") << 0 << false << Pieces() << 75 << 200 << 190;
    }

    // An exchange whose request never left, or whose wait ran out, leaves nothing to wait for: the
    // next request goes out at once, even with a quiet time far longer than its reply takes.
    void nothingLeftToDrain()
    {
        QFETCH(int, openDelayMs);
        QFETCH(bool, writeStalls);
        QFETCH(QList<ScriptedPort::Piece>, answer);
        QFETCH(int, pieceWaitMs);
        QFETCH(int, timeoutMs);
        QFETCH(int, cutAfterMs);
        m_link->timing().quietMs = 3000;
        m_link->timing().pieceWaitMs = pieceWaitMs;
        m_port->setOpenDelayMs(openDelayMs);
        m_port->setWriteStalls(writeStalls);
        // A request still opening the port takes no answer: the next one would.
        if (openDelayMs == 0)
            m_port->answerWith(answer);
        const QByteArray passThrough = request("40;5;A");
        if (cutAfterMs < 0)
            QCOMPARE(exchange(passThrough, timeoutMs, untilDeadline), CalibratorLink::Status::NoAnswer);
        else
            abortAfter(m_abort, cutAfterMs, [&] { m_link->exchange(passThrough, timeoutMs, untilDeadline); });
        m_abort = false;
        m_port->setOpenDelayMs(0);
        m_port->setWriteStalls(false);
        m_link->timing().pieceWaitMs = 75;
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("12.0"), 10}});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    // A cut of the drain itself keeps the time the cut exchange left: the exchange after it still
    // lets the late reply pass, and gets its own, which would come after the late one had it not.
    void cutDrainKeepsItsTime()
    {
        const QByteArray late = replyFrame("101.3");
        m_port->answerWith(QList<ScriptedPort::Piece>{{late, 900}});
        abortAfter(m_abort, 20, [&] { m_link->exchange(request("40;5;A"), 5000, untilDeadline); });
        m_abort = false;
        abortAfter(m_abort, 200, [&] { m_link->exchange(request("1;1"), 2000); });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        QCOMPARE(m_port->requests().size(), 1);
        m_abort = false;
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("12.0"), 800}});
        QCOMPARE(exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
    }

    void identifyCollectsUntilSilence()
    {
        const QByteArray frame = replyFrame("$70");
        m_port->answerWith(QList<ScriptedPort::Piece>{{frame.left(5), 2}, {frame.mid(5), 10}});
        QCOMPARE(identify(), CalibratorLink::Identify::Reply);
        QCOMPARE(m_link->reply(), frame);
        m_port->answerNothing();
        m_link->timing().identifyTimeoutMs = timeoutMs;
        QCOMPARE(identify(), CalibratorLink::Identify::Silent);
    }
};

QTEST_GUILESS_MAIN(TestCalibratorLink)
#include "test_calibrator_link.moc"
