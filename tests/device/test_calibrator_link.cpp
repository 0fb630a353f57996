#include "AsciiUail.h"
#include "CalibratorLink.h"
#include "ScriptedPort.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>

namespace {

constexpr int timeoutMs = 40;
constexpr quint8 address = 1;

QByteArray replyFrame(const QByteArray& data)
{
    const QByteArray body = QByteArray::number(address) + ';' + data + ';';
    return "!" + body + QByteArray::number(AsciiUail::crc16(body)) + '\r';
}

QByteArray request(const char* command)
{
    return AsciiUail::makePackage(QString::fromLatin1(command), address);
}

// Runs fn in a thread of its own while the test thread sets the abort flag after delayMs.
void abortAfter(std::atomic<bool>& abort, int delayMs, const std::function<void()>& fn)
{
    QThread* worker = QThread::create(fn);
    worker->start();
    QThread::msleep(ulong(delayMs));
    abort = true;
    worker->wait();
    delete worker;
}

}  // namespace

Q_DECLARE_METATYPE(ScriptedPort::Piece)

// The exchange over a scripted line, with time-outs of a few tens of milliseconds.
class TestCalibratorLink : public QObject
{
    Q_OBJECT

    ScriptedPort* m_port = nullptr;
    std::atomic<bool> m_abort{false};
    CalibratorLink* m_link = nullptr;

private slots:
    void init()
    {
        m_port = new ScriptedPort;
        m_abort = false;
        m_link = new CalibratorLink(m_port, &m_abort);
        CalibratorLink::Timing& timing = m_link->timing();
        timing.pieceWaitMs = 15;
        timing.secondChanceMs = 15;
        timing.quietMs = 30;
        timing.sliceMs = 5;
    }

    void cleanup()
    {
        delete m_link;
        delete m_port;
    }

    void completeRepliesAreTakenAtOnce_data()
    {
        QTest::addColumn<QList<ScriptedPort::Piece>>("pieces");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray frame = replyFrame("12.5");
        QTest::newRow("one piece") << QList<ScriptedPort::Piece>{{frame, 2}} << QByteArray("12.5");
        QTest::newRow("three pieces") << QList<ScriptedPort::Piece>{
            {frame.left(3), 2}, {frame.mid(3, 4), 6}, {frame.mid(7), 10}} << QByteArray("12.5");
        QTest::newRow("echo and garbage first") << QList<ScriptedPort::Piece>{
            {"\x00\x13junk" + request("1;5"), 2}, {frame, 6}} << QByteArray("12.5");
        QTest::newRow("status") << QList<ScriptedPort::Piece>{{replyFrame("$3"), 2}} << QByteArray("$3");
    }

    void completeRepliesAreTakenAtOnce()
    {
        QFETCH(QList<ScriptedPort::Piece>, pieces);
        QFETCH(QByteArray, reply);
        m_port->answerWith(pieces);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_link->exchange(request("1;5"), timeoutMs), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), reply);
        QCOMPARE(m_port->requests(), QList<QByteArray>({request("1;5")}));
        QVERIFY(timer.elapsed() < timeoutMs);
        QVERIFY(!m_port->isOpen());
    }

    void failedExchanges_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("requests");
        QTest::newRow("foreign address") << 0 << 6;
        QTest::newRow("silent") << 1 << 3;
        QTest::newRow("babbling") << 2 << 3;
        QTest::newRow("port does not open") << 3 << 0;
    }

    // Every try of a line that never gives a whole reply is bounded by its time-out; a silent line
    // gets three requests, a garbled one every retry.
    void failedExchanges()
    {
        QFETCH(int, line);
        QFETCH(int, requests);
        if (line == 0)
            m_port->answerWith(replyFrame("7").replace("!1;", "!2;"));
        else if (line == 1)
            m_port->answerNothing();
        m_port->setBabbling(line == 2);
        m_port->setOpenFails(line == 3);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_link->exchange(request("1;1"), timeoutMs), CalibratorLink::Status::NoAnswer);
        QCOMPARE(m_port->requests().size(), requests);
        QCOMPARE(m_port->openCount(), line == 3 ? m_link->retryLimit() + 1 : 1);
        QVERIFY(m_link->reply().isEmpty());
        QVERIFY2(timer.elapsed() < (requests + 1) * (timeoutMs + 30), qPrintable(QString::number(timer.elapsed())));
    }

    void abortEndsTheWaits_data()
    {
        QTest::addColumn<int>("openDelayMs");
        QTest::addColumn<bool>("partialReply");
        QTest::newRow("while opening") << 100 << false;
        QTest::newRow("while silent") << 0 << false;
        QTest::newRow("mid-collect") << 0 << true;
    }

    // A stop that comes at any moment of the exchange ends it within one wait slice, told apart
    // from no answer; a stop during the open is not lost.
    void abortEndsTheWaits()
    {
        QFETCH(int, openDelayMs);
        QFETCH(bool, partialReply);
        m_port->setOpenDelayMs(openDelayMs);
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
        QTest::addColumn<int>("readBeforeCut");
        QTest::addColumn<int>("firstPieceMs");
        QTest::newRow("cut before the reply") << 5 << 40;
        QTest::newRow("cut inside the reply") << 2 << 5;
    }

    // The reply to a cut exchange that arrives late, whole, after the next request went out, is not
    // taken as that request's answer; once it is whole the next request goes out without waiting
    // for the line to stay quiet.
    void lateReplyOfCutExchangeIsDropped()
    {
        QFETCH(int, readBeforeCut);
        QFETCH(int, firstPieceMs);
        m_link->timing().quietMs = 1000;
        const QByteArray late = replyFrame("101.3");
        m_port->answerWith(QList<ScriptedPort::Piece>{{late.left(readBeforeCut), firstPieceMs},
                                                      {late.mid(readBeforeCut), 60}});
        abortAfter(m_abort, 20, [&] { m_link->exchange(request("1;1"), 5000); });
        QCOMPARE(m_link->lastStatus(), CalibratorLink::Status::Aborted);
        m_abort = false;
        m_port->answerWith(QList<ScriptedPort::Piece>{{replyFrame("12.0"), 100}});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_link->exchange(request("1;5"), 2000), CalibratorLink::Status::Ok);
        QCOMPARE(m_link->reply(), QByteArray("12.0"));
        QVERIFY2(timer.elapsed() < m_link->timing().quietMs, qPrintable(QString::number(timer.elapsed())));
    }

    void identifyCollectsUntilSilence()
    {
        const QByteArray frame = replyFrame("$70");
        m_port->answerWith(QList<ScriptedPort::Piece>{{frame.left(5), 2}, {frame.mid(5), 10}});
        QVERIFY(m_link->open());
        QCOMPARE(m_link->identify(request("0"), timeoutMs), CalibratorLink::Identify::Reply);
        QCOMPARE(m_link->reply(), frame);
        m_port->answerNothing();
        m_link->timing().identifyTimeoutMs = timeoutMs;
        QCOMPARE(m_link->identify(request("0"), timeoutMs), CalibratorLink::Identify::Silent);
    }
};

QTEST_GUILESS_MAIN(TestCalibratorLink)
#include "test_calibrator_link.moc"
