#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>
#include <QList>
#include <QMutex>
#include <atomic>

// An in-memory serial line for exchange tests. Each written request takes the next scripted answer:
// pieces that arrive a given time after the write. Waits take real (short) time, so the code under
// test sees the line as it would a port.
class ScriptedPort : public QIODevice
{
public:
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

    QList<QByteArray> requests() const;
    int openCount() const { return m_openCount; }

    bool open(OpenMode mode) override;
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

    // Each write takes the next answer; when none is left, the last one again.
    QList<QList<Piece>> m_answers;
    QList<Piece> m_repeatedAnswer;
    QList<Piece> m_pending;
    QElapsedTimer m_sinceWrite;
    QByteArray m_input;
    QList<QByteArray> m_requests;
    mutable QMutex m_mutex;
    bool m_babbling = false;
    int m_openDelayMs = 0;
    bool m_openFails = false;
    std::atomic<bool> m_writeStalls{false};
    std::atomic<int> m_openCount{0};
};
