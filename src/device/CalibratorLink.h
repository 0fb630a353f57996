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

// One request-reply exchange with a calibrator over any QIODevice: let the replies the port still
// owes arrive, drop stale input, write, collect until the frame checks pass, a second chance,
// retries and time-outs. The port stays open between exchanges, so nothing the calibrator sends is
// lost; it runs in whichever thread holds the device, and an abort flag set from another thread ends
// every wait within one slice.
class CalibratorLink
{
public:
    enum class Status { Ok, NoAnswer, Aborted };
    enum class Identify { Reply, WriteFailed, Silent, Aborted };
    struct Timing
    {
        int pieceWaitMs = 500;
        int secondChanceMs = 500;
        int sliceMs = 50;
        int identifyTimeoutMs = 2000;
        // The identify reply has no end test: it ends at this much silence.
        int identifySilenceMs = 20;
    };
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

    // Opens the port unless it is open already; the session keeps it open until close().
    bool open();
    void close();

    // The reply's data field is left in reply(); a status reply ("$n") is a reply too.
    Status exchange(const QByteArray& request, int timeoutMs);
    // The same for a command text ("10;16;2;4"), framed for the calibrator's address.
    Status command(const QByteArray& text, int timeoutMs);
    // A register write: the data goes out as text up to its first NUL byte, and only the
    // acknowledgement "$0" counts as written.
    bool writeRegister(int reg, int type, int count, const QByteArray& data, int timeoutMs);
    static QByteArray registerWriteText(int reg, int type, int count, const QByteArray& data);
    // "command;field;field…"; a field of -1 stands for one not given and is left out.
    static QByteArray commandText(int command, std::initializer_list<int> fields);
    // The search's identify request on an open port; the raw reply is left in reply().
    Identify identify(const QByteArray& request, int writeTimeoutMs);
    // The release frame: it goes once every reply the port owes has come, and the port closes once
    // its acknowledgement has, within timeoutMs. Once the abort flag is set (the program leaves),
    // whatever was waited for, the frame goes at once and nothing more is waited for.
    bool release(const QByteArray& frame, int timeoutMs);

    QByteArray reply() const { return m_reply; }
    Status lastStatus() const { return m_lastStatus; }
    // How many replies the port in use still owes, in order; for the tests and the debug log.
    int owedCount() const;
    // The longest frame a calibrator sends is far below this; a line that babbles keeps only its
    // newest bytes.
    static constexpr int bufferLimit = 2048;

private:
    // Aborted: stopped before the request left; Cut: stopped while its reply was awaited.
    enum class Try { Reply, Silent, Garbled, WriteFailed, Aborted, Cut };
    // How the wait for owed replies ended: nothing is owed any more, a stop, or a failed line.
    enum class Owed { Passed, Aborted, LineFailed };
    // A request whose reply has not come: the calibrator may still send it until the time-out the
    // request was sent with has passed since it left.
    struct OwedReply
    {
        QElapsedTimer sinceSent;
        qint64 deadlineMs = 0;
        qint64 leftMs() const { return deadlineMs - sinceSent.elapsed(); }
    };

    bool aborted() const { return m_abort && *m_abort; }
    // False at the time-out, on an abort and at once when the line has failed.
    bool waitForInput(int timeoutMs);
    bool inputArrived();
    void sliceDone();
    // The observer is told of an exchange's waits from here to waitEnds().
    void waitBegins();
    void waitEnds();
    bool lineFailed() const;
    void append(const QByteArray& bytes);
    void trim();
    QByteArray takeAvailable();
    QString portKey() const;
    QList<OwedReply>& owed();
    void passWholeFrames();
    void dropExpired();
    Owed letOwedRepliesPass();
    void owe(int timeoutMs);
    void settleOwn(Try result);
    bool handOver(const QByteArray& bytes, int owedMs);
    bool write(const QByteArray& bytes, int timeoutMs, int owedMs);
    void sendAtOnce(const QByteArray& frame, int timeoutMs);
    bool openForAttempt(int attempt);
    Try runTry(const QByteArray& request, int timeoutMs);
    Try collect(int timeoutMs);
    Try collectUntilSilence(const QElapsedTimer& sinceWrite, int timeoutMs);
    bool isComplete() const;
    void debug(const QString& event, const QByteArray& detail = QByteArray()) const;

    QIODevice* m_io;
    const std::atomic<bool>* m_abort;
    Timing m_timing;
    int m_retryLimit = 5;
    quint8 m_address = 1;
    DebugSink m_debug;
    WaitObserver* m_waitObserver = nullptr;
    // What has arrived on the open port and is not taken yet.
    QByteArray m_buffer;
    QByteArray m_reply;
    Status m_lastStatus = Status::NoAnswer;
    // Since the observer was last told, or the port was opened.
    QElapsedTimer m_sinceSlice;
    // Per port, the requests whose replies have not come, oldest first: they outlive a close of the
    // port, since a calibrator that was asked answers whether or not the port is open to hear it.
    QHash<QString, QList<OwedReply>> m_owed;
};
