#pragma once

#include <QMutex>
#include <atomic>
#include <functional>

class QSerialPort;
class QThread;

// Owns the calibrator's serial port and lends it to one worker thread at a time. Only this class
// moves the port between threads, and it alone answers whether the port is free. It also keeps the
// abort flag of the running exchange: a stop sets it, and only the start of a new job clears it.
class PortOwner
{
public:
    explicit PortOwner(QSerialPort* port);
    ~PortOwner();
    PortOwner(const PortOwner&) = delete;
    PortOwner& operator=(const PortOwner&) = delete;

    QSerialPort* port() const { return m_port; }
    // True only while the port lives in its home thread, not lent and not on its way back, and that
    // thread is not in the middle of an exchange of its own.
    bool isFree() const;
    bool isLentTo(const QThread* worker) const;
    // Moves the port into worker before that thread starts. False, with nothing moved, while the
    // port is lent or the home thread is in the middle of an exchange: two threads never write the port.
    bool lend(QThread* worker);
    // Runs job in the borrowing thread and gives the port back however the job ends.
    void serve(const std::function<void()>& job);
    // Called in the borrowing thread on its way out; later calls do nothing.
    void giveBack();
    // Called in the borrowing thread: the port passes straight to next, which has not started yet,
    // and is never free in between. False when the caller does not hold the port.
    bool handOver(QThread* next);

    // Whether the calling thread holds the port: its home thread while it is free, or its borrower.
    bool isHeldByCurrentThread() const;
    // Whether the calling thread may start an exchange now: it holds the port, and is not delivering
    // events in the middle of an exchange of its own.
    bool canExchange() const;
    // Set by the home thread while it delivers events in the middle of its own exchange: whatever
    // those events run finds the port taken.
    void setHomeBusy(bool busy);
    // Before an exchange: false when the calling thread may not start one now. In the home thread
    // the exchange is a job of its own (connect, release, a direct read), so a stop left from an
    // earlier job does not cut it.
    bool prepareExchange();
    void abort() { m_abort = true; }
    // The program is leaving: the running exchange is cut, and so is every exchange and job
    // started from now on.
    void abortForExit();
    bool isLeaving() const { return m_leaving; }
    // Whether the job that holds the port was stopped: its exchanges are cut, and it is told apart
    // from a calibrator that does not answer. A stopped job shows no failure message.
    bool isAborted() const { return m_abort; }
    std::atomic<bool>& abortFlag() { return m_abort; }

private:
    QSerialPort* m_port;
    QThread* m_home;
    mutable QMutex m_mutex;
    QThread* m_borrower = nullptr;
    bool m_homeBusy = false;
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_leaving{false};
};
