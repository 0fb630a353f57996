#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <initializer_list>

class QIODevice;

// One request-reply exchange with a calibrator over any QIODevice: open, let the replies the port
// still owes pass, drop stale input, write, collect until the frame checks pass, a second chance,
// retries and time-outs. It runs in whichever thread holds the device; an abort flag set from
// another thread ends every wait within one slice.
class CalibratorLink
{
public:
    enum class Status { Ok, NoAnswer, Aborted };
    enum class Identify { Reply, WriteFailed, Silent, Aborted };
    struct Timing
    {
        int pieceWaitMs = 500;
        int secondChanceMs = 500;
        // How long after it left a cut request may still be answered by a calibrator that answers
        // at once, and the silence that ends a late reply's frame: longer than a fast turnaround.
        int quietMs = 250;
        int sliceMs = 50;
        int identifyTimeoutMs = 2000;
        // The identify reply has no end test: it ends at this much silence.
        int identifySilenceMs = 20;
        int releaseSettleMs = 100;
    };
    // How long the reply to a request cut while it was awaited may still come: within the longest
    // answer time the calibrator has shown on the port (until the exchange's own deadline while it
    // has shown none), or, for a pass-through, which the calibrator answers once the transmitter
    // has, until that deadline.
    enum class LateReply { WithinAnswerTime, UntilDeadline };
    using DebugSink = std::function<void(const QString& event, const QByteArray& detail)>;
    // Told in the exchanging thread when an exchange starts and ends, and at every slice's time of
    // its waits for input, whether or not bytes came.
    class WaitObserver
    {
    public:
        virtual ~WaitObserver() = default;
        virtual void exchangeStarted() = 0;
        virtual void waitSlice() = 0;
        virtual void exchangeEnded() = 0;
    };

    CalibratorLink(QIODevice* io, const std::atomic<bool>* abortFlag);

    Timing& timing() { return m_timing; }
    void setRetryLimit(int limit) { m_retryLimit = limit; }
    int retryLimit() const { return m_retryLimit; }
    void setDebugSink(DebugSink sink) { m_debug = std::move(sink); }
    void setWaitObserver(WaitObserver* observer) { m_waitObserver = observer; }

    // The bus address of the calibrator spoken to; replies from any other are not taken.
    void setAddress(quint8 address) { m_address = address; }
    quint8 address() const { return m_address; }

    // The reply's data field is left in reply(); a status reply ("$n") is a reply too.
    Status exchange(const QByteArray& request, int timeoutMs, LateReply late = LateReply::WithinAnswerTime);
    // The same for a command text ("10;16;2;4"), framed for the calibrator's address.
    Status command(const QByteArray& text, int timeoutMs, LateReply late = LateReply::WithinAnswerTime);
    // A register write: the data goes out as text up to its first NUL byte, and only the
    // acknowledgement "$0" counts as written.
    bool writeRegister(int reg, int type, int count, const QByteArray& data, int timeoutMs);
    static QByteArray registerWriteText(int reg, int type, int count, const QByteArray& data);
    // "command;field;field…"; a field of -1 stands for one not given and is left out.
    static QByteArray commandText(int command, std::initializer_list<int> fields);
    // The search's identify request on an open port; the raw reply is left in reply().
    Identify identify(const QByteArray& request, int writeTimeoutMs);
    // Writes a frame whose reply nobody reads (the release frame) and lets it leave the line; its
    // acknowledgement is owed unless it came meanwhile.
    bool sendWithoutReply(const QByteArray& frame, int timeoutMs);

    QByteArray reply() const { return m_reply; }
    Status lastStatus() const { return m_lastStatus; }
    // The longest frame a calibrator sends is far below this; a line that babbles keeps only its
    // newest bytes.
    static constexpr int bufferLimit = 2048;

private:
    // Aborted: stopped before the request left; Cut: stopped while its reply was awaited.
    enum class Try { Reply, Silent, Garbled, WriteFailed, Aborted, Cut };
    // A reply the port still owes: when its request left, until when after that the reply may still
    // begin, and the cut exchange's deadline: a reply given up before it may come yet.
    struct OwedReply
    {
        QElapsedTimer sinceSent;
        qint64 untilMs = 0;
        qint64 deadlineMs = 0;
        bool pastDeadline() const { return sinceSent.elapsed() > deadlineMs; }
    };
    // Per port: the replies it owes, oldest first, the bytes the oldest had brought, the longest its
    // calibrator has taken to answer (-1: it never has), and the doubt: the cut whose reply was given
    // up before its deadline and may come yet, then the replies given up after it, which the
    // calibrator sends only once it has answered the cut.
    struct PortAccount
    {
        QList<OwedReply> owed;
        QByteArray partial;
        qint64 longestAnswerMs = -1;
        QList<OwedReply> doubt;
    };

public:
    bool open();
    void close();

private:
    bool aborted() const { return m_abort && *m_abort; }
    // False at the time-out, on an abort and at once when the line has failed.
    bool waitForInput(int timeoutMs);
    bool inputArrived();
    void sliceDone();
    bool lineFailed() const;
    void append(const QByteArray& bytes);
    QByteArray takeAvailable();
    QString portKey() const;
    bool drainOwedReplies(int timeoutMs, bool wait = true);
    // Whole: its frame came; Gone: its time passed; Due: it may still come.
    enum class Drain { Whole, Gone, Due };
    Drain drainOwedFrame(const OwedReply& owed, int timeoutMs, bool wait);
    qint64 answerWindowMs(qint64 answerMs) const;
    void answerFromNow(OwedReply& owed, qint64 answerMs) const;
    int frameEnd() const;
    bool takeOwedFrame();
    void noteOwed(qint64 untilMs, qint64 deadlineMs);
    void noteCutOwed(int deadlineMs, LateReply late);
    void noteAnswerTime(qint64 answerMs);
    bool write(const QByteArray& bytes, int timeoutMs);
    bool openForAttempt(int attempt);
    Try runTry(const QByteArray& request, int timeoutMs, LateReply late);
    Try collect(int timeoutMs);
    // How a reply is known to be whole: by the frame checks (an exchange's), or by a silence after it
    // (the identify's, whose sender's address is not known yet).
    enum class ReplyEnd { FrameChecks, Silence };
    Try collectUntilSilence(int timeoutMs);
    Try collectReply(ReplyEnd end, int timeoutMs);
    bool replyWhole(ReplyEnd end) const;
    bool awaitReply(ReplyEnd end, qint64 timeoutMs);
    void noteGivenUp(PortAccount& account, const OwedReply& owed);
    QList<OwedReply> takeDoubt();
    bool letFollowersPass(const QList<OwedReply>& followers, int timeoutMs);
    Try settleDoubt(int timeoutMs, LateReply late, ReplyEnd end);
    void takeCutReply(const QByteArray& frame, qint64 cutTookMs);
    bool isComplete() const;
    void debug(const QString& event, const QByteArray& detail = QByteArray()) const;

    QIODevice* m_io;
    const std::atomic<bool>* m_abort;
    Timing m_timing;
    int m_retryLimit = 5;
    quint8 m_address = 1;
    DebugSink m_debug;
    WaitObserver* m_waitObserver = nullptr;
    QByteArray m_buffer;
    QByteArray m_reply;
    Status m_lastStatus = Status::NoAnswer;
    QElapsedTimer m_sinceRequestLeft;
    // Since the observer was last told, or the port was opened.
    QElapsedTimer m_sinceSlice;
    // How long the reply taken last took to come.
    qint64 m_answerMs = 0;

    QHash<QString, PortAccount> m_ports;
};
