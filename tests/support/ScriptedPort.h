#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>
#include <QList>
#include <QMutex>
#include <atomic>

// An in-memory serial line for exchange tests. Each written request takes the next scripted answer:
// pieces that arrive a given time after the write, or only once the test lets them. What arrives while the port is closed is lost, as on a real serial port. Waits take
// real (short) time, so the code under test sees the line as it would a port. The line keeps a log
// of what happened in order: "W" and the bytes for a write, "R" and the bytes for a piece that
// arrived.
class ScriptedPort : public QIODevice
{
public:
    // A piece arrives afterMs after the write that takes its answer; one with a negative time is
    // held on the line until the test lets it come.
    struct Piece
    {
        QByteArray bytes;
        int afterMs = 0;
    };

    void answerWith(const QList<Piece>& pieces) { m_answers.append(pieces); }
    // Every write after this gets no answer.
    void answerNothing() { m_answers.append(QList<Piece>()); }
    // The line sends garbage without end.
    void setBabbling(bool babbling) { m_babbling = babbling; }
    void setOpenDelayMs(int ms) { m_openDelayMs = ms; }
    void setOpenFails(bool fails) { m_openFails = fails; }
    // Written bytes never leave the port: every wait for them runs out.
    void setWriteStalls(bool stalls) { m_writeStalls = stalls; }
    // The held pieces come now.
    void let();
    // Bytes that wait on the line for the next open, as a line that kept them does.
    void keepOnLine(const QByteArray& bytes);

    QList<QByteArray> requests() const;
    QList<QByteArray> events() const;
    int openCount() const { return m_openCount; }

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool waitForReadyRead(int msecs) override;
    qint64 bytesToWrite() const override { return m_writeStalls ? 1 : 0; }
    bool waitForBytesWritten(int msecs) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    bool deliverDue();
    bool isDue() const;

    // Each write takes the next answer; when none is left, the last one again.
    QList<QList<Piece>> m_answers;
    QList<Piece> m_repeatedAnswer;
    QList<Piece> m_pending;
    QElapsedTimer m_sinceWrite;
    QByteArray m_input;
    QList<QByteArray> m_requests;
    QList<QByteArray> m_events;
    QByteArray m_kept;
    mutable QMutex m_mutex;

    bool m_babbling = false;
    int m_openDelayMs = 0;
    bool m_openFails = false;
    std::atomic<bool> m_writeStalls{false};
    std::atomic<int> m_openCount{0};
};
